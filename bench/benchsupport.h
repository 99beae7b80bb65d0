#pragma once
// What several benchmarks share: a shop of 100,000 generated styles (about a million
// barcodes) and the local store filled from it, both made once and kept beside the programs
// ("bench-scan-shop.db", "bench-scan-VORELZ"; delete them to start over), a small SQLite
// handle for bare baselines, and per-iteration samples reported as median and p99.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QString>
#include <QStringList>
#include <chrono>
#include <string>
#include <vector>

namespace vorel::bench {

constexpr int BigShopStyles = 100000;

using Stopwatch = std::chrono::steady_clock;

inline double ms(Stopwatch::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the calling thread, in milliseconds: on a shared machine it leaves out the time
// the thread waited for a core.
double threadCpuMs();

// A file kept beside the benchmark programs.
QString keptFile(const char *name);

// The shop with the generated catalogue.
QString bigShopFile();
// The local store with the mirror of warehouse 001 filled from that shop (the rows the
// synchronisation downloads, copied inside SQLite).
QString bigLocalStoreFile(const QString &shop);

// Barcodes of `count` units stocked in warehouse 001 and sold at the till, in random order.
QStringList stockedBarcodes(const QString &shopFile, int count);

class Db {
public:
    explicit Db(const QString &path);
    ~Db();
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;
    void exec(const QString &sql) const;
    // Runs a query to its end; the number of rows.
    int rows(const QString &sql) const;
    // The first column of every row, as text.
    QStringList column(const QString &sql) const;

private:
    sqlite3 *db_ = nullptr;
};

// Median, p99 and maximum of the samples (milliseconds) as the benchmark's counters, their
// names starting with `prefix`.
void reportPercentiles(benchmark::State &state, std::vector<double> &samples, const std::string &prefix = {});

} // namespace vorel::bench
