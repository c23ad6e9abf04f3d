// The action row and the state of the window's actions.
#include "ActionRow.h"

#include "Appearance.h"
#include "ElidedLabel.h"
#include "media/PairReadability.h"
#include "model/AppModel.h"
#include "model/RemainingTime.h"
#include "Spinner.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int progressSteps = 1000;

// The longest texts of a realistic run, two pairs at once and hours from its end: the room
// the row keeps for them, so that nothing beside them is pushed out or moves while they change.
const QString longestProgress = QStringLiteral("S01E05, S01E06 (6 von 12)");
constexpr double longestRemainingSeconds = 165 * 60;
const QString longestPairCount = QStringLiteral("999 Zuordnung(en)");

} // namespace

ActionState ActionState::of(const AppModel &model)
{
    const QList<EpisodePair> &pairs = model.pairs();
    // While the analysis runs, a file without inspection may simply not have had its turn.
    const auto muxable = [&model](const EpisodePair &pair) {
        return pair.status == PairStatus::ready &&
               (model.isAnalyzing() || !isUnreadable(pair, model.inspections()));
    };
    return ActionState{
        .hasSourceFolders = model.primaryFolder() && model.localizedFolder(),
        .hasOutputFolder = model.outputFolder().has_value(),
        .pairCount = pairs.size(),
        .muxablePairCount = std::count_if(pairs.cbegin(), pairs.cend(), muxable),
        .isAnalyzing = model.isAnalyzing(),
        .isMuxing = model.isMuxing(),
        .isCancelling = model.isCancelling(),
        .isSyncCheckEnabled = model.isSyncCheckEnabled(),
        .isPitchRestoreEnabled = model.isPitchRestoreEnabled(),
        .isCutRepairEnabled = model.isCutRepairEnabled(),
        .muxJobs = model.muxJobs(),
        .muxProgress = model.muxProgress(),
        .muxFraction = model.muxFraction(),
        .muxETA = model.muxETA(),
    };
}

ActionRow::ActionRow(QWidget *parent)
    : QWidget(parent), m_analyze(new QPushButton(QStringLiteral("Dateien analysieren"), this)),
      m_analysisSpinner(new Spinner(this)),
      m_mux(new QPushButton(QStringLiteral("Muxen starten"), this)), m_muxItems(new QWidget(this)),
      m_progressText(new ElidedLabel(m_muxItems)), m_muxSpinner(new Spinner(m_muxItems)),
      m_progress(new QProgressBar(m_muxItems)), m_percent(new QLabel(m_muxItems)),
      m_remaining(new QLabel(m_muxItems)),
      m_cancel(new QPushButton(QStringLiteral("Abbrechen"), m_muxItems)),
      m_pairCount(new QLabel(this))
{
    m_analysisSpinner->setAccessibleName(QStringLiteral("Analyse läuft"));
    m_muxSpinner->setAccessibleName(QStringLiteral("Muxen läuft"));

    makeSecondary(m_progressText);
    m_progressText->setMinimumWidth(
        m_progressText->fontMetrics().horizontalAdvance(longestProgress));
    m_progress->setRange(0, progressSteps);
    m_progress->setFixedWidth(100);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(QStringLiteral("Gesamtfortschritt"));
    m_percent->setMinimumWidth(38);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percent->setFont(withTabularDigits(m_percent->font()));
    makeSecondary(m_remaining);
    m_remaining->setFont(withTabularDigits(m_remaining->font()));
    m_remaining->setMinimumWidth(m_remaining->fontMetrics().horizontalAdvance(
        QStringLiteral("Gesamtrestzeit: ") + formatRemainingTime(longestRemainingSeconds)));
    makeSecondary(m_pairCount);
    m_pairCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pairCount->setMinimumWidth(m_pairCount->fontMetrics().horizontalAdvance(longestPairCount));
    styleButtons();

    auto *muxLayout = new QHBoxLayout(m_muxItems);
    muxLayout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *item : std::initializer_list<QWidget *>{m_progressText, m_muxSpinner, m_progress,
                                                          m_percent, m_remaining, m_cancel})
        muxLayout->addWidget(item, 0, Qt::AlignVCenter);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *item :
         std::initializer_list<QWidget *>{m_analyze, m_analysisSpinner, m_mux, m_muxItems})
        layout->addWidget(item, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(m_pairCount, 0, Qt::AlignVCenter);

    connect(m_analyze, &QPushButton::clicked, this, &ActionRow::analyzeClicked);
    connect(m_mux, &QPushButton::clicked, this, &ActionRow::muxClicked);
    connect(m_cancel, &QPushButton::clicked, this, &ActionRow::cancelClicked);
    showState(ActionState());
}

void ActionRow::showState(const ActionState &state)
{
    m_analyze->setEnabled(state.hasSourceFolders && !state.isAnalyzing);
    m_analysisSpinner->setVisible(state.isAnalyzing);
    m_mux->setEnabled(state.hasOutputFolder && state.muxablePairCount > 0 && !state.isAnalyzing &&
                      !state.isMuxing);

    m_muxItems->setVisible(state.isMuxing);
    m_progressText->setFullText(state.muxProgress);
    m_muxSpinner->setVisible(!state.muxFraction);
    m_progress->setVisible(state.muxFraction.has_value());
    m_percent->setVisible(state.muxFraction.has_value());
    if (state.muxFraction) {
        const double fraction = std::clamp(*state.muxFraction, 0.0, 1.0);
        m_progress->setValue(qRound(fraction * progressSteps));
        m_percent->setText(percentText(fraction));
    }
    const QString remaining = state.muxETA ? formatRemainingTime(*state.muxETA) : QString();
    m_remaining->setVisible(!remaining.isEmpty());
    m_remaining->setText(QStringLiteral("Gesamtrestzeit: ") + remaining);
    m_cancel->setEnabled(!state.isCancelling);

    m_pairCount->setText(QString::number(state.pairCount) + QStringLiteral(" Zuordnung(en)"));
}

QSize ActionRow::minimumSizeHint() const
{
    // The window keeps room for everything a run and an analysis show at once, so that
    // neither has to cut the row when it starts. One spacing more for the stretch.
    const QList<const QWidget *> widest{m_analyze,      m_analysisSpinner, m_mux,
                                        m_progressText, m_progress,        m_percent,
                                        m_remaining,    m_cancel,          m_pairCount};
    int width = layout()->spacing() * int(widest.size());
    for (const QWidget *item : widest)
        width += std::max(item->minimumWidth(), item->minimumSizeHint().width());
    return QSize(width, QWidget::minimumSizeHint().height());
}

void ActionRow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The button styles derive from the palette: follow a switch between light and dark.
    if (event->type() == QEvent::PaletteChange && !m_styling)
        styleButtons();
}

void ActionRow::styleButtons()
{
    m_styling = true;
    m_analyze->setPalette(palette());
    m_cancel->setPalette(palette());
    makeProminent(m_analyze);
    makeDestructive(m_cancel);
    m_styling = false;
}
