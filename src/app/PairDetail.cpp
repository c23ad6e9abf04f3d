// The selected pair's planned output tracks and, after a sync check, its sync picture.
#include "PairDetail.h"

#include "Appearance.h"
#include "model/AppModel.h"
#include "SyncPlot.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

PairDetail::PairDetail(AppModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_status(new QLabel(this)),
      m_tracks(new QTableWidget(0, conversion + 1, this)), m_plot(new SyncPlot(this))
{
    makeSecondary(m_status);
    m_status->setWordWrap(true);
    m_tracks->setAccessibleName(u"Geplante Spuren"_s);
    m_tracks->setHorizontalHeaderLabels({u"Nr."_s, u"Art"_s, u"Sprache"_s, u"Name"_s,
                                         u"Flags"_s, u"Quelle"_s, u"Zeit"_s, u"Umwandlung"_s});
    m_tracks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tracks->setSelectionMode(QAbstractItemView::NoSelection);
    m_tracks->setWordWrap(false);
    m_tracks->setShowGrid(false);
    m_tracks->verticalHeader()->hide();
    m_tracks->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_tracks->verticalHeader()->setDefaultSectionSize(m_tracks->fontMetrics().height() + 6);
    m_tracks->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tracks->horizontalHeader()->setStretchLastSection(true);
    m_tracks->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_status);
    column->addWidget(m_tracks, 1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(column, 1);
    layout->addWidget(m_plot);

    // What the mux would write changes with these.
    for (auto changed : {&AppModel::outputFolderChanged, &AppModel::isPitchRestoreEnabledChanged,
                         &AppModel::analysisFinished})
        connect(&m_model, changed, this, &PairDetail::refresh);
    showPair({});
}

void PairDetail::showPair(const QString &pairId)
{
    m_pairId = pairId;
    refresh();
}

void PairDetail::refresh()
{
    ++m_request;
    setVisible(!m_pairId.isEmpty());
    m_tracks->setRowCount(0);
    const auto check = m_model.syncChecks().constFind(m_pairId);
    m_plot->setVisible(check != m_model.syncChecks().cend());
    if (check != m_model.syncChecks().cend())
        m_plot->showCheck(*check);
    if (m_pairId.isEmpty())
        return;
    if (m_model.isAnalyzing()) {
        m_status->setText(u"Die Spuren stehen nach der Analyse fest."_s);
        return;
    }
    if (!m_model.outputFolder()) {
        m_status->setText(u"Die geplanten Spuren erscheinen, sobald ein Ausgabeordner gewählt ist."_s);
        return;
    }
    m_status->setText(u"Spuren werden ermittelt …"_s);
    // The watcher goes with the view, so a view gone first is never called.
    auto *watcher = new QFutureWatcher<PairPlanOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request = m_request] {
        watcher->deleteLater();
        if (request == m_request)
            showPlan(watcher->result());
    });
    watcher->setFuture(m_model.planPair(m_pairId));
}

void PairDetail::showPlan(const PairPlanOutcome &outcome)
{
    if (!outcome.description) {
        m_status->setText(outcome.error.isEmpty() ? u"Dieses Paar wird nicht gemuxt."_s
                                                  : u"Wird nicht gemuxt: "_s + outcome.error);
        emit planShown();
        return;
    }
    const PairPlanDescription &plan = *outcome.description;
    m_status->setText(u"Geplante Spuren von „%1“:"_s.arg(plan.outputFileName));
    m_tracks->setRowCount(int(plan.tracks.size()));
    for (int row = 0; row < plan.tracks.size(); ++row) {
        const PlannedTrack &track = plan.tracks.at(row);
        const QStringList cells{QString::number(row + 1),
                                plannedTypeText(track.type),
                                track.language,
                                track.name.value_or(u"–"_s),
                                plannedFlagsText(track),
                                plannedSourceText(track.source),
                                plannedTimingText(track.timing),
                                plannedConversionText(track.conversion)};
        for (int column = 0; column < cells.size(); ++column)
            m_tracks->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    emit planShown();
}
