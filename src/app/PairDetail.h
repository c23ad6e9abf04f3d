// The selected pair's planned output tracks and, after a sync check, its sync picture.
#pragma once

#include "model/PairPlans.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

class AppModel;
class PlannedTrackRows;
class QLabel;
class QTableView;
class SyncPlot;

// Read-only: the tracks the mux would write for the pair, in output order, and the sync plot
// when the check ran. Plans are built off the main thread one at a time, so that a held arrow
// key skips the pairs it passes, and kept until the model changes what the mux would write.
// The pair's findings stay in the issue list.
class PairDetail final : public QWidget {
    Q_OBJECT

public:
    enum Column { number, type, language, name, flags, source, timing, conversion };

    explicit PairDetail(AppModel &model, QWidget *parent = nullptr);

    // Shows the pair with `pairId`, or nothing for an empty id.
    void showPair(const QString &pairId);
    const QString &pairId() const { return m_pairId; }

    QTableView *trackTable() const { return m_tracks; }
    QLabel *statusLabel() const { return m_status; }
    SyncPlot *syncPlot() const { return m_plot; }

signals:
    void planShown(); // the tracks or the reason there are none, for the tests

private:
    void forgetPlans();
    void showTracks();
    void buildPlan(); // of the pair shown, unless a plan is being built
    void showMessage(const QString &text);
    void showPlan(const PairPlanOutcome &outcome);

    AppModel &m_model;
    QString m_pairId;
    QHash<QString, PairPlanOutcome> m_plans; // by pair id
    quint64 m_generation = 0;  // counts the model's changes; a plan built before one is dropped
    bool m_isBuilding = false;
    QTimer m_waiting; // says that the tracks are being found only when that takes a while
    QLabel *m_status = nullptr;
    QTableView *m_tracks = nullptr;
    PlannedTrackRows *m_rows = nullptr; // the cells of `m_tracks`
    SyncPlot *m_plot = nullptr;
};
