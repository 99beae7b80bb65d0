// A stored slip read back on the sales screen: the same slip rows in a demo shop in process
// (online) and in a local store holding the downloaded master data (offline) come back as
// the same sale lines, header and amounts.

#include "sales/sliprecall.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "commandlinetestutil.h"
#include "core/text.h"
#include "server/localshopservice.h"

#include "fakeclock.h"

using namespace vorel;
using namespace vorel::test;

namespace {

const char *const SlipRows[] = {
    "INSERT INTO D712 (NOID, CK_ID, ZD_ID, CLASSID, VIPID, VIPZK, YW_ID, BDATE, USER_ID, S1, S2, S3, S4, S5, S6, S7, "
    "VIPF) VALUES ('00110000007', '001', '001', '1', '88000001', 0.9, '01', '2026-12-05 10:30:00', '01', 127.2, 0.2, 0, "
    "0, 0, 200, 73, 127)",
    "INSERT INTO D712 (NOID, CK_ID, ZD_ID, BDATE, USER_ID, S1, S6) VALUES ('00110000006', '001', '001', "
    "'2026-12-05 09:00:00', '01', 79, 79)",
    "INSERT INTO D712 (NOID, CK_ID, ZD_ID, BDATE, USER_ID, S1, S6) VALUES ('00210000009', '001', '002', "
    "'2026-12-05 09:00:00', '01', 79, 79)",
    // TX001 black, two of size M and a return of one XL; a redemption and a cash-off line.
    "INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, S1, SJ, SMONEY, ODJ, OMONEY, ZK, G, NOTE, VIPF) VALUES "
    "('00110000007', 'TX00101', 1, '001', 2, 71.1, 142.2, 79, 158, 0.9, 0, '改裤长', 1)",
    "INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, S3, SJ, SMONEY, ODJ, OMONEY, ZK, G, VIPF) VALUES "
    "('00110000007', 'TX00101', 1, '001', -1, 79, -79, 79, -79, 1, 0, 1)",
    "INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, SJ, SMONEY, ODJ, OMONEY, ZK, G) VALUES "
    "('00110000007', 'ZZZZZ', 1, '001', -10, -10, 0, 0, 1, 99)",
    "INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, SJ, SMONEY, ODJ, OMONEY, ZK, G) VALUES "
    "('00110000007', 'Z', 1, '001', -5, -5, 0, 0, 1, 99)",
};

LocalShopService &shopWithSlips()
{
    static QTemporaryDir dir;
    static FakeClock clock;
    static LocalShopService shop(dir.filePath(QStringLiteral("shop.db")), clock);
    static bool filled = false;
    if (!filled) {
        filled = true;
        for (const char *sql : SlipRows)
            EXPECT_EQ(shop.posExecSql(QStringLiteral("720"), QString(), QString(), QString::fromUtf8(sql), 0).toStdString(), "Y");
    }
    return shop;
}

// The tables the recall reads, copied into the local store by the columns both have.
void fillStore(LocalStore &store, ShopService &shop)
{
    store.begin();
    for (const char *table : {"VD1005", "D1800", "D1801", "D1809", "D1006", "SYS_USER", "D702", "D712", "D712A"}) {
        ResultSet rows;
        ASSERT_TRUE(shop.posOpenSql(rows, QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table))));
        const ResultSet mirror = store.query(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)));
        QStringList names;
        QList<int> sources;
        for (int r = 0; r < mirror.totalRowCount(); ++r) {
            const QString name = mirror.fieldAt(r, mirror.columnIndex(QStringLiteral("name"))).asString();
            if (rows.hasColumn(name) && name != QLatin1String("LINE_ID")) {
                names << name;
                sources << rows.columnIndex(name);
            }
        }
        QString sql;
        for (int r = 0; r < rows.totalRowCount(); ++r) {
            QStringList values;
            for (int source : sources) {
                const Field f = rows.fieldAt(r, source);
                values << (f.isNull() ? QStringLiteral("NULL") : sqlQuote(f.asString()));
            }
            sql += QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);").arg(QLatin1String(table), names.join(u','),
                                                                         values.join(u','));
        }
        store.execute(sql);
    }
    store.commit();
}

class SlipRecallTest : public ::testing::TestWithParam<bool> {
protected:
    SlipRecallTest()
    {
        if (GetParam()) {
            fillStore(*rig.store, shopWithSlips());
            rig.connection.setOffline(true);
        }
    }
    CommandRig rig{shopWithSlips()};
    SlipRecall recall{rig.connection};
};

} // namespace

TEST_P(SlipRecallTest, TheSlipComesBackAsItWasSold)
{
    EXPECT_EQ(str(recall.lastNumber(QStringLiteral("001"))), "00110000007");
    EXPECT_EQ(str(recall.lastNumber(QStringLiteral("003"))), "");
    EXPECT_FALSE(recall.read(QStringLiteral("00110000099")).has_value());
    EXPECT_FALSE(recall.read(QString()).has_value());

    const std::optional<RecalledSlip> slip = recall.read(QStringLiteral("00110000007"));
    ASSERT_TRUE(slip.has_value());
    EXPECT_EQ(str(slip->date), "2026-12-05 10:30:00");
    EXPECT_EQ(str(slip->userId + u'|' + slip->salesperson + u'|' + slip->vipId + u'|' + slip->vipZk), "01|01|88000001|0.9");
    EXPECT_EQ(str(QStringList(slip->amounts.begin(), slip->amounts.end()).join(u' ')), "127.2 0.2 0 0 0 200 73");
    EXPECT_EQ(str(slip->memberPoints + u'|' + slip->slipPoints), "1200|127");
    // Tag amounts and what they were sold under, the redemption left out.
    EXPECT_EQ(str(slip->tagTotal + u'|' + slip->saving), "79|25.8");

    const struct {
        const char *wlId, *tm, *name, *colour, *size;
        int sl, mIndex, g;
        const char *sj, *smoney, *note;
    } lines[] = {
        {"TX001", "6920880010118", "", "黑色", "M", 2, 1, 0, "71.1", "142.2", "改裤长"},
        {"TX001", "6920880010132", "", "黑色", "XL", -1, 3, 0, "79", "-79", ""},
        {"Z", "", "【积分换购】", "", "", 0, 0, 99, "-5", "-5", ""},
        {"ZZZZZ", "", "【满额折现金】", "", "", 0, 0, 99, "-10", "-10", ""},
    };
    ASSERT_EQ(slip->lines.size(), std::size(lines));
    for (size_t i = 0; i < std::size(lines); ++i) {
        SCOPED_TRACE(i);
        const SaleLine &l = slip->lines.at(int(i));
        const auto &want = lines[i];
        EXPECT_EQ(str(l.wlId()), want.wlId);
        EXPECT_EQ(str(l.tm()), want.tm);
        if (*want.name)
            EXPECT_EQ(str(l.wlName()), want.name);
        else
            EXPECT_FALSE(l.wlName().isEmpty());
        EXPECT_EQ(str(l.dwName()), want.colour);
        EXPECT_EQ(str(l.wlGg()), want.size);
        EXPECT_EQ(l.sl(), want.sl);
        EXPECT_EQ(l.mIndex(), want.mIndex);
        EXPECT_EQ(l.g(), want.g);
        EXPECT_EQ(Money::fromDouble(l.sj()), money(want.sj));
        EXPECT_EQ(Money::fromDouble(l.smoney()), money(want.smoney));
        EXPECT_EQ(str(l.note()), want.note);
        EXPECT_EQ(l.isItem(), want.g == 0);
    }
}

INSTANTIATE_TEST_SUITE_P(OnlineAndOffline, SlipRecallTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Offline" : "Online"; });
