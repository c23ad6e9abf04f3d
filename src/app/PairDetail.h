// The selected pair's planned output tracks and, after a sync check, its sync picture.
#pragma once

#include "model/PairPlans.h"

#include <QWidget>

class AppModel;
class QLabel;
class QTableWidget;
class SyncPlot;

// Read-only: the tracks the mux would write for the pair, in output order, and the sync plot
// when the check ran. The plan is built off the main thread; a late result for a pair no longer
// shown is dropped. The pair's findings stay in the issue list.
class PairDetail final : public QWidget {
    Q_OBJECT

public:
    enum Column { number, type, language, name, flags, source, timing, conversion };

    explicit PairDetail(AppModel &model, QWidget *parent = nullptr);

    // Shows the pair with `pairId`, or nothing for an empty id.
    void showPair(const QString &pairId);
    const QString &pairId() const { return m_pairId; }

    QTableWidget *trackTable() const { return m_tracks; }
    QLabel *statusLabel() const { return m_status; }
    SyncPlot *syncPlot() const { return m_plot; }

signals:
    void planShown(); // the tracks or the reason there are none, for the tests

private:
    void refresh();
    void showPlan(const PairPlanOutcome &outcome);

    AppModel &m_model;
    QString m_pairId;
    quint64 m_request = 0; // counts the plans asked for; only the latest is shown
    QLabel *m_status = nullptr;
    QTableWidget *m_tracks = nullptr;
    SyncPlot *m_plot = nullptr;
};
