// Holding a sale of 100 lines and bringing it back (PgDn twice): the file written safely
// in folder "R", the sale emptied, the list dialog's answer, the file read and checked and
// the lines put back. Baseline for the ratio: the same bytes written to a file and read
// back with plain file calls, nothing else.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "sales/customerdisplay.h"
#include "sales/heldsales.h"
#include "sales/memberdesk.h"
#include "sales/pricing.h"
#include "sales/sale.h"
#include "sales/settlementlauncher.h"
#include "fakeshopservice.h"

using namespace vorel;

namespace {

constexpr int Lines = 100;

class QuietDisplay : public CustomerDisplay {
public:
    void show(Indicator, const QString &value) override { benchmark::DoNotOptimize(value.size()); }
};

class FirstRow : public HeldSalePicker {
public:
    std::optional<Pick> pick(const QList<HeldSaleRow> &) override { return Pick{0, true}; }
};

class NoDialogs : public MemberDialogs {
public:
    std::optional<int> pickMember(const ResultSet &) override { return std::nullopt; }
    QString addMember() override { return {}; }
    std::optional<RedemptionOffer> chooseRedemption(const RedemptionRequest &) override { return std::nullopt; }
};

class NoSettlement : public SettlementLauncher {
public:
    void settleSale() override {}
    void settleTopUp() override {}
};

SaleLine line(int i)
{
    SaleLine l;
    l.setTm(QStringLiteral("69208800%1").arg(10000 + i));
    l.setWlId(QStringLiteral("TX%1").arg(i, 3, 10, QLatin1Char('0')));
    l.setWlName(QStringLiteral("圆领T恤第%1款").arg(i));
    l.setWlGg(QStringLiteral("XL"));
    l.setDwId(QStringLiteral("01"));
    l.setDwName(QStringLiteral("黑色"));
    l.setSl(1 + i % 3);
    l.setOdj(Money::fromUnits(50 + i));
    l.setZk(0.9);
    l.setSj(Money::fromUnits(45 + i));
    l.setSmoney(Money::fromUnits(45 + i) * l.sl());
    l.setOmoney(l.smoney());
    l.setG(static_cast<qint16>(i % 19 + 1));
    l.setNote(QStringLiteral("备注%1").arg(i));
    return l;
}

struct Till {
    Till()
    {
        QDir(dir.path()).mkdir(QStringLiteral("R"));
        session.formats.amountDecimals = 2;
        sale.applyAmountDecimals(2);
        sale.setCustomerDisplay(&display);
        for (int i = 0; i < Lines; ++i)
            sale.appendLine(line(i));
    }
    QTemporaryDir dir;
    Session session;
    QuietDisplay display;
    Sale sale{session.formats};
    Pricing pricing{sale, session.formats};
    FakeShopService shop;
    LocalStore store{QStringLiteral("/nonexistent/VORELZ")};
    Connection connection{session, shop, store};
    NoDialogs dialogs;
    NoSettlement settlement;
    MemberDesk members{connection, sale, pricing, dialogs, settlement};
    FirstRow picker;
    HeldSales held{ProgramFolder(dir.path()), connection, sale, members, picker};
};

void BM_HoldAndRestore(benchmark::State &state)
{
    Till till;
    for (auto _ : state) {
        if (till.held.hold().isEmpty() || till.held.retrieve() != HeldSales::RestoredText)
            state.SkipWithError("hold or restore failed");
    }
}
BENCHMARK(BM_HoldAndRestore)->Unit(benchmark::kMillisecond);

void BM_PlainFileBaseline(benchmark::State &state)
{
    Till till;
    const QByteArray bytes = encodeHeldSale(HeldSale{{}, {}, {}, 0, {}, till.sale.lines()});
    const QString path = QDir(till.dir.path()).filePath(QStringLiteral("R/plain"));
    for (auto _ : state) {
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
        out.close();
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(in.readAll().size());
    }
}
BENCHMARK(BM_PlainFileBaseline)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
