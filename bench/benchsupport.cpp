#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <time.h>

#include "core/clock.h"
#include "offline/localstore.h"
#include "server/shopdatabase.h"

namespace vorel::bench {

QString keptFile(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(name));
}

QString bigShopFile()
{
    const QString path = keptFile("bench-scan-shop.db");
    if (QFileInfo::exists(path))
        return path;
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    std::fprintf(stderr, "making the shop with %d styles (once)...\n", BigShopStyles);
    SystemClock clock;
    server::ShopDatabase shop(building, clock);
    server::CreateOptions options;
    options.demo = true;
    options.extraStyles = BigShopStyles;
    shop.create(options);
    QFile::rename(building, path);
    return path;
}

QString bigLocalStoreFile(const QString &shop)
{
    const QString path = keptFile("bench-scan-VORELZ");
    if (QFileInfo::exists(path))
        return path;
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    if (!QFile::copy(LocalStore::shippedCleanCopy(), building))
        throw std::runtime_error("no clean local store (VORELZBACK)");
    QFile::setPermissions(building, QFile::ReadOwner | QFile::WriteOwner);
    std::fprintf(stderr, "filling the local store from the shop (once)...\n");
    const Db db(building);
    db.exec(QStringLiteral("ATTACH DATABASE '%1' AS shop").arg(shop));
    QString promotion;
    for (const char *c : {"I", "cla", "clazk", "F1", "F2", "F3", "TJ", "DJ_VIP", "G_VIP", "G_ZK", "G", "flag1",
                          "flag2", "flag3", "FA"})
        promotion += QStringLiteral(", ifnull(VD704.%1, '')").arg(QLatin1String(c));
    const QString stocked = QStringLiteral("(SELECT D1801.K_ID FROM shop.D1801 INNER JOIN shop.D1802 ON D1801.WL_ID = "
                                           "D1802.WL_ID WHERE (D1802.CK_ID ='001') GROUP BY D1801.K_ID) A");
    db.exec(QStringLiteral("BEGIN;"
                           "INSERT INTO VD1005 (COL_ID, COL_NAME, S) SELECT COL_ID, COL_NAME, S FROM shop.VD1005;"
                           "INSERT INTO D1800 (K_ID, CLASS_ID, WL_NAME, M_ID, PP, PYM, PFJ, I, cla, clazk, F1, F2, F3,"
                           " TJ, DJ_VIP, G_VIP, G_ZK, G, flag1, flag2, flag3, FA, vipf)"
                           " SELECT D1800.K_ID, D1800.CLASS_ID, D1800.WL_NAME, D1800.M_ID, D1009.PP_NAME, D1800.PYM,"
                           " D1800.PFJ") +
            promotion +
            QStringLiteral(", D1800.vipf FROM shop.D1800 INNER JOIN shop.D1009 ON D1800.PP_ID = D1009.PP_ID"
                           " INNER JOIN ") +
            stocked +
            QStringLiteral(" ON D1800.K_ID = A.K_ID AND (D1800.wl_ys=1) LEFT OUTER JOIN shop.VD704 ON D1800.K_ID ="
                           " VD704.K_ID AND (VD704.CK_ID ='001');"
                           "INSERT INTO D1809 (WL_ID, K_ID, M_INDEX, TM) SELECT D1809.WL_ID, D1809.K_ID,"
                           " D1809.M_INDEX, D1809.TM FROM shop.D1800 INNER JOIN ") +
            stocked +
            QStringLiteral(" ON D1800.K_ID = A.K_ID AND (D1800.wl_ys=1) INNER JOIN shop.D1809 ON D1800.K_ID ="
                           " D1809.K_ID;"
                           "INSERT INTO D1801 (WL_ID, K_ID, COL_ID) SELECT D1801.WL_ID, D1801.K_ID, D1801.COL_ID"
                           " FROM shop.D1801 INNER JOIN shop.D1802 ON D1801.WL_ID = D1802.WL_ID"
                           " WHERE (D1802.CK_ID = '001');"
                           "INSERT INTO D1802 (WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9) SELECT WL_ID, K0, K1,"
                           " K2, K3, K4, K5, K6, K7, K8, K9 FROM shop.D1802 WHERE (CK_ID ='001');"
                           "INSERT INTO D1006 (M_ID, M_NAME, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9) SELECT M_ID,"
                           " M_NAME, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9 FROM shop.D1006;"
                           "COMMIT;"));
    db.exec(QStringLiteral("DETACH DATABASE shop"));
    QFile::rename(building, path);
    return path;
}

QStringList stockedBarcodes(const QString &shopFile, int count)
{
    const Db db(shopFile);
    const QStringList barcodes = db.column(
        QStringLiteral("SELECT D1809.TM FROM D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID"
                       " INNER JOIN D1802 ON D1809.WL_ID = D1802.WL_ID"
                       " WHERE D1800.WL_YS = 1 AND D1802.CK_ID = '001' ORDER BY random() LIMIT %1")
            .arg(count));
    if (barcodes.size() < count / 2)
        throw std::runtime_error("the shop holds too few stocked barcodes");
    return barcodes;
}

Db::Db(const QString &path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path.toStdString());
}

Db::~Db()
{
    sqlite3_close(db_);
}

void Db::exec(const QString &sql) const
{
    char *error = nullptr;
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

namespace {

// Steps a query to its end, handing each row to `row`.
template <typename Row>
int eachRow(sqlite3 *db, const QString &sql, Row row)
{
    sqlite3_stmt *s = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    int n = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        row(s);
        ++n;
    }
    sqlite3_finalize(s);
    return n;
}

} // namespace

int Db::rows(const QString &sql) const
{
    return eachRow(db_, sql, [](sqlite3_stmt *s) {
        for (int c = 0; c < sqlite3_column_count(s); ++c)
            benchmark::DoNotOptimize(sqlite3_column_text(s, c));
    });
}

QStringList Db::column(const QString &sql) const
{
    QStringList values;
    eachRow(db_, sql, [&values](sqlite3_stmt *s) {
        values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
    });
    return values;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void reportPercentiles(benchmark::State &state, std::vector<double> &samples, const std::string &prefix)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, std::size_t(q * double(samples.size())))];
    };
    state.counters[prefix + "median_ms"] = at(0.5);
    state.counters[prefix + "p99_ms"] = at(0.99);
    state.counters[prefix + "max_ms"] = samples.back();
}

} // namespace vorel::bench
