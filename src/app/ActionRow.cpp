#include "ActionRow.h"

#include "Appearance.h"
#include "model/AppModel.h"
#include "model/RemainingTime.h"
#include "Spinner.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace {

constexpr int progressSteps = 1000;

} // namespace

ActionState ActionState::of(const AppModel &model)
{
    const QList<EpisodePair> &pairs = model.pairs();
    return ActionState{
        .hasSourceFolders = model.primaryFolder() && model.localizedFolder(),
        .hasOutputFolder = model.outputFolder().has_value(),
        .pairCount = pairs.size(),
        .readyPairCount =
            std::count_if(pairs.cbegin(), pairs.cend(),
                          [](const EpisodePair &pair) { return pair.status == PairStatus::ready; }),
        .isAnalyzing = model.isAnalyzing(),
        .isMuxing = model.isMuxing(),
        .isCancelling = model.isCancelling(),
        .isSyncCheckEnabled = model.isSyncCheckEnabled(),
        .isPitchRestoreEnabled = model.isPitchRestoreEnabled(),
        .muxProgress = model.muxProgress(),
        .muxFraction = model.muxFraction(),
        .muxETA = model.muxETA(),
    };
}

ActionRow::ActionRow(QWidget *parent)
    : QWidget(parent), m_syncCheck(new QCheckBox(QStringLiteral("Tonversatz prüfen"), this)),
      m_pitchRestore(new QCheckBox(QStringLiteral("Tonhöhe korrigieren (neu kodieren)"), this)),
      m_analyze(new QPushButton(QStringLiteral("Dateien analysieren"), this)),
      m_analysisSpinner(new Spinner(this)),
      m_mux(new QPushButton(QStringLiteral("Muxen starten"), this)), m_muxItems(new QWidget(this)),
      m_progressText(new QLabel(m_muxItems)), m_muxSpinner(new Spinner(m_muxItems)),
      m_progress(new QProgressBar(m_muxItems)), m_percent(new QLabel(m_muxItems)),
      m_remaining(new QLabel(m_muxItems)),
      m_cancel(new QPushButton(QStringLiteral("Abbrechen"), m_muxItems)),
      m_pairCount(new QLabel(this))
{
    m_analysisSpinner->setAccessibleName(QStringLiteral("Analyse läuft"));
    m_muxSpinner->setAccessibleName(QStringLiteral("Muxen läuft"));

    makeSecondary(m_progressText);
    m_progress->setRange(0, progressSteps);
    m_progress->setFixedWidth(120);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(QStringLiteral("Gesamtfortschritt"));
    m_percent->setMinimumWidth(38);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percent->setFont(withTabularDigits(m_percent->font()));
    makeSecondary(m_remaining);
    m_remaining->setFont(withTabularDigits(m_remaining->font()));
    makeSecondary(m_pairCount);
    styleButtons();

    auto *muxLayout = new QHBoxLayout(m_muxItems);
    muxLayout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *item : std::initializer_list<QWidget *>{m_progressText, m_muxSpinner, m_progress,
                                                          m_percent, m_remaining, m_cancel})
        muxLayout->addWidget(item, 0, Qt::AlignVCenter);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *item : std::initializer_list<QWidget *>{m_syncCheck, m_pitchRestore, m_analyze,
                                                          m_analysisSpinner, m_mux, m_muxItems})
        layout->addWidget(item, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(m_pairCount, 0, Qt::AlignVCenter);

    connect(m_syncCheck, &QCheckBox::toggled, this, &ActionRow::syncCheckToggled);
    connect(m_pitchRestore, &QCheckBox::toggled, this, &ActionRow::pitchRestoreToggled);
    connect(m_analyze, &QPushButton::clicked, this, &ActionRow::analyzeClicked);
    connect(m_mux, &QPushButton::clicked, this, &ActionRow::muxClicked);
    connect(m_cancel, &QPushButton::clicked, this, &ActionRow::cancelClicked);
    showState(ActionState());
}

void ActionRow::showState(const ActionState &state)
{
    m_analyze->setEnabled(state.hasSourceFolders && !state.isAnalyzing);
    // Switched during an analysis, the box would not say what that analysis does.
    m_syncCheck->setEnabled(!state.isAnalyzing);
    // A mux run keeps the choice it started with.
    m_pitchRestore->setEnabled(!state.isMuxing);
    {
        // Showing the model's values is no request to change them.
        const QSignalBlocker quietSyncCheck(m_syncCheck);
        const QSignalBlocker quietPitchRestore(m_pitchRestore);
        m_syncCheck->setChecked(state.isSyncCheckEnabled);
        m_pitchRestore->setChecked(state.isPitchRestoreEnabled);
    }
    m_analysisSpinner->setVisible(state.isAnalyzing);
    m_mux->setEnabled(state.hasOutputFolder && state.readyPairCount > 0 && !state.isAnalyzing &&
                      !state.isMuxing);

    m_muxItems->setVisible(state.isMuxing);
    m_progressText->setText(state.muxProgress);
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
