// The built-in receipt templates: their shape, what taking one fills in, and whole
// receipts printed from each, compared with the texts under golden/.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/text.h"
#include "printing/receipt.h"
#include "printing/receiptlibrary.h"

namespace vorel {
namespace {

QString goldenPath(int index)
{
    return QStringLiteral(VOREL_PRINTING_TESTS_DIR "/golden/template%1.txt").arg(index);
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

TEST(ReceiptLibraryTest, SixSamplesOfFifteenLinesOf48Columns)
{
    const QList<ReceiptLibraryEntry> &library = receiptLibrary();
    ASSERT_EQ(library.size(), 6);
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(library[i].lines.size(), ReceiptLibraryLines) << i;
        for (const QString &line : library[i].lines)
            EXPECT_EQ(gbkLength(line), ReceiptLibraryColumns) << i << ": " << line.toStdString();
    }
}

TEST(ReceiptLibraryTest, TakingATemplateFillsTheThreeTextsAndThePaper)
{
    struct Case {
        int index;
        bool driver;
        int paper;
        int rule;
        bool member;
    };
    const Case cases[] = {
        {0, false, 48, 32, false}, {1, true, 58, 32, false}, {2, false, 59, 40, false},
        {3, true, 80, 40, false},  {4, false, 59, 32, true}, {5, true, 80, 40, true},
    };
    for (const Case &c : cases) {
        const ReceiptTemplateChoice choice = takeLibraryTemplate(c.index, c.driver);
        const ReceiptTemplates &t = choice.templates;
        EXPECT_EQ(choice.paperWidth, c.paper) << c.index;
        const QStringList heading = t.heading.split(QStringLiteral("\r\n"));
        ASSERT_EQ(heading.size(), 5) << c.index;
        EXPECT_EQ(heading[4], QString(c.rule, QLatin1Char('-'))) << c.index;
        EXPECT_EQ(t.lineTemplate.split(QStringLiteral("\r\n")).size(), 2) << c.index;
        const QStringList footing = t.footing.split(QStringLiteral("\r\n"));
        ASSERT_EQ(footing.size(), c.member ? 12 : 8) << c.index;
        if (c.member) {
            EXPECT_EQ(footing.mid(0, 4), QStringList({QString(c.rule, QLatin1Char('-')), QStringLiteral("[会员卡]"),
                                                      QStringLiteral("[本单积分]"), QStringLiteral("[累计积分]")}))
                << c.index;
        }
        for (const QString &text : {t.heading, t.lineTemplate, t.footing}) {
            EXPECT_FALSE(text.endsWith(QLatin1Char(' '))) << c.index;
            EXPECT_FALSE(text.contains(QStringLiteral(" \r\n"))) << c.index;
        }
    }
    // A single-line item keeps its empty second template line.
    EXPECT_TRUE(takeLibraryTemplate(1, false).templates.lineTemplate.endsWith(QStringLiteral("]\r\n")));
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
