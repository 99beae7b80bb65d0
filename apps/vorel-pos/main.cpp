// vorel-pos: the till. One full-screen sales window per till, a login first; the stand-alone
// edition keeps its shop in "shop.db" in the program folder, the network edition talks to a
// vorel-server. With --scenario FILE the real program runs offscreen and plays a script.

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>
#include <QMessageBox>
#include <QScreen>
#include <QTextStream>

#include <cstdio>
#include <memory>

#include "app/calculator.h"
#include "app/hotkey.h"
#include "app/loginflow.h"
#include "app/scenarioscript.h"
#include "app/singleinstance.h"
#include "app/terminalconfig.h"
#include "app/tillshoplink.h"
#include "app/errorcapture.h"
#include "app/ui/boxmessages.h"
#include "app/ui/errorreport.h"
#include "app/ui/logindialog.h"
#include "app/ui/till.h"
#include "app/ui/scenariorunner.h"
#include "app/ui/splash.h"
#include "app/ui/terminalregistrationdialog.h"
#include "core/clock.h"
#include "core/heapslack.h"
#include "core/programfolder.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/localstore.h"

using namespace vorel;

namespace {

struct Options {
    QString scenario;
    QString now; // the till's clock in a scenario, "YYYY-MM-DD hh:mm:ss"
};

QString optionValue(const QStringList &args, const QString &name)
{
    QString value;
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == name && i + 1 < args.size())
            value = args.at(i + 1);
        else if (args.at(i).startsWith(name + QLatin1Char('=')))
            value = args.at(i).mid(name.size() + 1);
    }
    return value;
}

Options readOptions(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return {optionValue(args, QStringLiteral("--scenario")), optionValue(args, QStringLiteral("--now"))};
}

// A fresh program folder offers the demo shop's first cashier at the first login.
void prepareFreshFolder(UserPreferences &prefs)
{
    if (!QFileInfo::exists(prefs.path()))
        prefs.setUser(QStringLiteral("01"));
}

} // namespace

int main(int argc, char **argv)
{
    keepHeapSlack();
    const Options options = readOptions(argc, argv);
    const bool scenario = !options.scenario.isEmpty();
    if (scenario && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    TillApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorel-pos"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));

    const ProgramFolder folder = ProgramFolder::locate(QApplication::arguments());
    std::unique_ptr<Clock> clock;
    ManualClock *scriptClock = nullptr;
    if (scenario) {
        const QDateTime start = options.now.isEmpty() ? QDateTime(QDate(2026, 12, 5), QTime(9, 0, 0))
                                                      : parseDateTime(options.now);
        auto scripted = std::make_unique<ManualClock>(start.isValid() ? start : QDateTime::currentDateTime());
        scriptClock = scripted.get();
        clock = std::move(scripted);
    } else {
        clock = std::make_unique<SystemClock>();
    }

    QTextStream out(stdout);
    std::unique_ptr<ScenarioRunner> runner;
    if (scenario) {
        const ScenarioScript script = ScenarioScript::fromFile(options.scenario);
        if (!script.isValid()) {
            std::fprintf(stderr, "%s\n", qPrintable(script.error()));
            return 1;
        }
        runner = std::make_unique<ScenarioRunner>(script, out);
    }
    // The script starts playing once the first window a cashier would see is about to show.
    const auto play = [&runner] {
        if (runner && !runner->isFinished())
            runner->start();
    };
    const auto finish = [&runner](int code) {
        if (!runner)
            return code;
        // The boxes and dialogs are gone; a script that goes on dumps what is left.
        if (!runner->isFinished())
            QApplication::exec();
        return runner->exitCode();
    };

    BoxMessages messages;
    // A scenario keeps the mark in its own program folder, so rehearsals of several folders
    // run side by side.
    SingleInstance instance(scenario ? folder.path(QStringLiteral("VOREL_CLIENT.lock"))
                                     : SingleInstance::defaultLockPath());
    if (!instance.tryAcquire()) {
        play();
        messages.notice(SingleInstance::RefusalText);
        return finish(0);
    }

    auto splash = std::make_unique<SplashWindow>(folder);
    splash->show();
    QApplication::processEvents();

    Session session;
    TerminalSettings settings(folder.path(QStringLiteral("VOREL.DLL")));
    UserPreferences prefs(folder.path(settings.userPrefsFileName()));
    prepareFreshFolder(prefs);

    // A local store that cannot be opened does not stop the till: it still sells online, and
    // the login dialog's repair replaces the file. The cashier is told before the login.
    std::unique_ptr<LocalStore> store;
    QString storeProblem;
    LocalStore::provideCleanCopy(folder, LocalStore::shippedCleanCopy());
    try {
        store = std::make_unique<LocalStore>(LocalStore::prepareFile(folder));
        store->open();
    } catch (const LocalStoreError &e) {
        storeProblem = e.message();
        if (!store)
            store = std::make_unique<LocalStore>(folder.path(QString::fromLatin1(LocalStoreFileName)));
    }

    TillShopLink link(session, *store, *clock, folder.path(QString::fromLatin1(TillShopLink::ShopFileName)));
    link.setTransport(settings.serverTls(), settings.serverCertificate());
    DesktopCalculator calculator;
    std::unique_ptr<HotKey> hotKey = createSystemHotKey();

    // The sales screen is made first, hidden, and takes the whole screen.
    Till till(TillParts{session, settings, folder, link, *clock, messages, calculator});
    SalesWindow &form = till.window();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form.setGeometry(screen->geometry());
    form.setHotKey(hotKey.get());
    if (scriptClock)
        till.controller().setClockAdvancer([scriptClock](int seconds) { scriptClock->advanceSeconds(seconds); });
    // The script stops looking at the window before the window goes.
    struct HostRelease {
        ScenarioRunner *runner;
        ~HostRelease()
        {
            if (runner)
                runner->setHost(nullptr);
        }
    } hostRelease{runner.get()};
    if (runner)
        runner->setHost(&till);

    // Errors no part of the till handled end here while the sales screen exists.
    DesktopCapture screenCapture;
    DialogErrorReport errorReport;
    ErrorCapture errors(folder, *clock, session, screenCapture, errorReport);
    errors.setLinkDropper([&till] { till.controller().dropMessageLink(); });
    app.setErrorHandler([&errors](std::exception_ptr error) { errors.handle(ErrorCapture::describe(error)); });
    const auto unhook = qScopeGuard([&app] { app.setErrorHandler({}); });

    const TerminalConfig config = loadTerminalConfig(folder, session, till.controller().devices(), [&](int step, const QString &text) {
        splash->showLoadStep(step, text);
        if (step == 7)
            link.startStandAlone();
        QApplication::processEvents();
    });
    form.applyConfig(config);
    splash->hide();
    splash.reset();

    DialogTerminalRegistration registration(link, settings, messages, &form);
    LoginFlow flow(session, settings, prefs, *clock, messages, link, registration);
    form.setLoginDialog([&flow, &form] {
        LoginDialog dialog(flow, form.isVisible() ? &form : nullptr);
        return dialog.exec() == QDialog::Accepted;
    });

    play();
    if (!storeProblem.isEmpty())
        messages.failure(storeProblem);
    {
        LoginDialog dialog(flow);
        if (dialog.exec() != QDialog::Accepted) {
            QApplication::processEvents();
            return finish(0);
        }
    }
    form.startSession();
    form.firstActivation();
    const int code = QApplication::exec();
    return runner ? finish(code) : code;
}
