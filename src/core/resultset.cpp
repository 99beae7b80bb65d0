#include "core/resultset.h"

#include <QDate>
#include <algorithm>
#include <optional>
#include <vector>

#include "core/clock.h"

namespace vorel {

namespace {

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isWholeNumber(const QVariant &v)
{
    return isNumber(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}

bool isDateOrTime(const QVariant &v)
{
    return v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate;
}

std::optional<double> numberFromText(const QString &text)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return d;
}

} // namespace

// ---- Field

QString Field::asString() const
{
    if (isNull())
        return {};
    if (isDateOrTime(value_))
        return formatDateTime(asDateTime());
    switch (type_) {
    case FieldType::Decimal:
        if (isNumber(value_))
            return asMoney().toPlainString();
        if (const auto m = Money::parse(value_.toString()))
            return m->toPlainString();
        break;
    case FieldType::DateTime: {
        const QDateTime t = asDateTime();
        if (t.isValid())
            return formatDateTime(t);
        break;
    }
    case FieldType::Integer:
    case FieldType::Text:
        break;
    }
    return value_.toString();
}

qint64 Field::asInt() const
{
    if (isNull() || isDateOrTime(value_))
        return 0;
    if (value_.typeId() == QMetaType::Bool)
        return value_.toBool() ? 1 : 0;
    if (isWholeNumber(value_))
        return value_.toLongLong();
    if (isNumber(value_))
        return qRound64(value_.toDouble());
    const QString text = value_.toString().trimmed();
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    if (const auto d = numberFromText(text))
        return qRound64(*d);
    return 0;
}

double Field::asDouble() const
{
    if (isNull() || isDateOrTime(value_))
        return 0.0;
    if (value_.typeId() == QMetaType::Bool)
        return value_.toBool() ? 1.0 : 0.0;
    if (isNumber(value_))
        return value_.toDouble();
    return numberFromText(value_.toString()).value_or(0.0);
}

Money Field::asMoney() const
{
    if (isNull() || isDateOrTime(value_))
        return {};
    if (value_.typeId() == QMetaType::Bool)
        return Money::fromUnits(value_.toBool() ? 1 : 0);
    if (isWholeNumber(value_))
        return Money::fromUnits(value_.toLongLong());
    if (isNumber(value_))
        return Money::fromDouble(value_.toDouble());
    const QString text = value_.toString();
    if (const auto m = Money::parse(text))
        return *m;
    if (const auto d = numberFromText(text))
        return Money::fromDouble(*d);
    return {};
}

bool Field::asBool() const
{
    if (isNull() || isDateOrTime(value_))
        return false;
    if (value_.typeId() == QMetaType::Bool)
        return value_.toBool();
    if (isNumber(value_))
        return value_.toDouble() != 0.0;
    const QString text = value_.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    const auto d = numberFromText(text);
    return d && *d != 0.0;
}

QDateTime Field::asDateTime() const
{
    if (isNull())
        return {};
    if (value_.typeId() == QMetaType::QDateTime)
        return value_.toDateTime();
    if (value_.typeId() == QMetaType::QDate)
        return QDateTime(value_.toDate(), QTime(0, 0, 0));
    if (value_.typeId() == QMetaType::QString)
        return parseDateTime(value_.toString());
    return {};
}

// ---- Filter expressions

namespace {

enum class CompareOp { Eq, Ne, Lt, Le, Gt, Ge };

struct Expr {
    enum class Kind { And, Or, Compare };
    Kind kind = Kind::Compare;
    std::vector<Expr> operands; // And / Or
    int column = -1;            // Compare
    CompareOp op = CompareOp::Eq;
    QString text;                 // the literal as text
    std::optional<double> number; // set for an unquoted number
};

// expr := and (OR and)* ; and := primary (AND primary)* ;
// primary := '(' expr ')' | column op literal ; literal := number | 'text'
class FilterParser {
public:
    FilterParser(const QString &text, const ResultSet &set) : s_(text), set_(set) {}

    std::optional<Expr> parse()
    {
        auto e = parseList(Expr::Kind::Or);
        skipSpace();
        if (!e || pos_ != s_.size())
            return std::nullopt;
        return e;
    }

private:
    std::optional<Expr> parseList(Expr::Kind kind)
    {
        const bool isOr = kind == Expr::Kind::Or;
        const auto operand = [&] { return isOr ? parseList(Expr::Kind::And) : parsePrimary(); };
        auto first = operand();
        if (!first)
            return std::nullopt;
        Expr node;
        node.kind = kind;
        node.operands.push_back(std::move(*first));
        while (keyword(isOr ? "or" : "and")) {
            auto more = operand();
            if (!more)
                return std::nullopt;
            node.operands.push_back(std::move(*more));
        }
        if (node.operands.size() == 1)
            return std::move(node.operands.front());
        return node;
    }

    std::optional<Expr> parsePrimary()
    {
        if (accept(u'(')) {
            auto inner = parseList(Expr::Kind::Or);
            if (!inner || !accept(u')'))
                return std::nullopt;
            return inner;
        }
        Expr cmp;
        cmp.column = set_.columnIndex(identifier());
        if (cmp.column < 0 || !compareOp(cmp.op) || !literal(cmp))
            return std::nullopt;
        return cmp;
    }

    static bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

    void skipSpace()
    {
        while (pos_ < s_.size() && s_[pos_].isSpace())
            ++pos_;
    }

    bool accept(char16_t c)
    {
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool keyword(const char *word)
    {
        skipSpace();
        const QLatin1String kw(word);
        if (s_.mid(pos_, kw.size()).compare(kw, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype end = pos_ + kw.size();
        if (end < s_.size() && isNameChar(s_[end]))
            return false;
        pos_ = end;
        return true;
    }

    QString identifier()
    {
        skipSpace();
        const qsizetype start = pos_;
        if (pos_ < s_.size() && !s_[pos_].isDigit())
            while (pos_ < s_.size() && isNameChar(s_[pos_]))
                ++pos_;
        return s_.mid(start, pos_ - start);
    }

    bool compareOp(CompareOp &op)
    {
        skipSpace();
        static const std::pair<const char *, CompareOp> ops[] = {
            {"<=", CompareOp::Le}, {">=", CompareOp::Ge}, {"<>", CompareOp::Ne}, {"!=", CompareOp::Ne},
            {"=", CompareOp::Eq},  {"<", CompareOp::Lt},  {">", CompareOp::Gt},
        };
        for (const auto &[text, value] : ops) {
            const QLatin1String t(text);
            if (s_.mid(pos_, t.size()) == t) {
                pos_ += t.size();
                op = value;
                return true;
            }
        }
        return false;
    }

    bool literal(Expr &cmp)
    {
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == u'\'') {
            ++pos_;
            while (pos_ < s_.size()) {
                const QChar c = s_[pos_++];
                if (c != u'\'') {
                    cmp.text += c;
                } else if (pos_ < s_.size() && s_[pos_] == u'\'') {
                    cmp.text += c;
                    ++pos_;
                } else {
                    return true;
                }
            }
            return false; // no closing quote
        }
        const qsizetype start = pos_;
        if (pos_ < s_.size() && (s_[pos_] == u'-' || s_[pos_] == u'+'))
            ++pos_;
        int digits = 0;
        bool point = false;
        for (; pos_ < s_.size(); ++pos_) {
            if (s_[pos_].isDigit())
                ++digits;
            else if (s_[pos_] == u'.' && !point)
                point = true;
            else
                break;
        }
        if (digits == 0 || (pos_ < s_.size() && isNameChar(s_[pos_])))
            return false;
        cmp.text = s_.mid(start, pos_ - start);
        cmp.number = numberFromText(cmp.text);
        return cmp.number.has_value();
    }

    const QString &s_;
    const ResultSet &set_;
    qsizetype pos_ = 0;
};

template <typename T>
int threeWay(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool holds(CompareOp op, int order)
{
    switch (op) {
    case CompareOp::Eq: return order == 0;
    case CompareOp::Ne: return order != 0;
    case CompareOp::Lt: return order < 0;
    case CompareOp::Le: return order <= 0;
    case CompareOp::Gt: return order > 0;
    case CompareOp::Ge: return order >= 0;
    }
    return false;
}

bool evaluate(const Expr &e, const ResultSet &set, int rawRow)
{
    switch (e.kind) {
    case Expr::Kind::And:
        for (const Expr &sub : e.operands)
            if (!evaluate(sub, set, rawRow))
                return false;
        return true;
    case Expr::Kind::Or:
        for (const Expr &sub : e.operands)
            if (evaluate(sub, set, rawRow))
                return true;
        return false;
    case Expr::Kind::Compare:
        break;
    }
    const Field f = set.fieldAt(rawRow, e.column);
    if (e.number) {
        const QVariant &v = f.variant();
        const bool numeric = f.isNull() || isNumber(v) || v.typeId() == QMetaType::Bool
                             || (v.typeId() == QMetaType::QString && numberFromText(v.toString()));
        if (numeric) {
            // Amounts compare at their four decimals, so 0.1 + 0.2 equals 0.3.
            if (f.type() == FieldType::Decimal)
                return holds(e.op, threeWay(f.asMoney(), Money::fromDouble(*e.number)));
            return holds(e.op, threeWay(f.asDouble(), *e.number));
        }
    }
    return holds(e.op, QString::compare(f.asString(), e.text, Qt::CaseSensitive));
}

} // namespace

struct ResultSet::FilterNode {
    Expr root;
};

// ---- ResultSet: columns and rows

ResultSet::ResultSet(QList<Column> columns) : columns_(std::move(columns)) {}

void ResultSet::setColumns(QList<Column> columns)
{
    columns_ = std::move(columns);
    rows_.clear();
    filterText_.clear();
    filterRoot_.reset();
    rebuildVisible();
    moveToFirst();
}

int ResultSet::addColumn(const QString &name, FieldType type)
{
    columns_.append(Column{name, type});
    for (QVariantList &row : rows_)
        row.append(QVariant());
    return columnCount() - 1;
}

int ResultSet::columnIndex(const QString &name) const
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < columnCount(); ++i)
        if (columns_.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void ResultSet::appendRow(QVariantList values)
{
    values.resize(columns_.size());
    rows_.append(std::move(values));
    const int raw = totalRowCount() - 1;
    if (!rowMatches(raw))
        return;
    visible_.append(raw);
    if (cursor_ < 0)
        moveToFirst();
}

Field ResultSet::fieldAt(int rawRow, int column) const
{
    if (column < 0 || column >= columnCount())
        return {};
    const FieldType type = columns_.at(column).type;
    if (rawRow < 0 || rawRow >= totalRowCount())
        return Field(QVariant(), type);
    return Field(rows_.at(rawRow).at(column), type);
}

void ResultSet::setValueAt(int rawRow, int column, const QVariant &v)
{
    if (rawRow < 0 || rawRow >= totalRowCount() || column < 0 || column >= columnCount())
        return;
    rows_[rawRow][column] = v;
    if (!filterRoot_)
        return;
    const int current = currentRawRow();
    const int at = cursor_;
    rebuildVisible();
    restoreCursor(current, at);
}

void ResultSet::removeRawRow(int rawRow)
{
    if (rawRow < 0 || rawRow >= totalRowCount())
        return;
    const int current = currentRawRow();
    const int at = cursor_;
    rows_.removeAt(rawRow);
    rebuildVisible();
    restoreCursor(current == rawRow ? -1 : (current > rawRow ? current - 1 : current), at);
}

void ResultSet::clear()
{
    rows_.clear();
    rebuildVisible();
    moveToFirst();
}

// ---- Navigation

int ResultSet::rowCount() const
{
    return static_cast<int>(visible_.size());
}

int ResultSet::rawRowOf(int visibleRow) const
{
    return visibleRow >= 0 && visibleRow < rowCount() ? visible_.at(visibleRow) : -1;
}

void ResultSet::moveToFirst()
{
    cursor_ = visible_.isEmpty() ? -1 : 0;
    bof_ = true;
    eof_ = visible_.isEmpty();
}

void ResultSet::restoreCursor(int rawRow, int fallback)
{
    if (visible_.isEmpty()) {
        moveToFirst();
        return;
    }
    const qsizetype found = rawRow >= 0 ? visible_.indexOf(rawRow) : -1;
    if (found >= 0) {
        cursor_ = static_cast<int>(found);
        return;
    }
    cursor_ = std::clamp(fallback, 0, rowCount() - 1);
    bof_ = false;
    eof_ = false;
}

bool ResultSet::first()
{
    moveToFirst();
    return cursor_ >= 0;
}

bool ResultSet::last()
{
    if (visible_.isEmpty()) {
        moveToFirst();
        return false;
    }
    cursor_ = rowCount() - 1;
    bof_ = false;
    eof_ = true;
    return true;
}

bool ResultSet::next()
{
    if (eof_ || visible_.isEmpty()) {
        eof_ = true;
        return false;
    }
    bof_ = false;
    if (cursor_ + 1 >= rowCount()) {
        eof_ = true;
        return false;
    }
    ++cursor_;
    return true;
}

bool ResultSet::prior()
{
    if (bof_ || visible_.isEmpty()) {
        bof_ = true;
        return false;
    }
    eof_ = false;
    if (cursor_ <= 0) {
        bof_ = true;
        return false;
    }
    --cursor_;
    return true;
}

bool ResultSet::eof() const
{
    return eof_ || visible_.isEmpty();
}

bool ResultSet::setRecNo(int visibleRow)
{
    if (visibleRow < 0 || visibleRow >= rowCount())
        return false;
    cursor_ = visibleRow;
    bof_ = false;
    eof_ = false;
    return true;
}

int ResultSet::currentRawRow() const
{
    return rawRowOf(cursor_);
}

// ---- Current row

Field ResultSet::field(const QString &name) const
{
    return field(columnIndex(name));
}

Field ResultSet::field(int column) const
{
    return fieldAt(currentRawRow(), column);
}

void ResultSet::setValue(const QString &name, const QVariant &v)
{
    setValueAt(currentRawRow(), columnIndex(name), v);
}

// ---- Filter

bool ResultSet::setFilter(const QString &expression)
{
    if (expression.trimmed().isEmpty()) {
        clearFilter();
        return true;
    }
    auto parsed = FilterParser(expression, *this).parse();
    if (!parsed)
        return false;
    filterText_ = expression;
    filterRoot_ = std::make_shared<const FilterNode>(FilterNode{std::move(*parsed)});
    rebuildVisible();
    moveToFirst();
    return true;
}

void ResultSet::clearFilter()
{
    filterText_.clear();
    filterRoot_.reset();
    rebuildVisible();
    moveToFirst();
}

bool ResultSet::rowMatches(int rawRow) const
{
    return !filterRoot_ || evaluate(filterRoot_->root, *this, rawRow);
}

void ResultSet::rebuildVisible()
{
    visible_.clear();
    for (int i = 0; i < totalRowCount(); ++i)
        if (rowMatches(i))
            visible_.append(i);
}

// ---- Copying between sets

namespace {

// For each column of `to`, the matching column of `from` or -1.
QList<int> columnMap(const ResultSet &to, const ResultSet &from)
{
    QList<int> map;
    map.reserve(to.columnCount());
    for (const Column &c : to.columns())
        map.append(from.columnIndex(c.name));
    return map;
}

QVariantList mappedRow(const QList<int> &map, const QVariantList &source)
{
    QVariantList row;
    row.reserve(map.size());
    for (int from : map)
        row.append(from >= 0 ? source.at(from) : QVariant());
    return row;
}

} // namespace

void ResultSet::appendRowsFrom(const ResultSet &other)
{
    if (columns_.isEmpty())
        setColumnsKeepingRows(other.columns_);
    const QList<int> map = columnMap(*this, other);
    const QList<int> source = other.visible_; // `other` may be this set
    for (int raw : source)
        appendRow(mappedRow(map, other.rows_.at(raw)));
}

void ResultSet::appendCurrentRowFrom(const ResultSet &other)
{
    const int raw = other.currentRawRow();
    if (raw < 0)
        return;
    if (columns_.isEmpty())
        setColumnsKeepingRows(other.columns_);
    appendRow(mappedRow(columnMap(*this, other), other.rows_.at(raw)));
}

void ResultSet::setColumnsKeepingRows(const QList<Column> &columns)
{
    columns_ = columns;
    for (QVariantList &row : rows_)
        row.resize(columns_.size());
}

} // namespace vorel
