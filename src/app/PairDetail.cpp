// The selected pair's planned output tracks and, after a sync check, its sync picture.
#include "PairDetail.h"

#include "Appearance.h"
#include "model/AppModel.h"
#include "SyncPlot.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

// The cells of the planned tracks, replaced as a whole: the columns, sized to their contents,
// are measured once per pair rather than once per cell.
class PlannedTrackRows final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(QList<QStringList> rows)
    {
        if (rows == m_rows)
            return;
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : PairDetail::conversion + 1;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return m_rows.at(index.row()).value(index.column());
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QStringList titles{u"Nr."_s,   u"Art"_s,    u"Sprache"_s, u"Name"_s,
                                        u"Flags"_s, u"Quelle"_s, u"Zeit"_s,    u"Umwandlung"_s};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return titles.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QList<QStringList> m_rows;
};

PairDetail::PairDetail(AppModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_status(new QLabel(this)),
      m_tracks(new QTableView(this)), m_plot(new SyncPlot(this))
{
    makeSecondary(m_status);
    m_status->setWordWrap(true);
    m_tracks->setModel(m_rows = new PlannedTrackRows(m_tracks));
    m_tracks->setAccessibleName(u"Geplante Spuren"_s);
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
                         &AppModel::isCutRepairEnabledChanged, &AppModel::analysisFinished})
        connect(&m_model, changed, this, &PairDetail::forgetPlans);
    m_waiting.setSingleShot(true);
    m_waiting.setInterval(150);
    connect(&m_waiting, &QTimer::timeout, this,
            [this] { showMessage(u"Spuren werden ermittelt …"_s); });
    showPair({});
}

void PairDetail::showPair(const QString &pairId)
{
    m_pairId = pairId;
    setVisible(!m_pairId.isEmpty());
    const auto check = m_model.syncChecks().constFind(m_pairId);
    m_plot->setVisible(check != m_model.syncChecks().cend());
    if (check != m_model.syncChecks().cend())
        m_plot->showCheck(*check);
    showTracks();
}

void PairDetail::forgetPlans()
{
    m_plans.clear();
    ++m_generation;
    showPair(m_pairId);
}

void PairDetail::showTracks()
{
    m_waiting.stop();
    if (m_pairId.isEmpty())
        return;
    if (m_model.isAnalyzing())
        return showMessage(u"Die Spuren stehen nach der Analyse fest."_s);
    if (!m_model.outputFolder())
        return showMessage(
            u"Die geplanten Spuren erscheinen, sobald ein Ausgabeordner gewählt ist."_s);
    if (const auto plan = m_plans.constFind(m_pairId); plan != m_plans.cend())
        return showPlan(*plan);
    // The last pair's tracks stay meanwhile: walking the table, each pair's plan arrives
    // before anyone could read a message, which would only make the detail flicker.
    m_waiting.start();
    buildPlan();
}

void PairDetail::buildPlan()
{
    if (m_isBuilding)
        return; // its end asks for the pair shown then
    m_isBuilding = true;
    // The watcher goes with the view, so a view gone first is never called.
    auto *watcher = new QFutureWatcher<PairPlanOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, pairId = m_pairId, generation = m_generation] {
                watcher->deleteLater();
                m_isBuilding = false;
                if (generation == m_generation)
                    m_plans.insert(pairId, watcher->result());
                if (!m_plans.contains(m_pairId) || pairId == m_pairId)
                    showTracks();
            });
    watcher->setFuture(m_model.planPair(m_pairId));
}

void PairDetail::showMessage(const QString &text)
{
    m_waiting.stop();
    m_status->setText(text);
    m_rows->setRows({});
}

void PairDetail::showPlan(const PairPlanOutcome &outcome)
{
    if (!outcome.description) {
        showMessage(outcome.error.isEmpty() ? u"Dieses Paar wird nicht gemuxt."_s
                                            : u"Wird nicht gemuxt: "_s + outcome.error);
        emit planShown();
        return;
    }
    m_waiting.stop();
    const PairPlanDescription &plan = *outcome.description;
    m_status->setText(u"Geplante Spuren von „%1“:"_s.arg(plan.outputFileName));
    QList<QStringList> rows;
    for (const PlannedTrack &track : plan.tracks)
        rows << QStringList{QString::number(rows.size() + 1),
                            plannedTypeText(track.type),
                            track.language,
                            track.name.value_or(u"–"_s),
                            plannedFlagsText(track),
                            plannedSourceText(track.source),
                            plannedTimingText(track.timing),
                            plannedConversionText(track.conversion)};
    m_rows->setRows(rows);
    emit planShown();
}
