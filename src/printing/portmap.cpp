#include "printing/portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/inifile.h"
#include "core/programfolder.h"

namespace vorel {

namespace {

constexpr int MaxPortNumber = 9;

bool validNumber(int number)
{
    return number >= 1 && number <= MaxPortNumber;
}

QString defaultSerialDevice(int number)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QString defaultParallelDevice(int number)
{
#ifdef Q_OS_WIN
    return QStringLiteral("LPT%1").arg(number);
#else
    return QStringLiteral("/dev/lp%1").arg(number - 1);
#endif
}

const QRegularExpression &portKeyPattern()
{
    static const QRegularExpression re(QStringLiteral("^(COM|LPT)([1-9])$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &driveKeyPattern()
{
    static const QRegularExpression re(QStringLiteral("^DRIVE([A-Z])$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &drivePathPattern()
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z]):(.*)$"),
                                       QRegularExpression::DotMatchesEverythingOption);
    return re;
}

} // namespace

PortMap::PortMap(QString programFolder)
    : programFolder_(programFolder.isEmpty() ? QDir::currentPath() : QDir(programFolder).absolutePath())
{
}

PortMap PortMap::fromSettingsFile(const QString &settingsPath)
{
    PortMap map(QFileInfo(settingsPath).absolutePath());
    const IniFile file(settingsPath);
    const QString section = QString::fromLatin1(Section);
    for (const QString &key : file.sectionKeys(section)) {
        QString value = file.readString(section, key);
        if (value.isEmpty())
            continue;
#ifndef Q_OS_WIN
        if (QDir::isRelativePath(value))
            value = ProgramFolder(map.programFolder_).path(value);
#endif
        if (const auto port = portKeyPattern().match(key); port.hasMatch()) {
            const int number = port.captured(2).toInt();
            if (port.captured(1).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0)
                map.setSerialDevice(number, value);
            else
                map.setParallelDevice(number, value);
        } else if (const auto drive = driveKeyPattern().match(key); drive.hasMatch()) {
            map.setDriveFolder(drive.captured(1).at(0), value);
        }
    }
    return map;
}

QString PortMap::serialDevice(int number) const
{
    if (!validNumber(number))
        return {};
    const auto it = serial_.find(number);
    return it != serial_.end() ? it->second : defaultSerialDevice(number);
}

QString PortMap::parallelDevice(int number) const
{
    if (!validNumber(number))
        return {};
    const auto it = parallel_.find(number);
    return it != parallel_.end() ? it->second : defaultParallelDevice(number);
}

QString PortMap::filePath(const QString &portName) const
{
    if (const auto port = portKeyPattern().match(portName);
        port.hasMatch() && port.captured(1).compare(QLatin1String("LPT"), Qt::CaseInsensitive) == 0)
        return parallelDevice(port.captured(2).toInt());
#ifdef Q_OS_WIN
    if (drivePathPattern().match(portName).hasMatch())
        return portName;
    return ProgramFolder(programFolder_).path(portName);
#else
    if (const auto drive = drivePathPattern().match(portName); drive.hasMatch()) {
        const auto it = drives_.find(drive.captured(1).at(0).toUpper().unicode());
        const QString root = it != drives_.end() ? it->second : programFolder_;
        QString rest = drive.captured(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (rest.startsWith(QLatin1Char('/')))
            rest.remove(0, 1);
        return ProgramFolder(root).path(rest);
    }
    return ProgramFolder(programFolder_).path(portName);
#endif
}

void PortMap::setSerialDevice(int number, const QString &path)
{
    if (validNumber(number))
        serial_[number] = path;
}

void PortMap::setParallelDevice(int number, const QString &path)
{
    if (validNumber(number))
        parallel_[number] = path;
}

void PortMap::setDriveFolder(QChar drive, const QString &folder)
{
    drives_[drive.toUpper().unicode()] = folder;
}

} // namespace vorel
