#include "sqlengine/sqlitebackend.h"

#include <sqlite3.h>

#include <QDir>
#include <algorithm>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdlib>

#include "sqlengine/backendvalues.h"
#include "sqlengine/sqlitevalues.h"

namespace vorel::sql {

namespace {

// What a key violation message names: "UNIQUE constraint failed: D712.NOID, D712.LINE"
// (table and columns) or "UNIQUE constraint failed: index 'IX_T'" (an expression index).
struct KeyViolation {
    QString table;
    QStringList columns;
    QString index;
};

KeyViolation parseKeyViolation(const QString &message)
{
    KeyViolation v;
    const QLatin1String marker("failed: ");
    const qsizetype at = message.indexOf(marker);
    if (at < 0)
        return v;
    const QString rest = message.mid(at + marker.size()).trimmed();
    if (rest.startsWith(QLatin1String("index '"))) {
        const qsizetype start = 7;
        const qsizetype end = rest.indexOf(QLatin1Char('\''), start);
        if (end > start)
            v.index = rest.mid(start, end - start);
        return v;
    }
    for (const QString &item : rest.split(QLatin1String(", "))) {
        const qsizetype dot = item.indexOf(QLatin1Char('.'));
        if (dot <= 0)
            continue;
        v.table = item.left(dot);
        v.columns << item.mid(dot + 1);
    }
    return v;
}

// The first column of every row of `sql` with `arg` bound to ?1; empty on any error.
QStringList firstColumn(sqlite3 *db, const char *sql, const QString &arg)
{
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, sqlite3_finalize);
    QStringList out;
    if (rc != SQLITE_OK)
        return out;
    const QByteArray a = arg.toUtf8();
    sqlite3_bind_text(raw, 1, a.constData(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW)
        out << sqliteColumnText(raw, 0);
    return out;
}

bool sameColumns(QStringList a, QStringList b)
{
    for (QStringList *list : {&a, &b}) {
        for (QString &c : *list)
            c = c.toLower();
        list->sort();
    }
    return a == b;
}

// "NOID, [LINE] DESC" -> NOID, LINE
QStringList definitionColumns(const QString &list)
{
    static const QRegularExpression quotes(QStringLiteral("[\"`\\[\\]]"));
    QStringList out;
    for (const QString &item : list.split(QLatin1Char(','))) {
        QString name = item.trimmed().section(QLatin1Char(' '), 0, 0);
        name.remove(quotes);
        out << name;
    }
    return out;
}

// SQLite reports the columns of a violated key, not its name; find the name the schema gave
// it, as PostgreSQL would report it. Empty when the key was not named.
QString keyName(sqlite3 *db, const KeyViolation &v, bool primary)
{
    if (!v.index.isEmpty() || v.table.isEmpty())
        return v.index;
    const QString tableSql = firstColumn(
        db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE", v.table).value(0);
    const QString quotedName = QStringLiteral("[\"`\\[]?(\\w+)[\"`\\]]?");
    if (primary) {
        static const QRegularExpression pk(
            QStringLiteral("CONSTRAINT\\s+") + quotedName + QStringLiteral("\\s+PRIMARY\\s+KEY"),
            QRegularExpression::CaseInsensitiveOption);
        return pk.match(tableSql).captured(1);
    }
    // A unique index made on its own carries the name.
    for (const QString &index :
         firstColumn(db, "SELECT name FROM pragma_index_list(?1) WHERE \"unique\" = 1 AND origin <> 'pk'", v.table)) {
        if (!sameColumns(firstColumn(db, "SELECT name FROM pragma_index_info(?1)", index), v.columns))
            continue;
        if (!index.startsWith(QLatin1String("sqlite_autoindex_")))
            return index;
        break;
    }
    // A UNIQUE constraint of the table: its name is only in the CREATE TABLE text.
    static const QRegularExpression unique(
        QStringLiteral("CONSTRAINT\\s+") + quotedName + QStringLiteral("\\s+UNIQUE\\s*\\(([^)]*)\\)"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = unique.globalMatch(tableSql); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (sameColumns(definitionColumns(m.captured(2)), v.columns))
            return m.captured(1);
    }
    return {};
}

QString quoteIdentifier(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString excerpt(const char *begin, const char *end)
{
    QString s = QString::fromUtf8(begin, end - begin).simplified();
    if (s.size() > 60)
        s = s.left(57) + QLatin1String("...");
    return s;
}

} // namespace

void SqliteBackend::DbCloser::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

void SqliteBackend::StmtFinalizer::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

SqliteBackend::SqliteBackend(const QString &path, bool create) : path_(path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto cannotOpen = [&](const QString &why) {
        return DbError(DbError::Kind::Other,
                       QStringLiteral("cannot open the database %1: %2").arg(shown, why));
    };
    if (path.trimmed().isEmpty())
        throw DbError(DbError::Kind::Other, QStringLiteral("no database file was given"));
    const bool inMemory = path == QLatin1String(":memory:");
    if (!inMemory) {
        const QFileInfo info(path);
        if (info.isDir())
            throw cannotOpen(QStringLiteral("it is a folder, not a database file"));
        if (!create && !info.exists())
            throw cannotOpen(QStringLiteral("no such file"));
    }

    sqlite3 *raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    db_.reset(raw); // closed on every way out, even when opening failed
    if (rc != SQLITE_OK) {
        const QString why = raw ? QString::fromUtf8(sqlite3_errmsg(raw))
                                : QString::fromUtf8(sqlite3_errstr(rc));
        throw cannotOpen(why);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kDefaultBusyTimeoutMs);

    // The first statement reads the file header: this is where a file that is not a
    // database shows itself.
    try {
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
        exec("PRAGMA foreign_keys=ON");
    } catch (const DbError &e) {
        throw cannotOpen(e.message());
    }
    if (sqlite3_db_readonly(raw, "main") == 1)
        throw cannotOpen(QStringLiteral("the file is read-only"));
}

SqliteBackend::~SqliteBackend() = default;

void SqliteBackend::setLockWait(int ms)
{
    sqlite3_busy_timeout(db_.get(), ms);
}

void SqliteBackend::setStatementTimeout(int ms)
{
    statementTimeout_ = std::chrono::milliseconds(std::max(0, ms));
    if (ms <= 0) {
        sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
        return;
    }
    // Called every few thousand virtual machine steps; a non-zero answer interrupts the
    // statement, which then fails with SQLITE_INTERRUPT.
    sqlite3_progress_handler(
        db_.get(), 4000,
        [](void *self) { return std::chrono::steady_clock::now() > static_cast<SqliteBackend *>(self)->deadline_ ? 1 : 0; },
        this);
}

bool SqliteBackend::inTransaction() const
{
    return sqlite3_get_autocommit(db_.get()) == 0;
}

void SqliteBackend::begin(bool forWriting)
{
    execute(forWriting ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), nullptr);
}

void SqliteBackend::commit()
{
    execute(QStringLiteral("COMMIT"), nullptr);
}

void SqliteBackend::rollback()
{
    // Some errors (a full disk, RAISE(ROLLBACK)) already ended the transaction.
    if (inTransaction())
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteBackend::exec(const char *sql)
{
    const int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqliteBackend::fail(int rc) const
{
    sqlite3 *db = db_.get();
    const int code = sqlite3_extended_errcode(db) != SQLITE_OK ? sqlite3_extended_errcode(db) : rc;
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    switch (code) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE: {
        const KeyViolation v = parseKeyViolation(message);
        throw DbError(DbError::Kind::DuplicateKey, message, v.table,
                      keyName(db, v, code == SQLITE_CONSTRAINT_PRIMARYKEY));
    }
    case SQLITE_CONSTRAINT_TRIGGER:
        throw DbError(DbError::Kind::Raised, message);
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_INTERRUPT:
        throw DbError(DbError::Kind::Timeout, message);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw DbError(DbError::Kind::Busy, message);
    default:
        throw DbError(DbError::Kind::Other, message);
    }
}

SqliteBackend::StmtPtr SqliteBackend::prepareOne(const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    const char *pos = text.constData();
    const char *const end = pos + text.size();
    StmtPtr first;
    // Empty statements (";") and comments prepare to nothing; anything else after the first
    // real statement is refused before the first one runs.
    while (pos < end) {
        sqlite3_stmt *raw = nullptr;
        const char *tail = nullptr;
        const int rc = sqlite3_prepare_v2(db_.get(), pos, static_cast<int>(end - pos), &raw, &tail);
        StmtPtr stmt(raw);
        if (first && (rc != SQLITE_OK || stmt)) {
            throw DbError(DbError::Kind::Other,
                          QStringLiteral("only one statement can be run at a time; found more after "
                                         "the first: %1")
                              .arg(excerpt(pos, end)));
        }
        if (rc != SQLITE_OK)
            fail(rc);
        if (stmt)
            first = std::move(stmt);
        if (!tail || tail <= pos)
            break;
        pos = tail;
    }
    return first;
}

sqlite3_stmt *SqliteBackend::statement(const QString &sql)
{
    const auto it = preparedIndex_.constFind(sql);
    if (it != preparedIndex_.constEnd()) {
        prepared_.splice(prepared_.begin(), prepared_, *it);
        return (*it)->stmt.get();
    }
    StmtPtr stmt = prepareOne(sql);
    if (!stmt)
        return nullptr;
    prepared_.push_front(Prepared{sql, std::move(stmt)});
    preparedIndex_.insert(sql, prepared_.begin());
    if (prepared_.size() > kMaxStatements) {
        preparedIndex_.remove(prepared_.back().sql);
        prepared_.pop_back();
    }
    return prepared_.front().stmt.get();
}

bool SqliteBackend::execute(const QString &sql, ResultSet *rows)
{
    return execute(sql, {}, rows);
}

bool SqliteBackend::execute(const QString &sql, const std::vector<BoundValue> &values, ResultSet *rows)
{
    // The time-out counts from here, for this statement only.
    struct Deadline {
        std::chrono::steady_clock::time_point &at;
        ~Deadline() { at = std::chrono::steady_clock::time_point::max(); }
    } deadline{deadline_};
    if (statementTimeout_.count() > 0)
        deadline_ = std::chrono::steady_clock::now() + statementTimeout_;
    sqlite3_stmt *s = statement(sql);
    if (!s)
        return false;
    // The statement goes back to the cache reset, with no values and no read lock held.
    struct Reset {
        sqlite3_stmt *s;
        ~Reset()
        {
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
        }
    } reset{s};
    for (int i = 0; i < static_cast<int>(values.size()); ++i) {
        const BoundValue &v = values[static_cast<size_t>(i)];
        int rc = SQLITE_OK;
        switch (v.type) {
        case BoundValue::Type::Integer:
            rc = sqlite3_bind_int64(s, i + 1, v.text.toLongLong());
            break;
        case BoundValue::Type::Decimal:
            rc = sqlite3_bind_double(s, i + 1, std::strtod(v.text.toLatin1().constData(), nullptr));
            break;
        case BoundValue::Type::Text:
        case BoundValue::Type::Timestamp: {
            const QByteArray text = v.text.toUtf8();
            rc = sqlite3_bind_text(s, i + 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            break;
        }
        }
        if (rc != SQLITE_OK)
            fail(rc);
    }
    SqliteRowReader reader(s);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        if (rows)
            reader.readRow();
    }
    if (rc != SQLITE_DONE)
        fail(rc);
    if (reader.columnCount() == 0)
        return false;
    if (!rows)
        return true;

    SqliteRows read = reader.finish();
    rows->setColumns(std::move(read.columns));
    for (QVariantList &row : read.rows)
        rows->appendRow(std::move(row));
    return true;
}

qint64 SqliteBackend::changedRows() const
{
    return sqlite3_changes64(db_.get());
}

Catalog SqliteBackend::loadCatalog()
{
    ResultSet objects;
    execute(QStringLiteral("SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                           "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"),
            &objects);
    Catalog catalog;
    for (int r = 0; r < objects.totalRowCount(); ++r) {
        const QString name = objects.fieldAt(r, 0).asString();
        ResultSet info;
        try {
            execute(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(name)), &info);
        } catch (const DbError &) {
            // A view over a table that is gone cannot be described; the rest of the
            // catalogue is still good.
            if (objects.fieldAt(r, 1).asString() == QLatin1String("view"))
                continue;
            throw;
        }
        const int nameCol = info.columnIndex(QStringLiteral("name"));
        const int typeCol = info.columnIndex(QStringLiteral("type"));
        QList<CatalogColumn> columns;
        for (int c = 0; c < info.totalRowCount(); ++c) {
            columns.append(CatalogColumn{info.fieldAt(c, nameCol).asString(),
                                         detail::typeOfDeclaration(info.fieldAt(c, typeCol).asString())});
        }
        catalog.addTable(name, std::move(columns));
    }
    return catalog;
}

void SqliteBackend::executeScript(const QString &script)
{
    const int rc = sqlite3_exec(db_.get(), script.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

} // namespace vorel::sql
