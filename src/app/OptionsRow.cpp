// The row of the run options.
#include "OptionsRow.h"

#include "ActionRow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QThread>

OptionsRow::OptionsRow(QWidget *parent)
    : QWidget(parent), m_title(new QLabel(QStringLiteral("Optionen"), this)),
      m_syncCheck(new QCheckBox(QStringLiteral("Tonversatz prüfen"), this)),
      m_pitchRestore(new QCheckBox(QStringLiteral("Tonhöhe korrigieren (neu kodieren)"), this)),
      m_cutRepair(new QCheckBox(QStringLiteral("Schnitte ausgleichen (neu kodieren)"), this)),
      m_jobsLabel(new QLabel(QStringLiteral("Gleichzeitig:"), this)), m_jobs(new QSpinBox(this))
{
    // One pair per core at most: beyond that the pairs only take turns on the processor.
    m_jobs->setRange(1, std::max(QThread::idealThreadCount(), 1));
    m_jobs->setAccessibleName(QStringLiteral("Gleichzeitig gemuxte Episoden"));
    m_jobs->setToolTip(m_jobs->accessibleName());
    m_jobsLabel->setBuddy(m_jobs);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(m_title, 0, Qt::AlignVCenter);
    layout->addWidget(m_syncCheck, 0, Qt::AlignVCenter);
    layout->addWidget(m_pitchRestore, 0, Qt::AlignVCenter);
    layout->addWidget(m_cutRepair, 0, Qt::AlignVCenter);
    auto *jobs = new QHBoxLayout;
    jobs->setSpacing(6);
    jobs->addWidget(m_jobsLabel, 0, Qt::AlignVCenter);
    jobs->addWidget(m_jobs, 0, Qt::AlignVCenter);
    layout->addLayout(jobs);
    layout->addStretch(1);

    connect(m_syncCheck, &QCheckBox::toggled, this, &OptionsRow::syncCheckToggled);
    connect(m_pitchRestore, &QCheckBox::toggled, this, &OptionsRow::pitchRestoreToggled);
    connect(m_cutRepair, &QCheckBox::toggled, this, &OptionsRow::cutRepairToggled);
    connect(m_jobs, &QSpinBox::valueChanged, this, &OptionsRow::jobsChanged);
    showState(ActionState());
}

void OptionsRow::showState(const ActionState &state)
{
    // Switched during an analysis, the box would not say what that analysis does.
    m_syncCheck->setEnabled(!state.isAnalyzing);
    // A mux run keeps the choices it started with.
    m_pitchRestore->setEnabled(!state.isMuxing);
    // It turns the sync check on, which the running analysis would not do.
    m_cutRepair->setEnabled(!state.isMuxing && !state.isAnalyzing);
    m_jobsLabel->setEnabled(!state.isMuxing);
    m_jobs->setEnabled(!state.isMuxing);
    // Showing the model's values is no request to change them.
    const QSignalBlocker quietSyncCheck(m_syncCheck);
    const QSignalBlocker quietPitchRestore(m_pitchRestore);
    const QSignalBlocker quietCutRepair(m_cutRepair);
    const QSignalBlocker quietJobs(m_jobs);
    m_syncCheck->setChecked(state.isSyncCheckEnabled);
    m_pitchRestore->setChecked(state.isPitchRestoreEnabled);
    m_cutRepair->setChecked(state.isCutRepairEnabled);
    m_jobs->setValue(state.muxJobs);
}

QList<QWidget *> OptionsRow::controls() const
{
    return {m_syncCheck, m_pitchRestore, m_cutRepair, m_jobs};
}
