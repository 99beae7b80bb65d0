#include "sqlengine/pgbackend.h"

#include <libpq-fe.h>

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "sqlengine/backendvalues.h"

namespace vorel::sql {

namespace {

// Type OIDs of the built-in types we read (fixed in PostgreSQL's catalogue).
enum : Oid {
    kBool = 16,
    kChar = 18,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kUnknown = 705,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

SqlType typeOfOid(Oid oid)
{
    switch (oid) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return SqlType::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return SqlType::Decimal;
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return SqlType::DateTime;
    case kText:
    case kVarchar:
    case kBpchar:
    case kUnknown:
    case kName:
    case kChar:
        return SqlType::Text;
    default:
        return SqlType::Unknown;
    }
}

// information_schema.columns.data_type -> our type.
SqlType typeOfDataType(const QString &dataType)
{
    const QString t = dataType.toLower();
    if (t == QLatin1String("character varying") || t == QLatin1String("character") || t == QLatin1String("text")
        || t == QLatin1String("char") || t == QLatin1String("\"char\"") || t == QLatin1String("name"))
        return SqlType::Text;
    if (t == QLatin1String("smallint") || t == QLatin1String("integer") || t == QLatin1String("bigint")
        || t == QLatin1String("boolean"))
        return SqlType::Integer;
    if (t == QLatin1String("numeric") || t == QLatin1String("real") || t == QLatin1String("double precision"))
        return SqlType::Decimal;
    if (t.startsWith(QLatin1String("timestamp")) || t == QLatin1String("date"))
        return SqlType::DateTime;
    return SqlType::Unknown;
}

QVariant cellValue(const char *p, int len, Oid oid, SqlType type)
{
    const char *end = p + len;
    switch (type) {
    case SqlType::Integer: {
        if (oid == kBool)
            return QVariant(qint64(len > 0 && p[0] == 't' ? 1 : 0));
        qint64 v = 0;
        const auto r = std::from_chars(p, end, v);
        if (r.ec == std::errc() && r.ptr == end)
            return QVariant(v);
        break;
    }
    case SqlType::Decimal: {
        double v = 0;
        const auto r = std::from_chars(p, end, v);
        if (r.ec == std::errc() && r.ptr == end)
            return QVariant(v);
        break;
    }
    case SqlType::DateTime: {
        const QDateTime t = detail::parseTimestamp(QString::fromUtf8(p, len));
        if (t.isValid())
            return QVariant(t);
        break; // 'infinity', dates BC: left as the server wrote them
    }
    case SqlType::Text:
    case SqlType::Unknown:
        break;
    }
    return QVariant(QString::fromUtf8(p, len));
}

QString field(const PGresult *res, int code)
{
    const char *v = res ? PQresultErrorField(res, code) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

// A fixed offset for a zone PostgreSQL does not know by name. It cannot follow daylight
// saving, but it is right for the moment of connecting.
QString offsetZone()
{
    const int offset = QDateTime::currentDateTime().offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void ignoreNotice(void *, const char *) {}

} // namespace

void PgBackend::ConnCloser::operator()(pg_conn *conn) const
{
    PQfinish(conn);
}

void PgBackend::ResultClearer::operator()(pg_result *res) const
{
    PQclear(res);
}

PgBackend::PgBackend(const QString &location) : location_(location)
{
    connect();
}

PgBackend::~PgBackend() = default;

void PgBackend::connect()
{
    conn_.reset();
    // Prepared statements died with the old connection.
    prepared_.clear();
    preparedIndex_.clear();
    stale_.clear();
    const QByteArray where = location_.toUtf8();
    // Keys before "dbname" are defaults the location may override; keys after it win.
    const char *const keys[] = {"connect_timeout", "application_name", "dbname", "client_encoding", nullptr};
    const char *const values[] = {"10", "vorel", where.constData(), "UTF8", nullptr};
    conn_.reset(PQconnectdbParams(keys, values, 1));
    if (!conn_)
        throw DbError(DbError::Kind::ConnectionLost, QStringLiteral("cannot connect to the database: out of memory"));
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        const QString why = QString::fromUtf8(PQerrorMessage(conn_.get())).trimmed();
        conn_.reset();
        throw DbError(DbError::Kind::ConnectionLost, QStringLiteral("cannot connect to the database: %1").arg(why));
    }
    PQsetNoticeProcessor(conn_.get(), ignoreNotice, nullptr);

    command(QStringLiteral("SET client_encoding = 'UTF8'; SET standard_conforming_strings = on; "
                           "SET DateStyle = 'ISO, YMD'"));

    // LOCALTIMESTAMP must be the shop's wall clock, whatever zone the server runs in.
    const QString zoneId = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    timeZone_.clear();
    if (!zoneId.isEmpty()) {
        const QByteArray id = zoneId.toUtf8();
        const std::unique_ptr<char, decltype(&PQfreemem)> literal(
            PQescapeLiteral(conn_.get(), id.constData(), static_cast<size_t>(id.size())), PQfreemem);
        if (literal) {
            const ResultPtr res(PQexec(conn_.get(), ("SET TIME ZONE " + QByteArray(literal.get())).constData()));
            if (PQresultStatus(res.get()) == PGRES_COMMAND_OK)
                timeZone_ = zoneId;
        }
    }
    if (timeZone_.isEmpty()) {
        const QString offset = offsetZone();
        command(QStringLiteral("SET TIME ZONE INTERVAL '%1' HOUR TO MINUTE").arg(offset));
        timeZone_ = offset;
    }
    if (lockWaitMs_ > 0)
        command(QStringLiteral("SET lock_timeout = %1").arg(lockWaitMs_));
    if (statementTimeoutMs_ > 0)
        command(QStringLiteral("SET statement_timeout = %1").arg(statementTimeoutMs_));
}

void PgBackend::setStatementTimeout(int ms)
{
    statementTimeoutMs_ = std::max(0, ms);
    ensureConnected();
    command(QStringLiteral("SET statement_timeout = %1").arg(statementTimeoutMs_));
}

void PgBackend::setLockWait(int ms)
{
    lockWaitMs_ = ms;
    ensureConnected();
    command(QStringLiteral("SET lock_timeout = %1").arg(ms));
}

void PgBackend::ensureConnected()
{
    if (conn_ && PQstatus(conn_.get()) == CONNECTION_OK)
        return;
    if (inTransaction_) {
        // Reconnecting here would carry on outside the transaction the caller believes in.
        throw DbError(DbError::Kind::ConnectionLost,
                      QStringLiteral("the connection to the database was lost inside a transaction"));
    }
    connect();
}

int PgBackend::serverProcessId() const
{
    return conn_ ? PQbackendPID(conn_.get()) : 0;
}

PgBackend::ResultPtr PgBackend::command(const QString &sql)
{
    if (!conn_)
        throw DbError(DbError::Kind::ConnectionLost, QStringLiteral("not connected to the database"));
    ResultPtr res(PQexec(conn_.get(), sql.toUtf8().constData()));
    switch (PQresultStatus(res.get())) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
    case PGRES_EMPTY_QUERY:
        return res;
    default:
        fail(res.get());
    }
}

void PgBackend::fail(const PGresult *res) const
{
    const bool connected = conn_ && PQstatus(conn_.get()) == CONNECTION_OK;
    QString message = field(res, PG_DIAG_MESSAGE_PRIMARY);
    if (message.isEmpty() && res)
        message = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
    if (message.isEmpty() && conn_)
        message = QString::fromUtf8(PQerrorMessage(conn_.get())).trimmed();
    if (message.isEmpty())
        message = QStringLiteral("the database did not answer");

    const QString state = field(res, PG_DIAG_SQLSTATE);
    if (!connected || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0")))
        throw DbError(DbError::Kind::ConnectionLost, message);
    if (state == QLatin1String("23505")) {
        throw DbError(DbError::Kind::DuplicateKey, message, field(res, PG_DIAG_TABLE_NAME),
                      field(res, PG_DIAG_CONSTRAINT_NAME));
    }
    if (state == QLatin1String("40001") || state == QLatin1String("40P01") || state == QLatin1String("55P03"))
        throw DbError(DbError::Kind::Busy, message);
    if (state == QLatin1String("57014")) // canceled: statement_timeout
        throw DbError(DbError::Kind::Timeout, message);
    if (state == QLatin1String("P0001"))
        throw DbError(DbError::Kind::Raised, message);
    if (state == QLatin1String("42601")
        && message == QLatin1String("cannot insert multiple commands into a prepared statement"))
        throw DbError(DbError::Kind::Other, QStringLiteral("only one statement can be run at a time"));
    throw DbError(DbError::Kind::Other, message);
}

void PgBackend::noteChangedRows(const PGresult *res)
{
    const char *status = PQcmdStatus(const_cast<PGresult *>(res));
    for (const char *verb : {"INSERT ", "UPDATE ", "DELETE ", "MERGE "}) {
        if (std::strncmp(status, verb, std::strlen(verb)) == 0) {
            changed_ = std::atoll(PQcmdTuples(const_cast<PGresult *>(res)));
            return;
        }
    }
}

void PgBackend::begin(bool /*forWriting*/)
{
    // Whatever transaction there was died with a lost connection.
    inTransaction_ = false;
    ensureConnected();
    command(QStringLiteral("BEGIN"));
    inTransaction_ = true;
}

void PgBackend::commit()
{
    // Never reconnect here: a fresh connection would "commit" nothing and report success.
    inTransaction_ = false;
    const ResultPtr res = command(QStringLiteral("COMMIT"));
    // COMMIT of a transaction that already failed answers ROLLBACK without an error.
    if (std::strcmp(PQcmdStatus(res.get()), "ROLLBACK") == 0) {
        throw DbError(DbError::Kind::Other,
                      QStringLiteral("the transaction had already failed and was rolled back"));
    }
}

void PgBackend::rollback()
{
    inTransaction_ = false;
    if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK || PQtransactionStatus(conn_.get()) == PQTRANS_IDLE)
        return;
    const ResultPtr res(PQexec(conn_.get(), "ROLLBACK"));
}

bool PgBackend::execute(const QString &sql, ResultSet *rows)
{
    ensureConnected();
    // The extended protocol accepts exactly one statement per call.
    const ResultPtr res(PQexecParams(conn_.get(), sql.toUtf8().constData(), 0, nullptr, nullptr, nullptr,
                                     nullptr, 0));
    return readResult(res.get(), rows);
}

namespace {

// The type a bound value has as a literal: an integer is int4 or int8 by size, a decimal
// numeric, a string untyped (PostgreSQL types it from where it stands), a time timestamp.
Oid oidOf(const BoundValue &v)
{
    switch (v.type) {
    case BoundValue::Type::Integer: {
        const qint64 n = v.text.toLongLong();
        return n >= -2147483648LL && n <= 2147483647LL ? 23 : 20;
    }
    case BoundValue::Type::Decimal:
        return 1700;
    case BoundValue::Type::Timestamp:
        return 1114;
    case BoundValue::Type::Text:
        break;
    }
    return 0;
}

} // namespace

QByteArray PgBackend::preparedName(const QString &key, const QString &sql, const std::vector<Oid> &types)
{
    const auto it = preparedIndex_.constFind(key);
    if (it != preparedIndex_.constEnd()) {
        prepared_.splice(prepared_.begin(), prepared_, *it);
        return (*it)->name;
    }
    if (unpreparable_.contains(key))
        return {};
    for (const QByteArray &stale : std::exchange(stale_, {}))
        command(QStringLiteral("DEALLOCATE ") + QString::fromLatin1(stale));
    const QByteArray name = "vorel_" + QByteArray::number(++preparedCount_);
    // A statement that fails to prepare must not take the transaction down with it.
    if (inTransaction_)
        command(QStringLiteral("SAVEPOINT vorel_prepare"));
    const ResultPtr res(PQprepare(conn_.get(), name.constData(), sql.toUtf8().constData(),
                                  static_cast<int>(types.size()), types.data()));
    if (PQresultStatus(res.get()) != PGRES_COMMAND_OK) {
        const QString state = field(res.get(), PG_DIAG_SQLSTATE);
        if (!state.startsWith(QLatin1String("42")) || !conn_ || PQstatus(conn_.get()) != CONNECTION_OK)
            fail(res.get());
        if (inTransaction_)
            command(QStringLiteral("ROLLBACK TO SAVEPOINT vorel_prepare"));
        if (unpreparable_.size() >= kMaxStatements)
            unpreparable_.clear();
        unpreparable_.insert(key);
        return {};
    }
    if (inTransaction_)
        command(QStringLiteral("RELEASE SAVEPOINT vorel_prepare"));
    prepared_.push_front(Prepared{key, name});
    preparedIndex_.insert(key, prepared_.begin());
    if (prepared_.size() > kMaxStatements) {
        command(QStringLiteral("DEALLOCATE ") + QString::fromLatin1(prepared_.back().name));
        preparedIndex_.remove(prepared_.back().key);
        prepared_.pop_back();
    }
    return name;
}

bool PgBackend::execute(const QString &sql, const std::vector<BoundValue> &values, ResultSet *rows)
{
    ensureConnected();
    std::vector<Oid> types;
    types.reserve(values.size());
    QString key = sql;
    for (const BoundValue &v : values) {
        types.push_back(oidOf(v));
        key += QChar(u'\x1f');
        key += QString::number(types.back());
    }
    const QByteArray name = preparedName(key, sql, types);
    if (name.isEmpty())
        return execute(inlineValues(sql, values), rows);
    std::vector<QByteArray> texts;
    std::vector<const char *> pointers;
    texts.reserve(values.size());
    for (const BoundValue &v : values) {
        texts.push_back(v.text.toUtf8());
        pointers.push_back(texts.back().constData());
    }
    const ResultPtr res(PQexecPrepared(conn_.get(), name.constData(), static_cast<int>(pointers.size()),
                                       pointers.data(), nullptr, nullptr, 0));
    if (PQresultStatus(res.get()) == PGRES_FATAL_ERROR && field(res.get(), PG_DIAG_SQLSTATE) == QLatin1String("0A000")) {
        // The schema changed under the prepared statement ("cached plan must not change
        // result type"): it is forgotten, and the batch is run again from the start.
        stale_.append(name);
        preparedIndex_.remove(prepared_.front().key);
        prepared_.pop_front();
        throw DbError(DbError::Kind::Busy, field(res.get(), PG_DIAG_MESSAGE_PRIMARY));
    }
    return readResult(res.get(), rows);
}

bool PgBackend::readResult(PGresult *r, ResultSet *rows)
{
    switch (PQresultStatus(r)) {
    case PGRES_EMPTY_QUERY:
        return false;
    case PGRES_COMMAND_OK:
        noteChangedRows(r);
        return false;
    case PGRES_TUPLES_OK:
        noteChangedRows(r);
        break;
    case PGRES_COPY_IN:
    case PGRES_COPY_OUT:
    case PGRES_COPY_BOTH:
        // The connection is stuck in the copy sub-protocol; start afresh next time.
        conn_.reset();
        throw DbError(DbError::Kind::Other, QStringLiteral("COPY cannot be run through the engine"));
    default:
        fail(r);
    }
    if (!rows)
        return true;

    const int nFields = PQnfields(r);
    const int nRows = PQntuples(r);
    QList<Column> columns;
    QList<Oid> oids;
    QList<SqlType> types;
    for (int f = 0; f < nFields; ++f) {
        const Oid oid = PQftype(r, f);
        oids.append(oid);
        types.append(typeOfOid(oid));
        columns.append(Column{QString::fromUtf8(PQfname(r, f)), detail::fieldTypeOf(types.last())});
    }
    rows->setColumns(std::move(columns));
    for (int t = 0; t < nRows; ++t) {
        QVariantList row;
        row.reserve(nFields);
        for (int f = 0; f < nFields; ++f) {
            if (PQgetisnull(r, t, f))
                row.append(QVariant());
            else
                row.append(cellValue(PQgetvalue(r, t, f), PQgetlength(r, t, f), oids[f], types[f]));
        }
        rows->appendRow(std::move(row));
    }
    return true;
}

Catalog PgBackend::loadCatalog()
{
    ResultSet cols;
    execute(QStringLiteral("SELECT table_name, column_name, data_type FROM information_schema.columns "
                           "WHERE table_schema = current_schema() "
                           "ORDER BY table_name, ordinal_position"),
            &cols);
    Catalog catalog;
    QString table;
    QList<CatalogColumn> columns;
    for (int r = 0; r < cols.totalRowCount(); ++r) {
        const QString t = cols.fieldAt(r, 0).asString();
        if (t != table) {
            if (!table.isEmpty())
                catalog.addTable(table, std::move(columns));
            table = t;
            columns = {};
        }
        columns.append(CatalogColumn{cols.fieldAt(r, 1).asString(), typeOfDataType(cols.fieldAt(r, 2).asString())});
    }
    if (!table.isEmpty())
        catalog.addTable(table, std::move(columns));
    return catalog;
}

void PgBackend::executeScript(const QString &script)
{
    ensureConnected();
    command(script);
}

} // namespace vorel::sql
