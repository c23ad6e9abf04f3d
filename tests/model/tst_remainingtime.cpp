#include "model/RemainingTime.h"

#include <QTest>

using namespace Qt::StringLiterals;

class RemainingTimeTest final : public QObject {
    Q_OBJECT

private slots:
    void formatsSeconds_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("shown");

        QTest::newRow("0.99 s is not shown, though it rounds to 1") << 0.99 << QString();
        QTest::newRow("1 s") << 1.0 << u"1 s"_s;
        QTest::newRow("59.4 s rounds down") << 59.4 << u"59 s"_s;
        QTest::newRow("59.5 s rounds up to a minute") << 59.5 << u"1:00 min"_s;
        QTest::newRow("3725 s has no hour field") << 3725.0 << u"62:05 min"_s;
        QTest::newRow("infinity is not shown") << qInf() << QString();
        QTest::newRow("NaN is not shown") << qQNaN() << QString();
    }

    void formatsSeconds()
    {
        QFETCH(double, seconds);
        QFETCH(QString, shown);
        QCOMPARE(formatRemainingTime(seconds), shown);
    }
};

QTEST_GUILESS_MAIN(RemainingTimeTest)
#include "tst_remainingtime.moc"
