#pragma once
// The shop with 100,000 generated styles (about a million barcodes) that the benchmarks
// share: made once beside the benchmark programs ("bench-scan-shop.db"); delete it to
// start over.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "core/clock.h"
#include "server/shopdatabase.h"

namespace vorel::bench {

constexpr int BigShopStyles = 100000;

inline QString besideProgram(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(name));
}

inline QString bigShopFile()
{
    const QString path = besideProgram("bench-scan-shop.db");
    if (QFileInfo::exists(path))
        return path;
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    std::fprintf(stderr, "making the shop with %d styles (once)...\n", BigShopStyles);
    SystemClock clock;
    server::ShopDatabase shop(building, clock);
    server::CreateOptions options;
    options.demo = true;
    options.extraStyles = BigShopStyles;
    shop.create(options);
    QFile::rename(building, path);
    return path;
}

} // namespace vorel::bench
