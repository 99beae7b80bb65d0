// The item lookup: the server batch as the corpus records it (which also runs it on both
// backends, with styles whose brand is missing among its cases), and the same typed codes
// looked up on a demo shop in process, on a local store filled from that shop by the
// download queries, and on the local store at once when the server is gone.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "commandlinetestutil.h"
#include "core/text.h"
#include "sales/itemlookup.h"
#include "server/localshopservice.h"

#include "fakeclock.h"
#include "fakeshopservice.h"

namespace vorel {
namespace {

using test::CommandRig;

// One demo shop for the whole run: lookups only read it.
LocalShopService &demoShop()
{
    static QTemporaryDir dir;
    static FakeClock clock;
    static LocalShopService shop(dir.filePath(QStringLiteral("shop.db")), clock);
    return shop;
}

// The master data of warehouse 001 as the synchronisation downloads it, written into the
// mirror tables by column name (a missing value as empty text, as the download writes it).
void fillMirror(LocalStore &store)
{
    const struct {
        const char *table;
        const char *sql;
    } downloads[] = {
        {"VD1005", "SELECT * FROM VD1005"},
        {"D1800",
         "SELECT D1800.K_ID,D1800.CLASS_ID, D1800.WL_NAME,D1800.M_ID, D1800.vipf, D1009.PP_NAME AS PP,D1800.PYM,"
         "D1800.PFJ,VD704.I, VD704.cla, VD704.clazk, VD704.F1, VD704.F2,VD704.F3, VD704.TJ,VD704.DJ_VIP,VD704.G_VIP,"
         "VD704.G_ZK, VD704.G, VD704.flag1, VD704.flag2, VD704.flag3, VD704.FA FROM d1800 INNER JOIN D1009 ON "
         "D1800.PP_ID=D1009.PP_ID INNER JOIN (SELECT D1801.K_ID  FROM D1801 INNER JOIN  D1802 ON D1801.WL_ID = "
         "D1802.WL_ID  WHERE (D1802.CK_ID ='001') GROUP BY D1801.K_ID) A ON D1800.K_ID = A.K_ID AND (d1800.wl_ys=1) "
         "LEFT OUTER JOIN  VD704 ON D1800.K_ID = VD704.K_ID and (VD704.CK_ID ='001')"},
        {"D1809",
         "   SELECT D1809. *   FROM D1800 INNER JOIN   D1009 on D1800.PP_ID = D1009.PP_ID and (d1800.wl_ys=1) INNER "
         "JOIN   (SELECT D1801.K_ID   FROM D1801 INNER JOIN   D1802 on D1801.WL_ID = D1802.WL_ID   WHERE(D1802.CK_ID "
         "='001')     GROUP BY D1801.K_ID)A on D1800.K_ID = A.K_ID INNER JOIN    D1809 on D1800.K_ID = D1809.K_ID"},
        {"D1801", "SELECT D1801.* FROM D1801 INNER JOIN D1802 ON D1801.WL_ID = D1802.WL_ID WHERE (D1802.CK_ID = '001') "},
        {"D1802", "SELECT WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9 FROM D1802 WHERE (CK_ID ='001')"},
        {"D1006", "SELECT * FROM D1006"},
    };
    store.begin();
    for (const auto &d : downloads) {
        ResultSet rows;
        ASSERT_TRUE(demoShop().posOpenSql(rows, QString::fromUtf8(d.sql))) << d.table;
        const QString table = QLatin1String(d.table);
        ResultSet mirror = store.query(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        QStringList names;
        QList<int> sources;
        for (int r = 0; r < mirror.totalRowCount(); ++r) {
            const QString name = mirror.fieldAt(r, mirror.columnIndex(QStringLiteral("name"))).asString();
            if (rows.hasColumn(name)) {
                names << name;
                sources << rows.columnIndex(name);
            }
        }
        QString sql;
        for (int r = 0; r < rows.totalRowCount(); ++r) {
            QStringList values;
            for (int source : sources)
                values << sqlQuote(rows.fieldAt(r, source).asString());
            sql += QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);").arg(table, names.join(u','), values.join(u','));
        }
        store.execute(sql);
    }
    store.commit();
}

// ---- the server batch

// ---- the same codes online and offline

enum class Where { Online, Offline };

void PrintTo(Where where, std::ostream *os)
{
    *os << (where == Where::Online ? "online" : "offline");
}

class LookupTest : public ::testing::TestWithParam<Where> {
protected:
    LookupTest()
    {
        if (GetParam() == Where::Offline) {
            fillMirror(*rig.store);
            rig.connection.setOffline(true);
        }
    }
    bool online() const { return GetParam() == Where::Online; }

    CommandRig rig{demoShop()};
};

struct Found {
    const char *typed;
    int shown;       // rows the picker shows, online and offline alike; 0 when it does not open
    int take;        // row the cashier takes
    const char *tm;  // barcode of the new line; nullptr: nothing found
    const char *size, *colour, *sj, *zk, *note;
};

TEST_P(LookupTest, TypedCodeBecomesALine)
{
    const Found cases[] = {
        {"6920880010118", 0, 0, "6920880010118", "M", "黑色", "79", "1", ""},
        {"6920880020216", 0, 0, "6920880020216", "M", "白色", "59", "0.59", "特价59元"},
        {"6920880401008", 0, 0, "6920880401008", "均码", "米白", "0", "1", "购物赠品"},
        {"LY024", 5, 2, "6920880240126", "M", "黑色", "499", "1", "新品不打折"},
        {"xhq", 5, 4, "6920880240140", "XL", "黑色", "499", "1", "新品不打折"},
        {"小黑", 5, 0, "6920880240102", "XS", "黑色", "499", "1", "新品不打折"},
        {"692088024011", 0, 0, "6920880240119", "S", "黑色", "499", "1", "新品不打折"},
        {"TX001.", 15, 0, "6920880010101", "S", "黑色", "79", "1", ""},
        {"NOSUCH", 0, 0, nullptr},
        {"TX006", 0, 0, nullptr},
        {"WT021", 0, 0, nullptr},
    };
    for (const Found &c : cases) {
        SCOPED_TRACE(c.typed);
        rig.sale.clear();
        rig.picker.shown.clear();
        rig.picker.take = c.take;
        const bool added = rig.cmd.AddItemByCode(QString::fromUtf8(c.typed));

        ASSERT_EQ(rig.picker.shown.size(), c.shown > 0 ? 1 : 0);
        if (c.shown > 0) {
            EXPECT_EQ(rig.picker.shown[0].size(), c.shown);
        }
        ASSERT_EQ(added, c.tm != nullptr);
        if (!c.tm) {
            EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("未检索到相关的商品信息!"));
            EXPECT_TRUE(rig.sale.isEmpty());
            continue;
        }
        const SaleLine &l = *rig.sale.currentLine();
        EXPECT_EQ(l.tm(), QString::fromUtf8(c.tm));
        EXPECT_EQ(l.wlGg(), QString::fromUtf8(c.size));
        EXPECT_EQ(l.dwName(), QString::fromUtf8(c.colour));
        EXPECT_EQ(Money::fromDouble(l.sj()), test::money(c.sj));
        EXPECT_EQ(Money::fromDouble(l.zk()), test::money(c.zk));
        EXPECT_EQ(l.note(), QString::fromUtf8(c.note));
        EXPECT_EQ(rig.sale.labels().total, Money::fromDouble(l.smoney()).toString(2));
    }
}

TEST_P(LookupTest, StyleAndSizeSearchUsesTheSizeOnlyOnline)
{
    rig.picker.take = std::nullopt;
    EXPECT_FALSE(rig.cmd.AddItemByCode(QStringLiteral("TX00.M")));
    ASSERT_EQ(rig.picker.shown.size(), 1);
    const QStringList &shown = rig.picker.shown[0];
    if (online()) {
        EXPECT_EQ(shown.size(), 11);
        for (const QString &tm : shown)
            EXPECT_EQ(tm.mid(11, 1), QStringLiteral("1")) << tm.toStdString(); // size position 1: M
    } else {
        EXPECT_EQ(shown.size(), 30);
    }
    // Cancelled: no line, no message.
    EXPECT_TRUE(rig.sale.isEmpty());
    EXPECT_EQ(rig.cmd.helpText(), QString());
}

TEST_P(LookupTest, StockFilterOfThePickerStaysForLaterLookups)
{
    const QString soldOut = QStringLiteral("6920880010149"); // TX001 black XXL, none in stock
    rig.picker.filter = itemlookup::InStockFilter;
    ASSERT_TRUE(rig.cmd.AddItemByCode(QStringLiteral("TX001")));
    ASSERT_EQ(rig.picker.shown.size(), 1);
    EXPECT_FALSE(rig.picker.shown[0].contains(soldOut));
    EXPECT_LT(rig.picker.shown[0].size(), 15);

    rig.picker.filter.reset();
    EXPECT_FALSE(rig.cmd.AddItemByCode(soldOut));
    EXPECT_EQ(rig.cmd.helpText(), QStringLiteral("未检索到相关的商品信息!"));

    // Space again in the picker shows everything, from then on.
    rig.picker.filter = QString();
    ASSERT_TRUE(rig.cmd.AddItemByCode(QStringLiteral("TX001")));
    EXPECT_TRUE(rig.picker.shown[1].contains(soldOut));
    rig.picker.filter.reset();
    EXPECT_TRUE(rig.cmd.AddItemByCode(soldOut));
    EXPECT_EQ(rig.sale.currentLine()->tm(), soldOut);
}

INSTANTIATE_TEST_SUITE_P(DemoShop, LookupTest, ::testing::Values(Where::Online, Where::Offline),
                         [](const auto &info) { return info.param == Where::Online ? "Online" : "Offline"; });

// ---- the server gone in the middle of a lookup

TEST(LookupServerGone, LooksUpLocallyAtOnceAndStaysOffline)
{
    FakeShopService gone;
    gone.setReachable(false);
    CommandRig rig(gone);
    fillMirror(*rig.store);

    EXPECT_TRUE(rig.cmd.AddItemByCode(QStringLiteral("6920880010118")));
    EXPECT_TRUE(rig.connection.isOffline());
    ASSERT_EQ(rig.sale.lineCount(), 1);
    EXPECT_EQ(rig.sale.line(0).wlGg(), QStringLiteral("M"));
    ASSERT_EQ(gone.calls().size(), 1);
    EXPECT_EQ(gone.calls()[0].sql, itemlookup::serverBatch(QStringLiteral("6920880010118"), QStringLiteral("001")));

    // A code the exact match misses goes on to the search in the same lookup.
    FakeShopService goneAgain;
    goneAgain.setReachable(false);
    CommandRig second(goneAgain);
    fillMirror(*second.store);
    second.picker.take = 1;
    EXPECT_TRUE(second.cmd.AddItemByCode(QStringLiteral("xhq")));
    EXPECT_EQ(second.picker.shown.value(0).size(), 5);
    EXPECT_EQ(second.sale.currentLine()->tm(), QStringLiteral("6920880240119"));
    EXPECT_EQ(goneAgain.calls().size(), 1);
}

} // namespace
} // namespace vorel
