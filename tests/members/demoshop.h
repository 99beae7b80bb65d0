#pragma once
// The member editor's tests run against the demo shop through the in-process shop service.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/clock.h"
#include "core/session.h"
#include "members/membereditor.h"
#include "server/localshopservice.h"
#include "fakeclock.h"
#include "testshop.h"

namespace vorel::test {

inline std::string str(const QString &s)
{
    return s.toStdString();
}

// The editor on the demo shop, run by the in-process shop service.
class DemoShopEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        shop_ = std::make_unique<LocalShopService>(demo_.location(), clock_);
        ASSERT_TRUE(shop_->isOpen()) << str(shop_->openError());
        editor_ = std::make_unique<MemberEditor>(*shop_, session_, clock_);
    }

    ResultSet card(const QString &id)
    {
        ResultSet rows;
        shop_->posOpenSql(rows, QStringLiteral("select * from D702 where VIPID='%1'").arg(id));
        return rows;
    }

    FakeClock clock_{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    test::TestShop demo_{sql::BackendKind::SQLite, test::TestShop::Content::Demo, QDate(2026, 12, 5)};
    Session session_;
    std::unique_ptr<LocalShopService> shop_;
    std::unique_ptr<MemberEditor> editor_;
};

} // namespace vorel::test
