// The issue list's rows, following the model's issues as they are appended.
#include "IssueListModel.h"

#include "model/AppModel.h"
#include "model/IssueLine.h"
#include "StatusIcons.h"

IssueListModel::IssueListModel(const AppModel &model, QObject *parent)
    : QAbstractListModel(parent),
      m_model(model), m_icons{severityIcon(AnalysisIssueSeverity::information),
                              severityIcon(AnalysisIssueSeverity::warning),
                              severityIcon(AnalysisIssueSeverity::error)}
{
    for (const AnalysisIssue &issue : model.issues())
        m_shownIds << issue.id;
    connect(&model, &AppModel::issuesChanged, this, &IssueListModel::follow);
}

void IssueListModel::follow()
{
    const QList<AnalysisIssue> &issues = m_model.issues();
    const qsizetype shown = m_shownIds.size();
    // The model appends or starts a new list; comparing the first and the last shown row
    // tells the two apart without walking every row.
    const bool appended =
        issues.size() >= shown && (shown == 0 || (issues.first().id == m_shownIds.first() &&
                                                  issues.at(shown - 1).id == m_shownIds.last()));
    if (!appended) {
        beginResetModel();
        m_shownIds.clear();
        for (const AnalysisIssue &issue : issues)
            m_shownIds << issue.id;
        endResetModel();
        return;
    }
    if (issues.size() == shown)
        return;
    beginInsertRows(QModelIndex(), int(shown), int(issues.size() - 1));
    for (qsizetype row = shown; row < issues.size(); ++row)
        m_shownIds << issues.at(row).id;
    endInsertRows();
}

int IssueListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shownIds.size());
}

QVariant IssueListModel::data(const QModelIndex &index, int role) const
{
    const QList<AnalysisIssue> &issues = m_model.issues();
    if (!index.isValid() || index.row() >= m_shownIds.size() || index.row() >= issues.size())
        return {};
    const AnalysisIssue &issue = issues.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return issue.message;
    case Qt::DecorationRole:
        return m_icons.at(rawValue(issue.severity));
    case Qt::ForegroundRole:
        return severityColor(issue.severity);
    default:
        return {};
    }
}

QString issuesClipboardText(const QList<AnalysisIssue> &issues)
{
    QStringList lines;
    lines.reserve(issues.size());
    for (const AnalysisIssue &issue : issues)
        lines << issueLine(issue);
    return lines.join(u'\n');
}
