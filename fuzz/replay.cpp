// Feeds kept inputs to the fuzz targets without libFuzzer, so an ordinary build replays every
// input that once broke something. `replay DIR` runs DIR/<target>/* through each target (an
// invariant that breaks aborts); `seeds SOURCE OUT` writes the seed inputs.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

#include "targets.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("seeds")) {
        vorel::fuzz::writeSeeds(args[2].toStdString(), args[3].toStdString());
        return 0;
    }
    if (args.size() != 3 || args[1] != QLatin1String("replay")) {
        std::fprintf(stderr, "usage: vorel-fuzz-replay replay DIR | seeds SOURCE OUT\n");
        return 2;
    }
    int inputs = 0;
    for (const auto &target : vorel::fuzz::Targets) {
        const QDir dir(args[2] + u'/' + QLatin1String(target.name));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
                return 1;
            }
            const QByteArray bytes = f.readAll();
            std::fprintf(stderr, "%s/%s\n", target.name, qPrintable(name));
            target.run(reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
            ++inputs;
        }
    }
    std::printf("%d kept inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
