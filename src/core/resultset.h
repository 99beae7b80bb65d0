#pragma once
// The result of every query, from the shop database or the local store: named columns
// (looked up without regard to case), typed values, a current row to move through, and an
// optional filter ("abase>0") that hides rows from navigation the way a client data set does.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include "core/money.h"

namespace vorel {

enum class FieldType { Text, Integer, Decimal, DateTime };

struct Column {
    QString name;
    FieldType type = FieldType::Text;
};

// One value of the current row (or of a given row) with typed readers. A null value reads
// as an empty string, 0, Money{} and an invalid date.
class Field {
public:
    Field() = default;
    Field(QVariant value, FieldType type) : value_(std::move(value)), type_(type) {}
    bool isNull() const { return value_.isNull() || !value_.isValid(); }
    FieldType type() const { return type_; }
    const QVariant &variant() const { return value_; }
    QString asString() const;
    qint64 asInt() const;       // text that is not a number reads as 0
    double asDouble() const;
    Money asMoney() const;      // exact to four decimals
    bool asBool() const;        // 1/true/"1"/"True" are true
    QDateTime asDateTime() const;

private:
    QVariant value_;
    FieldType type_ = FieldType::Text;
};

class ResultSet {
public:
    ResultSet() = default;
    explicit ResultSet(QList<Column> columns);

    // Columns
    void setColumns(QList<Column> columns); // drops all rows
    int addColumn(const QString &name, FieldType type);
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const Column &column(int i) const { return columns_.at(i); }
    const QList<Column> &columns() const { return columns_; }
    int columnIndex(const QString &name) const; // -1 when absent
    bool hasColumn(const QString &name) const { return columnIndex(name) >= 0; }

    // Rows (raw, unfiltered indexes)
    void appendRow(QVariantList values); // padded or cut to the column count
    int totalRowCount() const { return static_cast<int>(rows_.size()); }
    const QVariantList &rawRow(int row) const { return rows_.at(row); }
    Field fieldAt(int rawRow, int column) const;
    void setValueAt(int rawRow, int column, const QVariant &v);
    void removeRawRow(int rawRow);
    void clear(); // rows only

    // Navigation over the visible (filtered) rows
    int rowCount() const;          // visible rows
    bool isEmpty() const { return rowCount() == 0; }
    bool first();
    bool last();
    bool next();                   // false and eof() at the end
    bool prior();
    bool eof() const;
    bool bof() const { return bof_; }
    int recNo() const { return cursor_; }      // 0-based among visible rows, -1 when empty
    bool setRecNo(int visibleRow);
    int currentRawRow() const;                 // -1 when there is no current row

    // Current row
    Field field(const QString &name) const;     // a missing column gives a null Field
    Field field(int column) const;
    QVariant value(const QString &name) const { return field(name).variant(); }
    void setValue(const QString &name, const QVariant &v); // on the current row

    // Filter: comparisons "col op value" (op = <> != < <= > >=), values numbers or
    // 'quoted text', joined by AND / OR (AND binds tighter), parentheses allowed.
    // Returns false (and leaves the previous filter) when the text cannot be read.
    bool setFilter(const QString &expression);
    void clearFilter();
    QString filter() const { return filterText_; }
    bool filtered() const { return !filterText_.isEmpty(); }

    // Copies the visible rows of `other` into this set, matching columns by name
    // (columns of this set that `other` lacks stay null). With no columns yet, takes other's.
    void appendRowsFrom(const ResultSet &other);
    // Copies only the current row of `other`.
    void appendCurrentRowFrom(const ResultSet &other);

private:
    struct FilterNode;
    void rebuildVisible();
    bool rowMatches(int rawRow) const;

    QList<Column> columns_;
    QList<QVariantList> rows_;
    QString filterText_;
    std::shared_ptr<const FilterNode> filterRoot_;
    QList<int> visible_; // raw indexes of visible rows
    int cursor_ = -1;
    bool eof_ = true;
    bool bof_ = true;
};

} // namespace vorel
