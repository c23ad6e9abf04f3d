// A small picture of a pair's sync check: the measured offset along the episode.
#pragma once

#include "sync/SyncChecker.h"

#include <QWidget>

#include <optional>

// One point per segment with a measured lag, trusted points filled and the others hollow, with
// the verdict's line: level for an agreed offset, a step at a cut, a slope for a drift. The time
// axis runs in minutes. The accessible description says the verdict in words.
class SyncPlot final : public QWidget {
    Q_OBJECT

public:
    struct Point {
        double minutes = 0; // the segment's centre in English film time
        double lagSeconds = 0;
        bool trusted = false;

        friend bool operator==(const Point &, const Point &) = default;
    };

    explicit SyncPlot(QWidget *parent = nullptr);

    void showCheck(const PairSyncCheck &check);
    const QList<Point> &points() const { return m_points; }

    // "Gleichbleibender Versatz von +1,20 s …", for a screen reader.
    static QString verdictText(const PairSyncCheck &check);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PairSyncCheck m_check;
    QList<Point> m_points;
};
