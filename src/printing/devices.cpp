#include "printing/devices.h"

#include <QFile>
#include <array>
#include <utility>

#include "core/messages.h"
#include "core/session.h"
#include "core/text.h"
#include "printing/seriallibrary.h"

namespace vorel {

namespace {

constexpr char Esc = 0x1B;

struct DrawerCommand {
    const char *text;
    QByteArray bytes;
};

const std::array<DrawerCommand, 6> &drawerCommands()
{
    static const std::array<DrawerCommand, 6> commands{{
        {"27,112,0,60,255", QByteArray("\x1B\x70\x00\x3C\xFF", 5)},
        {"27,112,0,128,128", QByteArray("\x1B\x70\x00\x80\x80", 5)},
        {"2,77", QByteArray("\x02\x4D", 2)},
        {"7", QByteArray("\x07", 1)},
        {"7,28", QByteArray("\x07\x1C", 2)},
        {"221", QByteArray("\xDD", 1)},
    }};
    return commands;
}

bool startsWith(const QString &name, QLatin1String prefix)
{
    return name.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace

const QByteArray Devices::SerialPrefix("\x1B\x40\x1C\x26\x1B\x5C\xCF\x00", 8);

const QString Devices::PrintErrorText = QStringLiteral(
    "打印出现错误!以下情况均有可能会造成此错误:\r\n"
    "1.部分电脑无LTP口，多数笔记本都无LTP口\r\n"
    "2.如初次使用打印，请按F10检查打印机参数设置!\r\n"
    "3.如一直打印正常，仅此次出现错误，请检查硬件电源，数据线等有接触良好!\r\n"
    "4.如无法解决,请返回主窗口,按F6暂时关闭打印!");

Devices::Devices(Session &session, SerialLibrary &serial, PortMap ports, Messages &messages)
    : session_(session), serial_(serial), ports_(std::move(ports)), messages_(messages)
{
}

Devices::Route Devices::route(const QString &portName)
{
    if (startsWith(portName, QLatin1String("L")) || startsWith(portName, QLatin1String("C:")))
        return Route::File;
    if (startsWith(portName, QLatin1String("C")))
        return Route::Serial;
    return Route::None;
}

QByteArray Devices::displayMessage(QChar code, const QString &value)
{
    QByteArray message;
    message += Esc;
    message += 's';
    message += toGbk(QString(code));
    message += Esc;
    message += "QA";
    message += toGbk(value);
    message += '\r';
    return message;
}

QByteArray Devices::drawerBytes(const QString &command)
{
    for (const DrawerCommand &known : drawerCommands()) {
        if (command == QLatin1String(known.text))
            return known.bytes;
    }
    return toGbk(command);
}

bool Devices::rawPrint(const QString &text, const QString &port)
{
    return rawPrintBytes(toGbk(text), port);
}

bool Devices::rawPrintBytes(const QByteArray &bytes, const QString &port)
{
    switch (route(port)) {
    case Route::File:
        return writeFile(bytes, port);
    case Route::Serial:
        return serial_.send(port, SerialPrefix + bytes);
    case Route::None:
        break;
    }
    return false;
}

bool Devices::writeFile(const QByteArray &bytes, const QString &port)
{
    QFile file(ports_.filePath(port));
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size()
                    && file.flush();
    file.close();
    if (ok && file.error() == QFileDevice::NoError)
        return true;
    messages_.notice(PrintErrorText);
    return false;
}

void Devices::showOnDisplay(QChar code, const QString &value, const QString &port)
{
    if (port.isEmpty() && !session_.devices.displayEnabled)
        return;
    const QString target = port.isEmpty() ? session_.devices.displayPort : port;
    if (!target.isEmpty())
        rawPrintBytes(displayMessage(code, value), target);
}

void Devices::openDrawer(const QString &printerPort, const QString &displayPort, const QString &command, bool force,
                         int connection)
{
    if (!session_.devices.drawerEnabled && !force)
        return;
    const QString &port = connection == 1 ? printerPort : displayPort;
    rawPrintBytes(drawerBytes(command.isEmpty() ? session_.devices.drawerCommand : command), port);
}

void Devices::openDrawer(bool force)
{
    const Session::Devices &d = session_.devices;
    openDrawer(d.printerPort, d.displayPort, d.drawerCommand, force, d.drawerConnection);
}

void Devices::openPorts()
{
    Session::Devices &d = session_.devices;
    d.printerPortOpen = false;
    d.displayPortOpen = false;
    if (!d.printerEnabled && !d.displayEnabled && !d.drawerEnabled)
        return;
    if (startsWith(d.printerPort, QLatin1String("C")))
        d.printerPortOpen = serial_.comInit(serialPortNumber(d.printerPort), d.printerBaud.trimmed().toInt());
    if (startsWith(d.displayPort, QLatin1String("C")))
        d.displayPortOpen = serial_.comInit(serialPortNumber(d.displayPort), d.displayBaud.trimmed().toInt());
}

void Devices::closePorts()
{
    Session::Devices &d = session_.devices;
    if (d.printerPortOpen || d.displayPortOpen)
        serial_.comRest();
    d.printerPortOpen = false;
    d.displayPortOpen = false;
}

void Devices::setPorts(PortMap ports)
{
    closePorts();
    ports_ = std::move(ports);
}

bool Devices::reopenPort(const QString &port, const QString &baud)
{
    serial_.comRest();
    return serial_.comInit(serialPortNumber(port), baud.trimmed().toInt());
}

} // namespace vorel
