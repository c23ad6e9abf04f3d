// The texts of a table view's cells, as the window tests compare them.
#pragma once

#include <QAbstractItemModel>
#include <QStringList>
#include <QTableView>

// The display texts of one column, top to bottom.
inline QStringList column(const QTableView *table, int column)
{
    QStringList cells;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        cells << table->model()->index(row, column).data().toString();
    return cells;
}
