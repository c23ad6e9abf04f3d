// One row of the folder box: title, path, chooser button, and folders dropped onto it.
#include "FolderRow.h"

#include "Appearance.h"
#include "ElidedLabel.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

FolderRow::FolderRow(const QString &title, const QString &chooserMessage, QWidget *parent)
    : QWidget(parent), m_chooserMessage(chooserMessage), m_title(new QLabel(title, this)),
      m_path(new ElidedLabel(this)), m_choose(new QPushButton(QStringLiteral("Auswählen …"), this))
{
    setAcceptDrops(true);
    m_title->setFixedWidth(75);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The row's title names the path for screen readers; the button says what it chooses, as
    // "Auswählen …" alone would not tell the three rows apart.
    m_path->setAccessibleName(title);
    m_choose->setAccessibleName(chooserMessage);
    m_choose->setToolTip(chooserMessage);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title, 0, Qt::AlignVCenter);
    layout->addWidget(m_path, 1, Qt::AlignVCenter);
    layout->addWidget(m_choose, 0, Qt::AlignVCenter);

    connect(m_choose, &QPushButton::clicked, this, &FolderRow::chooseRequested);
    showFolder(std::nullopt);
}

QString FolderRow::title() const
{
    return m_title->text();
}

void FolderRow::showFolder(const std::optional<QUrl> &folder)
{
    if (folder) {
        m_path->setFullText(folder->toLocalFile());
        m_path->setForegroundRole(QPalette::WindowText);
    } else {
        m_path->setFullText(QStringLiteral("Nicht ausgewählt"));
        makeSecondary(m_path);
    }
    m_path->setAccessibleDescription(m_path->fullText());
}

void FolderRow::dragEnterEvent(QDragEnterEvent *event)
{
    if (droppedFolder(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FolderRow::dragMoveEvent(QDragMoveEvent *event)
{
    if (droppedFolder(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FolderRow::dropEvent(QDropEvent *event)
{
    const std::optional<QUrl> folder = droppedFolder(event->mimeData());
    if (!folder) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit folderDropped(*folder);
}

std::optional<QUrl> FolderRow::droppedFolder(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return std::nullopt;
    const QFileInfo info(urls.first().toLocalFile());
    if (!info.isDir())
        return std::nullopt;
    return QUrl::fromLocalFile(info.absoluteFilePath());
}
