#pragma once
// A till in front of the login: settings files in a temporary program folder, a fresh local
// store, and a demo shop served in process (or a shop service that never answers).

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

#include "app/loginflow.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "fakeclock.h"
#include "fakeshopservice.h"
#include "lockrig.h"
#include "recordingmessages.h"

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

// Records where the login went; the service is fixed for the test.
class RigLink final : public ShopLink {
public:
    RigLink(Session &session, ShopService &service, LocalStore &store)
        : service_(service), connection_(session, service, store)
    {
    }
    QString resolveHost(const QString &name) override { return name; }
    bool connect(const QString &h, int p, int) override
    {
        host = h;
        port = p;
        return answers;
    }
    void startStandAlone() override { ++standAloneStarts; }
    ShopService &service() override { return service_; }
    Connection &connection() override { return connection_; }

    QString host;
    int port = 0;
    bool answers = true;
    int standAloneStarts = 0;

private:
    ShopService &service_;
    Connection connection_;
};

class RigRegistration final : public TerminalRegistration {
public:
    bool registerTerminal(const QString &userId, const ResultSet &warehouses) override
    {
        users << userId;
        offered = warehouses.rowCount();
        return answer;
    }
    QStringList users;
    int offered = 0;
    bool answer = false;
};

class LoginRig {
public:
    enum class Shop { Demo, Unreachable };

    explicit LoginRig(Shop kind = Shop::Demo)
        : settings(home.filePath(QStringLiteral("VOREL.DLL"))), prefs(home.filePath(QStringLiteral("vorel.ini")))
    {
        if (kind == Shop::Demo) {
            shop = std::make_unique<TestShop>(sql::BackendKind::SQLite, TestShop::Content::Demo,
                                              shopClock.now().date());
            service = std::make_unique<LocalShopService>(shop->location(), shopClock);
        } else {
            auto gone = std::make_unique<FakeShopService>();
            gone->setReachable(false);
            service = std::move(gone);
        }
        store = freshLocalStore(home);
        session.connection.net = 0;
        link = std::make_unique<RigLink>(session, *service, *store);
        flow = std::make_unique<LoginFlow>(session, settings, prefs, tillClock, messages, *link, registration);
        flow->setComputerName(QStringLiteral("TILL-01"));
    }

    // Runs a statement on the shop.
    void shopExec(const QString &sql)
    {
        ASSERT_EQ(service->posExecSql(opcode::Plain, QString(), QString(), sql, 3), ReplyOk) << sql.toStdString();
    }
    // An unregistered PC, and a second warehouse beside the demo shop's.
    ResultSet newPcWithTwoWarehouses()
    {
        settings.setMacAddress(QStringLiteral("PC-NEW-7"));
        shopExec(QStringLiteral("insert into D1007 (CK_ID, CK_NAME) values ('002', '徐家汇店')"));
        ResultSet rows;
        EXPECT_TRUE(service->posOpenSql(rows, QStringLiteral("select ck_id,ck_name from d1007 order by ck_id")));
        return rows;
    }
    qint64 shopCount(const QString &sql)
    {
        ResultSet rows;
        EXPECT_TRUE(service->posOpenSql(rows, sql));
        return rows.first() ? rows.field(0).asInt() : -1;
    }

    QTemporaryDir home;
    FakeClock shopClock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0))};
    FakeClock tillClock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 5))};
    TerminalSettings settings;
    UserPreferences prefs;
    Session session;
    RecordingMessages messages;
    RigRegistration registration;
    std::unique_ptr<TestShop> shop;
    std::unique_ptr<ShopService> service;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<RigLink> link;
    std::unique_ptr<LoginFlow> flow;
};

} // namespace vorel::test
