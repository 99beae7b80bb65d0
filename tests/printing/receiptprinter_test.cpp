// Printing committed slips: raw text to the printer port, driver pages into a PDF of the
// paper's width, and failures told to the cashier without reaching back into the sale.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "core/clock.h"
#include "core/session.h"
#include "core/text.h"
#include "printing/devices.h"
#include "printing/receiptpage.h"
#include "printing/sessionreceiptprinter.h"

#include "fakeclock.h"
#include "recordingmessages.h"
#include "recordingseriallibrary.h"

namespace vorel {
namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct PdfPages {
    int count = 0;
    double width = 0.0; // points, of the first page
    double height = 0.0;
};

PdfPages pdfPages(const QByteArray &pdf)
{
    PdfPages pages;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    pages.count = int(QString::fromLatin1(pdf).count(page));
    static const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)\\s*\\]"));
    const QRegularExpressionMatch m = box.match(QString::fromLatin1(pdf));
    if (m.hasMatch()) {
        pages.width = m.captured(1).toDouble();
        pages.height = m.captured(2).toDouble();
    }
    return pages;
}

double mmToPoints(double mm) { return mm * 72.0 / 25.4; }

class ReceiptPrinterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        session.templates.posTop = QStringLiteral("    样板服饰\r\n[单号][收银]");
        session.templates.posDe = QStringLiteral("[品名      ][数量][   金额 ]");
        session.templates.posEnd = QStringLiteral("[合计]\r\n[现金]\r\n[累计积分]");
        session.formats.amountDecimals = 2;
        session.devices.printerEnabled = true;
        session.devices.printerPort = QStringLiteral("C:\\receipt.txt");
        slip.number = QStringLiteral("0001");
        slip.userId = QStringLiteral("A01");
        SaleLine line;
        line.setWlName(QStringLiteral("A中文字体测试"));
        line.setSl(2);
        line.setSmoney(258.0);
        slip.lines = {line};
        slip.amounts[0] = QStringLiteral("258.00");
        slip.amounts[5] = QStringLiteral("  300.00");
        slip.accumulatedPoints = 1500;
    }

    QString pdfPath() const { return dir.filePath(QStringLiteral("receipt.pdf")); }

    QTemporaryDir dir;
    Session session;
    RecordingSerialLibrary serial;
    RecordingMessages notices;
    FakeClock clock{QDateTime(QDate(2026, 3, 4), QTime(10, 5))};
    Devices devices{session, serial, PortMap(dir.path()), notices};
    SessionReceiptPrinter printer{session, devices, notices, clock};
    CommittedSlip slip;
};

TEST_F(ReceiptPrinterTest, CommittedSlipGoesAsTextToThePrinterPort)
{
    printer.print(slip);
    const QString expected = QStringLiteral("    样板服饰\r\n单号:0001收银:A01\r\nA中文字体.   2  258.00\r\n"
                                            "总额:    258.0\r\n现金:    300.0\r\n累计积分: 1500\r\n");
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("receipt.txt"))), toGbk(expected));
    EXPECT_TRUE(notices.shown.isEmpty());

    session.connection.offline = true;
    printer.print(slip);
    EXPECT_TRUE(fileBytes(dir.filePath(QStringLiteral("receipt.txt"))).endsWith(toGbk(QStringLiteral("累计积分:*****\r\n"))));
}

TEST_F(ReceiptPrinterTest, FailuresAreToldAndNeverThrown)
{
    slip.amounts[5] = QStringLiteral("三百");
    EXPECT_NO_THROW(printer.print(slip));
    ASSERT_EQ(notices.shown.size(), 1);
    EXPECT_TRUE(notices.shown[0].text.contains(QStringLiteral("三百")));
    EXPECT_TRUE(printer.last().lines.isEmpty());

    slip.amounts[5] = QStringLiteral("300");
    session.devices.printerPort = QStringLiteral("C:\\missing\\receipt.txt");
    EXPECT_NO_THROW(printer.print(slip));
    ASSERT_EQ(notices.shown.size(), 2);
    EXPECT_EQ(notices.shown[1].text, Devices::PrintErrorText);
}

TEST_F(ReceiptPrinterTest, ShowOnlyAndDisabledPrinterPrintNothing)
{
    ReceiptRequest request = printer.requestFor(slip);
    request.showOnly = true;
    EXPECT_TRUE(printer.RenderReceipt(request));
    ASSERT_EQ(notices.shown.size(), 1);
    EXPECT_EQ(notices.shown[0].text, printer.last().text());

    session.devices.printerEnabled = false;
    printer.print(slip);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("receipt.txt"))));

    // Driver printing without the page components set up prints nothing either.
    session.devices.printerEnabled = true;
    session.devices.driverPrinting = true;
    printer.print(slip);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("receipt.txt"))));
    EXPECT_EQ(session.templates.receiptTitle, QStringLiteral("    样板服饰"));
}

TEST_F(ReceiptPrinterTest, DriverPrintingMakesOnePageOfThePaperWidth)
{
    PrinterReceiptPages pages(pdfPath());
    printer.setPages(&pages);
    session.devices.driverPrinting = true;
    for (const int width : {58, 80}) {
        session.devices.paperWidth = width;
        printer.print(slip);
        const PdfPages pdf = pdfPages(fileBytes(pdfPath()));
        EXPECT_EQ(pdf.count, 1) << width;
        EXPECT_NEAR(pdf.width, mmToPoints(width), 0.5) << width;
        EXPECT_GT(pdf.height, mmToPoints(20)) << width;
    }
    EXPECT_TRUE(notices.shown.isEmpty());
}

TEST(ReceiptPageTest, PageGrowsWithItsLines)
{
    QTemporaryDir dir;
    double previous = 0.0;
    for (const int lines : {1, 10, 40}) {
        const QString path = dir.filePath(QStringLiteral("p%1.pdf").arg(lines));
        ReceiptPage page;
        page.widthMm = 58;
        page.title = QStringLiteral("样板服饰");
        page.body = QStringList(lines, QStringLiteral("品名      数量  金额"));
        PrinterReceiptPages pages(path);
        QString error;
        ASSERT_TRUE(pages.print(page, &error)) << error.toStdString();
        const PdfPages pdf = pdfPages(fileBytes(path));
        EXPECT_EQ(pdf.count, 1) << lines;
        EXPECT_GT(pdf.height, previous) << lines;
        previous = pdf.height;
    }
}

} // namespace
} // namespace vorel
