#include "members/ui/membereditordialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/messages.h"
#include "demoshop.h"
#include "recordingmessages.h"

using namespace vorel;
using namespace vorel::test;

namespace {

class EditorDialog : public DemoShopEditor {
protected:
    void open()
    {
        dialog_ = std::make_unique<MemberEditorDialog>(*editor_, messages_);
        dialog_->openForAdd();
        dialog_->show();
        QApplication::setActiveWindow(dialog_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
    }
    QLineEdit *edit(const char *name) { return dialog_->findChild<QLineEdit *>(QString::fromLatin1(name)); }
    // Types into a field the way the cashier does: focus, keys, then Tab to leave it.
    void typeAndLeave(const char *name, const QString &text)
    {
        QLineEdit *e = edit(name);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Tab);
        QCoreApplication::processEvents();
    }

    RecordingMessages messages_;
    std::unique_ptr<MemberEditorDialog> dialog_;
};

} // namespace

TEST_F(EditorDialog, LeavingTheFieldsChecksThemAndOkSaves)
{
    open();
    EXPECT_EQ(QApplication::focusWidget(), edit("Edit1"));

    typeAndLeave("Edit1", QStringLiteral("88000001"));
    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(str(messages_.shown.first().text), "会员卡号已存在!");
    EXPECT_EQ(QApplication::focusWidget(), edit("Edit1"));

    typeAndLeave("Edit1", QStringLiteral("vx09"));
    EXPECT_EQ(str(edit("Edit1")->text()), "VX09");
    typeAndLeave("Edit2", QString());
    EXPECT_EQ(str(messages_.texts().join(u'|')), "会员卡号已存在!|称呼不能为空!");
    EXPECT_EQ(QApplication::focusWidget(), edit("Edit2"));
    typeAndLeave("Edit2", QStringLiteral("O'Brien"));
    typeAndLeave("Edit8", QStringLiteral("02.29"));
    EXPECT_EQ(str(edit("Edit8")->text()), "2.29");
    EXPECT_EQ(messages_.shown.size(), 3);
    EXPECT_EQ(QApplication::focusWidget(), edit("Edit8"));
    typeAndLeave("Edit8", QStringLiteral("02.05"));
    EXPECT_EQ(str(edit("Edit8")->text()), "2.5");
    EXPECT_EQ(messages_.shown.size(), 3);

    QTest::mouseClick(dialog_->findChild<QPushButton *>(QStringLiteral("btn_ok")), Qt::LeftButton);
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_EQ(str(dialog_->resultText()), "*VX09");
    ResultSet row = card(QStringLiteral("VX09"));
    ASSERT_EQ(row.rowCount(), 1);
    EXPECT_EQ(str(row.field(QStringLiteral("VIPNAME")).asString()), "O'Brien");
    EXPECT_EQ(str(row.field(QStringLiteral("BIRDATE")).asString()), "2.5");
}

TEST_F(EditorDialog, AutomaticNumberingStartsAtTheNameAndEnterSaves)
{
    session_.company.gparam29 = 8;
    open();
    QLineEdit *card = edit("Edit1");
    EXPECT_EQ(str(card->text()), "自动编号");
    EXPECT_TRUE(card->isReadOnly());
    EXPECT_EQ(QApplication::focusWidget(), edit("Edit2"));

    QTest::keyClicks(edit("Edit2"), QStringLiteral("Lee"));
    QTest::keyClick(edit("Edit2"), Qt::Key_Return);
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_EQ(str(dialog_->resultText()), "*88000008");
    EXPECT_TRUE(messages_.shown.isEmpty());
}
