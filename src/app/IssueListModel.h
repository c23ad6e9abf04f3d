// The list model that shows the model's issues, one row each.
#pragma once

#include "media/AnalysisIssue.h"

#include <QAbstractListModel>
#include <QIcon>
#include <QUuid>

#include <array>

class AppModel;

// The rows of the issue list: one per entry of the model's issues, in their order. Follows
// the model incrementally: an issue appended to the list becomes one inserted row, so a long
// run never rebuilds the rows it already shows.
class IssueListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit IssueListModel(const AppModel &model, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void follow();

    const AppModel &m_model;
    QList<QUuid> m_shownIds;      // the ids of the rows, to tell an append from a new list
    std::array<QIcon, 3> m_icons; // by severity
};

// The issue list as the clipboard gets it: one "[Hinweis] …" line per issue, joined by line
// feeds, without a line feed after the last.
QString issuesClipboardText(const QList<AnalysisIssue> &issues);
