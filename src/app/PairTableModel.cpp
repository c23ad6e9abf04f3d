// The rows of the pair table.
#include "PairTableModel.h"

#include "Appearance.h"
#include "media/Naming.h"
#include "media/PairReadability.h"
#include "model/AppModel.h"
#include "StatusIcons.h"

#include <QApplication>

namespace {

QString nameOrDash(const std::optional<MediaFile> &file)
{
    return file ? fileNameOf(file->url) : QStringLiteral("–");
}

} // namespace

PairTableModel::PairTableModel(const AppModel &model, QObject *parent)
    : QAbstractTableModel(parent), m_model(model), m_pairs(model.pairs()),
      m_readyIcon(statusIcon(PairStatus::ready)),
      m_attentionIcon(statusIcon(PairStatus::ambiguous)),
      m_unreadableIcon(severityIcon(AnalysisIssueSeverity::error)),
      m_episodeFont(withTabularDigits(QApplication::font()))
{
    connect(&model, &AppModel::pairsChanged, this, &PairTableModel::follow);
    connect(&model, &AppModel::isAnalyzingChanged, this, &PairTableModel::judgeReadability);
    judgeReadability();
}

void PairTableModel::follow()
{
    // The model publishes a new pair list as a whole, once per analysis.
    beginResetModel();
    m_pairs = m_model.pairs();
    m_unreadable.clear();
    endResetModel();
    judgeReadability();
}

void PairTableModel::judgeReadability()
{
    m_unreadable.clear();
    // Until every file had its turn, a missing inspection says nothing.
    if (!m_model.isAnalyzing()) {
        for (const EpisodePair &pair : std::as_const(m_pairs))
            m_unreadable << isUnreadable(pair, m_model.inspections());
    }
    if (!m_pairs.isEmpty())
        emit dataChanged(index(0, status), index(int(m_pairs.size()) - 1, status));
}

int PairTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_pairs.size());
}

int PairTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant PairTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_pairs.size())
        return {};
    const EpisodePair &pair = m_pairs.at(index.row());
    const bool unreadable = m_unreadable.value(index.row());
    const auto column = Column(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (column) {
        case episode:
            return episodeLabel(pair);
        case primaryFile:
            return nameOrDash(pair.primary);
        case localizedFile:
            return nameOrDash(pair.localized);
        case outputFile:
            return outputFileName(pair);
        case status:
            return unreadable ? unreadableStatusText() : rawValue(pair.status);
        }
        break;
    case Qt::DecorationRole:
        if (column == status && unreadable)
            return m_unreadableIcon;
        if (column == status)
            return pair.status == PairStatus::ready ? m_readyIcon : m_attentionIcon;
        break;
    case Qt::ForegroundRole:
        if (column == status)
            return unreadable ? failureColor() : statusColor(pair.status);
        break;
    case Qt::FontRole:
        if (column == episode)
            return m_episodeFont;
        break;
    default:
        break;
    }
    return {};
}

QVariant PairTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (Column(section)) {
    case episode:
        return QStringLiteral("Episode");
    case primaryFile:
        return QStringLiteral("Ordner 1");
    case localizedFile:
        return QStringLiteral("Ordner 2");
    case outputFile:
        return QStringLiteral("Ausgabedatei");
    case status:
        return QStringLiteral("Status");
    }
    return {};
}

QStringList PairTableModel::statusTexts()
{
    QStringList texts{unreadableStatusText()};
    for (PairStatus status : {PairStatus::ready, PairStatus::missingPrimary,
                              PairStatus::missingLocalized, PairStatus::ambiguous})
        texts << rawValue(status);
    return texts;
}
