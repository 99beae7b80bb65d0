// The till's memory over a day of selling: the resident size of the real sales screen, logged
// in on a shop with 100,000 generated styles, right after login and after 600 distinct
// barcodes scanned and sold in slips of six, each paid in cash through the real settlement
// dialog. Baseline in the same run: a bare Qt window. Each figure is taken in a process of its
// own (this program started again with --rss-of), so one measurement does not carry the
// other's heap. Aim: under 60 MB after the day, and flat: the growth per barcode over the
// second half of the day near zero.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>
#include <unistd.h>

#include "benchsupport.h"
#include "sales/commandline.h"
#include "sales/sale.h"
#include "screenrig.h"
#include "settlement/slipcommitter.h"

using namespace vorel;
using namespace vorel::bench;

namespace {

constexpr int DayBarcodes = 600;
constexpr int SlipLines = 6;

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

void print(const char *what, double mb)
{
    std::printf("%s %.2f\n", what, mb);
    std::fflush(stdout);
}

// Where the resident pages are: the heap and other private memory, pages of files (program
// code, libraries, fonts, mapped databases), shared memory.
void printParts(const char *what)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n')) {
        for (const char *part : {"RssAnon:", "RssFile:", "RssShmem:"}) {
            if (line.startsWith(part))
                std::fprintf(stderr, "%s %s %.2f MB\n", what, part, line.mid(int(std::strlen(part))).trimmed().split(' ').value(0).toDouble() / 1024.0);
        }
    }
}

int measureBareWindow()
{
    QWidget window;
    window.resize(1024, 768);
    window.show();
    QCoreApplication::processEvents();
    print("window", residentMb());
    return 0;
}

// Pays the slip on screen in cash through the settlement dialog and starts the next one.
bool settle(test::ScreenRig &rig)
{
    QLineEdit *edit = rig.form->commandEdit();
    const QString due = rig.controller().sale().labels().total;
    bool paid = false;
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        QWidget *field = dialog ? dialog->focusWidget() : nullptr;
        if (!field)
            return;
        QTest::keyClicks(field, due);
        QTest::keyClick(field, Qt::Key_Return);
        paid = true;
    });
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
    if (!paid || !rig.controller().committer().awaitingNextSlip())
        return false;
    QTest::keyClick(edit, Qt::Key_Space); // hides the summary, the next slip starts
    QCoreApplication::processEvents();
    return rig.controller().sale().isEmpty();
}

int measureTill()
{
    const QStringList barcodes = stockedBarcodes(bigShopFile(), DayBarcodes);
    test::ScreenRig rig({}, bigShopFile());
    QCoreApplication::processEvents();
    if (!rig.started || barcodes.size() < DayBarcodes)
        return 1;
    print("login", residentMb());
    printParts("login");
    QLineEdit *edit = rig.form->commandEdit();
    for (int i = 0; i < DayBarcodes; ++i) {
        QTest::keyClicks(edit, barcodes.at(i));
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
        if ((i + 1) % SlipLines == 0 && !settle(rig)) {
            std::fprintf(stderr, "slip %d was not settled\n", (i + 1) / SlipLines);
            return 1;
        }
        if ((i + 1) == DayBarcodes / 2)
            print("half", residentMb());
    }
    print("day", residentMb());
    printParts("day");
    return 0;
}

// The figures printed by this program started again with --rss-of `what`.
std::map<QString, double> measured(const QString &what)
{
    static std::map<QString, std::map<QString, double>> runs;
    auto found = runs.find(what);
    if (found != runs.end())
        return found->second;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss-of"), what});
    child.waitForFinished(-1);
    std::map<QString, double> figures;
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0) {
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 2)
                figures[QString::fromLatin1(words[0])] = words[1].toDouble();
        }
    }
    return runs[what] = figures;
}

void report(benchmark::State &state, const QString &what, const char *figure)
{
    for (auto _ : state) {
        const std::map<QString, double> f = measured(what);
        const auto it = f.find(QString::fromLatin1(figure));
        if (it == f.end()) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        state.counters["rss_mb"] = it->second;
        const auto bare = measured(QStringLiteral("window"));
        if (bare.count(QStringLiteral("window")))
            state.counters["x_bare"] = it->second / bare.at(QStringLiteral("window"));
        if (what == QLatin1String("till") && f.count(QStringLiteral("half")) && f.count(QStringLiteral("day")))
            state.counters["kb_per_barcode_2nd_half"] =
                (f.at(QStringLiteral("day")) - f.at(QStringLiteral("half"))) * 1024.0 / (DayBarcodes / 2);
    }
}

void BareQtWindow(benchmark::State &state)
{
    report(state, QStringLiteral("window"), "window");
}

void TillAfterLogin(benchmark::State &state)
{
    report(state, QStringLiteral("till"), "login");
}

void TillAfterADayOfSelling(benchmark::State &state)
{
    report(state, QStringLiteral("till"), "day");
}

BENCHMARK(BareQtWindow)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(TillAfterLogin)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(TillAfterADayOfSelling)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "--rss-of") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        const std::string_view what = argv[2];
        return what == "window" ? measureBareWindow() : measureTill();
    }
    QCoreApplication app(argc, argv);
    // The kept shop is made here, not inside the first measurement.
    bigShopFile();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
