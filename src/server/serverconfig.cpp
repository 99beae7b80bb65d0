#include "server/serverconfig.h"

#include <QFile>
#include <QHash>

namespace vorel::server {

namespace {

const QCommandLineOption *findOption(const QList<QCommandLineOption> &known, const QString &name)
{
    for (const QCommandLineOption &option : known) {
        if (option.names().contains(name))
            return &option;
    }
    return nullptr;
}

// 1 for a switch that is on, 0 for off, -1 for a word that is neither.
int switchValue(const QString &value)
{
    static const QStringList on{QStringLiteral("yes"), QStringLiteral("true"), QStringLiteral("on"), QStringLiteral("1")};
    static const QStringList off{QStringLiteral("no"), QStringLiteral("false"), QStringLiteral("off"), QStringLiteral("0")};
    if (on.contains(value, Qt::CaseInsensitive))
        return 1;
    if (off.contains(value, Qt::CaseInsensitive))
        return 0;
    return -1;
}

} // namespace

ConfigArguments configArguments(const QString &text, const QList<QCommandLineOption> &known)
{
    ConfigArguments out;
    QHash<QString, int> seenOnLine;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const auto wrong = [&](const QString &what) {
            out.arguments.clear();
            out.error = QStringLiteral("line %1: %2").arg(lineNumber).arg(what);
            return out;
        };
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        // The line itself is not repeated: it may be a mistyped password.
        if (equals < 0)
            return wrong(QStringLiteral("expected \"option = value\""));
        const QString name = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        const QCommandLineOption *option = findOption(known, name);
        if (!option || name == QLatin1String("config") || name == QLatin1String("help") || name.size() < 2)
            return wrong(QStringLiteral("unknown option \"%1\"").arg(name));
        if (seenOnLine.contains(name))
            return wrong(QStringLiteral("\"%1\" is already set on line %2").arg(name).arg(seenOnLine.value(name)));
        seenOnLine.insert(name, lineNumber);
        if (value.isEmpty())
            continue;
        if (!option->valueName().isEmpty()) {
            out.arguments << QStringLiteral("--%1=%2").arg(name, value);
            continue;
        }
        const int on = switchValue(value);
        if (on < 0)
            return wrong(QStringLiteral("\"%1\" is a switch: yes or no, not \"%2\"").arg(name, value));
        if (on)
            out.arguments << QStringLiteral("--") + name;
    }
    return out;
}

ConfigArguments readConfigFile(const QString &path, const QList<QCommandLineOption> &known)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigArguments out;
        out.error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return out;
    }
    ConfigArguments out = configArguments(QString::fromUtf8(file.readAll()), known);
    if (!out.error.isEmpty())
        out.error = path + QStringLiteral(", ") + out.error;
    return out;
}

} // namespace vorel::server
