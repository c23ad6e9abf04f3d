// The row of the run options: the sync check, the pitch restoration, the cut repair and the
// parallel pairs.
#pragma once

#include <QWidget>

struct ActionState;
class QCheckBox;
class QLabel;
class QSpinBox;

// "Optionen": what the next analysis and the next mux run do. A box that the running
// analysis or mux run reads is locked until it ends, so it never says something the run does
// not do.
class OptionsRow final : public QWidget {
    Q_OBJECT

public:
    explicit OptionsRow(QWidget *parent = nullptr);

    void showState(const ActionState &state);

    QLabel *titleLabel() const { return m_title; }
    QCheckBox *syncCheckBox() const { return m_syncCheck; }
    QCheckBox *pitchRestoreBox() const { return m_pitchRestore; }
    QCheckBox *cutRepairBox() const { return m_cutRepair; }
    QSpinBox *jobsBox() const { return m_jobs; }

    // The controls in the order of the screen, for the keyboard order.
    QList<QWidget *> controls() const;

signals:
    void syncCheckToggled(bool enabled);
    void pitchRestoreToggled(bool enabled);
    void cutRepairToggled(bool enabled);
    void jobsChanged(int jobs);

private:
    QLabel *m_title;
    QCheckBox *m_syncCheck;
    QCheckBox *m_pitchRestore;
    QCheckBox *m_cutRepair;
    QLabel *m_jobsLabel;
    QSpinBox *m_jobs;
};
