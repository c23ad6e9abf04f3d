// The rows of the pair table.
#pragma once

#include "media/EpisodePair.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>

class AppModel;

// The pair table's rows: one per entry of the model's pairs, in their order. Once the analysis
// is over, a ready pair whose file could not be read says so in its status.
class PairTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { episode, primaryFile, localizedFile, outputFile, status };
    static constexpr int columns = status + 1;

    explicit PairTableModel(const AppModel &model, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The status texts, for the width of their column.
    static QStringList statusTexts();

private:
    void follow();
    void judgeReadability();

    const AppModel &m_model;
    QList<EpisodePair> m_pairs; // what the rows show; shares its data with the model's list
    QList<bool> m_unreadable;   // by row; empty while the analysis runs
    QIcon m_readyIcon;
    QIcon m_attentionIcon;
    QIcon m_unreadableIcon;
    QFont m_episodeFont;
};
