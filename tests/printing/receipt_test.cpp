// Rendering receipts: line tokens fitted to their widths, heading and footing tokens, text
// and test modes, and where a receipt goes.

#include <gtest/gtest.h>

#include "printing/receipt.h"

namespace vorel {
namespace {

const QDateTime PrintTime(QDate(2026, 3, 4), QTime(10, 5, 30));

ReceiptLine item(const QString &name, qint32 sl = 1, double smoney = 0.0)
{
    ReceiptLine l;
    l.tm = QStringLiteral("6901234567890");
    l.wlId = QStringLiteral("K2026");
    l.wlName = name;
    l.dwName = QStringLiteral("藏青");
    l.wlGg = QStringLiteral("XL");
    l.sl = sl;
    l.sj = 129.5;
    l.smoney = smoney;
    l.zk = 0.85;
    l.note = QStringLiteral("满减");
    return l;
}

// A slip request whose amounts are all numbers, so footing tests only set what they look at.
ReceiptRequest slip(const QString &footing = {})
{
    ReceiptRequest r;
    r.lines = QList<ReceiptLine>{};
    for (QString *amount : {&r.due, &r.roundOff, &r.voucher, &r.storedValue, &r.bankCard, &r.cash, &r.change,
                            &r.slipPoints, &r.tagTotal, &r.discountTotal})
        *amount = QStringLiteral("0");
    r.footing = footing;
    return r;
}

struct LineCase {
    const char *what;
    QString lineTemplate;
    ReceiptLine line;
    int places;
    QString expected;
};

TEST(ReceiptLineTest, TokensTakeTheirWidthInBytes)
{
    const LineCase cases[] = {
        {"name cut to the token width", QStringLiteral("[品名      ]"), item(QStringLiteral("ABCDEFGHIJKLM")), 2,
         QStringLiteral("ABCDEFGHIJ")},
        {"cut through a character leaves a point", QStringLiteral("[品名      ]"),
         item(QStringLiteral("A中文字体测试")), 2, QStringLiteral("A中文字体.")},
        {"cut between characters leaves none", QStringLiteral("[品名      ]"), item(QStringLiteral("中文字体测试")),
         2, QStringLiteral("中文字体测")},
        {"blanks after the name align left", QStringLiteral("[品名    ]"), item(QStringLiteral("裤")), 2,
         QStringLiteral("裤      ")},
        {"blanks in front align right", QStringLiteral("[   金额 ]"), item(QString(), 1, 12.5), 2,
         QStringLiteral("   12.50")},
        {"amount without decimals", QStringLiteral("[   金额 ]"), item(QString(), 1, 12.5), 0,
         QStringLiteral("      13")},
        {"amount too wide is cut", QStringLiteral("[   金额 ]"), item(QString(), 1, 123456.78), 2,
         QStringLiteral("123456.7")},
        {"unit price", QStringLiteral("[ 单价 ]"), item(QString()), 1, QStringLiteral(" 129.5")},
        {"no blanks align right", QStringLiteral("[数量]"), item(QString(), -2), 2, QStringLiteral("  -2")},
        {"running number", QStringLiteral("[序]"), item(QString()), 2, QStringLiteral(" 1")},
        {"barcode, style, colour, size, factor, note",
         QStringLiteral("[条码         ]|[款号  ]|[颜色]|[尺码]|[折扣]|[备注]"), item(QString()), 2,
         QStringLiteral("6901234567890|K2026 |藏青|  XL|0.85|满减")},
        {"first contained name wins", QStringLiteral("[条码品名         ]"), item(QStringLiteral("衬衫")), 2,
         QStringLiteral("6901234567890品名")},
        {"unknown token keeps its text", QStringLiteral("[abc]-"), item(QString()), 2, QStringLiteral("abc")},
        {"last character dropped unless it closes a token", QStringLiteral("*[数量]*"), item(QString(), 3), 2,
         QStringLiteral("*   3")},
        {"token left open runs to the end", QStringLiteral("*[品名  "), item(QStringLiteral("AB")), 2,
         QStringLiteral("*AB    ")},
        {"line breaks make further lines", QStringLiteral("[品名    ]\r\n[数量]"), item(QStringLiteral("T恤"), 2), 2,
         QStringLiteral("T恤     \r\n   2")},
    };
    for (const LineCase &c : cases)
        EXPECT_EQ(renderReceiptLine(c.lineTemplate, c.line, 1, c.places), c.expected) << c.what;
}

TEST(ReceiptRenderTest, HeadingLinesAndFooting)
{
    ReceiptRequest r = slip(QStringLiteral("[件数]\r\n[营业员]"));
    r.heading = QStringLiteral("[单号][机号]\r\n[收银] [营业员] [其他]\r\n");
    r.lineTemplate = QStringLiteral("[序][品名    ]\r\n");
    r.lines = QList<ReceiptLine>{item(QStringLiteral("衬衫"), 2), item(QStringLiteral("裤"), -1)};
    r.slipNumber = QStringLiteral("0012026");
    r.terminal = QStringLiteral("01");
    r.cashier = QStringLiteral("A01");
    r.salesperson = QStringLiteral("小王");
    const RenderedReceipt out = renderReceipt(r, {2, false, PrintTime});
    EXPECT_EQ(out.lines, QStringList({QStringLiteral("单号:0012026机号:01"), QStringLiteral("收银:A01 小王 [其他]"),
                                      QStringLiteral(" 1衬衫    "), QStringLiteral(" 2裤      "),
                                      QStringLiteral("件数:        1"), QStringLiteral("小王")}));
    EXPECT_TRUE(out.title.isEmpty());
}

struct FootingCase {
    const char *what;
    QString footing;
    std::function<void(ReceiptRequest &)> set;
    bool offline;
    QString expected;
};

TEST(ReceiptRenderTest, FootingTokens)
{
    const FootingCase cases[] = {
        {"due", QStringLiteral("[合计]"), [](ReceiptRequest &r) { r.due = QStringLiteral("  250.55"); }, false,
         QStringLiteral("总额:    250.6")},
        {"tenders", QStringLiteral("[抹  零]|[现金券]|[储值卡]|[银联]|[EPS]|[现金]|[找零]"),
         [](ReceiptRequest &r) {
             r.roundOff = QStringLiteral("0.5");
             r.voucher = QStringLiteral("50");
             r.storedValue = QStringLiteral("20");
             r.bankCard = QStringLiteral("100");
             r.cash = QStringLiteral("200");
             r.change = QStringLiteral("19.5");
         },
         false,
         QStringLiteral("抹  零:      0.5|现金券:     50.0|储值卡:     20.0|银联:    100.0|    100.0|现金:    200.0|"
                        "找零:     19.5")},
        {"member and points", QStringLiteral("[会员卡] [本单积分] [累计积分]"),
         [](ReceiptRequest &r) {
             r.memberCard = QStringLiteral("V0001");
             r.slipPoints = QStringLiteral("20");
             r.accumulatedPoints = QStringLiteral("1320");
         },
         false, QStringLiteral("会员卡:V0001 本单积分:   20 累计积分: 1320")},
        {"points offline", QStringLiteral("[累计积分]"),
         [](ReceiptRequest &r) { r.accumulatedPoints = QStringLiteral("1320"); }, true,
         QStringLiteral("累计积分:*****")},
        {"points not given", QStringLiteral("[累计积分]"), [](ReceiptRequest &) {}, false,
         QStringLiteral("累计积分:*****")},
        {"tag total and saving reversed", QStringLiteral("[原价][共优惠]"),
         [](ReceiptRequest &r) {
             r.tagTotal = QStringLiteral("300");
             r.discountTotal = QStringLiteral("-49.5");
         },
         false, QStringLiteral("原  价:    300.0共优惠:     49.5")},
        {"slip date", QStringLiteral("[日期]"), [](ReceiptRequest &r) { r.slipDate = QStringLiteral("2026-03-01"); },
         false, QStringLiteral("时间:2026-03-01")},
        {"empty date prints the time", QStringLiteral("[日期]"), [](ReceiptRequest &) {}, false,
         QStringLiteral("时间:2026-03-04 10:05")},
        {"every occurrence, unknown kept", QStringLiteral("[营业员]/[营业员] [店长]"),
         [](ReceiptRequest &r) { r.salesperson = QStringLiteral("小李"); }, false,
         QStringLiteral("小李/小李 [店长]")},
    };
    for (const FootingCase &c : cases) {
        ReceiptRequest r = slip(c.footing);
        c.set(r);
        const RenderedReceipt out = renderReceipt(r, {2, c.offline, PrintTime});
        EXPECT_EQ(out.lines, QStringList{c.expected}) << c.what;
    }
}

TEST(ReceiptRenderTest, AmountThatIsNoNumberIsRefused)
{
    ReceiptRequest r = slip(QStringLiteral("[现金]"));
    r.cash = QStringLiteral("12,5元");
    EXPECT_THROW(renderReceipt(r, {2, false, PrintTime}), ReceiptNumberError);
}

TEST(ReceiptRenderTest, TextModePrintsTheTextAsItStands)
{
    ReceiptRequest r;
    r.due = QStringLiteral("交班单 [单号]\r\n现金:  100.00\r\n");
    r.heading = QStringLiteral("[单号]");
    r.slipNumber = QStringLiteral("9");
    const RenderedReceipt out = renderReceipt(r, {2, false, PrintTime});
    EXPECT_EQ(out.text(), r.due + QStringLiteral("\r\n"));
}

TEST(ReceiptRenderTest, TestModeRulerAndDriverTitle)
{
    ReceiptRequest r = slip();
    r.heading = QStringLiteral("  样板店\r\n单号");
    r.lineTemplate = QStringLiteral("[   金额 ]");
    r.lines = QList<ReceiptLine>{item(QString(), 1, 9.99)};
    r.test = true;
    r.decimals = 1;

    const RenderedReceipt preview = renderReceipt(r, {2, false, PrintTime});
    EXPECT_EQ(preview.lines.mid(2),
              QStringList({QStringLiteral("    10.0"), QString(), QString(), QString(), ReceiptRulerCaption,
                           QStringLiteral("---------1---------2---------3---------4---------5"),
                           QStringLiteral("12345678901234567890123456789012345678901234567890")}));
    EXPECT_TRUE(preview.title.isEmpty());

    r.driver = true;
    const RenderedReceipt driver = renderReceipt(r, {2, false, PrintTime});
    EXPECT_EQ(driver.lines.size(), 4);
    EXPECT_EQ(driver.title, QStringLiteral("  样板店"));
    EXPECT_EQ(driver.body(), QStringLiteral("单号\r\n    10.0\r\n\r\n"));

    r.test = false; // the decimals passed count for test prints only
    EXPECT_EQ(renderReceipt(r, {2, false, PrintTime}).lines.value(2), QStringLiteral("    9.99"));
}

TEST(ReceiptOutputTest, WhereTheReceiptGoes)
{
    struct Case {
        bool showOnly, driver, test, printer, pages;
        ReceiptOutput expected;
    };
    const Case cases[] = {
        {true, true, true, true, true, ReceiptOutput::MessageBox},
        {false, false, false, true, false, ReceiptOutput::Raw},
        {false, false, false, false, true, ReceiptOutput::Nothing},
        {false, true, false, true, true, ReceiptOutput::DriverPrint},
        {false, true, false, false, true, ReceiptOutput::Nothing},
        {false, true, false, true, false, ReceiptOutput::Nothing},
        {false, true, true, false, true, ReceiptOutput::DriverPreview},
        {false, false, true, false, true, ReceiptOutput::Preview},
        {false, false, true, true, false, ReceiptOutput::Nothing},
    };
    for (const Case &c : cases) {
        ReceiptRequest r;
        r.showOnly = c.showOnly;
        r.driver = c.driver;
        r.test = c.test;
        EXPECT_EQ(receiptOutput(r, c.printer, c.pages), c.expected)
            << c.showOnly << c.driver << c.test << c.printer << c.pages;
    }
}

} // namespace
} // namespace vorel
