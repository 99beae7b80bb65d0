// A barcode scanned on the real sales screen: the keys typed into the command line, Enter,
// the new line in the grid, the totals and the repaint (offscreen), on the stand-alone demo
// shop. Baseline in the same run: the same barcode handed straight to the command line's
// interpreter, with no keys and no screen. The ratio is what the screen costs on top of the
// sale's own work.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <memory>

#include "sales/commandline.h"
#include "sales/sale.h"
#include "screenrig.h"
#include "settlement/slipcommitter.h"

using namespace vorel;

namespace {

const QString Barcode = QStringLiteral("6920880010118");

// One till, logged in, for the whole run.
struct Till : test::ScreenRig {
    Till() { QCoreApplication::processEvents(); }
    // The sale starts again (not timed).
    void clear() { controller().committer().StartNewSlip(false, false); }
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
        if (t.controller().sale().lineCount() != 1)
            state.SkipWithError("the scan did not add a line");
        t.clear();
        state.ResumeTiming();
    }
}

void BM_ScanIntoTheCommandLineAlone(benchmark::State &state)
{
    Till &t = till();
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.controller().commandLine().ExecuteCommand(Barcode));
        state.PauseTiming();
        if (t.controller().sale().lineCount() != 1)
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
