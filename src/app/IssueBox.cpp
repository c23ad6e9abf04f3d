// The issue list's box: the copy button, the list, and copying the selected rows.
#include "IssueBox.h"

#include "IssueListModel.h"
#include "model/AppModel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

IssueBox::IssueBox(const AppModel &model, QWidget *parent)
    : QGroupBox(QStringLiteral("Hinweise und Warnungen"), parent), m_model(model),
      m_rows(new IssueListModel(model, this)),
      m_copy(new QPushButton(QStringLiteral("In Zwischenablage"), this)),
      m_list(new QListView(this))
{
    m_copy->setToolTip(QStringLiteral("Alle Hinweise und Warnungen kopieren"));
    m_copy->setAccessibleDescription(m_copy->toolTip());

    m_list->setModel(m_rows);
    m_list->setAccessibleName(title());
    m_list->setMaximumHeight(110);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true); // hundreds of rows lay out without measuring each
    m_list->setSpacing(3);             // 6 between rows; 3 plus the frame at the edges
    m_list->setIconSize(QSize(16, 16));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->viewport()->setBackgroundRole(QPalette::Window);

    auto *copySelection = new QAction(QStringLiteral("Kopieren"), m_list);
    copySelection->setShortcut(QKeySequence::Copy);
    copySelection->setShortcutContext(Qt::WidgetShortcut);
    m_list->addAction(copySelection);
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copySelection, &QAction::triggered, this, &IssueBox::copySelectedRows);
    connect(m_copy, &QPushButton::clicked, this, &IssueBox::copyAll);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addWidget(m_copy, 0, Qt::AlignRight);
    layout->addWidget(m_list);
}

void IssueBox::copyAll() const
{
    QGuiApplication::clipboard()->setText(issuesClipboardText(m_model.issues()));
}

void IssueBox::copySelectedRows() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList messages;
    for (const QModelIndex &row : std::as_const(rows))
        messages << row.data().toString();
    if (!messages.isEmpty())
        QGuiApplication::clipboard()->setText(messages.join(u'\n'));
}
