// Group promotions: recomputing the cash-off line of a big sale (200 lines over the 19
// promotion groups) after one line changed, the way every command ends. Baseline for the
// ratio: one loop over the same 200 lines summing their amounts. Target: well under 2 ms
// per recomputation.

#include <benchmark/benchmark.h>

#include "core/session.h"
#include "sales/customerdisplay.h"
#include "sales/pricing.h"
#include "sales/sale.h"

using namespace vorel;

namespace {

constexpr int Lines = 200;

// Shows nothing, but the total is still formatted for it.
class QuietDisplay : public CustomerDisplay {
public:
    void show(Indicator, const QString &value) override { benchmark::DoNotOptimize(value.size()); }
};

struct BigSale {
    BigSale()
    {
        session.formats.amountDecimals = 2;
        sale.applyAmountDecimals(2);
        sale.setCustomerDisplay(&display);
        for (int i = 0; i < Lines; ++i) {
            const int g = i % 19 + 1;
            SaleLine l;
            l.setWlId(QStringLiteral("K%1").arg(i));
            l.setSl(1 + i % 3);
            l.setOdj(Money::fromUnits(50 + i));
            l.setZk(1.0);
            l.setSj(Money::fromUnits(50 + i));
            l.setSmoney(Money::fromUnits(50 + i) * l.sl());
            l.setOmoney(l.smoney());
            l.setG(static_cast<qint16>(g));
            // Odd groups count charged amounts against a discount, even groups count
            // pieces against an amount per multiple.
            if (g % 2) {
                l.setFlag3(1);
                l.setClazk(0);
                l.setF1(300);
                l.setF2(0.9);
                l.setCla(1);
            } else {
                l.setFlag1(1);
                l.setClazk(1);
                l.setF1(5);
                l.setF2(20.0);
            }
            sale.appendLine(l);
        }
        pricing.recalcGroupOffer();
    }

    Session session;
    Sale sale{session.formats};
    Pricing pricing{sale, session.formats};
    QuietDisplay display;
};

void BM_SumAmountsBaseline(benchmark::State &state)
{
    BigSale s;
    for (auto _ : state) {
        Money total;
        for (const SaleLine &l : s.sale.lines())
            total += Money::fromDouble(l.smoney());
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_SumAmountsBaseline);

void BM_RecalcGroupOffer(benchmark::State &state)
{
    BigSale s;
    SaleLine changed = s.sale.line(0);
    const double amounts[2] = {changed.smoney(), changed.smoney() + 100};
    int flip = 0;
    for (auto _ : state) {
        // A command changed one line: its group moves, the cash-off line follows.
        changed.setSmoney(amounts[flip ^= 1]);
        s.sale.replaceLine(0, changed);
        s.pricing.recalcGroupOffer();
    }
    state.counters["lines"] = s.sale.lineCount();
}
BENCHMARK(BM_RecalcGroupOffer)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
