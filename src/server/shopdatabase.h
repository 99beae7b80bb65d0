#pragma once
// Making and opening a shop database: the schema of the backend, the demo shop, and a
// generator that fills the catalogue with many more styles for load and speed trials.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <memory>

#include "core/clock.h"
#include "core/error.h"
#include "server/shopschema.h"
#include "sqlengine/backend.h"

namespace vorel::server {

// A shop database that cannot be made or opened; message() says why, for a person.
class ShopDatabaseError : public VorelError {
public:
    using VorelError::VorelError;
};

struct CreateOptions {
    bool demo = false;   // load the demo shop after the schema
    int extraStyles = 0; // generated styles added at the end
    bool force = false;  // replace a shop that is already there
};

// What the style generator wrote.
struct StyleFigures {
    int styles = 0;
    qint64 units = 0;     // style and colour (D1801)
    qint64 barcodes = 0;  // one per unit and size (D1809)
    qint64 stockRows = 0; // one per unit and warehouse (D1802)
};

class ShopDatabase {
public:
    // `location`: a SQLite file path or a PostgreSQL URI / connection string.
    ShopDatabase(QString location, const Clock &clock);

    const QString &location() const { return location_; }
    bool isPostgres() const;

    // True when the location already holds something init would overwrite: any file at a
    // SQLite path, shop tables in the PostgreSQL schema.
    bool exists() const;

    // Creates the shop and draws its session signing key. Refuses an existing one unless
    // options.force; a SQLite file that could not be finished is removed again. Throws
    // ShopDatabaseError.
    void create(const CreateOptions &options) const;

    // Opens an existing shop for serving, upgraded to the current schema version first
    // (ShopSchema::upgrade). Throws ShopDatabaseError when it cannot be opened, holds no
    // shop, is older than version 1 or newer than this program, or the upgrade fails.
    std::unique_ptr<sql::Backend> open() const;

    // Upgrades the shop at the location as open() does and says from which version to
    // which ({0, 0} when the location holds no shop). Throws ShopDatabaseError as open()
    // does otherwise.
    SchemaChange upgrade() const;

    // The shop's key for signing session tokens, from SYS_SERVER. When the row is missing, a
    // new key of SecretBytes is drawn from the system's random source and stored; two
    // servers doing so at the same moment end up with the one that was stored first. Throws
    // sql::DbError, and std::invalid_argument when the stored key is not hex of at least
    // MinimumSecretBytes.
    static constexpr int SecretBytes = 32;        // what init draws
    static constexpr int MinimumSecretBytes = 16; // what a server accepts
    static QByteArray shopSecret(sql::Backend &db, const Clock &clock);

    // Adds `count` generated styles (names, sizes, two colours each, barcodes and stock in
    // every warehouse) in one transaction of a bulk load of its own (sql/bulkload.h): the
    // shop's other connections must not hold a write open meanwhile. Throws ShopDatabaseError.
    StyleFigures addStyles(int count) const;

    // The folder with schema/ and demo/: $VOREL_DATA_DIR, else beside the installed program
    // (../share/vorel or ./data), else the source tree the program was built from.
    static QString dataDir();
    static QString schemaFile(sql::BackendKind kind);
    static QString demoFile();
    // The demo shop's script with its dates filled in: {TODAY} is `today`, {PERIOD_END} (the
    // close of the last stock period) ten days before.
    static QString demoScript(const QDate &today);

    // A location fit for a log or a message: the password of a URI is masked.
    static QString displayLocation(const QString &location);

private:
    void dropExisting(sql::Backend &db) const;
    std::unique_ptr<sql::Backend> openUpgraded(SchemaChange *change) const;

    QString location_;
    const Clock &clock_;
};

} // namespace vorel::server
