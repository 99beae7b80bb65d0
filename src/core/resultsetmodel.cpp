#include "core/resultsetmodel.h"

namespace vorel {

ResultSetModel::ResultSetModel(const ResultSet &rows, QList<Column> columns, QObject *parent)
    : QAbstractTableModel(parent), rows_(rows), chosen_(std::move(columns))
{
    resolveColumns();
}

void ResultSetModel::resolveColumns()
{
    columns_ = chosen_;
    if (columns_.isEmpty()) {
        for (const vorel::Column &c : rows_.columns())
            columns_.append({c.name, c.name});
    }
    sources_.clear();
    for (const Column &c : std::as_const(columns_))
        sources_.append(rows_.columnIndex(c.field));
}

void ResultSetModel::reload()
{
    beginResetModel();
    resolveColumns();
    endResetModel();
}

int ResultSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_.rowCount();
}

int ResultSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ResultSetModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.column() >= columnCount())
        return {};
    const int raw = rows_.rawRowOf(index.row());
    const int source = sources_.at(index.column());
    if (raw < 0 || source < 0)
        return QString();
    const Field field = rows_.fieldAt(raw, source);
    if (columns_.at(index.column()).amount && !field.isNull())
        return field.asMoney().toPlainString();
    return field.asString();
}

QVariant ResultSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return columns_.at(section).caption;
}

} // namespace vorel
