// A small picture of a pair's sync check: the measured offset along the episode.
#include "SyncPlot.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

QString seconds(double value)
{
    const QString number = QLocale().toString(std::abs(value), 'f', 2);
    return (value < 0 ? u"−"_s : value > 0 ? u"+"_s : QString()) + number + u" s"_s;
}

// The verdict's lag along the episode as corner points, in minutes and seconds; none when the
// segments agree on nothing.
QList<QPointF> verdictLine(const PairSyncCheck &check)
{
    const SyncAssessment &a = check.verdict.assessment;
    const double end = check.measurement.durationSeconds / 60;
    switch (a.pattern) {
    case SyncPattern::inSync:
    case SyncPattern::constant:
        return {{0, a.offsetSeconds}, {end, a.offsetSeconds}};
    case SyncPattern::cut:
        return {{0, a.fromSeconds},
                {a.cutSeconds / 60, a.fromSeconds},
                {a.cutSeconds / 60, a.toSeconds},
                {end, a.toSeconds}};
    case SyncPattern::drift:
        return {{0, a.fromSeconds}, {end, a.toSeconds}};
    case SyncPattern::unsure:
        break;
    }
    return {};
}

} // namespace

SyncPlot::SyncPlot(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(u"Tonversatz über die Episode"_s);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setMinimumHeight(110);
}

QSize SyncPlot::sizeHint() const
{
    return {300, 140};
}

QString SyncPlot::verdictText(const PairSyncCheck &check)
{
    const SyncAssessment &a = check.verdict.assessment;
    const qsizetype trusted = std::count(a.trusted.cbegin(), a.trusted.cend(), true);
    const QString agreement = u" %1 von %2 Messpunkten stimmen überein."_s.arg(trusted).arg(
        check.measurement.segments.size());
    switch (a.pattern) {
    case SyncPattern::inSync:
        return u"Ton synchron."_s + agreement;
    case SyncPattern::constant:
        return u"Gleichbleibender Versatz von %1 über die ganze Episode."_s.arg(
                   seconds(a.offsetSeconds)) +
               agreement;
    case SyncPattern::cut:
        return u"Schnitt bei Minute %1: der Versatz springt von %2 auf %3."_s
                   .arg(QLocale().toString(a.cutSeconds / 60, 'f', 1), seconds(a.fromSeconds),
                        seconds(a.toSeconds)) +
               agreement;
    case SyncPattern::drift:
        return u"Der Versatz wandert gleichmäßig von %1 am Anfang auf %2 am Ende."_s.arg(
                   seconds(a.fromSeconds), seconds(a.toSeconds)) +
               agreement;
    case SyncPattern::unsure:
        break;
    }
    if (check.measurement.segments.isEmpty())
        return u"Der Tonversatz konnte nicht gemessen werden."_s;
    return u"Kein eindeutiger Versatz: die Messpunkte stimmen nicht überein."_s + agreement;
}

void SyncPlot::showCheck(const PairSyncCheck &check)
{
    m_check = check;
    m_points.clear();
    const QList<SyncSegment> &segments = check.measurement.segments;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const SyncSegment &segment = segments.at(i);
        if (segment.lagSeconds)
            m_points << Point{(segment.startSeconds + segment.lengthSeconds / 2) / 60,
                              *segment.lagSeconds,
                              check.verdict.assessment.trusted.value(i)};
    }
    setAccessibleDescription(verdictText(check));
    setToolTip(accessibleDescription());
    update();
}

void SyncPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    const QRectF area = QRectF(rect()).adjusted(metrics.horizontalAdvance(u"−00,00 s"_s) + 8, 6,
                                                -8, -(metrics.height() + 6));
    const QList<QPointF> line = verdictLine(m_check);
    double low = -0.5, high = 0.5;
    for (const Point &point : m_points)
        low = std::min(low, point.lagSeconds), high = std::max(high, point.lagSeconds);
    for (const QPointF &corner : line)
        low = std::min(low, corner.y()), high = std::max(high, corner.y());
    const double pad = (high - low) * 0.1;
    low -= pad, high += pad;
    const double minutes = std::max(m_check.measurement.durationSeconds / 60, 1.0);
    const auto at = [&](double x, double y) {
        return QPointF(area.left() + area.width() * x / minutes,
                       area.bottom() - area.height() * (y - low) / (high - low));
    };

    const QColor text = palette().color(QPalette::WindowText);
    QColor faint = text;
    faint.setAlphaF(0.35);
    painter.setPen(QPen(faint, 1, Qt::DashLine));
    painter.drawLine(at(0, 0), at(minutes, 0));
    painter.setPen(QPen(faint, 1));
    painter.drawRect(area);
    painter.setPen(text);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    painter.drawText(QRectF(0, area.top() - 8, area.left() - 4, 16), right, seconds(high));
    painter.drawText(QRectF(0, area.bottom() - 8, area.left() - 4, 16), right, seconds(low));
    const QRectF axis(area.left(), area.bottom() + 2, area.width(), metrics.height());
    painter.drawText(axis, Qt::AlignLeft, u"0"_s);
    painter.drawText(axis, Qt::AlignRight,
                     QLocale().toString(qRound(minutes)) + u" min"_s);

    if (!line.isEmpty()) {
        QPainterPath path(at(line.first().x(), line.first().y()));
        for (const QPointF &corner : line.mid(1))
            path.lineTo(at(corner.x(), corner.y()));
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawPath(path);
    }
    for (const Point &point : m_points) {
        painter.setPen(QPen(text, 1.5));
        painter.setBrush(point.trusted ? QBrush(text) : Qt::NoBrush);
        painter.drawEllipse(at(point.minutes, point.lagSeconds), 3.5, 3.5);
    }
}
