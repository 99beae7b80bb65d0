#include "sales/heldsales.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "offline/connection.h"
#include "offline/localstore.h"
#include "sales/memberdesk.h"
#include "sales/settlementlauncher.h"
#include "fakeshopservice.h"
#include "salestestutil.h"

using namespace vorel;
using namespace vorel::test;

namespace {

// A line whose every field differs from its default, with texts a plain format would trip on.
SaleLine oddLine(int n)
{
    SaleLine l = groupLine(3, 0.1 + 0.2 * n, 1, 2, 199.99, 0, 7.5);
    l.setNoid(QStringLiteral("00110000042"));
    l.setXh(quint16(n));
    l.setTm(QStringLiteral("69208800101%1").arg(n));
    l.setWlName(QStringLiteral("圆领\tT恤 \\ 第%1件").arg(n));
    l.setWlGg(QStringLiteral("XL"));
    l.setDwId(QStringLiteral("01"));
    l.setDwName(QStringLiteral("白色"));
    l.setS(QStringLiteral("a"));
    l.setMBs(QStringLiteral("a"));
    l.setNote(QStringLiteral("改短\r\n裤脚"));
    l.setSl(-2 * n);
    l.setZk(1.0 / 3.0);
    l.setMIndex(qint16(n % 10));
    l.setFlag1(1);
    l.setFlag2(1);
    l.setTj(59.9);
    l.setGZk(0.85);
    l.setVipf(true);
    return l;
}

HeldSale fiveLineSale()
{
    HeldSale held{QStringLiteral("88000001"), QStringLiteral("0.9"), QStringLiteral("Y01"), 300,
                  QStringLiteral("圆领T恤 / "), {}};
    for (int n = 1; n <= 4; ++n)
        held.lines.append(oddLine(n));
    held.lines.append(SaleLine::redemption(-20.0));
    return held;
}

} // namespace

TEST(HeldSaleFile, EveryFieldComesBackAndEveryCutIsRefused)
{
    const HeldSale cases[] = {fiveLineSale(), HeldSale{}, HeldSale{{}, {}, {}, 0, {}, {SaleLine::topUp(money("50"))}}};
    for (const HeldSale &held : cases) {
        const QByteArray bytes = encodeHeldSale(held);
        const std::optional<HeldSale> back = decodeHeldSale(bytes);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, held);
        // A file cut anywhere (a power cut while writing without the atomic rename) never
        // reads as a smaller sale.
        for (qsizetype cut = 0; cut < bytes.size(); ++cut)
            EXPECT_FALSE(decodeHeldSale(bytes.left(cut)).has_value()) << "cut at " << cut;
    }
    QByteArray bytes = encodeHeldSale(fiveLineSale());
    const struct {
        const char *from, *to;
    } damage[] = {{"END 5", "END 4"}, {"\tXL\t", "\tXL\tX\t"}, {"VORELHOLD 1", "VORELHOLD 2"}, {"RP 300", "RP x"},
                  {"\t-2\t", "\t-2.5\t"}, {"\\t", "\\q"}};
    for (const auto &d : damage)
        EXPECT_FALSE(decodeHeldSale(QByteArray(bytes).replace(d.from, d.to)).has_value()) << d.from;
}

namespace {

class Picker final : public HeldSalePicker {
public:
    std::optional<Pick> pick(const QList<HeldSaleRow> &rows) override
    {
        shown.append(rows);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    QList<std::optional<Pick>> answers;
    QList<QList<HeldSaleRow>> shown;
};

class NoDialogs final : public MemberDialogs {
public:
    std::optional<int> pickMember(const ResultSet &) override { return std::nullopt; }
    QString addMember() override { return {}; }
    std::optional<RedemptionOffer> chooseRedemption(const RedemptionRequest &) override { return std::nullopt; }
};

class NoSettlement final : public SettlementLauncher {
public:
    void settleSale() override {}
    void settleTopUp() override {}
};

struct HoldRig : SaleRig {
    explicit HoldRig(const QString &root) : folder(root) { session.applyRights(rightsWithout()); }
    ProgramFolder folder;
    FakeShopService shop;
    LocalStore store{QStringLiteral("/nonexistent/VORELZ")};
    Connection connection{session, shop, store};
    NoDialogs dialogs;
    NoSettlement settlement;
    MemberDesk members{connection, sale, pricing, dialogs, settlement};
    Picker picker;
    HeldSales held{folder, connection, sale, members, picker};

    void ringUp(const QList<SaleLine> &lines, const QString &card)
    {
        for (const SaleLine &l : lines)
            sale.appendLine(l);
        MemberCard c;
        c.vipId = card;
        c.rate = money("0.9");
        members.restoreCard(c);
        sale.setMember(!card.isEmpty(), c.rate);
        sale.setSalesperson(QStringLiteral("Y01"));
        members.restoreRedemption(card.isEmpty() ? 0 : 300);
    }
};

ResultSet memberNow()
{
    ResultSet rs({{"VIPNAME", FieldType::Text}, {"vipf", FieldType::Integer}, {"VIPM", FieldType::Decimal},
                  {"G", FieldType::Integer}});
    rs.appendRow({QStringLiteral("张伟"), 1500, 80.0, 3});
    return rs;
}

} // namespace

TEST(HeldSales, HoldThenTakeBackWithTheMemberAsTheShopKnowsItNow)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("r")); // found whatever its case
    const struct {
        const char *name;
        bool offline;
        const char *memberName; // after the take-back
        const char *rate;
    } cases[] = {{"online: the card is read again", false, "张伟", "0.9"},
                 {"offline: the card stays but its discount is not taken over", true, "", "1"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        HoldRig rig(dir.path());
        rig.shop.onOpen(QStringLiteral("FROM D702"), memberNow());
        const QList<SaleLine> lines = fiveLineSale().lines;
        rig.ringUp(lines, QStringLiteral("88000001"));
        const int firstNumber = rig.held.nextNumber();

        EXPECT_EQ(rig.held.holdOrRetrieve(), HeldSales::HeldText);
        EXPECT_TRUE(rig.sale.isEmpty());
        EXPECT_FALSE(rig.members.card().selected());
        EXPECT_TRUE(rig.sale.salesperson().isEmpty());
        ASSERT_EQ(rig.held.rows().size(), 1);
        const HeldSaleRow row = rig.held.rows().first();
        EXPECT_EQ(row.description.count(QStringLiteral(" / ")), 5);
        EXPECT_TRUE(row.description.startsWith(QStringLiteral("【积分换购】 / 圆领\tT恤 \\ 第4件 / ")));
        EXPECT_EQ(str(row.memberRateText), "0.9");

        // Another sale is held over it; then the first comes back by Enter.
        rig.ringUp({itemLine(30)}, QString());
        rig.held.hold();
        rig.connection.setOffline(c.offline);
        rig.picker.answers = {HeldSalePicker::Pick{0, true}};
        EXPECT_EQ(rig.held.holdOrRetrieve(), HeldSales::RestoredText);
        EXPECT_EQ(rig.sale.lines(), lines);
        EXPECT_EQ(str(rig.sale.salesperson()), "Y01");
        EXPECT_EQ(str(rig.members.card().vipId), "88000001");
        EXPECT_EQ(str(rig.members.card().name), c.memberName);
        EXPECT_EQ(rig.sale.memberRate(), money(c.rate));
        EXPECT_EQ(rig.members.redeemPoints(), 300);
        EXPECT_EQ(rig.sale.redeemAmount(), -20.0);
        EXPECT_FALSE(QFile::exists(rig.held.filePath(QString::number(firstNumber))));
        ASSERT_EQ(rig.held.rows().size(), 1);

        // A double click brings the other one back and keeps it listed, as does a new till.
        rig.sale.clear();
        rig.picker.answers = {HeldSalePicker::Pick{0, false}};
        EXPECT_EQ(rig.held.retrieve(), HeldSales::RestoredText);
        EXPECT_EQ(rig.sale.lineCount(), 1);
        HoldRig restarted(dir.path());
        EXPECT_EQ(restarted.held.rows(), rig.held.rows());
        EXPECT_EQ(restarted.held.nextNumber(), rig.held.nextNumber());
        QFile::remove(rig.held.filePath(rig.held.rows().first().number));
    }
}

TEST(HeldSales, NothingIsLostWhenTheFolderIsMissingOrTheFileDamaged)
{
    QTemporaryDir dir;
    HoldRig rig(dir.path());
    rig.ringUp({itemLine(30), itemLine(40)}, QString());
    EXPECT_TRUE(rig.held.hold().isEmpty());
    EXPECT_EQ(rig.sale.lineCount(), 2);

    QDir(dir.path()).mkdir(QStringLiteral("R"));
    EXPECT_EQ(rig.held.hold(), HeldSales::HeldText);
    QFile file(rig.held.filePath(QStringLiteral("0")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.resize(file.size() / 2);
    file.close();
    rig.picker.answers = {HeldSalePicker::Pick{0, true}, std::nullopt};
    EXPECT_EQ(rig.held.retrieve(), HeldSales::DamagedText);
    EXPECT_TRUE(rig.sale.isEmpty());
    EXPECT_EQ(rig.held.rows().size(), 1);
    EXPECT_TRUE(file.exists());
    EXPECT_TRUE(rig.held.retrieve().isEmpty()); // cancelled

    HoldRig restarted(dir.path());
    ASSERT_EQ(restarted.held.rows().size(), 1);
    EXPECT_EQ(restarted.held.rows().first().description, HeldSales::DamagedText);
    EXPECT_EQ(restarted.held.nextNumber(), 1);
}
