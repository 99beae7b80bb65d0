// The built-in receipt templates: their shape, what taking one fills in, and whole
// receipts printed from each, compared with the texts under golden/.

#include <gtest/gtest.h>

#include <QFile>

#include "core/text.h"
#include "printing/receipt.h"
#include "printing/receiptlibrary.h"

namespace vorel {
namespace {

QString goldenPath(int index)
{
    return QStringLiteral(VOREL_GOLDEN_DIR "/template%1.txt").arg(index);
}

ReceiptRequest sampleSlip(const ReceiptTemplates &t)
{
    ReceiptLine shirt;
    shirt.tm = QStringLiteral("6901234567890");
    shirt.wlName = QStringLiteral("男士纯棉修身长袖衬衫(新款)");
    shirt.dwName = QStringLiteral("藏青色");
    shirt.wlGg = QStringLiteral("XL");
    shirt.sl = 2;
    shirt.sj = 129.0;
    shirt.smoney = 258.0;
    ReceiptLine jeans;
    jeans.tm = QStringLiteral("J88");
    jeans.wlName = QStringLiteral("Slim jeans");
    jeans.dwName = QStringLiteral("蓝");
    jeans.wlGg = QStringLiteral("32");
    jeans.sl = 1;
    jeans.sj = 199.0;
    jeans.smoney = 179.1;

    ReceiptRequest r;
    r.lines = QList<ReceiptLine>{shirt, jeans};
    r.due = QStringLiteral("437.10");
    r.roundOff = QStringLiteral("0.10");
    r.voucher = QStringLiteral("0");
    r.storedValue = QStringLiteral("0");
    r.bankCard = QStringLiteral("100.00");
    r.cash = QStringLiteral("400");
    r.change = QStringLiteral("63.00");
    r.heading = t.heading;
    r.footing = t.footing;
    r.lineTemplate = t.lineTemplate;
    r.slipNumber = QStringLiteral("01260304001");
    r.slipDate = QStringLiteral("2026-03-04");
    r.terminal = QStringLiteral("01");
    r.cashier = QStringLiteral("A01");
    r.memberCard = QStringLiteral("V000123");
    r.accumulatedPoints = QStringLiteral("1480");
    r.slipPoints = QStringLiteral("43");
    r.tagTotal = QStringLiteral("457");
    r.discountTotal = QStringLiteral("-19.9");
    return r;
}

// What taking a template puts into the three texts (its split, the member lines) shows in the
// golden receipts below, except trailing blanks, which the line template's last character
// would hide; the driver choice changes only the paper.
TEST(ReceiptLibraryTest, TakingATemplateTrimsTheTextsAndSetsThePaper)
{
    for (int index = 0; index < 6; ++index) {
        const ReceiptTemplates t = takeLibraryTemplate(index, false).templates;
        for (const QString &text : {t.heading, t.lineTemplate, t.footing})
            EXPECT_FALSE(text.endsWith(QLatin1Char(' ')) || text.contains(QStringLiteral(" \r\n"))) << index;
    }
    const struct {
        int index;
        int raw;
        int driver;
    } cases[] = {{1, 48, 58}, {2, 59, 80}, {5, 59, 80}};
    for (const auto &c : cases) {
        EXPECT_EQ(takeLibraryTemplate(c.index, false).paperWidth, c.raw) << c.index;
        EXPECT_EQ(takeLibraryTemplate(c.index, true).paperWidth, c.driver) << c.index;
    }
    EXPECT_TRUE(takeLibraryTemplate(6, false).templates.heading.isEmpty());
}

TEST(ReceiptLibraryTest, WholeReceiptsMatchTheGoldenTexts)
{
    for (int index = 0; index < 6; ++index) {
        const ReceiptRequest request = sampleSlip(takeLibraryTemplate(index, false).templates);
        const QString text = renderReceipt(request, {2, false, QDateTime()}).text();
        QFile golden(goldenPath(index));
        if (qEnvironmentVariableIsSet("VOREL_WRITE_GOLDEN")) {
            ASSERT_TRUE(golden.open(QIODevice::WriteOnly | QIODevice::Truncate));
            golden.write(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8());
            continue;
        }
        ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << golden.fileName().toStdString();
        const QString expected = QString::fromUtf8(golden.readAll());
        EXPECT_EQ(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), expected) << index;
    }
}

} // namespace
} // namespace vorel
