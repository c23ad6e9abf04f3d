// The natural order of names: digit runs by value, the rest by the locale's collation.
#include "NaturalOrder.h"

#include <QCollator>

namespace {

// Digit runs compare by value: skip leading zeros, then the longer run is larger, then the
// first differing digit decides.
int compareDigitRuns(QStringView a, QStringView b)
{
    const auto significant = [](QStringView run) {
        qsizetype zeros = 0;
        while (zeros < run.size() - 1 && run[zeros].digitValue() == 0)
            ++zeros;
        return run.mid(zeros);
    };
    const QStringView x = significant(a);
    const QStringView y = significant(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    for (qsizetype i = 0; i < x.size(); ++i) {
        const int dx = x[i].digitValue();
        const int dy = y[i].digitValue();
        if (dx != dy)
            return dx < dy ? -1 : 1;
    }
    return 0;
}

QStringView nextRun(QStringView text, qsizetype &position)
{
    const qsizetype start = position;
    const bool digits = text[position].isDigit();
    while (position < text.size() && text[position].isDigit() == digits)
        ++position;
    return text.mid(start, position - start);
}

// One collator per thread: QCollator sets itself up lazily and is not safe to share.
const QCollator &textCollator()
{
    thread_local const QCollator collator = [] {
        QCollator userLocale;
        userLocale.setCaseSensitivity(Qt::CaseInsensitive);
        return userLocale;
    }();
    return collator;
}

} // namespace

int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitsA = a[i].isDigit();
        const bool digitsB = b[j].isDigit();
        const QStringView runA = nextRun(a, i);
        const QStringView runB = nextRun(b, j);
        int order = 0;
        if (digitsA && digitsB)
            order = compareDigitRuns(runA, runB);
        else
            order = textCollator().compare(runA, runB);
        if (order != 0)
            return order;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}
