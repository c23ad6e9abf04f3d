#include "PairTableModel.h"

#include "Appearance.h"
#include "media/Naming.h"
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
      m_episodeFont(withTabularDigits(QApplication::font()))
{
    connect(&model, &AppModel::pairsChanged, this, &PairTableModel::follow);
}

void PairTableModel::follow()
{
    // The model publishes a new pair list as a whole, once per analysis.
    beginResetModel();
    m_pairs = m_model.pairs();
    endResetModel();
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
            return rawValue(pair.status);
        }
        break;
    case Qt::DecorationRole:
        if (column == status)
            return pair.status == PairStatus::ready ? m_readyIcon : m_attentionIcon;
        break;
    case Qt::ForegroundRole:
        if (column == status)
            return statusColor(pair.status);
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
    QStringList texts;
    for (PairStatus status : {PairStatus::ready, PairStatus::missingPrimary,
                              PairStatus::missingLocalized, PairStatus::ambiguous})
        texts << rawValue(status);
    return texts;
}
