#pragma once
// The till's own SQLite database "VORELZ" in the program folder: the slips, shift and login
// records kept while offline, and the mirror of the shop's master data. The file arrives
// with its tables: a missing store is copied from the clean copy "VORELZBACK", and nothing
// here makes up a new file. A store of an older layout (PRAGMA user_version) is brought to
// LocalStoreVersion when it is opened, by the steps in localstore.cpp.
//
// Durability: rollback journal with synchronous=FULL, so a committed slip survives a power
// cut and an interrupted transaction is rolled back the next time the file is opened. The
// journal (rather than WAL) keeps every committed row inside the one file VORELZ, which the
// database repair copies on its own.
//
// One connection, used from the user-interface thread only.

#include <QString>
#include <QVariantList>
#include <memory>

#include "core/error.h"
#include "core/resultset.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vorel {

class ProgramFolder;

inline constexpr char LocalStoreFileName[] = "VORELZ";
inline constexpr char LocalStoreCleanCopyName[] = "VORELZBACK";
// Stamped into the file by the schema script; a SQLite file without it is not our store.
inline constexpr int LocalStoreApplicationId = 0x564F525A; // "VORZ"
// The layout data/local/vorelz.sql makes (its PRAGMA user_version).
inline constexpr int LocalStoreVersion = 2;

// A store that cannot be used, or a statement that failed on it. message() is ready to show.
class LocalStoreError : public VorelError {
public:
    using VorelError::VorelError;
};

class LocalStore;

// One statement compiled once and run for many rows (the bulk load of the mirror). Values
// bind in order: a null QVariant as NULL, integers and decimals as numbers, anything else
// as text; the column's declared type then converts as it does for SQL text.
class LocalStatement {
public:
    LocalStatement(LocalStatement &&) noexcept;
    LocalStatement &operator=(LocalStatement &&) noexcept;
    ~LocalStatement();

    // Runs the statement with these values; throws LocalStoreError when it fails.
    void run(const QVariantList &values);

private:
    friend class LocalStore;
    LocalStatement(LocalStore &store, sqlite3_stmt *stmt, QString sql);

    LocalStore *store_;
    sqlite3_stmt *stmt_;
    QString sql_;
};

class LocalStore {
public:
    // Works on the file at `path`; nothing is opened yet.
    explicit LocalStore(QString path);
    ~LocalStore();
    LocalStore(const LocalStore &) = delete;
    LocalStore &operator=(const LocalStore &) = delete;

    const QString &path() const { return path_; }

    // Connects, and upgrades a store of an older layout in one transaction. Throws
    // LocalStoreError when the file is missing, unreadable, damaged, not a local store or
    // of a newer layout than this program; the message names the file and says what to
    // do. Opening an open store does nothing.
    void open();
    // Disconnects (the database repair replaces the file meanwhile). An open transaction is
    // rolled back.
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // Explicit transactions. begin() takes the write lock at once.
    bool inTransaction() const;
    void begin();
    void commit();
    void rollback(); // never throws; nothing happens outside a transaction

    // Runs every statement of `sql` (separated by ";") in order. The caller decides about
    // the transaction; a failing statement throws and leaves the earlier ones to the
    // caller's rollback.
    void execute(const QString &sql);

    // Runs `sql` and returns the rows of its last statement that has result columns
    // (statements before it run too). Column types follow the declared types of the table
    // columns; a computed column takes the type of its values.
    ResultSet query(const QString &sql);

    // Compiles one statement with "?" placeholders. Throws LocalStoreError when it cannot.
    LocalStatement prepare(const QString &sql);

    // Rows changed by the last INSERT, UPDATE or DELETE.
    qint64 changedRows() const;

    // ---- The files in the program folder

    // Full path of "VORELZ" in `folder`, after copying it from "VORELZBACK" when it is
    // missing. Throws LocalStoreError when neither file is there or the copy fails.
    static QString prepareFile(const ProgramFolder &folder);

    // Puts the clean copy that came with the program into `folder` when the folder has
    // none. Returns false when the folder lacks one and it could not be copied.
    static bool provideCleanCopy(const ProgramFolder &folder, const QString &shippedCopy);

    // The clean copy that came with the program: "VORELZBACK" beside the executable, else
    // (a build that was never installed) the one the build made. Empty when neither exists.
    static QString shippedCleanCopy();

private:
    friend class LocalStatement;
    struct DbCloser {
        void operator()(sqlite3 *db) const;
    };

    [[noreturn]] void fail(const QString &sql) const;
    void checkIdentity();
    void upgrade();

    QString path_;
    std::unique_ptr<sqlite3, DbCloser> db_;
};

} // namespace vorel
