// One row of the folder box, which chooses a folder by dialog or by drop.
#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

class ElidedLabel;
class QLabel;
class QMimeData;
class QPushButton;

// One row of the folder box: its title, the chosen folder's path (or "Nicht ausgewählt") and
// the button that opens the folder chooser. A folder dropped onto the row chooses it too.
class FolderRow final : public QWidget {
    Q_OBJECT

public:
    FolderRow(const QString &title, const QString &chooserMessage, QWidget *parent = nullptr);

    void showFolder(const std::optional<QUrl> &folder);

    QString title() const;
    QString chooserMessage() const { return m_chooserMessage; }
    ElidedLabel *pathLabel() const { return m_path; }
    QPushButton *chooseButton() const { return m_choose; }

signals:
    void chooseRequested();
    void folderDropped(const QUrl &folder);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The one local folder that `data` carries; absent for files, several items or none.
    static std::optional<QUrl> droppedFolder(const QMimeData *data);

    QString m_chooserMessage;
    QLabel *m_title;
    ElidedLabel *m_path;
    QPushButton *m_choose;
};
