#include "members/membereditor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/session.h"
#include "demoshop.h"
#include "fakeclock.h"
#include "fakeshopservice.h"

using namespace vorel;
using namespace vorel::test;
using EditorField = MemberEditor::Field;

TEST_F(DemoShopEditor, SavesTheCardWithQuotesIntact)
{
    editor_->openForAdd();
    MemberForm &f = editor_->form();
    EXPECT_EQ(f.opened, QDate(2026, 12, 5));
    EXPECT_EQ(f.expires, QDate(2028, 12, 4));
    f.cardNo = QStringLiteral("vx08");
    f.name = QStringLiteral("O'Hara");
    f.age = QStringLiteral("28");
    f.phone = QStringLiteral("13312345678");
    f.job = QStringLiteral("工程师");
    f.email = QStringLiteral("oh@example.com");
    f.address = QStringLiteral("浦东新区");
    f.birthday = QStringLiteral("12.05");
    f.grade = 1;
    f.status = 2;
    f.discount = QStringLiteral(".950");
    f.points = QStringLiteral("100");
    f.balance = QStringLiteral("20.5");
    f.note = QStringLiteral("介绍人:孙丽's");

    const auto problem = editor_->save();
    ASSERT_FALSE(problem) << str(problem->message);
    EXPECT_EQ(str(editor_->resultText()), "*VX08");

    ResultSet row = card(QStringLiteral("VX08"));
    ASSERT_EQ(row.rowCount(), 1);
    const std::pair<const char *, const char *> expected[] = {
        {"VIPNAME", "O'Hara"},     {"PYM", "OHARA"},          {"VIPTEL", "13312345678"},
        {"VIPFAX", "工程师"},      {"VIPADD", "浦东新区"}, {"VIPEMAIL", "oh@example.com"},
        {"VIPNUM", "28"},          {"BDATE", "2026-12-05 00:00:00"}, {"EDATE", "2028-12-04 00:00:00"},
        {"BIRDATE", "12.5"},       {"VIPGRARD", "1"},      {"VIPZK", "0.95"},
        {"VIPF", "100"},           {"VIPF_B", "100"},      {"VIPM", "20.5"},
        {"VIPM_B", "20.5"},        {"VIPNOTE", "介绍人:孙丽's"}, {"T", "2"},
    };
    for (const auto &[column, value] : expected)
        EXPECT_EQ(str(row.field(QString::fromLatin1(column)).asString()), value) << column;
}

TEST_F(DemoShopEditor, RefusesACardNumberInUse)
{
    editor_->openForAdd();
    editor_->form().cardNo = QStringLiteral("88000001");
    editor_->form().name = QStringLiteral("重复");

    for (const auto &check : {std::function([&] { return editor_->leaveCardNo(); }),
                              std::function([&] { return editor_->save(); })}) {
        const auto problem = check();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->field, EditorField::CardNo);
        EXPECT_EQ(str(problem->message), "会员卡号已存在!");
    }
    EXPECT_TRUE(editor_->resultText().isEmpty());
}

TEST_F(DemoShopEditor, AutomaticNumbersAreDrawnAgainAtSave)
{
    session_.company.gparam29 = 8;
    editor_->openForAdd();
    EXPECT_EQ(str(editor_->form().cardNo), "自动编号");
    editor_->form().name = QStringLiteral("钱多多");

    // Leaving the card field shows a number; the save draws the one the card gets.
    ASSERT_FALSE(editor_->leaveCardNo());
    const QString shown = editor_->form().cardNo;
    EXPECT_EQ(str(shown), "88000008");
    ASSERT_FALSE(editor_->save());
    const QString saved = editor_->form().cardNo;
    EXPECT_EQ(str(saved), "88000009");
    EXPECT_EQ(str(editor_->resultText()), "*88000009");
    EXPECT_EQ(card(saved).rowCount(), 1);
    EXPECT_EQ(card(shown).rowCount(), 0);
}

TEST(MemberEditorBirthday, NormalisedThenReadAsADayOf2001)
{
    const struct {
        const char *typed, *normalised;
        bool ok;
    } cases[] = {
        {"12.05", "12.5", true}, {"02.05", "2.5", true}, {" 3.1", "3.1", true}, {"2.2", "2.2", true},
        {"10.08", "10.8", true}, {"", "", true},         {"2.29", "2.29", false}, {"13.1", "13.1", false},
        {"12", "12", false},     {"a.b", "a.b", false},  {"0.5", ".5", false},    {"4.31", "4.31", false},
    };
    FakeShopService shop;
    Session session;
    FakeClock clock;
    MemberEditor editor(shop, session, clock);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        editor.form().birthday = QString::fromUtf8(c.typed);
        const auto problem = editor.leaveBirthday();
        EXPECT_EQ(str(editor.form().birthday), c.normalised);
        EXPECT_EQ(!problem, c.ok);
        if (problem) {
            EXPECT_EQ(problem->field, EditorField::Birthday);
            EXPECT_EQ(problem->message, MemberEditor::BirthdayText);
        }
    }
}

TEST(MemberEditorChecks, EachBadFieldStopsTheSaveBeforeTheServer)
{
    using Change = std::function<void(MemberForm &)>;
    const struct {
        const char *name;
        Change change;
        EditorField field;
    } cases[] = {
        {"blank name", [](MemberForm &f) { f.name = QStringLiteral("  "); }, EditorField::Name},
        {"name too long", [](MemberForm &f) { f.name = QString(21, QLatin1Char('x')); }, EditorField::Name},
        {"discount zero", [](MemberForm &f) { f.discount = QStringLiteral("0"); }, EditorField::Discount},
        {"discount above one", [](MemberForm &f) { f.discount = QStringLiteral("1.01"); }, EditorField::Discount},
        {"discount no number", [](MemberForm &f) { f.discount = QStringLiteral("九折"); }, EditorField::Discount},
        {"no opening date", [](MemberForm &f) { f.opened = QDate(); }, EditorField::Opened},
        {"bad birthday", [](MemberForm &f) { f.birthday = QStringLiteral("2.30"); }, EditorField::Birthday},
        {"fractional points", [](MemberForm &f) { f.points = QStringLiteral("1.5"); }, EditorField::Points},
        {"negative balance", [](MemberForm &f) { f.balance = QStringLiteral("-1"); }, EditorField::Balance},
        {"blank card", [](MemberForm &f) { f.cardNo.clear(); }, EditorField::CardNo},
        {"blank inside the card", [](MemberForm &f) { f.cardNo = QStringLiteral("88 01"); }, EditorField::CardNo},
        {"quote in the card", [](MemberForm &f) { f.cardNo = QStringLiteral("88'01"); }, EditorField::CardNo},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeShopService shop;
        Session session;
        FakeClock clock;
        MemberEditor editor(shop, session, clock);
        editor.openForAdd();
        editor.form().cardNo = QStringLiteral("8801");
        editor.form().name = QStringLiteral("李娜");
        c.change(editor.form());
        const auto problem = editor.save();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->field, c.field);
        EXPECT_FALSE(problem->message.isEmpty());
        EXPECT_TRUE(shop.executedSql().isEmpty());
    }
}

TEST(MemberEditorChecks, ServerRefusalLeavesNoResult)
{
    FakeShopService shop;
    shop.onExec(QStringLiteral("INSERT INTO D702"),
                QStringLiteral("Violation of PRIMARY KEY constraint 'PK_D702'. Cannot insert duplicate key"));
    Session session;
    FakeClock clock;
    MemberEditor editor(shop, session, clock);
    editor.openForAdd();
    editor.form().cardNo = QStringLiteral("8801");
    editor.form().name = QStringLiteral("李娜");
    const auto problem = editor.save();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->field, EditorField::CardNo);
    EXPECT_EQ(str(problem->message), "会员卡号已存在!");
    EXPECT_TRUE(editor.resultText().isEmpty());
    ASSERT_EQ(shop.calls(FakeShopService::CallKind::Exec).size(), 1);
    const FakeShopService::Call call = shop.calls(FakeShopService::CallKind::Exec).first();
    EXPECT_EQ(str(call.code), "701");
    EXPECT_EQ(str(call.key), "8801");
    EXPECT_EQ(str(call.operation), "Add");
}
