#include "printing/terminalsettingsform.h"

#include <QFile>
#include <QSaveFile>
#include <utility>

#include "core/inifile.h"
#include "core/messages.h"
#include "core/resultset.h"
#include "core/session.h"
#include "core/text.h"
#include "offline/connection.h"
#include "printing/devices.h"
#include "printing/sessionreceiptprinter.h"

namespace vorel {

namespace {

const QString kPos = QStringLiteral("POS");
const QString kCrLf = QStringLiteral("\r\n");

void writeTemplateFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(toGbk(text)) >= 0)
        file.commit();
}

} // namespace

const QStringList TerminalSettingsForm::Ports = {
    QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
    QStringLiteral("COM6"), QStringLiteral("LPT1"), QStringLiteral("LPT2"), QStringLiteral("LPT3")};
const QStringList TerminalSettingsForm::BaudRates = {QStringLiteral("2400"), QStringLiteral("3600"),
                                                     QStringLiteral("9600"), QStringLiteral("19200")};
const QStringList TerminalSettingsForm::PaperCutCommands = {QString(), QStringLiteral("27,105"),
                                                            QStringLiteral("27,100,51"), QStringLiteral("29,86,1,0"),
                                                            QStringLiteral("29,86,0")};
const QStringList TerminalSettingsForm::DrawerCommands = {QStringLiteral("2,77"), QStringLiteral("221"),
                                                          QStringLiteral("27,112,0,60,255"),
                                                          QStringLiteral("27,112,0,128,128"), QStringLiteral("7"),
                                                          QStringLiteral("7,28")};
const QStringList TerminalSettingsForm::DrawerConnections = {QStringLiteral("接顾显"), QStringLiteral("接打印机")};
const QStringList TerminalSettingsForm::MinimiseKeys = [] {
    QStringList keys{QString()};
    for (int n = 1; n <= 11; ++n)
        keys << QStringLiteral("F%1").arg(n);
    return keys;
}();

const QString TerminalSettingsForm::PortClashText = QStringLiteral("打印机端口不能和顾显的端口相同:");
const QString TerminalSettingsForm::OfflineText = QStringLiteral("系统为离线状态不可使用该功能!");
const QString TerminalSettingsForm::TemplatesSavedText = QStringLiteral("模板保存成功!");
const QString TerminalSettingsForm::HeadingFile = QStringLiteral("POSTOP");
const QString TerminalSettingsForm::LineFile = QStringLiteral("POSDE");
const QString TerminalSettingsForm::FootingFile = QStringLiteral("POSEND");
const QString TerminalSettingsForm::ServerTemplatesSql =
    QStringLiteral("SELECT ZD_ID, ZD_NAME, POSTOP, POSDE, POSEND, POSSIZE, POSFont1,POSFont2 FROM D701");

TerminalSettingsForm::TerminalSettingsForm(Session &session, Devices &devices, SessionReceiptPrinter &printer,
                                           Connection &connection, Messages &messages, ProgramFolder folder)
    : session_(session), devices_(devices), printer_(printer), connection_(connection), messages_(messages),
      folder_(std::move(folder))
{
}

QString TerminalSettingsForm::settingsPath() const
{
    return folder_.path(QString::fromLatin1(TerminalSettingsFileName));
}

void TerminalSettingsForm::load()
{
    readGbkFile(folder_.path(HeadingFile), &values.templates.heading);
    readGbkFile(folder_.path(FootingFile), &values.templates.footing);
    readGbkFile(folder_.path(LineFile), &values.templates.lineTemplate);
    session_.templates.receiptTitle = values.templates.heading.section(kCrLf, 0, 0);

    const TerminalSettings settings(settingsPath());
    TerminalSettingsValues &v = values;
    v.roundOff = settings.tenderRoundOff();
    v.cashVoucher = settings.tenderCashVoucher();
    v.storedValue = settings.tenderStoredValue();
    v.bankCard = settings.tenderBankCard();
    v.slogan = settings.slogan();
    v.logoPath = settings.logoPath();
    v.downloadAfterLogin = settings.downloadAfterLogin();
    v.changeLimitedTo100 = settings.changeLimitedTo100();
    v.hideSystemLogo = settings.hideSystemLogo();
    v.devices = settings.deviceSettings(Defaults::Dialog);
    v.amountDecimals = settings.amountDecimals();
    v.amountRounding = settings.amountRounding();
    v.lockMinutes = settings.lockMinutes();
    v.serverTimeoutSeconds = settings.serverTimeoutSeconds();
    v.shiftKeepDays = settings.shiftKeepDays();
    v.slipKeepDays = settings.slipKeepDays();
    v.minimiseHotKey = settings.minimiseHotKey();
}

void TerminalSettingsForm::prepare(const QList<ReceiptLine> &saleLines)
{
    if (!saleLines.isEmpty())
        testLines_ = saleLines;
}

QString TerminalSettingsForm::portClash() const
{
    const DeviceSettings &d = values.devices;
    if (d.printerEnabled && d.rawPrinting && d.displayEnabled && d.printerPort == d.displayPort)
        return d.printerPort;
    return {};
}

bool TerminalSettingsForm::accept()
{
    const QString clash = portClash();
    if (!clash.isEmpty()) {
        messages_.notice(PortClashText + clash);
        return false;
    }
    writeTemplateFile(folder_.path(HeadingFile), values.templates.heading);
    writeTemplateFile(folder_.path(FootingFile), values.templates.footing);
    writeTemplateFile(folder_.path(LineFile), values.templates.lineTemplate);
    session_.templates.posTop = values.templates.heading;
    session_.templates.posDe = values.templates.lineTemplate;
    session_.templates.posEnd = values.templates.footing;
    writeKeys();
    applyToSession();
    return true;
}

void TerminalSettingsForm::writeKeys()
{
    IniFile ini(settingsPath());
    IniFile::Batch batch(ini);
    const TerminalSettingsValues &v = values;
    const DeviceSettings &d = v.devices;
    const auto b = [&](const char *key, bool value) { ini.writeBool(kPos, QString::fromLatin1(key), value); };
    const auto s = [&](const char *key, const QString &value) { ini.writeString(kPos, QString::fromLatin1(key), value); };
    const auto i = [&](const char *key, int value) { ini.writeInt(kPos, QString::fromLatin1(key), value); };

    b("FF1", v.roundOff);
    b("FF2", v.cashVoucher);
    b("FF3", v.storedValue);
    b("FF4", v.bankCard);
    s("STR1", v.slogan);
    s("LOGO", v.logoPath);
    b("OT1", v.downloadAfterLogin);
    b("OT2", v.changeLimitedTo100);
    b("OT3", v.hideSystemLogo);
    b("CHK1", d.printerEnabled);
    b("CHK2", d.displayEnabled);
    b("CHK3", d.drawerEnabled);
    b("CHK31", d.rawPrinting);
    b("CHK32", d.driverPrinting);
    b("CHK33", d.printAtSettlement);
    b("CHK34", d.printWhileScanning);
    b("CHK35", d.printNextHeading);
    b("CHK36", d.printToggleAtStart);
    s("cmb1", d.printerPort);
    s("cmb2", d.printerBaud);
    s("cmb3", d.displayPort);
    s("cmb4", d.displayBaud);
    s("cmb5", d.paperCutCommand);
    i("cmb6", d.paperWidth);
    i("cmb7", d.drawerConnection);
    s("cmb8", d.drawerCommand);
    ini.writeFloat(kPos, QStringLiteral("NUM1"), d.receiptDelaySeconds);
    // The title size comes from a number field and has always been stored as a number.
    ini.writeFloat(kPos, QStringLiteral("font_title"), d.titleFontSize);
    i("font_d", d.lineFontSize);
    i("chkparam19", v.amountDecimals);
    i("chkparam20", v.amountRounding);
    i("NUM2", v.lockMinutes);
    i("NUM3", v.serverTimeoutSeconds);
    i("FHCDB", v.shiftKeepDays);
    i("FHCXS", v.slipKeepDays);
    i("MINKEY", v.minimiseHotKey);
    batch.commit();
}

void TerminalSettingsForm::applyToSession()
{
    const DeviceSettings &d = values.devices;
    session_.applyDevices(d);
    session_.formats.amountDecimals = values.amountDecimals;
    session_.formats.amountRounding = values.amountRounding;
}

QString TerminalSettingsForm::amountFormat() const
{
    return session_.amountDisplayFormat();
}

bool TerminalSettingsForm::swapLineTemplate()
{
    const QStringList lines = values.templates.lineTemplate.split(kCrLf);
    if (lines.size() != 2)
        return false;
    values.templates.lineTemplate = lines.at(1) + kCrLf + lines.at(0);
    return true;
}

bool TerminalSettingsForm::takeLibraryTemplate(int index)
{
    if (index < 0 || index >= receiptLibrary().size())
        return false;
    const ReceiptTemplateChoice choice = vorel::takeLibraryTemplate(index, values.devices.driverPrinting);
    values.templates = choice.templates;
    values.devices.paperWidth = choice.paperWidth;
    return true;
}

bool TerminalSettingsForm::readServerTemplates(ResultSet &out)
{
    if (connection_.isOffline()) {
        messages_.notice(OfflineText);
        return false;
    }
    connection_.openServerSql(out, ServerTemplatesSql);
    return true;
}

void TerminalSettingsForm::takeServerTemplate(const ResultSet &rows)
{
    if (rows.currentRawRow() < 0)
        return;
    values.templates.heading = rows.field(QStringLiteral("POSTOP")).asString();
    values.templates.footing = rows.field(QStringLiteral("POSEND")).asString();
    values.templates.lineTemplate = rows.field(QStringLiteral("POSDE")).asString();
    values.devices.paperWidth = int(rows.field(QStringLiteral("POSSIZE")).asInt());
    values.devices.titleFontSize = int(rows.field(QStringLiteral("POSFont1")).asInt());
    values.devices.lineFontSize = int(rows.field(QStringLiteral("POSFont2")).asInt());
}

bool TerminalSettingsForm::saveTemplatesToServer()
{
    if (connection_.isOffline()) {
        messages_.notice(OfflineText);
        return false;
    }
    const QString sql = QStringLiteral("update d701 SET POSTOP ='%1', POSDE ='%2', POSEND ='%3', POSSIZE ='%4', "
                                       "POSFont1 ='%5', POSFont2 ='%6' where zd_id='%7'")
                            .arg(values.templates.heading, values.templates.lineTemplate, values.templates.footing,
                                 QString::number(values.devices.paperWidth),
                                 QString::number(values.devices.titleFontSize),
                                 QString::number(values.devices.lineFontSize), session_.terminal.terminalId);
    connection_.execServerSql({QString()}, sql, Route::ServerOnly);
    messages_.notice(TemplatesSavedText);
    return true;
}

bool TerminalSettingsForm::checkPort(const QString &port, const QString &baud, const QString &device)
{
    if (!values.devices.rawPrinting || Devices::route(port) != Devices::Route::Serial)
        return true;
    if (devices_.reopenPort(port, baud))
        return true;
    messages_.notice(QStringLiteral("初始化 %1端口:【%2】失败!请确认本机是否配备此端口").arg(device, port));
    return false;
}

bool TerminalSettingsForm::runTest(Test test)
{
    const DeviceSettings &d = values.devices;
    const QString printer = QStringLiteral("打印机");
    const QString display = QStringLiteral("顾显");
    const bool drawerOnPrinter = d.drawerConnection == 1;

    const bool printerPort = test == Test::Print || test == Test::Preview || (test == Test::Drawer && drawerOnPrinter);
    if (printerPort ? !checkPort(d.printerPort, d.printerBaud, printer)
                    : !checkPort(d.displayPort, d.displayBaud, display))
        return false;

    switch (test) {
    case Test::Print:
    case Test::Preview:
        return printer_.RenderReceipt(testRequest(test == Test::Preview));
    case Test::Display:
        devices_.showOnDisplay(QLatin1Char('1'), QStringLiteral("111111.11"), d.displayPort);
        devices_.showOnDisplay(QLatin1Char('2'), QStringLiteral("222222.22"), d.displayPort);
        devices_.showOnDisplay(QLatin1Char('3'), QStringLiteral("333333.33"), d.displayPort);
        devices_.showOnDisplay(QLatin1Char('4'), QStringLiteral("888888.88"), d.displayPort);
        return true;
    case Test::Drawer:
        devices_.openDrawer(d.printerPort, d.displayPort, d.drawerCommand, true, d.drawerConnection);
        return true;
    }
    return false;
}

ReceiptRequest TerminalSettingsForm::testRequest(bool preview) const
{
    const DeviceSettings &d = values.devices;
    ReceiptRequest r;
    r.lines = testLines_.isEmpty() ? sampleLines() : testLines_;
    r.due = QStringLiteral("999.9");
    r.roundOff = QStringLiteral("0");
    r.voucher = QStringLiteral("0");
    r.storedValue = QStringLiteral("0");
    r.bankCard = QStringLiteral("1000");
    r.cash = QStringLiteral("0.9");
    r.change = QStringLiteral("10");
    r.heading = values.templates.heading;
    r.footing = values.templates.footing;
    r.lineTemplate = values.templates.lineTemplate;
    r.slipNumber = QString(11, u'X'); // a test receipt's slip number: eleven X, as wide as a real one
    r.slipDate = QStringLiteral("2000-01-01 00:00:01");
    r.terminal = QStringLiteral("00");
    r.cashier = QStringLiteral("0000");
    r.salesperson = QStringLiteral("8888");
    r.printerPort = d.printerPort;
    r.paperWidth = d.paperWidth;
    r.driver = d.driverPrinting;
    r.test = preview;
    r.titleFontSize = d.titleFontSize;
    r.lineFontSize = d.lineFontSize;
    r.decimals = values.amountDecimals;
    r.slipPoints = QStringLiteral("0");
    r.tagTotal = QStringLiteral("0");
    r.discountTotal = QStringLiteral("0");
    return r;
}

QList<ReceiptLine> TerminalSettingsForm::sampleLines()
{
    struct Sample {
        const char *tm, *wlId, *name, *colour, *size;
        int qty;
        double price;
    };
    static const Sample samples[] = {
        {"6901000000011", "A1001", "纯棉圆领T恤", "白色", "M", 1, 59.0},
        {"6901000000028", "A1002", "修身牛仔裤", "蓝色", "30", 1, 129.0},
        {"6901000000035", "B2001", "针织开衫", "米色", "L", 2, 99.0},
        {"6901000000042", "B2002", "羊毛围巾", "灰色", "F", 1, 79.0},
        {"6901000000059", "C3001", "运动短袜", "黑色", "F", 3, 9.9},
        {"6901000000066", "C3002", "休闲衬衫", "浅蓝", "XL", 1, 139.0},
        {"6901000000073", "D4001", "连帽卫衣", "藏青", "L", 1, 169.0},
    };
    QList<ReceiptLine> lines;
    for (const Sample &s : samples) {
        ReceiptLine l;
        l.tm = QString::fromLatin1(s.tm);
        l.wlId = QString::fromLatin1(s.wlId);
        l.wlName = QString::fromUtf8(s.name);
        l.dwName = QString::fromUtf8(s.colour);
        l.wlGg = QString::fromUtf8(s.size);
        l.sl = s.qty;
        l.sj = s.price;
        l.smoney = s.price * s.qty;
        l.zk = 10.0;
        lines << l;
    }
    return lines;
}

} // namespace vorel
