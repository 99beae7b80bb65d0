#pragma once
// The sales screen of a stand-alone demo till in a temporary program folder, cashier 01
// logged in and the session on screen. For tests and benchmarks that drive the real window.
// A shop file given is copied in as the till's shop (it must hold the demo cashier); without
// one the till makes the demo shop.

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <memory>

#include "app/calculator.h"
#include "app/loginflow.h"
#include "app/terminalconfig.h"
#include "app/tillshoplink.h"
#include "app/ui/till.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/programfolder.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/localstore.h"

#include "fakecalculator.h"
#include "fakeclock.h"
#include "recordingmessages.h"

namespace vorel::test {

class NoRegistration final : public TerminalRegistration {
public:
    bool registerTerminal(const QString &, const ResultSet &) override { return false; }
};

struct ScreenRig {
    explicit ScreenRig(const TerminalConfig &config = {}, const QString &shopFile = {})
        : folder(home.path()), settings(home.filePath(QStringLiteral("VOREL.DLL"))),
          prefs(home.filePath(QStringLiteral("vorel")))
    {
        if (!shopFile.isEmpty())
            QFile::copy(shopFile, home.filePath(QString::fromLatin1(TillShopLink::ShopFileName)));
        LocalStore::provideCleanCopy(folder, LocalStore::shippedCleanCopy());
        store = std::make_unique<LocalStore>(LocalStore::prepareFile(folder));
        store->open();
        link = std::make_unique<TillShopLink>(session, *store, clock,
                                              home.filePath(QString::fromLatin1(TillShopLink::ShopFileName)));
        till = std::make_unique<Till>(TillParts{session, settings, folder, *link, clock, messages, calculator});
        form = &till->window();
        form->applyConfig(config);
        LoginFlow flow(session, settings, prefs, clock, messages, *link, registration);
        started = flow.login(LoginFlow::Mode::Online, QStringLiteral("单机版,1"), QStringLiteral("01"),
                             QStringLiteral("01"))
                      .status
                  == LoginFlow::Status::Started;
        form->startSession();
    }
    TillController &controller() { return till->controller(); }
    QString label(const char *name) const { return form->findChild<QLabel *>(QString::fromLatin1(name))->text(); }

    QTemporaryDir home;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0))};
    ProgramFolder folder;
    TerminalSettings settings;
    UserPreferences prefs;
    Session session;
    RecordingMessages messages;
    FakeCalculator calculator;
    NoRegistration registration;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<TillShopLink> link;
    std::unique_ptr<Till> till;
    SalesWindow *form = nullptr;
    bool started = false;
};

} // namespace vorel::test
