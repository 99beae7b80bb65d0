#include "core/session.h"

#include "core/terminalsettings.h"

#include <algorithm>

#include "core/money.h"

namespace vorel {

namespace {

const QString DefaultEntry = QStringLiteral("1");

} // namespace

CompanyParams::CompanyParams()
{
    entries_.fill(DefaultEntry, MinEntries);
}

CompanyParams::CompanyParams(const QString &paramText)
{
    // An empty text is a shop without parameters, not one blank parameter.
    if (!paramText.trimmed().isEmpty()) {
        const QStringList parts = paramText.split(QLatin1Char(','));
        entries_.reserve(std::max<qsizetype>(parts.size(), MinEntries));
        for (const QString &part : parts) {
            const QString value = part.trimmed();
            entries_.append(value.isEmpty() ? DefaultEntry : value);
        }
    }
    while (entries_.size() < MinEntries)
        entries_.append(DefaultEntry);
}

QString CompanyParams::entry(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_.at(index) : DefaultEntry;
}

bool CompanyParams::offlineAllowed() const { return isSet(7); }
bool CompanyParams::showDiscountColumn() const { return isSet(5); }
bool CompanyParams::salesScreenSwitch6() const { return isSet(6); }
bool CompanyParams::salesScreenSwitch8() const { return isSet(8); }
QString CompanyParams::gparam11() const { return entry(10); }
bool CompanyParams::checkDate() const { return isSet(20); }

int CompanyParams::vipf() const
{
    bool ok = false;
    const int value = entry(21).toInt(&ok);
    return ok ? value : 1;
}

int CompanyParams::gparam29() const
{
    const QString text = entry(29);
    if (text == QLatin1String("0") || text == QLatin1String("1"))
        return 0;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::max(value, 4) : 4;
}

void Session::applyCompanyParams(const QString &paramText)
{
    company.params = CompanyParams(paramText);
    connection.offlineAllowed = company.params.offlineAllowed();
    company.gparam11 = company.params.gparam11();
    company.checkDate = company.params.checkDate();
    company.vipf = company.params.vipf();
    company.gparam29 = company.params.gparam29();
}

void Session::applyRights(const QString &posQs)
{
    terminal.rights = CashierRights(posQs);
}

void Session::startSession(const SessionStart &start)
{
    terminal.terminalId = start.terminalId;
    terminal.terminalName = start.terminalName;
    terminal.warehouseId = start.warehouseId;
    terminal.warehouseName = start.warehouseName;
    terminal.loginGuid = start.loginGuid;
    applyRights(start.rights);
    applyCompanyParams(start.companyParams);
    terminal.shiftEnabled = start.shiftEnabled;
    connection.loginFlag = true;
}

void Session::endSession()
{
    terminal.onDuty = false;
    connection.loginFlag = false;
    terminal.loginGuid.clear();
    terminal.rights = CashierRights();
    identity.userId.clear();
    identity.userName.clear();
    identity.pwdMd5.clear();
}

QString Session::amountDisplayFormat() const
{
    return displayFormatFor(formats.amountDecimals);
}

void Session::applyDevices(const DeviceSettings &d)
{
    Devices &s = devices;
    s.printerEnabled = d.printerEnabled;
    s.displayEnabled = d.displayEnabled;
    s.drawerEnabled = d.drawerEnabled;
    s.driverPrinting = d.driverPrinting;
    s.printerPort = d.printerPort;
    s.printerBaud = d.printerBaud;
    s.displayPort = d.displayPort;
    s.displayBaud = d.displayBaud;
    s.paperCutCommand = d.paperCutCommand;
    s.drawerConnection = d.drawerConnection;
    s.drawerCommand = d.drawerCommand;
    s.paperWidth = d.paperWidth;
    s.titleFontSize = d.titleFontSize;
    s.lineFontSize = d.lineFontSize;
    // Seconds kept to four decimals, as every other amount.
    s.pauseAfterReceipt = qRound64(d.receiptDelaySeconds * 10000.0) / 10000.0;
}

} // namespace vorel
