// The main window's content.
#pragma once

#include "FolderChooser.h"

#include <QWidget>

#include <array>

class ActionRow;
class AppModel;
class FolderRow;
class IssueBox;
class MuxAnnouncer;
class OptionsRow;
class PairDetail;
class PairTableModel;
class QTableView;

// The main window's content: title, the three folders, the options, the action row, the pair
// table with the selected pair's detail, and the issue list. Shows only what the model holds and changes only when the model says
// so; every action returns at once.
class ContentView final : public QWidget {
    Q_OBJECT

public:
    explicit ContentView(AppModel &model, FolderChooser chooser = chooseFolder,
                         QWidget *parent = nullptr);

    // Folder 1, folder 2 and the output folder, in this order.
    const std::array<FolderRow *, 3> &folderRows() const { return m_folderRows; }
    OptionsRow *optionsRow() const { return m_optionsRow; }
    ActionRow *actionRow() const { return m_actionRow; }
    QTableView *pairTable() const { return m_pairTable; }
    PairDetail *pairDetail() const { return m_pairDetail; }
    IssueBox *issueBox() const { return m_issueBox; }
    MuxAnnouncer *muxAnnouncer() const { return m_announcer; }

private:
    // One of the model's three folder properties.
    struct FolderProperty {
        std::function<std::optional<QUrl>()> read;
        std::function<void(const std::optional<QUrl> &)> write;
        void (AppModel::*changed)();
    };

    FolderRow *addFolderRow(QWidget *box, const QString &title, const QString &chooserMessage,
                            FolderProperty property);
    QTableView *makePairTable();
    void showActions();
    void showIssueBox();
    void arrangeTabOrder();

    AppModel &m_model;
    FolderChooser m_chooser;
    std::array<FolderRow *, 3> m_folderRows{};
    OptionsRow *m_optionsRow = nullptr;
    ActionRow *m_actionRow = nullptr;
    PairTableModel *m_pairs = nullptr;
    QTableView *m_pairTable = nullptr;
    PairDetail *m_pairDetail = nullptr;
    IssueBox *m_issueBox = nullptr;
    MuxAnnouncer *m_announcer = nullptr;
};
