#include "app/calculator.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace vorel {

namespace {

constexpr int StartTimeoutMs = 5000;
constexpr int CloseTimeoutMs = 2000;

} // namespace

QStringList DesktopCalculator::defaultPrograms()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("calc")};
#else
    return {QStringLiteral("gnome-calculator"), QStringLiteral("galculator"),
            QStringLiteral("kcalc"),            QStringLiteral("qalculate-gtk"),
            QStringLiteral("qalculate-qt"),     QStringLiteral("mate-calc"),
            QStringLiteral("xcalc")};
#endif
}

DesktopCalculator::DesktopCalculator(QStringList programs) : programs_(std::move(programs))
{
    // Nothing the calculator prints belongs in the till's output.
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
}

DesktopCalculator::~DesktopCalculator()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(CloseTimeoutMs)) {
        process_.kill();
        process_.waitForFinished(CloseTimeoutMs);
    }
}

bool DesktopCalculator::isRunning()
{
    if (process_.state() == QProcess::NotRunning)
        return false;
    // Without an event loop turning, the end of the process is only noticed when asked.
    return !process_.waitForFinished(0);
}

QString DesktopCalculator::findProgram() const
{
    for (const QString &name : programs_) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool DesktopCalculator::open()
{
    if (isRunning())
        return true;
    const QString program = findProgram();
    if (program.isEmpty())
        return false;
    process_.setProgram(program);
    process_.setArguments({});
    process_.setWorkingDirectory(QFileInfo(program).absolutePath());
    process_.start();
    return process_.waitForStarted(StartTimeoutMs);
}

} // namespace vorel
