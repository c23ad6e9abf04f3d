// The action row below the options, and the state of the window's actions read from the model.
#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class AppModel;
class ElidedLabel;
class QLabel;
class QProgressBar;
class QPushButton;
class Spinner;

// What the action row shows, read from the model.
struct ActionState {
    bool hasSourceFolders = false; // folder 1 and folder 2 chosen
    bool hasOutputFolder = false;
    qsizetype pairCount = 0;
    qsizetype muxablePairCount = 0; // ready, and both files read once the analysis is over
    bool isAnalyzing = false;
    bool isMuxing = false;
    bool isCancelling = false;
    bool isSyncCheckEnabled = false;
    bool isPitchRestoreEnabled = false;
    bool isCutRepairEnabled = false;
    int muxJobs = 1;
    QString muxProgress;
    std::optional<double> muxFraction;
    std::optional<double> muxETA;

    static ActionState of(const AppModel &model);
};

// The row below the options: analyse, mux with its progress and cancel, and the pair count.
class ActionRow final : public QWidget {
    Q_OBJECT

public:
    explicit ActionRow(QWidget *parent = nullptr);

    void showState(const ActionState &state);

    // Wide enough for a run's items too, while they are hidden.
    QSize minimumSizeHint() const override;

    QPushButton *analyzeButton() const { return m_analyze; }
    QPushButton *muxButton() const { return m_mux; }
    QPushButton *cancelButton() const { return m_cancel; }
    Spinner *analysisSpinner() const { return m_analysisSpinner; }
    QWidget *muxItems() const { return m_muxItems; }
    Spinner *muxSpinner() const { return m_muxSpinner; }
    QProgressBar *progressBar() const { return m_progress; }
    ElidedLabel *progressText() const { return m_progressText; }
    QLabel *percentLabel() const { return m_percent; }
    QLabel *remainingTimeLabel() const { return m_remaining; }
    QLabel *pairCountLabel() const { return m_pairCount; }

signals:
    void analyzeClicked();
    void muxClicked();
    void cancelClicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void styleButtons();

    QPushButton *m_analyze;
    Spinner *m_analysisSpinner;
    QPushButton *m_mux;
    QWidget *m_muxItems;
    ElidedLabel *m_progressText;
    Spinner *m_muxSpinner;
    QProgressBar *m_progress;
    QLabel *m_percent;
    QLabel *m_remaining;
    QPushButton *m_cancel;
    QLabel *m_pairCount;
    bool m_styling = false;
};
