#pragma once
// A terminal settings form on a fresh program folder, with recording devices, a fake shop
// server and message boxes that are only remembered.

#include <QTemporaryDir>

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "printing/devices.h"
#include "printing/sessionreceiptprinter.h"
#include "printing/terminalsettingsform.h"

#include "fakeclock.h"
#include "fakeshopservice.h"
#include "recordingmessages.h"
#include "recordingseriallibrary.h"

namespace vorel {

struct TerminalSettingsRig {
    QTemporaryDir dir;
    Session session;
    RecordingSerialLibrary serial;
    RecordingMessages notices;
    FakeClock clock;
    Devices devices{session, serial, PortMap(dir.path()), notices};
    SessionReceiptPrinter printer{session, devices, notices, clock};
    FakeShopService shop;
    LocalStore store{dir.filePath(QStringLiteral("unused"))};
    Connection connection{session, shop, store};
    RecordingMessages messages;
    TerminalSettingsForm form{session, devices, printer, connection, messages, ProgramFolder(dir.path())};

    QString settingsPath() const { return dir.filePath(QStringLiteral("VOREL.DLL")); }
};

} // namespace vorel
