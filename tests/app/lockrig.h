#pragma once
// A screen lock for cashier 01 in front of the demo shop served in process, over a fresh copy
// of the shipped local store.

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "app/screenlock.h"
#include "core/clock.h"
#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "server/localshopservice.h"
#include "fakeclock.h"
#include "freshstore.h"
#include "testshop.h"

namespace vorel::test {

struct LockRig {
    LockRig()
    {
        EXPECT_TRUE(shop.isOpen()) << shop.openError().toStdString();
        session.identity.userId = QStringLiteral("01");
        session.connection.loginFlag = true;
    }

    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    TestShop demo{sql::BackendKind::SQLite, TestShop::Content::Demo, QDate(2026, 12, 5)};
    QTemporaryDir storeDir;
    std::unique_ptr<LocalStore> store = freshLocalStore(storeDir);
    LocalShopService shop{demo.location(), clock};
    Session session;
    Connection connection{session, shop, *store};
    std::unique_ptr<ScreenLock> lock = std::make_unique<ScreenLock>(connection, clock);
};

} // namespace vorel::test
