#include "server/wire.h"

#include <QLocale>
#include <limits>
#include <type_traits>

#include "core/clock.h"

namespace vorel::wire {

namespace {

bool isIntegral(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant &v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

// Fixed notation, as few digits as give the same double back: 12.5, 0.1, -3.
QString exactDecimal(double d)
{
    return QString::number(d, 'f', QLocale::FloatingPointShortest);
}

Json encodeValue(const QVariant &v, FieldType type)
{
    if (v.isNull() || !v.isValid())
        return nullptr;
    if (v.typeId() == QMetaType::QDateTime)
        return toJson(formatDateTime(v.toDateTime()));
    if (v.typeId() == QMetaType::QDate)
        return toJson(formatDate(v.toDate()));
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (type == FieldType::Decimal) {
        if (isFloating(v))
            return toJson(exactDecimal(v.toDouble()));
        if (isIntegral(v))
            return toJson(QString::number(v.toLongLong()));
        return toJson(v.toString());
    }
    if (isIntegral(v))
        return static_cast<std::int64_t>(v.toLongLong());
    if (isFloating(v))
        return v.toDouble();
    return toJson(v.toString());
}

QVariant decodeValue(const Json &j, FieldType type)
{
    switch (j.type()) {
    case Json::value_t::null:
        return {};
    case Json::value_t::boolean:
        return QVariant(qint64(j.get<bool>() ? 1 : 0));
    case Json::value_t::number_integer:
        if (type == FieldType::Decimal)
            return QVariant(static_cast<double>(j.get<std::int64_t>()));
        return QVariant(qint64(j.get<std::int64_t>()));
    case Json::value_t::number_unsigned:
        if (type == FieldType::Decimal)
            return QVariant(static_cast<double>(j.get<std::uint64_t>()));
        return QVariant(qint64(j.get<std::uint64_t>()));
    case Json::value_t::number_float:
        return QVariant(j.get<double>());
    case Json::value_t::string: {
        const QString text = toQString(j);
        if (type == FieldType::Decimal) {
            bool ok = false;
            const double d = text.toDouble(&ok);
            if (ok)
                return QVariant(d);
        } else if (type == FieldType::DateTime) {
            const QDateTime t = parseDateTime(text);
            if (t.isValid())
                return QVariant(t);
        }
        return QVariant(text);
    }
    default:
        throw WireError("a value in a row is neither text, a number nor null");
    }
}

} // namespace

Json toJson(const QString &text)
{
    return text.toStdString();
}

QString toQString(const Json &value)
{
    if (!value.is_string())
        return {};
    return QString::fromStdString(value.get_ref<const std::string &>());
}

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::Integer:
        return QStringLiteral("integer");
    case FieldType::Decimal:
        return QStringLiteral("decimal");
    case FieldType::DateTime:
        return QStringLiteral("datetime");
    case FieldType::Text:
        break;
    }
    return QStringLiteral("text");
}

FieldType fieldTypeFromName(const QString &name)
{
    static const std::pair<const char *, FieldType> names[] = {
        {"text", FieldType::Text},
        {"integer", FieldType::Integer},
        {"decimal", FieldType::Decimal},
        {"datetime", FieldType::DateTime},
    };
    for (const auto &[text, type] : names) {
        if (name == QLatin1String(text))
            return type;
    }
    throw WireError("unknown column type \"" + name.toStdString() + "\"");
}

Json resultSetToJson(const ResultSet &rows)
{
    Json columns = Json::array();
    for (const Column &c : rows.columns())
        columns.push_back(Json{{"name", toJson(c.name)}, {"type", toJson(fieldTypeName(c.type))}});
    Json data = Json::array();
    const int n = rows.columnCount();
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        const QVariantList &raw = rows.rawRow(r);
        Json row = Json::array();
        for (int c = 0; c < n; ++c)
            row.push_back(encodeValue(c < raw.size() ? raw.at(c) : QVariant(), rows.column(c).type));
        data.push_back(std::move(row));
    }
    return Json{{"columns", std::move(columns)}, {"rows", std::move(data)}};
}

namespace {

// Json: const for a value read as it stands; not const for one the reading may empty, each
// row handed back as soon as it is in the result (a big download never holds both whole).
template <typename J>
ResultSet readResultSet(J &value)
{
    if (!value.is_object() || !value.contains("columns") || !value["columns"].is_array())
        throw WireError("a result set needs a list of columns");
    QList<Column> columns;
    for (const Json &c : value["columns"]) {
        if (!c.is_object())
            throw WireError("a column must be an object with a name and a type");
        columns.append(Column{requiredText(c, "name"), fieldTypeFromName(requiredText(c, "type"))});
    }
    ResultSet out(columns);
    const auto rowsIt = value.find("rows");
    if (rowsIt == value.end())
        return out;
    if (!rowsIt->is_array())
        throw WireError("the rows of a result set must be a list");
    for (auto &row : *rowsIt) {
        if (!row.is_array() || row.size() != static_cast<std::size_t>(columns.size()))
            throw WireError("a row must hold one value per column");
        QVariantList values;
        values.reserve(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            values.append(decodeValue(row[static_cast<std::size_t>(c)], columns.at(c).type));
        out.appendRow(std::move(values));
        if constexpr (!std::is_const_v<J>)
            row = nullptr;
    }
    out.first();
    return out;
}

} // namespace

ResultSet resultSetFromJson(const Json &value)
{
    return readResultSet(value);
}

ResultSet resultSetFromJson(Json &&value)
{
    return readResultSet(value);
}

std::string serialize(const Json &value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json parseObject(const std::string &body)
{
    // A message is a few levels deep (an object, a result set, its rows); anything deeper
    // is refused, so nothing later walks a value of unbounded depth.
    bool tooDeep = false;
    const Json::parser_callback_t depthCheck = [&tooDeep](int depth, Json::parse_event_t, Json &) {
        if (depth > MaxDepth)
            tooDeep = true;
        return !tooDeep;
    };
    Json j = Json::parse(body, depthCheck, false);
    if (tooDeep)
        throw WireError("the body is nested too deeply");
    if (j.is_discarded() || !j.is_object())
        throw WireError("the body is not a JSON object");
    return j;
}

QString requiredText(const Json &object, const char *key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        throw WireError(std::string("missing text field \"") + key + "\"");
    return toQString(*it);
}

QString optionalText(const Json &object, const char *key)
{
    const auto it = object.find(key);
    return it == object.end() ? QString() : toQString(*it);
}

qint64 requiredInteger(const Json &object, const char *key, qint64 min, qint64 max)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer())
        throw WireError(std::string("missing number field \"") + key + "\"");
    // A number above the signed range arrives unsigned; it is out of range for any caller.
    const bool huge = it->is_number_unsigned()
                      && it->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<qint64>::max());
    const qint64 value = huge ? 0 : it->get<std::int64_t>();
    const bool inRange = !huge && value >= min && value <= max;
    if (!inRange)
        throw WireError(std::string("the number field \"") + key + "\" is out of range (" + std::to_string(min) + " to "
                        + std::to_string(max) + ")");
    return value;
}

Json onlineTillsToJson(const QList<OnlineTill> &tills)
{
    Json list = Json::array();
    for (const OnlineTill &t : tills) {
        list.push_back(Json{
            {"terminal_key", toJson(t.terminalKey)},
            {"terminal", toJson(t.terminalId)},
            {"user", toJson(t.userId)},
            {"user_name", toJson(t.userName)},
            {"version", toJson(t.version)},
            {"last_seen", toJson(formatDateTime(t.lastSeen))},
        });
    }
    return Json{{"tills", std::move(list)}};
}

QList<OnlineTill> onlineTillsFromJson(const Json &value)
{
    if (!value.is_object() || !value.contains("tills") || !value["tills"].is_array())
        throw WireError("expected a list of tills");
    QList<OnlineTill> out;
    for (const Json &t : value["tills"]) {
        if (!t.is_object())
            throw WireError("a till must be an object");
        out.append(OnlineTill{requiredText(t, "terminal_key"), optionalText(t, "terminal"),
                              requiredText(t, "user"), optionalText(t, "user_name"),
                              optionalText(t, "version"), parseDateTime(requiredText(t, "last_seen"))});
    }
    return out;
}

} // namespace vorel::wire
