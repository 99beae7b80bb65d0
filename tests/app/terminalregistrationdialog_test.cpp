#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/ui/terminalregistrationdialog.h"
#include "loginrig.h"

namespace vorel {
namespace {

template <typename W>
W *child(QWidget *dialog, const char *name)
{
    W *w = dialog->findChild<W *>(QLatin1String(name));
    EXPECT_TRUE(w) << name;
    return w;
}

// Focuses the field, empties it and types the text key by key (keyClicks cannot send Chinese).
void retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->clear();
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

TEST(TregZdDialog, KeyboardRegistersANewTerminal)
{
    test::LoginRig rig;
    TerminalRegistrar registrar(*rig.service, rig.link->connection(), rig.settings, rig.messages, [] { return 58; });
    ASSERT_TRUE(registrar.prepare(rig.newPcWithTwoWarehouses()));
    TerminalRegistrationDialog dialog(registrar);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto *number = child<QLineEdit>(&dialog, "ZD_ID");
    auto *name = child<QLineEdit>(&dialog, "ZD_NAME");
    auto *key = child<QLineEdit>(&dialog, "Edit1");
    auto *warehouse = child<QComboBox>(&dialog, "DBLookupComboCK");
    auto *shift = child<QCheckBox>(&dialog, "Db");
    auto *grid = child<ResultSetGrid>(&dialog, "DBGridEh");
    ASSERT_TRUE(number && name && key && warehouse && shift && grid);

    // The proposed number, name, warehouse and shift switch are the register scenario's dump.
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), QStringLiteral("1号收银机"));

    // Digits only, at most three; Enter confirms from any field.
    retype(number, QStringLiteral("1a2-"));
    EXPECT_EQ(number->text(), QStringLiteral("12"));
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_EQ(rig.messages.texts(), QStringList{TerminalRegistrar::BadNumberText});

    // A wrong key for a taken number puts the cursor back into the key field.
    retype(number, QStringLiteral("0012"));
    EXPECT_EQ(number->text(), QStringLiteral("001"));
    retype(key, QStringLiteral("123"));
    number->setFocus();
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_EQ(rig.messages.texts().last(), TerminalRegistrar::WrongKeyText);
    EXPECT_TRUE(key->hasFocus());
    EXPECT_TRUE(dialog.isVisible());

    retype(number, QStringLiteral("105"));
    key->clear();
    retype(name, QStringLiteral("前台收银"));
    warehouse->setFocus();
    QTest::keyClick(warehouse, Qt::Key_Down);
    shift->setFocus();
    QTest::keyClick(shift, Qt::Key_Space);
    QTest::keyClick(shift, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(rig.messages.texts().last(), TerminalRegistrar::ClearQuestionText);
    EXPECT_EQ(rig.shopCount(QStringLiteral("select count(*) from D701 where ZD_ID='105' and CK_ID='002' and DB=1 and "
                                           "ZD_NAME='前台收银' and ZD_KEY='58105'")),
              1);
    EXPECT_EQ(rig.settings.macAddress(), QStringLiteral("58105"));
}

TEST(TregZdDialog, LoginOpensItModallyToTakeOverOrEscape)
{
    for (bool takeOver : {true, false}) {
        test::LoginRig rig;
        const ResultSet warehouses = rig.newPcWithTwoWarehouses();
        DialogTerminalRegistration registration(*rig.link, rig.settings, rig.messages);
        QString shownName;
        QTimer::singleShot(0, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog);
            auto *number = child<QLineEdit>(dialog, "ZD_ID");
            if (!takeOver) {
                QTest::keyClick(number, Qt::Key_Escape);
                return;
            }
            retype(number, QStringLiteral("001"));
            retype(child<QLineEdit>(dialog, "Edit1"), QStringLiteral("vorel"));
            QTest::keyClick(number, Qt::Key_Return);
            shownName = child<QLineEdit>(dialog, "ZD_NAME")->text();
        });
        EXPECT_EQ(registration.registerTerminal(QStringLiteral("01"), warehouses), takeOver);
        EXPECT_EQ(rig.settings.macAddress(), takeOver ? QStringLiteral("vorel") : QStringLiteral("PC-NEW-7"));
        EXPECT_EQ(rig.shopCount(QStringLiteral("select count(*) from D701")), 1);
        // The dialog shows the taken-over terminal's own name, not the one typed.
        EXPECT_EQ(shownName, takeOver ? QStringLiteral("1号收银机") : QString());
    }
}

} // namespace
} // namespace vorel
