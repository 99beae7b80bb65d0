#pragma once
// The pickers' grids read a result set through this read-only table model: its visible rows
// (a filter on the set hides rows here too), and either chosen columns under captions of
// their own or every column under its name. The set stays the owner's; after its rows or
// its filter changed, reload() shows it anew.

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include "core/resultset.h"

namespace vorel {

class ResultSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString caption;
        QString field;       // looked up without regard to case; a missing one shows empty cells
        bool amount = false; // shown as a plain amount ("79", "59.5") whatever the field's type
    };

    // No columns: every column of the set, captioned with its name. `rows` must outlive the model.
    explicit ResultSetModel(const ResultSet &rows, QList<Column> columns = {}, QObject *parent = nullptr);

    void reload();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void resolveColumns();

    const ResultSet &rows_;
    QList<Column> chosen_;  // as given; empty for every column
    QList<Column> columns_; // what is shown
    QList<int> sources_;    // the set's index of each shown column, -1 when it has none
};

} // namespace vorel
