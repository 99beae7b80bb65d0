// The start-up read of the configuration from a program folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/terminalconfig.h"
#include "core/inifile.h"
#include "core/programfolder.h"
#include "core/session.h"
#include "core/text.h"
#include "printing/devices.h"
#include "printing/portmap.h"

#include "recordingmessages.h"
#include "recordingseriallibrary.h"

using namespace vorel;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct ConfigRig {
    ConfigRig() : folder(dir.path()), devices(session, serial, PortMap(dir.path()), notices) {}

    TerminalConfig load(QStringList *steps = nullptr)
    {
        return loadTerminalConfig(folder, session, devices, [steps](int, const QString &text) {
            if (steps)
                *steps << text;
        });
    }
    void set(const QString &section, const QString &key, const QString &value)
    {
        IniFile(dir.filePath(QStringLiteral("VOREL.DLL"))).writeString(section, key, value);
    }

    QTemporaryDir dir;
    ProgramFolder folder;
    Session session;
    RecordingSerialLibrary serial;
    RecordingMessages notices;
    Devices devices;
};

TEST(TerminalConfig, SettingsTemplatesSkinsAndPorts)
{
    ConfigRig rig;
    // The heading and footing are read; a missing line template keeps its old text.
    writeFile(rig.dir.filePath(QStringLiteral("postop")), toGbk(QStringLiteral("欢迎光临")));
    writeFile(rig.dir.filePath(QStringLiteral("POSEND")), toGbk(QStringLiteral("谢谢")));
    rig.session.templates.posDe = QStringLiteral("kept");
    QDir(rig.dir.path()).mkdir(QStringLiteral("skin"));
    for (const char *name : {"skin/skinA.skn", "skin/skinB.skn", "skin/notes.txt"})
        writeFile(rig.dir.filePath(QString::fromLatin1(name)), "QWidget { color: red; }");
    rig.set(QStringLiteral("sys"), QStringLiteral("NET"), QStringLiteral("0"));
    rig.set(QStringLiteral("sys"), QStringLiteral("POS_Title"), QStringLiteral("南京路店"));
    rig.set(QStringLiteral("POS"), QStringLiteral("NUM2"), QStringLiteral("3"));
    rig.set(QStringLiteral("POS"), QStringLiteral("MINKEY"), QStringLiteral("4"));
    rig.set(QStringLiteral("POS"), QStringLiteral("CHK1"), QStringLiteral("1"));
    rig.set(QStringLiteral("POS"), QStringLiteral("cmb1"), QStringLiteral("COM3"));
    rig.set(QStringLiteral("POS"), QStringLiteral("cmb2"), QStringLiteral("9600"));
    rig.set(QStringLiteral("POS"), QStringLiteral("CHK2"), QStringLiteral("1"));
    rig.set(QStringLiteral("POS"), QStringLiteral("cmb3"), QStringLiteral("LPT1"));
    IniFile(rig.dir.filePath(QStringLiteral("vorel"))).writeString(QStringLiteral("POS"),
                                                                      QStringLiteral("skinlistindex"),
                                                                      QStringLiteral("1"));
    QStringList steps;
    const TerminalConfig c = rig.load(&steps);
    EXPECT_EQ(rig.session.templates.posTop, QStringLiteral("欢迎光临"));
    EXPECT_EQ(rig.session.templates.posEnd, QStringLiteral("谢谢"));
    EXPECT_EQ(rig.session.templates.posDe, QStringLiteral("kept"));
    EXPECT_EQ(c.title, QStringLiteral("南京路店"));
    EXPECT_EQ(rig.session.identity.coName, c.title);
    EXPECT_EQ(rig.session.connection.net, 0);
    EXPECT_FALSE(steps.contains(loadstep::Service)); // the network edition starts no service
    EXPECT_EQ(c.lockSeconds, 180);
    EXPECT_EQ(c.minimiseHotKey, 4);
    EXPECT_EQ(c.skins, (QStringList{"skinA.skn", "skinB.skn"}));
    EXPECT_EQ(c.skinIndex, 1);
    // Only a port whose name starts with C is a serial port.
    EXPECT_TRUE(rig.serial.isOpen(3));
    EXPECT_TRUE(rig.session.devices.printerPortOpen);
    EXPECT_FALSE(rig.session.devices.displayPortOpen);
}

} // namespace
