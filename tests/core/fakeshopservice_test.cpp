#include "fakeshopservice.h"

#include <gtest/gtest.h>

using namespace vorel;

// ---- execSql on top of posExecSql

TEST(ShopServiceExecSql, PassesYAndThrowsAnythingElse)
{
    FakeShopService fake;
    fake.onExec("insert into d712", "违反了 PRIMARY KEY 约束“PK_D712”");
    EXPECT_EQ(fake.execSql(opcode::Plain, {}, {}, "update d712 set x=1", 3), ReplyOk);
    try {
        fake.execSql(opcode::Slip, "S001", "Add", "insert into d712 values (1)", 3);
        FAIL() << "a refused batch must throw";
    } catch (const ShopServiceError &e) {
        EXPECT_EQ(e.message(), "违反了 PRIMARY KEY 约束“PK_D712”");
    }
    fake.setReachable(false);
    EXPECT_THROW(fake.execSql(opcode::Plain, {}, {}, "update d712 set x=1", 3), ShopServiceError);
    ASSERT_EQ(fake.calls().size(), 3);
    EXPECT_EQ(fake.calls().at(1).code, opcode::Slip);
}
