#include "app/terminalconfig.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "core/programfolder.h"
#include "core/session.h"
#include "core/text.h"
#include "printing/devices.h"

namespace vorel {

namespace {

const QString SettingsFileName = QStringLiteral("VOREL.DLL");

} // namespace

int programVersionNumber()
{
    QString v = QCoreApplication::applicationVersion();
    if (v.isEmpty())
        v = QStringLiteral(PROJECT_VERSION_TEXT);
    const QStringList parts = v.split(QLatin1Char('.'));
    return parts.value(0).toInt() * 100 + parts.value(1).toInt();
}

QString versionText(int number)
{
    const QString digits = QString::number(number);
    return (QString::number(number / 100) + QLatin1Char('.') + digits.mid(1, 2)).trimmed();
}

QString logoFile(const TerminalSettings &settings, const ProgramFolder &folder)
{
    const QString logo = settings.logoPath();
    return !logo.isEmpty() && QFileInfo::exists(folder.path(logo)) ? folder.path(logo) : QString();
}

void loadTemplates(const ProgramFolder &folder, Session &session)
{
    // A template that cannot be read stops the reading of the ones after it.
    Session::Templates &t = session.templates;
    if (!readGbkFile(folder.path(QStringLiteral("POSTOP")), &t.posTop))
        return;
    if (!readGbkFile(folder.path(QStringLiteral("POSEND")), &t.posEnd))
        return;
    readGbkFile(folder.path(QStringLiteral("POSDE")), &t.posDe);
}

TerminalConfig loadTerminalConfig(const ProgramFolder &folder, Session &session, Devices &devices,
                                  const LoadStep &step)
{
    const auto show = [&step](int n, const QString &text) {
        if (step)
            step(n, text);
    };
    TerminalConfig c;
    show(1, loadstep::Parameters);
    session.identity.debug = false;
    loadTemplates(folder, session);

    const QString monitor = folder.path(QStringLiteral("mon.png"));
    if (QFileInfo::exists(monitor))
        c.secondScreenImage = monitor;

    const TerminalSettings settings(folder.path(SettingsFileName));
    c.title = settings.posTitle();
    session.identity.coName = c.title;
    c.welcome = settings.slogan();
    c.connMode = settings.connMode();
    c.keyHelpVisible = settings.keyHelpVisible();
    c.fullLayout = settings.fullLayout();
    c.grid = settings.gridLayout(GridLayout{});
    session.connection.net = quint8(settings.net());
    session.identity.debug = settings.debug();
    session.identity.iniFileName = settings.userPrefsFileName();
    c.hideSystemLogo = settings.hideSystemLogo();
    c.logoFile = logoFile(settings, folder);
    c.themeColor = settings.themeColor();
    c.themeFontColor = settings.themeFontColor();

    session.applyDevices(settings.deviceSettings(Defaults::StartUp));
    session.connection.serverTimeoutSeconds = settings.serverTimeoutSeconds();
    c.minimiseHotKey = settings.minimiseHotKey();
    devices.openPorts();

    c.storedValuePanel = settings.tenderStoredValue();
    c.printSwitch = settings.printToggleAtStart();
    c.downloadAfterLogin = settings.downloadAfterLogin();
    c.shiftKeepDays = settings.shiftKeepDays();
    c.slipKeepDays = settings.slipKeepDays();
    session.formats.amountDecimals = settings.amountDecimals();
    session.formats.amountRounding = settings.amountRounding();

    show(2, loadstep::Files);
    c.lockSeconds = settings.lockMinutes() * 60;

    const UserPreferences prefs(folder.path(session.identity.iniFileName));
    c.skins = folder.glob(QStringLiteral("skin/*.skn"));
    show(3, loadstep::Skins);
    const int index = prefs.skinListIndex();
    c.skinIndex = index >= 0 && index < c.skins.size() ? index : 0;

    show(4, loadstep::Version);
    c.versionNumber = programVersionNumber();
    c.version = versionText(c.versionNumber);
    session.identity.version = c.version;

    show(5, loadstep::Starting);
    if (session.connection.net == 1) {
        show(5, c.connMode == 0 ? loadstep::FirstDatabaseStart : loadstep::DatabaseConnect);
        show(7, loadstep::Service);
    }
    show(10, loadstep::Done);
    return c;
}

} // namespace vorel
