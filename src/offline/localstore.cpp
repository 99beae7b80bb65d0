#include "offline/localstore.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iterator>
#include <utility>

#include "core/programfolder.h"
#include "sqlengine/sqlitevalues.h"

namespace vorel {

namespace {

constexpr int BusyTimeoutMs = 2000;

struct StmtFinalizer {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString excerpt(const char *begin, const char *end)
{
    QString s = QString::fromUtf8(begin, end - begin).simplified();
    if (s.size() > 80)
        s = s.left(77) + QLatin1String("...");
    return s;
}

bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QString damagedMessage(const QString &path, const QString &why)
{
    return QStringLiteral("离线数据库文件 %1 已损坏,无法读取(%2)。"
                          "请在登录窗口用【数据修复】的【彻底替换】换上全新的离线数据库。")
        .arg(shown(path), why);
}

// The upgrade steps of the store, oldest first: each takes a store of the version before
// `version` to `version`. To change the layout, change data/local/vorelz.sql (the clean copy
// is built from it), raise its PRAGMA user_version and LocalStoreVersion, and append a step
// here that makes the same change in a store full of offline slips without losing a row.
// A step that has shipped is never changed; the runner writes the version.
struct LocalStep {
    int version;
    const char *sql;
};
constexpr LocalStep kLocalSteps[] = {
    {2, "CREATE INDEX IX_D703_T ON D703 (T);"},
};
static_assert(kLocalSteps[std::size(kLocalSteps) - 1].version == LocalStoreVersion);

// Walks the statements of a text the way SQLite reads them: prepare one, run it, go on
// after its tail. Empty statements and comments prepare to nothing and are skipped.
// `run` returns SQLITE_DONE when its statement went through. Returns SQLITE_OK, or the
// failing code with `current` holding the statement that failed.
template <typename Run>
int eachStatement(sqlite3 *db, const QString &sql, Run run, QString *current)
{
    const QByteArray text = sql.toUtf8();
    const char *pos = text.constData();
    const char *const end = pos + text.size();
    while (pos < end) {
        sqlite3_stmt *raw = nullptr;
        const char *tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, pos, static_cast<int>(end - pos), &raw, &tail);
        const StmtPtr stmt(raw);
        const char *next = (tail && tail > pos) ? tail : end;
        if (rc != SQLITE_OK) {
            *current = excerpt(pos, next);
            return rc;
        }
        if (stmt) {
            const int done = run(stmt.get());
            if (done != SQLITE_DONE) {
                *current = excerpt(pos, next);
                return done;
            }
        }
        pos = next;
    }
    return SQLITE_OK;
}

} // namespace

void LocalStore::DbCloser::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

LocalStore::LocalStore(QString path) : path_(std::move(path)) {}

LocalStore::~LocalStore()
{
    close();
}

void LocalStore::open()
{
    if (db_)
        return;
    const QFileInfo info(path_);
    if (!info.exists())
        throw LocalStoreError(QStringLiteral("找不到离线数据库文件 %1。").arg(shown(path_)));
    if (info.isDir())
        throw LocalStoreError(QStringLiteral("离线数据库 %1 是一个文件夹,不是数据库文件。").arg(shown(path_)));

    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path_.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw); // closed on every way out
    if (rc != SQLITE_OK) {
        const QString why = raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QString::fromUtf8(sqlite3_errstr(rc));
        throw LocalStoreError(QStringLiteral("无法打开离线数据库文件 %1:%2").arg(shown(path_), why));
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, BusyTimeoutMs);
    if (sqlite3_db_readonly(raw, "main") == 1)
        throw LocalStoreError(QStringLiteral("离线数据库文件 %1 是只读的,无法保存离线数据。").arg(shown(path_)));

    db_ = std::move(db);
    try {
        // Nothing is written before the file proved to be a sound local store. The first
        // read is where a file that is not a database shows itself, and where a journal
        // left by a crash is rolled back.
        checkIdentity();
        execute(QStringLiteral("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"));
        upgrade();
    } catch (...) {
        db_.reset();
        throw;
    }
}

void LocalStore::checkIdentity()
{
    const ResultSet id = query(QStringLiteral("PRAGMA application_id"));
    if (id.totalRowCount() == 0 || id.fieldAt(0, 0).asInt() != LocalStoreApplicationId) {
        throw LocalStoreError(QStringLiteral("文件 %1 不是本系统的离线数据库(没有离线数据表)。"
                                             "请在登录窗口用【数据修复】的【彻底替换】换上全新的离线数据库。")
                                  .arg(shown(path_)));
    }
    // Every page of the file, read once: damage shows at start-up, not in the middle of a sale.
    const ResultSet check = query(QStringLiteral("PRAGMA quick_check(1)"));
    const QString verdict = check.totalRowCount() > 0 ? check.fieldAt(0, 0).asString() : QString();
    if (verdict != QLatin1String("ok"))
        throw LocalStoreError(damagedMessage(path_, verdict.simplified()));
}

void LocalStore::upgrade()
{
    const int version = static_cast<int>(query(QStringLiteral("PRAGMA user_version")).fieldAt(0, 0).asInt());
    if (version > LocalStoreVersion) {
        throw LocalStoreError(QStringLiteral("离线数据库文件 %1 是较新版本的收银程序建立的(版本 %2,本程序为版本 %3),"
                                             "请安装新版收银程序。")
                                  .arg(shown(path_))
                                  .arg(version)
                                  .arg(LocalStoreVersion));
    }
    if (version == LocalStoreVersion)
        return;
    const int first = kLocalSteps[0].version - 1;
    if (version < first) {
        throw LocalStoreError(QStringLiteral("离线数据库文件 %1 的版本(%2)太旧,无法升级。"
                                             "请在登录窗口用【数据修复】的【彻底替换】换上全新的离线数据库。")
                                  .arg(shown(path_))
                                  .arg(version));
    }
    begin();
    try {
        for (const LocalStep &step : kLocalSteps) {
            if (step.version > version)
                execute(QString::fromUtf8(step.sql));
        }
        execute(QStringLiteral("PRAGMA user_version = %1").arg(LocalStoreVersion));
        commit();
    } catch (const LocalStoreError &e) {
        rollback();
        throw LocalStoreError(QStringLiteral("离线数据库文件 %1 无法从版本 %2 升级到版本 %3(未做任何改动):%4")
                                  .arg(shown(path_))
                                  .arg(version)
                                  .arg(LocalStoreVersion)
                                  .arg(e.message()));
    }
}

void LocalStore::close()
{
    rollback();
    db_.reset();
}

bool LocalStore::inTransaction() const
{
    return db_ && sqlite3_get_autocommit(db_.get()) == 0;
}

void LocalStore::begin()
{
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void LocalStore::commit()
{
    execute(QStringLiteral("COMMIT"));
}

void LocalStore::rollback()
{
    // Some failures (a full disk, an I/O error) end the transaction by themselves.
    if (inTransaction())
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void LocalStore::fail(const QString &sql) const
{
    sqlite3 *db = db_.get();
    const int code = sqlite3_extended_errcode(db);
    const QString why = QString::fromUtf8(sqlite3_errmsg(db));
    if (isDamage(code))
        throw LocalStoreError(damagedMessage(path_, why));
    throw LocalStoreError(QStringLiteral("离线数据库执行失败:%1 [%2]").arg(why, sql));
}

void LocalStore::execute(const QString &sql)
{
    if (!db_)
        throw LocalStoreError(QStringLiteral("离线数据库 %1 没有连接。").arg(shown(path_)));
    QString current;
    const int rc = eachStatement(
        db_.get(), sql,
        [](sqlite3_stmt *s) {
            int step;
            while ((step = sqlite3_step(s)) == SQLITE_ROW) {
            }
            return step;
        },
        &current);
    if (rc != SQLITE_OK)
        fail(current);
}

ResultSet LocalStore::query(const QString &sql)
{
    if (!db_)
        throw LocalStoreError(QStringLiteral("离线数据库 %1 没有连接。").arg(shown(path_)));
    ResultSet result;
    QString current;
    const int rc = eachStatement(
            db_.get(), sql,
            [&](sqlite3_stmt *s) {
                sql::SqliteRowReader reader(s);
                int step;
                while ((step = sqlite3_step(s)) == SQLITE_ROW)
                    reader.readRow();
                if (step != SQLITE_DONE || reader.columnCount() == 0)
                    return step;
                sql::SqliteRows read = reader.finish();
                result = ResultSet(std::move(read.columns));
                for (QVariantList &row : read.rows)
                    result.appendRow(std::move(row));
                result.first();
                return step;
            },
            &current);
    if (rc != SQLITE_OK)
        fail(current);
    return result;
}

LocalStatement LocalStore::prepare(const QString &sql)
{
    if (!db_)
        throw LocalStoreError(QStringLiteral("离线数据库 %1 没有连接。").arg(shown(path_)));
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db_.get(), text.constData(), static_cast<int>(text.size()), &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(sql);
    }
    return LocalStatement(*this, stmt, sql);
}

LocalStatement::LocalStatement(LocalStore &store, sqlite3_stmt *stmt, QString sql)
    : store_(&store), stmt_(stmt), sql_(std::move(sql))
{
}

LocalStatement::LocalStatement(LocalStatement &&other) noexcept
    : store_(other.store_), stmt_(std::exchange(other.stmt_, nullptr)), sql_(std::move(other.sql_))
{
}

LocalStatement &LocalStatement::operator=(LocalStatement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        store_ = other.store_;
        stmt_ = std::exchange(other.stmt_, nullptr);
        sql_ = std::move(other.sql_);
    }
    return *this;
}

LocalStatement::~LocalStatement()
{
    sqlite3_finalize(stmt_);
}

void LocalStatement::run(const QVariantList &values)
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    int i = 1;
    for (const QVariant &v : values) {
        int rc;
        switch (v.isNull() ? QMetaType::UnknownType : v.typeId()) {
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(stmt_, i);
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt_, i, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(stmt_, i, v.toDouble());
            break;
        default: {
            const QByteArray text = v.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, i, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        }
        if (rc != SQLITE_OK)
            store_->fail(sql_);
        ++i;
    }
    if (sqlite3_step(stmt_) != SQLITE_DONE) {
        sqlite3_reset(stmt_);
        store_->fail(sql_);
    }
}

qint64 LocalStore::changedRows() const
{
    return db_ ? sqlite3_changes64(db_.get()) : 0;
}

QString LocalStore::prepareFile(const ProgramFolder &folder)
{
    const QString store = folder.path(QString::fromLatin1(LocalStoreFileName));
    if (QFileInfo::exists(store))
        return store;
    const QString clean = folder.path(QString::fromLatin1(LocalStoreCleanCopyName));
    if (!QFileInfo(clean).isFile()) {
        throw LocalStoreError(QStringLiteral("找不到离线数据库文件 %1,也没有可以替换它的干净副本 %2。")
                                  .arg(shown(store), shown(clean)));
    }
    QFile source(clean);
    if (!source.copy(store)) {
        throw LocalStoreError(QStringLiteral("无法从 %1 复制离线数据库文件 %2:%3")
                                  .arg(shown(clean), shown(store), source.errorString()));
    }
    // The copy takes the source's permissions; the store must be writable whatever they were.
    QFile::setPermissions(store, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return store;
}

bool LocalStore::provideCleanCopy(const ProgramFolder &folder, const QString &shippedCopy)
{
    const QString target = folder.path(QString::fromLatin1(LocalStoreCleanCopyName));
    if (QFileInfo::exists(target))
        return true;
    if (shippedCopy.isEmpty() || !QFileInfo(shippedCopy).isFile())
        return false;
    return QFile::copy(shippedCopy, target);
}

QString LocalStore::shippedCleanCopy()
{
    QString exeFolder;
    if (QCoreApplication::instance())
        exeFolder = QCoreApplication::applicationDirPath();
    else
        exeFolder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
    if (!exeFolder.isEmpty()) {
        const QString beside = ProgramFolder(exeFolder).path(QString::fromLatin1(LocalStoreCleanCopyName));
        if (QFileInfo(beside).isFile())
            return beside;
        const QString installed = installedDataFolder(exeFolder);
        if (!installed.isEmpty() && QFileInfo::exists(installed + QStringLiteral("/till/VORELZBACK")))
            return installed + QStringLiteral("/till/VORELZBACK");
    }
#ifdef VOREL_BUILT_CLEAN_STORE
    const QString built = QStringLiteral(VOREL_BUILT_CLEAN_STORE);
    if (QFileInfo(built).isFile())
        return built;
#endif
    return {};
}

} // namespace vorel
