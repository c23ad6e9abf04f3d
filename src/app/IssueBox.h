// The box of notes, warnings and errors, and copying them.
#pragma once

#include <QGroupBox>

class AppModel;
class IssueListModel;
class QListView;
class QPushButton;

// "Hinweise und Warnungen": the button that copies the whole list, and the scrolling list of
// notes, warnings and errors. Rows can be selected and copied with the usual shortcut.
class IssueBox final : public QGroupBox {
    Q_OBJECT

public:
    explicit IssueBox(const AppModel &model, QWidget *parent = nullptr);

    QPushButton *copyButton() const { return m_copy; }
    QListView *list() const { return m_list; }

    // Puts the whole issue list on the clipboard.
    void copyAll() const;

private:
    void copySelectedRows() const;

    const AppModel &m_model;
    IssueListModel *m_rows;
    QPushButton *m_copy;
    QListView *m_list;
};
