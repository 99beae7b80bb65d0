// Sending a 30-line receipt (about 1.5 KB of GBK) to a serial printer, with and without
// rendering it from a template first: RawPrint on a pseudo-terminal (GBK encoding, the 8-byte initialisation,
// QSerialPort and its complete, blocking write) against the same bytes handed to write()
// on the same terminal in the same run. A thread on the master side reads everything, as
// the printer would. Figures are microseconds per receipt and the ratio of the two.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "core/inifile.h"
#include "core/session.h"
#include "core/text.h"
#include "printing/devices.h"
#include "printing/portmap.h"
#include "printing/receipt.h"
#include "printing/receiptlibrary.h"
#include "printing/seriallibrary.h"

#include "recordingmessages.h"

using namespace vorel;

namespace {

QString receipt()
{
    QString text = QStringLiteral("        春季新款服装店 收银小票\r\n单号:00120261205001  收银员:0001\r\n");
    for (int i = 1; i <= 26; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        text += n + QStringLiteral(" TX00%1BK 纯棉圆领T恤 白色 XL  1 x 129.00  129.00\r\n").arg(n);
    }
    text += QStringLiteral("合计: 3354.00  实收: 3400.00\r\n找零: 46.00  谢谢惠顾,欢迎再来!\r\n");
    return text;
}

// One pseudo-terminal whose master side is read empty by a thread for the whole run.
class Line {
public:
    Line()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        ::tcgetattr(slave_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
        path_ = QString::fromLocal8Bit(name);
        reader_ = std::thread([this] {
            char buffer[8192];
            while (!stop_) {
                pollfd p{master_, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0 && ::read(master_, buffer, sizeof buffer) < 0)
                    break;
            }
        });
    }
    ~Line()
    {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    const QString &path() const { return path_; }
    bool writeAll(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(slave_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
};

// The till's way: RawPrint to COM1, mapped to the terminal.
class Till {
public:
    explicit Till(const Line &line)
    {
        const QString settings = dir_.filePath(QStringLiteral("VOREL.DLL"));
        IniFile(settings).writeString(QStringLiteral("PORTS"), QStringLiteral("COM1"), line.path());
        const PortMap ports = PortMap::fromSettingsFile(settings);
        serial_ = std::make_unique<SerialPortLibrary>(ports);
        devices_ = std::make_unique<Devices>(session_, *serial_, ports, notices_);
        ok_ = serial_->comInit(1, 9600);
    }
    bool ok() const { return ok_; }
    bool print(const QString &text) { return devices_->rawPrint(text, QStringLiteral("COM1")); }

private:
    QTemporaryDir dir_;
    Session session_;
    RecordingMessages notices_;
    std::unique_ptr<SerialPortLibrary> serial_;
    std::unique_ptr<Devices> devices_;
    bool ok_ = false;
};

void BM_PlainWriteBaseline(benchmark::State &state)
{
    Line line;
    const QByteArray bytes = Devices::SerialPrefix + toGbk(receipt());
    for (auto _ : state) {
        if (!line.writeAll(bytes)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.counters["receipt_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PlainWriteBaseline)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1.0);

void BM_RawPrint(benchmark::State &state)
{
    Line line;
    Till till(line);
    const QString text = receipt();
    if (!till.ok()) {
        state.SkipWithError("the port did not open");
        return;
    }
    for (auto _ : state) {
        if (!till.print(text)) {
            state.SkipWithError("RawPrint failed");
            break;
        }
    }
}
BENCHMARK(BM_RawPrint)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1.0);

// The whole way of a receipt at the till: a 30-line sale rendered from the first built-in
// template, then sent with RawPrint.
ReceiptRequest thirtyLineSale()
{
    const ReceiptTemplateChoice choice = takeLibraryTemplate(0, false);
    ReceiptRequest r;
    QList<ReceiptLine> lines;
    for (int i = 1; i <= 30; ++i)
        lines.append({QStringLiteral("69208800%1118").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("TX%1").arg(i, 3, 10, QLatin1Char('0')),
                      QStringLiteral("纯棉圆领短袖T恤"), QStringLiteral("黑色"), QStringLiteral("M"), 1, 79.0, 79.0, 1.0, QString()});
    r.lines = lines;
    r.due = QStringLiteral("2370.00");
    r.roundOff = r.voucher = r.storedValue = r.bankCard = QStringLiteral("0");
    r.cash = QStringLiteral("2400.00");
    r.change = QStringLiteral("30.00");
    r.heading = choice.templates.heading;
    r.lineTemplate = choice.templates.lineTemplate;
    r.footing = choice.templates.footing;
    r.slipNumber = QStringLiteral("00110000001");
    r.slipDate = QStringLiteral("2026-12-05 10:30:15");
    r.terminal = QStringLiteral("001");
    r.cashier = QStringLiteral("01");
    r.printerPort = QStringLiteral("COM1");
    r.slipPoints = r.tagTotal = r.discountTotal = r.accumulatedPoints = QStringLiteral("0");
    return r;
}

void BM_RenderAndRawPrint(benchmark::State &state)
{
    Line line;
    Till till(line);
    if (!till.ok()) {
        state.SkipWithError("the port did not open");
        return;
    }
    const ReceiptRequest request = thirtyLineSale();
    const ReceiptEnvironment env{2, false, QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15))};
    for (auto _ : state) {
        const RenderedReceipt receipt = renderReceipt(request, env);
        if (!till.print(receipt.text())) {
            state.SkipWithError("RawPrint failed");
            break;
        }
    }
}
BENCHMARK(BM_RenderAndRawPrint)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1.0);

// The part of RawPrint that is not the port: turning the text into GBK bytes.
void BM_GbkEncodingOnly(benchmark::State &state)
{
    const QString text = receipt();
    for (auto _ : state)
        benchmark::DoNotOptimize(toGbk(text));
}
BENCHMARK(BM_GbkEncodingOnly)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1.0);

// The two take turns receipt by receipt on one terminal; ratio = RawPrint time over write().
void BM_InterleavedRatio(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    Line line;
    Till till(line);
    const QString text = receipt();
    const QByteArray bytes = Devices::SerialPrefix + toGbk(text);
    if (!till.ok()) {
        state.SkipWithError("the port did not open");
        return;
    }
    Clock::duration plainTime{}, tillTime{};
    long n = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool a = line.writeAll(bytes);
        const auto t1 = Clock::now();
        const bool b = till.print(text);
        const auto t2 = Clock::now();
        plainTime += t1 - t0;
        tillTime += t2 - t1;
        ++n;
        if (!a || !b) {
            state.SkipWithError("a receipt was not written");
            break;
        }
    }
    const double plainUs = std::chrono::duration<double, std::micro>(plainTime).count() / static_cast<double>(n);
    const double tillUs = std::chrono::duration<double, std::micro>(tillTime).count() / static_cast<double>(n);
    state.counters["write_us"] = plainUs;
    state.counters["rawprint_us"] = tillUs;
    state.counters["ratio"] = tillUs / plainUs;
    state.counters["receipt_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_InterleavedRatio)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    // QSerialPort's notifiers want an application object.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
