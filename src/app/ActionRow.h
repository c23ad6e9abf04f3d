#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class AppModel;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class Spinner;

// What the action row shows, read from the model.
struct ActionState {
    bool hasSourceFolders = false; // folder 1 and folder 2 chosen
    bool hasOutputFolder = false;
    qsizetype pairCount = 0;
    qsizetype readyPairCount = 0;
    bool isAnalyzing = false;
    bool isMuxing = false;
    bool isCancelling = false;
    bool isSyncCheckEnabled = false;
    bool isPitchRestoreEnabled = false;
    QString muxProgress;
    std::optional<double> muxFraction;
    std::optional<double> muxETA;

    static ActionState of(const AppModel &model);
};

// The row below the folders: analyse, mux with its progress and cancel, and the pair count.
class ActionRow final : public QWidget {
    Q_OBJECT

public:
    explicit ActionRow(QWidget *parent = nullptr);

    void showState(const ActionState &state);

    QCheckBox *syncCheckBox() const { return m_syncCheck; }
    QCheckBox *pitchRestoreBox() const { return m_pitchRestore; }
    QPushButton *analyzeButton() const { return m_analyze; }
    QPushButton *muxButton() const { return m_mux; }
    QPushButton *cancelButton() const { return m_cancel; }
    Spinner *analysisSpinner() const { return m_analysisSpinner; }
    QWidget *muxItems() const { return m_muxItems; }
    Spinner *muxSpinner() const { return m_muxSpinner; }
    QProgressBar *progressBar() const { return m_progress; }
    QLabel *progressText() const { return m_progressText; }
    QLabel *percentLabel() const { return m_percent; }
    QLabel *remainingTimeLabel() const { return m_remaining; }
    QLabel *pairCountLabel() const { return m_pairCount; }

signals:
    void syncCheckToggled(bool enabled);
    void pitchRestoreToggled(bool enabled);
    void analyzeClicked();
    void muxClicked();
    void cancelClicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void styleButtons();

    QCheckBox *m_syncCheck;
    QCheckBox *m_pitchRestore;
    QPushButton *m_analyze;
    Spinner *m_analysisSpinner;
    QPushButton *m_mux;
    QWidget *m_muxItems;
    QLabel *m_progressText;
    Spinner *m_muxSpinner;
    QProgressBar *m_progress;
    QLabel *m_percent;
    QLabel *m_remaining;
    QPushButton *m_cancel;
    QLabel *m_pairCount;
    bool m_styling = false;
};
