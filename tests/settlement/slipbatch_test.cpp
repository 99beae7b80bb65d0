// The slip batches as text: the till must send exactly what the server's SQL corpus plays
// (tests/corpus), since that is what both shop backends were proven against.

#include "settlement/slipbatch.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <QTextStream>

#include "core/session.h"
#include "sales/sale.h"

using namespace vorel;
using F = SettlementField;

namespace {

struct LineSpec {
    const char *style, *colour;
    int size, quantity;
    double tag, price, zk;
    int group;
    int flag3;
    bool points;
    const char *note;
};

SaleLine lineOf(const LineSpec &s)
{
    SaleLine line;
    line.setWlId(QString::fromLatin1(s.style));
    line.setDwId(QString::fromLatin1(s.colour));
    line.setMIndex(qint16(s.size));
    line.setSl(s.quantity);
    line.setOdj(s.tag);
    line.setSj(s.price);
    line.setSmoney(Money::fromDouble(s.price) * s.quantity);
    line.setZk(s.zk);
    line.setG(qint16(s.group));
    line.setFlag3(qint16(s.flag3));
    line.setF1(200);
    line.setVipf(s.points);
    line.setNote(QString::fromUtf8(s.note));
    return line;
}

// The batch of the corpus file whose line holds every one of `markers`.
QString corpusBatch(const char *file, QStringList markers)
{
    QFile f(QStringLiteral(VOREL_CORPUS_DIR "/") + QLatin1String(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (std::all_of(markers.begin(), markers.end(), [&line](const QString &m) { return line.contains(m); }))
            return line;
    }
    ADD_FAILURE() << "no batch in " << file << " holds " << markers.join(QLatin1Char(' ')).toStdString();
    return {};
}

TEST(SlipBatch, TheTillSendsTheCorpusBatches)
{
    const QString date = QStringLiteral("2026-12-05 10:30:15");
    const struct {
        const char *name;
        const char *number, *vipId, *vipZk, *salesperson;
        SettlementTexts amounts;
        QList<LineSpec> lines;
        double redemption; // a "Z" line of this value when not 0
        qint64 redeemPoints;
        qint64 slipPoints;
    } cases[] = {
        {"member sale with a group, a special price and the cash-off line",
         "00110000000", "88000001", "0.9", "01",
         {"    430.57", "      0.00", "      0.00", "    100.00", "      0.00", "400.00", "     69.43"},
         {{"TX001", "01", 1, 1, 79, 71.1, 1, 0, 0, true, ""},
          {"CS007", "02", 2, 2, 199, 179.1, 1, 1, 1, true, "满200享9折"},
          {"TX002", "02", 1, 1, 100, 55, 0.55, -1, 0, false, "特价59元"}},
         0, 0, 37},
        {"points redemption below zero", "00110000002", "88000003", "0.85", "",
         {"      0.00", "      0.00", "      0.00", "      0.00", "      0.00", "", "      0.00"},
         // The gift would earn points; on a redemption slip no line does.
         {{"PJ040", "10", 0, 1, 10, 0, 1, -1, 0, true, "购物赠品"}},
         -30, -500, -500},
        {"walk-in return", "00110000003", "", "", "",
         {"    -79.00", "      0.00", "      0.00", "      0.00", "      0.00", "", "     79.00"},
         {{"TX001", "01", 1, -1, 79, 79, 1, 0, 0, true, ""}},
         0, 0, 0},
    };
    Session::Formats formats;
    formats.amountDecimals = 2;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Sale sale(formats);
        for (const LineSpec &wanted : c.lines)
            sale.appendLine(lineOf(wanted));
        if (c.redemption != 0)
            sale.setRedemption(c.redemption);
        // The group promotion's cash-off line of the first sale: 53.73 off 358.2.
        if (QLatin1String(c.number) == QLatin1String("00110000000"))
            sale.appendLine(SaleLine::cashOff(Money::fromDouble(53.73)));

        SlipBatchInput in;
        in.number = QString::fromLatin1(c.number);
        in.warehouseId = in.terminalId = QStringLiteral("001");
        in.userId = QStringLiteral("01");
        in.date = date;
        in.vipId = QString::fromLatin1(c.vipId);
        in.vipZk = QString::fromLatin1(c.vipZk);
        in.salesperson = QString::fromLatin1(c.salesperson);
        in.amounts = c.amounts;
        in.redeemPoints = c.redeemPoints;
        in.pointsPerUnit = 10;
        const SlipBatch batch = buildSlipBatch(in, sale);

        EXPECT_EQ(batch.sql.toStdString(),
                  corpusBatch("slip-commit.test", {QStringLiteral("VALUES ('%1'").arg(in.number), in.date,
                                                     in.vipId.isEmpty() ? QStringLiteral("NULL,1,NULL") : in.vipId})
                      .toStdString());
        EXPECT_EQ(batch.slipPoints, c.slipPoints);
        EXPECT_EQ(batch.raised, c.redemption != 0);
    }
}

TEST(SlipBatch, ATopUpIsSentAsTheCorpusPlaysIt)
{
    TopUpInput in;
    in.number = QStringLiteral("00110000008");
    in.warehouseId = in.terminalId = QStringLiteral("001");
    in.userId = QStringLiteral("01");
    in.vipId = QStringLiteral("88000004");
    in.total = QStringLiteral("100.5");
    in.amounts = {"    100.50", "      0.00", "      0.00", "      0.00", "      0.00", "150", "     49.50"};
    EXPECT_EQ(buildTopUpSql(in).toStdString(),
              corpusBatch("top-up.test", {QStringLiteral("'00110000008','001','001','1','88000004'")}).toStdString());
}

TEST(SlipBatch, AGroupLineIsNamedOnlyWhenItsGroupReachedTheThreshold)
{
    const struct {
        int group, clazk;
        double price; // one piece; the group counts the charged amount
        bool named;
    } cases[] = {
        {0, 0, 50, true},    // no promotion group
        {-1, 0, 50, true},   // a special price
        {20, 2, 50, true},   // left out of the groups
        {1, 0, 200, true},   // 200 reaches 200
        {1, 1, 200, true},   // an amount per multiple
        {1, 0, 199.9, false},
        {1, 2, 250, false},  // a kind of promotion that never names the line
    };
    Session::Formats formats;
    for (const auto &c : cases) {
        Sale sale(formats);
        SaleLine line = lineOf({"CS007", "02", 1, 1, c.price, c.price, 1, c.group, 1, true, "满200享9折"});
        line.setClazk(qint16(c.clazk));
        sale.appendLine(line);
        EXPECT_EQ(lineNote(sale.line(0), sale), c.named ? QStringLiteral("满200享9折") : QString())
            << c.group << " " << c.clazk << " " << c.price;
    }
}

TEST(SlipBatch, EmptiedTendersStillMakeAStatement)
{
    EXPECT_EQ(amountSql(QStringLiteral("   ")), "0");
    EXPECT_EQ(amountSql(QStringLiteral("    12.50")), "    12.50");
    EXPECT_EQ(cashSql(QString()), "0");
    EXPECT_EQ(cashSql(QStringLiteral("  400.00")), "0400.00");
}

} // namespace
