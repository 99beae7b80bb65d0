// The terminal settings form: the port clash OK refuses, what OK writes and hands to the
// session, the built-in and server templates, and the port checks of the device tests.
// The template swap and another till's template are driven through the dialog in ui/.

#include <gtest/gtest.h>

#include <QFile>

#include "core/inifile.h"
#include "core/text.h"
#include "fakeshopservice.h"
#include "terminalsettingsrig.h"

namespace vorel {
namespace {

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? fromGbk(file.readAll()) : QString();
}

TEST(TerminalSettingsFormTest, OkRefusesOnePortForRawPrinterAndDisplay)
{
    struct Case {
        const char *name;
        bool printer, raw, display;
        const char *printerPort, *displayPort;
        bool refused;
    };
    const Case cases[] = {
        {"raw printer and display on COM1", true, true, true, "COM1", "COM1", true},
        {"display off", true, true, false, "COM2", "COM2", false},
        {"printer off", false, true, true, "COM2", "COM2", false},
        {"different ports", true, true, true, "COM1", "COM2", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TerminalSettingsRig rig;
        rig.form.load();
        DeviceSettings &d = rig.form.values.devices;
        d.printerEnabled = c.printer;
        d.rawPrinting = c.raw;
        d.driverPrinting = !c.raw;
        d.displayEnabled = c.display;
        d.printerPort = QString::fromLatin1(c.printerPort);
        d.displayPort = QString::fromLatin1(c.displayPort);
        rig.form.values.templates.lineTemplate = QStringLiteral("[品名    ]");

        EXPECT_EQ(rig.form.accept(), !c.refused);
        if (c.refused) {
            EXPECT_EQ(rig.messages.texts(), QStringList{TerminalSettingsForm::PortClashText + d.printerPort});
            EXPECT_FALSE(QFile::exists(rig.settingsPath()));
            EXPECT_FALSE(QFile::exists(rig.dir.filePath(QStringLiteral("POSDE"))));
            EXPECT_TRUE(rig.session.templates.posDe.isEmpty());
        } else {
            EXPECT_TRUE(rig.messages.shown.isEmpty());
            EXPECT_EQ(TerminalSettings(rig.settingsPath()).printerPort(), d.printerPort);
            EXPECT_EQ(fileText(rig.dir.filePath(QStringLiteral("POSDE"))), QStringLiteral("[品名    ]"));
            EXPECT_EQ(rig.session.templates.posDe, QStringLiteral("[品名    ]"));
        }
    }
}

TEST(TerminalSettingsFormTest, OkWritesEveryFieldAndAppliesItToTheSession)
{
    TerminalSettingsRig rig;
    rig.form.load();
    TerminalSettingsValues &v = rig.form.values;
    v.roundOff = false;
    v.slogan = QStringLiteral("欢迎光临");
    v.hideSystemLogo = true;
    v.amountDecimals = 2;
    v.amountRounding = 3;
    v.lockMinutes = 5;
    v.serverTimeoutSeconds = 7;
    v.shiftKeepDays = 10;
    v.slipKeepDays = 20;
    v.minimiseHotKey = 11;
    v.devices.printerEnabled = true;
    v.devices.driverPrinting = true;
    v.devices.rawPrinting = false;
    v.devices.printerPort = QStringLiteral("LPT1");
    v.devices.paperWidth = 80;
    v.devices.titleFontSize = 14;
    v.devices.receiptDelaySeconds = 1.23456;
    v.templates = {QStringLiteral("样板服饰"), QStringLiteral("[品名    ]\r\n[数量]"), QStringLiteral("[合计]")};
    ASSERT_TRUE(rig.form.accept());

    // Read back the way the next opening of the dialog reads.
    TerminalSettingsRig reopened;
    TerminalSettingsForm again(reopened.session, reopened.devices, reopened.printer, reopened.connection,
                               reopened.messages, ProgramFolder(rig.dir.path()));
    again.load();
    const TerminalSettingsValues &r = again.values;
    EXPECT_EQ(r.devices, v.devices);
    EXPECT_EQ(r.roundOff, v.roundOff);
    EXPECT_EQ(r.cashVoucher, v.cashVoucher);
    EXPECT_EQ(r.slogan, v.slogan);
    EXPECT_EQ(r.hideSystemLogo, v.hideSystemLogo);
    EXPECT_EQ(r.changeLimitedTo100, v.changeLimitedTo100);
    EXPECT_EQ(r.amountDecimals, v.amountDecimals);
    EXPECT_EQ(r.amountRounding, v.amountRounding);
    EXPECT_EQ(r.lockMinutes, v.lockMinutes);
    EXPECT_EQ(r.serverTimeoutSeconds, v.serverTimeoutSeconds);
    EXPECT_EQ(r.shiftKeepDays, v.shiftKeepDays);
    EXPECT_EQ(r.slipKeepDays, v.slipKeepDays);
    EXPECT_EQ(r.minimiseHotKey, v.minimiseHotKey);
    EXPECT_EQ(r.templates.heading, v.templates.heading);
    EXPECT_EQ(r.templates.lineTemplate, v.templates.lineTemplate);
    EXPECT_EQ(r.templates.footing, v.templates.footing);

    // The session takes the same values; the pause keeps four decimals.
    const Session &s = rig.session;
    EXPECT_EQ(s.devices.paperWidth, 80);
    EXPECT_EQ(s.devices.titleFontSize, 14);
    EXPECT_DOUBLE_EQ(s.devices.pauseAfterReceipt, 1.2346);
    EXPECT_EQ(s.templates.posTop, QStringLiteral("样板服饰"));
    EXPECT_EQ(s.templates.posEnd, QStringLiteral("[合计]"));
}

// A missing template file leaves its text as it was.
TEST(TerminalSettingsFormTest, MissingTemplateFilesLeaveTheTextsAsTheyWere)
{
    TerminalSettingsRig rig;
    rig.form.values.templates.heading = QStringLiteral("kept");
    rig.form.load();
    EXPECT_EQ(rig.form.values.templates.heading, QStringLiteral("kept"));
}

// The refusal while offline is driven through both buttons of the dialog in ui/.
TEST(TerminalSettingsFormTest, ServerTemplatesAreStoredInTheTerminalsRow)
{
    TerminalSettingsRig rig;
    rig.session.terminal.terminalId = QStringLiteral("003");
    rig.form.values.templates = {QStringLiteral("T"), QStringLiteral("D"), QStringLiteral("E")};
    rig.form.values.devices.paperWidth = 80;
    EXPECT_TRUE(rig.form.saveTemplatesToServer());
    ASSERT_EQ(rig.shop.calls(FakeShopService::CallKind::Exec).size(), 1);
    EXPECT_EQ(rig.shop.calls(FakeShopService::CallKind::Exec).at(0).sql,
              QStringLiteral("update d701 SET POSTOP ='T', POSDE ='D', POSEND ='E', POSSIZE ='80', POSFont1 ='12', "
                             "POSFont2 ='10' where zd_id='003'"));
    EXPECT_EQ(rig.messages.texts(), QStringList{TerminalSettingsForm::TemplatesSavedText});
}

TEST(TerminalSettingsFormTest, DeviceTestsCheckTheirPortAndSendTheDialogsValues)
{
    struct Case {
        const char *name;
        TerminalSettingsForm::Test test;
        int drawerConnection;
        bool raw;
        int missingPort;
        const char *message; // empty: no port could fail
    };
    using T = TerminalSettingsForm::Test;
    const Case cases[] = {
        {"display test on a missing port", T::Display, 0, true, 3, "初始化 顾显端口:【COM3】失败!请确认本机是否配备此端口"},
        {"drawer on the display", T::Drawer, 0, true, 3, "初始化 顾显端口:【COM3】失败!请确认本机是否配备此端口"},
        {"drawer on the printer", T::Drawer, 1, true, 2, "初始化 打印机端口:【COM2】失败!请确认本机是否配备此端口"},
        {"print test", T::Print, 0, true, 2, "初始化 打印机端口:【COM2】失败!请确认本机是否配备此端口"},
        {"driver printing skips the check", T::Drawer, 1, false, 2, ""},
        {"display present", T::Display, 0, true, 5, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TerminalSettingsRig rig;
        DeviceSettings &d = rig.form.values.devices;
        d.printerPort = QStringLiteral("COM2");
        d.displayPort = QStringLiteral("COM3");
        d.printerBaud = d.displayBaud = QStringLiteral("9600");
        d.drawerConnection = c.drawerConnection;
        d.drawerCommand = QStringLiteral("7");
        d.rawPrinting = c.raw;
        d.driverPrinting = !c.raw;
        rig.serial.missingPorts = {c.missingPort};

        const bool failed = *c.message != '\0';
        rig.form.runTest(c.test);
        EXPECT_EQ(rig.messages.texts(), failed ? QStringList{QString::fromUtf8(c.message)} : QStringList());
        const int port = c.test == T::Display || (c.test == T::Drawer && c.drawerConnection == 0) ? 3 : 2;
        if (failed) {
            EXPECT_TRUE(rig.serial.received(port).isEmpty());
        } else if (c.test == T::Display) {
            const QByteArray bytes = rig.serial.received(3);
            EXPECT_TRUE(bytes.contains(Devices::displayMessage(QLatin1Char('1'), QStringLiteral("111111.11"))));
            EXPECT_TRUE(bytes.endsWith(Devices::displayMessage(QLatin1Char('4'), QStringLiteral("888888.88"))));
        }
    }
}

TEST(TerminalSettingsFormTest, PrintTestUsesTheUnsavedFieldsAndTheSampleSale)
{
    TerminalSettingsRig rig;
    rig.session.devices.printerEnabled = true;
    rig.session.formats.amountDecimals = 0;
    DeviceSettings &d = rig.form.values.devices;
    d.printerPort = QStringLiteral("C:\\test.txt");
    rig.form.values.amountDecimals = 2;
    rig.form.values.templates = {QStringLiteral("[单号][机号]"), QStringLiteral("[品名      ][   金额 ]"),
                                 QStringLiteral("[合计]")};

    ASSERT_TRUE(rig.form.runTest(TerminalSettingsForm::Test::Print));
    EXPECT_TRUE(rig.notices.shown.isEmpty());
    const QStringList lines = rig.printer.last().lines;
    ASSERT_EQ(lines.size(), 2 + TerminalSettingsForm::sampleLines().size());
    EXPECT_EQ(lines.first(), QStringLiteral("单号:") + QString(11, u'X') + QStringLiteral("机号:00"));
    EXPECT_TRUE(lines.last().contains(QStringLiteral("999.9")));
    EXPECT_TRUE(fileText(rig.dir.filePath(QStringLiteral("test.txt"))).contains(QString(11, u'X')));

    // The current sale's lines take the sample's place.
    ReceiptLine line;
    line.wlName = QStringLiteral("当前商品");
    line.sl = 1;
    line.smoney = 10;
    rig.form.prepare({line});
    EXPECT_TRUE(rig.form.runTest(TerminalSettingsForm::Test::Print));
    EXPECT_EQ(rig.printer.last().lines.size(), 3);
}

} // namespace
} // namespace vorel
