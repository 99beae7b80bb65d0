#pragma once
// A till around the slip committer for the tests: a demo shop (in process, or a shop server
// on PostgreSQL reached over HTTP), the local store, the session of cashier 01 on terminal
// 001, a sale, and plain objects for the sales screen, the member card and the settlement
// dialog (the real settlement rules with the cashier's typing scripted).

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <ostream>

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "printing/devices.h"
#include "sales/membercommands.h"
#include "sales/sale.h"
#include "server/localshopservice.h"
#include "server/remoteshopservice.h"
#include "loopbackserver.h"
#include "settlement/slipcommitter.h"
#include "fakeclock.h"
#include "fakeshopservice.h"
#include "recordingmessages.h"
#include "recordingreceiptprinter.h"
#include "recordingseriallibrary.h"
#include "testshop.h"

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

// Rows as "a|b|c" texts; NULL for a null value.
inline QStringList rowTexts(const ResultSet &rows)
{
    QStringList out;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < rows.columnCount(); ++c) {
            const Field f = rows.fieldAt(r, c);
            fields << (f.isNull() ? QStringLiteral("NULL") : f.asString());
        }
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

class CardHolder final : public MemberCommands {
public:
    CommandResult choose(const QString &) override { return CommandResult::nothing(); }
    CommandResult newCard() override { return CommandResult::nothing(); }
    CommandResult redeem() override { return CommandResult::nothing(); }
    CommandResult topUp(const QString &) override { return CommandResult::nothing(); }
    const MemberCard &card() const override { return card_; }
    qint64 redeemPoints() const override { return redeemPoints_; }
    void clearForNewSale() override
    {
        card_ = {};
        redeemPoints_ = 0;
    }

    MemberCard card_;
    qint64 redeemPoints_ = 0;
};

class ScreenRecord final : public SlipScreen {
public:
    bool practiceMode() const override { return practice; }
    bool printToggle() const override { return print; }
    bool darkPanel() const override { return false; }
    void setInputLocked(bool locked) override { locks << locked; }
    void showStatus(const QString &text) override { status = text; }
    void showSummary(const SettlementSummary &summary) override { summaries << summary; }
    void resetForNewSlip() override
    {
        ++resets;
        status.clear();
    }

    bool practice = false;
    bool print = true;
    QList<bool> locks;
    QString status;
    QList<SettlementSummary> summaries;
    int resets = 0;
};

// The settlement rules with the cashier's typing played in: each entry replaces a tender's
// text, then Enter on the cash field (or Escape when `escape` is set).
class ScriptedPrompt final : public SettlementPrompt {
public:
    bool settle(const SettlementRequest &request) override
    {
        requests << request;
        logic.prepare(request);
        for (const auto &[field, text] : typing)
            logic.edit(field, text);
        return !escape && logic.accept(SettlementField::Cash);
    }
    QString fieldText(SettlementField field) const override { return logic.text(field); }
    bool bankCardReadsEps() const override { return false; }

    Settlement logic;
    QList<std::pair<SettlementField, QString>> typing;
    bool escape = false;
    QList<SettlementRequest> requests;
};

// The demo shop in this process, the demo shop behind a shop server on PostgreSQL, or a
// server that cannot be reached (only the local store answers).
enum class ShopKind { InProcess, ServerPostgres, Unreachable };

inline std::string shopName(const ::testing::TestParamInfo<ShopKind> &info)
{
    return info.param == ShopKind::InProcess ? "InProcess" : "ServerPostgres";
}

// Demo clock: the open stock period runs from 2026-11-25.
inline QDateTime tillNow()
{
    return QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15));
}

class Till {
public:
    // `dialog` takes the place of the scripted settlement when given.
    explicit Till(ShopKind kind, SettlementPrompt *dialog = nullptr)
        : clock(tillNow()), settings(home.filePath(QStringLiteral("VOREL.DLL")))
    {
        const sql::BackendKind backend =
            kind == ShopKind::ServerPostgres ? sql::BackendKind::PostgreSQL : sql::BackendKind::SQLite;
        if (kind != ShopKind::Unreachable)
            shop = std::make_unique<TestShop>(backend, TestShop::Content::Demo, clock.now().date());
        if (kind == ShopKind::Unreachable) {
            auto gone = std::make_unique<FakeShopService>();
            gone->setReachable(false);
            service = std::move(gone);
        } else if (kind == ShopKind::InProcess) {
            service = std::make_unique<LocalShopService>(shop->location(), clock);
        } else {
            shopServer = startLoopbackServer(shop->location(), clock);
            auto remote = std::make_unique<RemoteShopService>(
                RemoteServer{QStringLiteral("127.0.0.1"), shopServer->port(), shopServer->messagePort(), false, {}}, 5);
            const LoginReply login = remote->thrGetLogin(
                LoginRequest{QStringLiteral("01"), getMD5(QStringLiteral("01")), QStringLiteral("vorel"),
                             QStringLiteral("CL")});
            EXPECT_EQ(login.rows.totalRowCount(), 1);
            service = std::move(remote);
        }

        const QString storePath = home.filePath(QString::fromLatin1(LocalStoreFileName));
        EXPECT_TRUE(QFile::copy(LocalStore::shippedCleanCopy(), storePath));
        QFile::setPermissions(storePath, QFile::ReadOwner | QFile::WriteOwner);
        store = std::make_unique<LocalStore>(storePath);
        store->open();

        session.identity.userId = QStringLiteral("01");
        session.terminal.terminalId = QStringLiteral("001");
        session.terminal.warehouseId = QStringLiteral("001");
        session.terminal.rights = CashierRights(QStringLiteral("11111111111111111"));
        session.connection.net = 0;
        session.formats.amountDecimals = 2;
        session.applyCompanyParams(kind == ShopKind::Unreachable
                                       ? QStringLiteral("1,1,1,1,1,1,1,1,0,1,1,1,1,1,1,1,1,1,1,1,1,10")
                                       : serverRows(QStringLiteral("SELECT param FROM sys_co")).value(0));
        sale.applyAmountDecimals(2);

        // Drawer on the printer at COM1, customer display at COM2.
        session.devices.printerEnabled = true;
        session.devices.displayEnabled = true;
        session.devices.drawerEnabled = true;
        session.devices.printerPort = QStringLiteral("COM1");
        session.devices.printerBaud = QStringLiteral("9600");
        session.devices.displayPort = QStringLiteral("COM2");
        session.devices.displayBaud = QStringLiteral("2400");
        session.devices.drawerConnection = 1;
        session.devices.drawerCommand = QStringLiteral("27,112,0,60,255");
        session.devices.pauseAfterReceipt = 0.5;
        devices = std::make_unique<Devices>(session, serial, PortMap(home.path()), notices);
        devices->openPorts();

        connection = std::make_unique<Connection>(session, *service, *store);
        committer = std::make_unique<SlipCommitter>(SlipCommitParts{
            *connection, settings, sale, members, screen, dialog ? *dialog : prompt, *devices, printer, messages, clock,
            [this](int ms) { pauses << ms; }});
        committer->StartNewSlip(false, false);
    }

    // The first column of every row of a server query.
    QStringList serverRows(const QString &sql, int column = 0)
    {
        ResultSet rows;
        EXPECT_TRUE(service->posOpenSql(rows, sql)) << sql.toStdString();
        QStringList out;
        const QStringList texts = rowTexts(rows);
        for (const QString &t : texts)
            out << (column < 0 ? t : t.section(QLatin1Char('|'), column, column));
        return out;
    }
    QStringList server(const QString &sql) { return serverRows(sql, -1); }
    QStringList local(const QString &sql) { return rowTexts(store->query(sql)); }

    // The member labels as choosing the card leaves them.
    void selectMember(const QString &vipId)
    {
        ResultSet rows;
        ASSERT_TRUE(service->posOpenSql(rows, QStringLiteral("SELECT VIPID, VIPZK, VIPF, VIPM FROM D702 WHERE VIPID=")
                                                  + sqlQuote(vipId)));
        ASSERT_TRUE(rows.first());
        members.card_.vipId = vipId;
        members.card_.rate = rows.field(QStringLiteral("VIPZK")).asMoney();
        members.card_.points = rows.field(QStringLiteral("VIPF")).asInt();
        members.card_.balance = rows.field(QStringLiteral("VIPM")).asMoney();
        sale.setMember(true, members.card_.rate);
    }

    // An item line as pricing leaves it: style, colour, size index, quantity, tag price,
    // selling price, points flag, group and note.
    void ring(const char *style, const char *colour, int size, int quantity, double tag, double price, bool points,
              int group = 0, const char *note = "")
    {
        SaleLine line;
        line.setWlId(QString::fromLatin1(style));
        line.setDwId(QString::fromLatin1(colour));
        line.setMIndex(qint16(size));
        line.setSl(quantity);
        line.setOdj(tag);
        line.setSj(price);
        line.setSmoney(Money::fromDouble(price) * quantity);
        line.setOmoney(Money::fromDouble(price) * quantity);
        line.setZk(tag != 0.0 ? (Money::fromDouble(price).dividedBy(Money::fromDouble(tag))->toDouble()) : 1.0);
        line.setVipf(points);
        line.setG(qint16(group));
        line.setNote(QString::fromUtf8(note));
        sale.appendLine(line);
        sale.refreshTotals();
    }

    // An open shift of cashier 01 in the local store.
    void goOnDuty()
    {
        session.terminal.shiftEnabled = true;
        session.terminal.onDuty = true;
        store->execute(QStringLiteral("INSERT INTO DB_INFO(ZD_ID,BNOID,CLASSID, USER_ID, BDATE, BMONEY, EMONEY, SL) "
                                      "VALUES ('001','00110000000','1','01','2026-12-05 09:00:00','500',0,0);"));
    }

    QByteArray drawerBytes() const { return serial.received(1); }
    QByteArray displayBytes() const { return serial.received(2); }

    QTemporaryDir home;
    FakeClock clock;
    TerminalSettings settings;
    std::unique_ptr<TestShop> shop;
    std::unique_ptr<server::ShopServer> shopServer;
    std::unique_ptr<ShopService> service;
    std::unique_ptr<LocalStore> store;
    Session session;
    std::unique_ptr<Connection> connection;
    Sale sale{session.formats};
    CardHolder members;
    ScreenRecord screen;
    ScriptedPrompt prompt;
    RecordingSerialLibrary serial;
    RecordingMessages notices;
    std::unique_ptr<Devices> devices;
    RecordingReceiptPrinter printer;
    RecordingMessages messages;
    QList<int> pauses;
    std::unique_ptr<SlipCommitter> committer;
};

} // namespace vorel::test
