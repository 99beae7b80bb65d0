#pragma once
// The result of every query, from the shop database or the local store: named columns
// (looked up without regard to case), typed values, a current row to move through, and an
// optional filter ("abase>0") that hides rows from navigation the way a client data set does.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

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
    void setColumns(QList<Column> columns); // drops all rows and the filter
    int addColumn(const QString &name, FieldType type); // existing rows get a null value
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const Column &column(int i) const { return columns_.at(i); }
    const QList<Column> &columns() const { return columns_; }
    int columnIndex(const QString &name) const; // -1 when absent
    bool hasColumn(const QString &name) const { return columnIndex(name) >= 0; }
    void renameColumn(int i, const QString &name) { columns_[i].name = name; }

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
    int rawRowOf(int visibleRow) const; // -1 when there is no such visible row
    bool isEmpty() const { return rowCount() == 0; }
    // As on a client data set: first() sets bof(), last() sets eof() (the cursor stays on the
    // last row), next() past the end and prior() before the start only set the flag.
    // Appending to a set without a current row puts the cursor on the first row.
    bool first();
    bool last();
    bool next();                   // false and eof() at the end
    bool prior();                  // false and bof() at the start
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
    // A changed row that no longer passes the filter leaves the view; the cursor then moves
    // to the row that took its place.

    // Filter: comparisons "col op value" (op = <> != < <= > >=), values numbers or
    // 'quoted text' (a doubled quote stands for one), joined by AND / OR (AND binds tighter,
    // keywords in any case), parentheses allowed. A number compares numerically with a value
    // that reads as a number (null reads as 0), anything else compares as text. Returns false
    // (and leaves the previous filter) when the text cannot be read or names a missing
    // column. An empty text clears the filter. Setting or clearing moves to the first row.
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
    void moveToFirst();
    // After the visible rows changed: back onto `rawRow` if it is still visible, else onto
    // visible index `fallback` (clamped).
    void restoreCursor(int rawRow, int fallback);
    void setColumnsKeepingRows(const QList<Column> &columns);

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
