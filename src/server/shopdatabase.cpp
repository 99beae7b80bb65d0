#include "server/shopdatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cctype>
#include <iterator>

#include "core/resultset.h"
#include "sqlengine/bulkload.h"
#include "sqlengine/sqlitebackend.h"

namespace vorel::server {

namespace {

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ShopDatabaseError(QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), f.errorString()));
    return QString::fromUtf8(f.readAll());
}

// Removes a SQLite database with its journal files.
void removeSqliteFiles(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Tables, views or functions a schema script makes, in the order it makes them.
QStringList objectsMadeBy(const QString &script, const QString &kind)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*CREATE\\s+(?:OR\\s+REPLACE\\s+)?(TABLE|VIEW|FUNCTION)\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?(\\w+)"),
                                       QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    QStringList names;
    auto it = re.globalMatch(script);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(1).compare(kind, Qt::CaseInsensitive) == 0)
            names << m.captured(2);
    }
    return names;
}

// ---- style generator

struct NamePart {
    const char *text;
    const char *initials;
};

constexpr NamePart kStyleWords[] = {
    {"休闲", "XX"}, {"修身", "XS"}, {"宽松", "KS"}, {"经典", "JD"}, {"复古", "FG"},
    {"简约", "JY"}, {"时尚", "SS"}, {"百搭", "BD"}, {"加厚", "JH"}, {"轻薄", "QB"},
};

struct Category {
    const char *classId;
    const char *text;
    const char *initials;
    int basePrice;
};

constexpr Category kCategories[] = {
    {"TX", "T恤", "TX", 69},      {"CS", "衬衫", "CS", 129},    {"WY", "卫衣", "WY", 159},
    {"MY", "毛衣", "MY", 219},    {"WT", "外套", "WT", 399},    {"LY", "连衣裙", "LYQ", 299},
    {"NZ", "牛仔裤", "NZK", 199}, {"XK", "休闲裤", "XXK", 169}, {"PJ", "围巾", "WJ", 49},
};

constexpr const char *kFallbackColours[][2] = {
    {"01", "黑色"}, {"02", "白色"}, {"03", "红色"}, {"04", "藏青"}, {"05", "灰色"}, {"06", "卡其"},
};

QString quoted(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

bool isHexText(const QByteArray &text)
{
    return !text.isEmpty() && text.size() % 2 == 0
           && std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

QString storedSecret(sql::Backend &db)
{
    ResultSet rows;
    db.execute(QStringLiteral("SELECT SECRET FROM SYS_SERVER WHERE SERVER_ID = 1"), &rows);
    return rows.totalRowCount() > 0 ? rows.fieldAt(0, 0).asString().trimmed() : QString();
}

} // namespace

ShopDatabase::ShopDatabase(QString location, const Clock &clock)
    : location_(std::move(location)), clock_(clock)
{
}

bool ShopDatabase::isPostgres() const
{
    return sql::isPostgresLocation(location_);
}

QString ShopDatabase::dataDir()
{
    const auto hasSchema = [](const QString &dir) {
        return !dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/schema/shop-sqlite.sql"));
    };
    const QString fromEnv = qEnvironmentVariable("VOREL_DATA_DIR");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        candidates << exeDir + QStringLiteral("/../share/vorel") << exeDir + QStringLiteral("/data");
    }
#ifdef VOREL_SOURCE_DATA_DIR
    candidates << QStringLiteral(VOREL_SOURCE_DATA_DIR);
#endif
    for (const QString &dir : candidates) {
        if (hasSchema(dir))
            return QDir::cleanPath(dir);
    }
    return candidates.isEmpty() ? QString() : QDir::cleanPath(candidates.last());
}

QString ShopDatabase::schemaFile(sql::BackendKind kind)
{
    return dataDir() + (kind == sql::BackendKind::PostgreSQL ? QStringLiteral("/schema/shop-postgres.sql")
                                                             : QStringLiteral("/schema/shop-sqlite.sql"));
}

QString ShopDatabase::demoFile()
{
    return dataDir() + QStringLiteral("/demo/demo-shop.sql");
}

QString ShopDatabase::demoScript(const QDate &today)
{
    QString script = readText(demoFile());
    script.replace(QLatin1String("{TODAY}"), formatDate(today));
    script.replace(QLatin1String("{PERIOD_END}"), formatDate(today.addDays(-10)));
    return script;
}

QString ShopDatabase::displayLocation(const QString &location)
{
    static const QRegularExpression inUserInfo(QStringLiteral("^(\\w+://[^:/@]*:)[^/]*@"));
    static const QRegularExpression asSetting(QStringLiteral("(password\\s*=\\s*)('[^']*'|[^&\\s]+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString s = location;
    s.replace(inUserInfo, QStringLiteral("\\1***@"));
    s.replace(asSetting, QStringLiteral("\\1***"));
    return s;
}

bool ShopDatabase::exists() const
{
    if (!isPostgres())
        return QFileInfo::exists(location_);
    try {
        const auto db = sql::openBackend(location_);
        const sql::Catalog catalog = db->loadCatalog();
        const QString schema = readText(schemaFile(sql::BackendKind::PostgreSQL));
        for (const QString &table : objectsMadeBy(schema, QStringLiteral("TABLE"))) {
            if (catalog.columns(table))
                return true;
        }
        return false;
    } catch (const sql::DbError &e) {
        throw ShopDatabaseError(e.message());
    }
}

void ShopDatabase::dropExisting(sql::Backend &db) const
{
    const QString schema = readText(schemaFile(db.kind()));
    QStringList statements;
    for (const QString &view : objectsMadeBy(schema, QStringLiteral("VIEW")))
        statements << QStringLiteral("DROP VIEW IF EXISTS %1 CASCADE").arg(view);
    for (const QString &table : objectsMadeBy(schema, QStringLiteral("TABLE")))
        statements << QStringLiteral("DROP TABLE IF EXISTS %1 CASCADE").arg(table);
    for (const QString &function : objectsMadeBy(schema, QStringLiteral("FUNCTION")))
        statements << QStringLiteral("DROP FUNCTION IF EXISTS %1 CASCADE").arg(function);
    db.executeScript(statements.join(QStringLiteral(";\n")));
}

void ShopDatabase::create(const CreateOptions &options) const
{
    const bool pg = isPostgres();
    if (!options.force && exists()) {
        throw ShopDatabaseError(
            QStringLiteral("a shop database already exists at %1; use --force to replace it")
                .arg(displayLocation(location_)));
    }
    const QString schema = readText(schemaFile(pg ? sql::BackendKind::PostgreSQL : sql::BackendKind::SQLite));
    const QString demo = options.demo ? demoScript(clock_.now().date()) : QString();

    std::unique_ptr<sql::Backend> db;
    try {
        if (pg) {
            db = sql::openBackend(location_);
        } else {
            removeSqliteFiles(location_);
            QDir().mkpath(QFileInfo(location_).absolutePath());
            db = std::make_unique<sql::SqliteBackend>(location_, true);
        }
        // One transaction: on PostgreSQL a failed creation leaves the old shop in place.
        db->begin(true);
        if (pg && options.force)
            dropExisting(*db);
        db->executeScript(schema);
        shopSecret(*db, clock_);
        if (options.demo)
            db->executeScript(demo);
        db->commit();
        if (options.extraStyles > 0)
            addStyles(options.extraStyles);
    } catch (const sql::DbError &e) {
        if (db)
            db->rollback();
        db.reset();
        if (!pg)
            removeSqliteFiles(location_);
        throw ShopDatabaseError(QStringLiteral("cannot create the shop database at %1: %2").arg(displayLocation(location_), e.message()));
    } catch (const ShopDatabaseError &) {
        db.reset();
        if (!pg)
            removeSqliteFiles(location_);
        throw;
    }
}

QByteArray ShopDatabase::shopSecret(sql::Backend &db, const Clock &clock)
{
    QString stored = storedSecret(db);
    if (stored.isEmpty()) {
        quint32 words[SecretBytes / sizeof(quint32)];
        QRandomGenerator::system()->fillRange(words);
        const QByteArray drawn(reinterpret_cast<const char *>(words), sizeof words);
        db.execute(QStringLiteral("INSERT INTO SYS_SERVER (SERVER_ID, SECRET, BDATE) VALUES (1, %1, %2) "
                                  "ON CONFLICT DO NOTHING")
                       .arg(quoted(QString::fromLatin1(drawn.toHex())), quoted(formatDateTime(clock.now()))),
                   nullptr);
        stored = storedSecret(db);
    }
    const QByteArray hex = stored.toLatin1();
    if (!isHexText(hex) || hex.size() < 2 * MinimumSecretBytes)
        throw std::invalid_argument("SYS_SERVER.SECRET must be at least 32 hex digits");
    return QByteArray::fromHex(hex);
}

std::unique_ptr<sql::Backend> ShopDatabase::openUpgraded(SchemaChange *change) const
{
    std::unique_ptr<sql::Backend> db;
    try {
        db = sql::openBackend(location_);
        *change = ShopSchema::upgrade(*db, displayLocation(location_), clock_);
    } catch (const sql::DbError &e) {
        throw ShopDatabaseError(e.message());
    }
    return db;
}

std::unique_ptr<sql::Backend> ShopDatabase::open() const
{
    SchemaChange change;
    auto db = openUpgraded(&change);
    if (change.to == 0) {
        throw ShopDatabaseError(QStringLiteral("%1 holds no shop database; create one with: vorel-server init --db %1")
                                    .arg(displayLocation(location_)));
    }
    return db;
}

SchemaChange ShopDatabase::upgrade() const
{
    SchemaChange change;
    openUpgraded(&change);
    return change;
}

StyleFigures ShopDatabase::addStyles(int count) const
{
    StyleFigures figures;
    if (count <= 0)
        return figures;
    const QString today = formatDateTime(QDateTime(clock_.now().date(), QTime(0, 0, 0)));
    std::unique_ptr<sql::BulkLoad> load;
    try {
        load = sql::BulkLoad::open(location_);
        load->begin();

        // Size groups: how many sizes each has.
        struct SizeGroup {
            QString id;
            int sizes = 0;
        };
        QList<SizeGroup> groups;
        for (const QStringList &row : load->select(QStringLiteral("SELECT M_ID, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9 "
                                                                  "FROM D1006 ORDER BY M_ID"))) {
            SizeGroup g{row.at(0), 0};
            for (int c = 1; c <= 10 && !row.at(c).trimmed().isEmpty(); ++c)
                ++g.sizes;
            if (g.sizes > 0)
                groups.append(g);
        }
        if (groups.isEmpty()) {
            load->execute(QStringLiteral("INSERT INTO D1006 (M_ID, M_NAME, M0, M1, M2, M3, M4) "
                                         "VALUES ('G1', '通用', 'S', 'M', 'L', 'XL', 'XXL')"));
            groups.append(SizeGroup{QStringLiteral("G1"), 5});
        }

        QStringList colours;
        for (const QStringList &row : load->select(QStringLiteral("SELECT COL_ID FROM D1005 ORDER BY COL_ID"))) {
            if (colours.size() < 100)
                colours << row.at(0);
        }
        if (colours.isEmpty()) {
            for (const auto &c : kFallbackColours) {
                load->execute(QStringLiteral("INSERT INTO D1005 (COL_ID, COL_NAME) VALUES ('%1', '%2')")
                                  .arg(QLatin1String(c[0]), QString::fromUtf8(c[1])));
                colours << QLatin1String(c[0]);
            }
        }

        QStringList brands;
        for (const QStringList &row : load->select(QStringLiteral("SELECT PP_ID FROM D1009 ORDER BY PP_ID")))
            brands << row.at(0);
        QStringList warehouses;
        for (const QStringList &row : load->select(QStringLiteral("SELECT CK_ID FROM D1007 ORDER BY CK_ID")))
            warehouses << row.at(0);

        // Generated styles are "GS" and a seven-digit serial; a later run carries on.
        int first = 1;
        {
            const QList<QStringList> rows = load->select(QStringLiteral("SELECT MAX(K_ID) FROM D1800 WHERE K_ID LIKE 'GS%'"));
            bool ok = false;
            const int last = rows.isEmpty() ? 0 : rows.first().at(0).mid(2).toInt(&ok);
            if (ok)
                first = last + 1;
        }
        if (first + count - 1 > 9999999)
            throw ShopDatabaseError(QStringLiteral("the generator numbers at most 9999999 styles"));

        const int styles = load->table(QStringLiteral("D1800"), {"K_ID", "CLASS_ID", "WL_NAME", "PYM", "PP_ID", "M_ID",
                                                                 "DJ", "PFJ", "WL_YS", "VIPF", "BDATE"});
        const int units = load->table(QStringLiteral("D1801"), {"WL_ID", "K_ID", "COL_ID"});
        const int stock = load->table(QStringLiteral("D1802"),
                                      {"CK_ID", "WL_ID", "K0", "K1", "K2", "K3", "K4", "K5", "K6", "K7", "K8", "K9"});
        const int barcodes = load->table(QStringLiteral("D1809"), {"WL_ID", "K_ID", "M_INDEX", "TM"});

        // The rows are made as UTF-8 bytes straight away: at a hundred thousand styles the
        // text of a million rows is a good part of the work.
        const auto utf8 = [](const QStringList &list) {
            std::vector<std::string> out;
            for (const QString &s : list)
                out.push_back(s.toStdString());
            return out;
        };
        const std::vector<std::string> colourIds = utf8(colours);
        const std::vector<std::string> brandIds = utf8(brands);
        const std::vector<std::string> warehouseIds = utf8(warehouses);
        const std::string day = today.toStdString();
        const auto digits = [](char *at, int value, int width) {
            for (int i = width - 1; i >= 0; --i, value /= 10)
                at[i] = static_cast<char>('0' + value % 10);
        };

        sql::BulkRow row;
        const int nColours = static_cast<int>(colours.size());
        for (int serial = first; serial < first + count; ++serial) {
            char kId[9] = {'G', 'S'};
            digits(kId + 2, serial, 7);
            const std::string_view style(kId, 9);
            const Category &cat = kCategories[serial % std::size(kCategories)];
            const NamePart &word = kStyleWords[(serial / 7) % std::size(kStyleWords)];
            const SizeGroup &group = groups.at(serial % groups.size());
            const int price = cat.basePrice + (serial % 10) * 10;
            const std::string number = std::to_string(serial);
            row.clear();
            row.text(style)
                .text(std::string_view(cat.classId))
                .text(std::string(word.text) + cat.text + number)
                .text(std::string(word.initials) + cat.initials + number);
            if (brandIds.empty())
                row.null();
            else
                row.text(brandIds[static_cast<size_t>(serial) % brandIds.size()]);
            row.text(group.id.toStdString()).integer(price).integer(price).integer(1).integer(1).text(day);
            load->add(styles, row);
            ++figures.styles;

            const int firstColour = serial % nColours;
            const int secondColour = (firstColour + 1 + serial % 5) % nColours;
            QList<int> colourIndexes{firstColour};
            if (secondColour != firstColour)
                colourIndexes << secondColour;
            for (const int colourIndex : colourIndexes) {
                const std::string wlId = std::string(style) + colourIds[static_cast<size_t>(colourIndex)];
                row.clear();
                row.text(wlId).text(style).text(colourIds[static_cast<size_t>(colourIndex)]);
                load->add(units, row);
                ++figures.units;
                // EAN-13: "21", the serial, the colour's place in the list, the size, and the
                // check digit.
                char ean[13] = {'2', '1'};
                digits(ean + 2, serial, 7);
                digits(ean + 9, colourIndex, 2);
                for (int size = 0; size < group.sizes; ++size) {
                    ean[11] = static_cast<char>('0' + size);
                    int sum = 0;
                    for (int i = 0; i < 12; ++i)
                        sum += (ean[i] - '0') * (i % 2 == 0 ? 1 : 3);
                    ean[12] = static_cast<char>('0' + (10 - sum % 10) % 10);
                    row.clear();
                    row.text(wlId).text(style).integer(size).text(std::string_view(ean, 13));
                    load->add(barcodes, row);
                    ++figures.barcodes;
                }
                for (const std::string &ck : warehouseIds) {
                    row.clear();
                    row.text(ck).text(wlId);
                    for (int size = 0; size < 10; ++size)
                        row.integer(size < group.sizes ? (serial + size * 3 + colourIndex) % 13 : 0);
                    load->add(stock, row);
                    ++figures.stockRows;
                }
            }
        }
        load->commit();
    } catch (const sql::DbError &e) {
        throw ShopDatabaseError(QStringLiteral("cannot add the generated styles: %1").arg(e.message()));
    }
    return figures;
}

} // namespace vorel::server
