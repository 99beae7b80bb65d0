// A barcode scanned on the real sales screen: the keys typed into the command line, Enter,
// the new line in the grid, the totals and the repaint (offscreen), on the stand-alone demo
// shop. Baseline in the same run: the same barcode handed straight to the command line's
// interpreter, with no keys and no screen. The ratio is what the screen costs on top of the
// sale's own work.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/calculator.h"
#include "app/loginflow.h"
#include "app/terminalconfig.h"
#include "app/tillshoplink.h"
#include "app/ui/mainform.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/programfolder.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/localstore.h"
#include "sales/commandline.h"
#include "sales/sale.h"
#include "settlement/slipcommitter.h"

using namespace vorel;

namespace {

const QString Barcode = QStringLiteral("6920880010118");

class NoRegistration final : public TerminalRegistration {
public:
    bool registerTerminal(const QString &, const ResultSet &) override { return false; }
};

// One till, logged in, for the whole run.
struct Till {
    Till()
        : folder(home.path()), settings(home.filePath(QStringLiteral("VOREL.DLL"))),
          prefs(home.filePath(QStringLiteral("vorel")))
    {
        LocalStore::provideCleanCopy(folder, LocalStore::shippedCleanCopy());
        store = std::make_unique<LocalStore>(LocalStore::prepareFile(folder));
        store->open();
        link = std::make_unique<TillShopLink>(session, *store, clock, home.filePath(QStringLiteral("shop.db")));
        form = std::make_unique<TMainForm>(
            MainFormParts{session, settings, folder, *link, clock, messages, calculator});
        form->applyConfig(TerminalConfig{});
        LoginFlow flow(session, settings, prefs, clock, messages, *link, registration);
        flow.login(LoginFlow::Mode::Online, QStringLiteral("单机版,1"), QStringLiteral("01"), QStringLiteral("01"));
        form->startSession();
        QCoreApplication::processEvents();
    }
    // The sale starts again (not timed).
    void clear() { form->committer().StartNewSlip(false, false); }

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
    std::unique_ptr<TMainForm> form;
};

// Made on first use, gone before the application object.
std::unique_ptr<Till> theTill;

Till &till()
{
    if (!theTill)
        theTill = std::make_unique<Till>();
    return *theTill;
}

void BM_ScanOnTheScreen(benchmark::State &state)
{
    Till &t = till();
    QLineEdit *edit = t.form->commandEdit();
    for (auto _ : state) {
        QTest::keyClicks(edit, Barcode);
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (t.form->sale().lineCount() != 1)
            state.SkipWithError("the scan did not add a line");
        t.clear();
        state.ResumeTiming();
    }
}

void BM_ScanIntoTheCommandLineAlone(benchmark::State &state)
{
    Till &t = till();
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.form->commandLine().ExecuteCommand(Barcode));
        state.PauseTiming();
        if (t.form->sale().lineCount() != 1)
            state.SkipWithError("the scan did not add a line");
        t.clear();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ScanIntoTheCommandLineAlone)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_ScanOnTheScreen)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theTill.reset();
    return 0;
}
