// The terminal settings dialog driven through its controls: the defaults of a file
// without keys, OK refusing a shared port and applying the amount decimals, the built-in
// and other tills' templates through their pickers, the swap label, digits-only typing
// and the server save refused offline.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/text.h"
#include "printing/ui/terminalsettingsdialog.h"
#include "printing/ui/templatepickers.h"
#include "printing/receiptpage.h"
#include "terminalsettingsrig.h"

using namespace vorel;

namespace {

template <typename W>
W *child(QWidget *parent, const char *name)
{
    W *widget = parent->findChild<W *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void click(QWidget *parent, const char *name)
{
    QTest::mouseClick(child<QPushButton>(parent, name), Qt::LeftButton);
}

// Runs `act` on the modal dialog the next click opens.
void onNextModal(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

class TS004Test : public ::testing::Test {
protected:
    TerminalSettingsRig rig;
};

TEST_F(TS004Test, ReceiptsAfterTheDialogStillGoToTheSessionsPagePrinter)
{
    PrinterReceiptPages pages(rig.dir.filePath(QStringLiteral("receipt.pdf")));
    rig.printer.setPages(&pages);
    {
        TerminalSettingsDialog dialog(rig.form);
        dialog.prepareSettings({});
    }
    EXPECT_EQ(rig.printer.pages(), &pages);
}

TEST_F(TS004Test, OkRefusesTheDisplayPortForARawPrinterAndAcceptsADriver)
{
    TerminalSettingsDialog dialog(rig.form);
    child<QCheckBox>(&dialog, "chk1")->setChecked(true);
    child<QCheckBox>(&dialog, "chk2")->setChecked(true);
    child<QComboBox>(&dialog, "cmb1")->setCurrentText(QStringLiteral("COM1"));
    child<QComboBox>(&dialog, "cmb3")->setCurrentText(QStringLiteral("COM1"));

    click(&dialog, "btn_ok");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(rig.messages.texts(), QStringList{QStringLiteral("打印机端口不能和顾显的端口相同:COM1")});
    EXPECT_FALSE(rig.session.devices.printerEnabled);

    QTest::mouseClick(child<QRadioButton>(&dialog, "chk32"), Qt::LeftButton);
    click(&dialog, "btn_ok");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(rig.session.devices.printerEnabled);
    EXPECT_TRUE(rig.session.devices.driverPrinting);
    EXPECT_EQ(TerminalSettings(rig.settingsPath()).displayPort(), QStringLiteral("COM1"));
}

TEST_F(TS004Test, OkAppliesTheAmountDecimalsAndTheTemplates)
{
    TerminalSettingsDialog dialog(rig.form);
    child<QSpinBox>(&dialog, "chkparam19")->setValue(2);
    QTest::mouseClick(child<QRadioButton>(&dialog, "chkparam20_3"), Qt::LeftButton);
    child<QPlainTextEdit>(&dialog, "Memo3")->setPlainText(QStringLiteral("[品名    ]\n[数量]"));
    click(&dialog, "btn_ok");
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(rig.session.formats.amountDecimals, 2);
    EXPECT_EQ(rig.session.formats.amountRounding, 3);
    EXPECT_EQ(rig.session.amountDisplayFormat(), QStringLiteral("0.00"));
    EXPECT_EQ(rig.session.templates.posDe, QStringLiteral("[品名    ]\r\n[数量]"));
    const TerminalSettings settings(rig.settingsPath());
    EXPECT_EQ(settings.amountDecimals(), 2);
    EXPECT_EQ(settings.amountRounding(), 3);
}

TEST_F(TS004Test, BuiltInTemplateFillsTheMemosAndThePaperWidth)
{
    TerminalSettingsDialog dialog(rig.form);
    QTest::mouseClick(child<QRadioButton>(&dialog, "chk32"), Qt::LeftButton);
    onNextModal([](QWidget *modal) {
        auto *picker = qobject_cast<SampleTemplatesDialog *>(modal);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->windowTitle(), QStringLiteral("小票模板选择"));
        picker->choose(3);
        EXPECT_EQ(picker->chosenIndex(), 3);
        click(picker, "btn_ok");
    });
    click(&dialog, "Button4");

    const ReceiptTemplateChoice expected = takeLibraryTemplate(3, true);
    EXPECT_EQ(child<QSpinBox>(&dialog, "CMB6")->value(), 80);
    EXPECT_EQ(child<QPlainTextEdit>(&dialog, "Memo1")->toPlainText(),
              QString(expected.templates.heading).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(child<QPlainTextEdit>(&dialog, "Memo3")->toPlainText(),
              QString(expected.templates.lineTemplate).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

TEST_F(TS004Test, OtherTillsTemplateIsTakenFromTheirList)
{
    ResultSet d701({{QStringLiteral("ZD_ID"), FieldType::Text}, {QStringLiteral("ZD_NAME"), FieldType::Text},
                    {QStringLiteral("POSTOP"), FieldType::Text}, {QStringLiteral("POSDE"), FieldType::Text},
                    {QStringLiteral("POSEND"), FieldType::Text}, {QStringLiteral("POSSIZE"), FieldType::Integer},
                    {QStringLiteral("POSFont1"), FieldType::Integer}, {QStringLiteral("POSFont2"), FieldType::Integer}});
    d701.appendRow({QStringLiteral("001"), QStringLiteral("一号机"), QStringLiteral("H1"), QStringLiteral("L1"),
                    QStringLiteral("F1"), 58, 12, 10});
    d701.appendRow({QStringLiteral("002"), QStringLiteral("二号机"), QStringLiteral("H2"), QStringLiteral("L2"),
                    QStringLiteral("F2"), 76, 16, 9});
    rig.shop.onOpen(QStringLiteral("FROM D701"), d701);

    TerminalSettingsDialog dialog(rig.form);
    onNextModal([](QWidget *modal) {
        auto *grid = child<ResultSetGrid>(modal, "DBGridEh1");
        ASSERT_EQ(grid->rowCount(), 2);
        EXPECT_EQ(grid->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("POSFont2"));
        grid->setCurrentRow(1);
        click(modal, "btn_ok");
    });
    click(&dialog, "Button6");
    EXPECT_EQ(child<QPlainTextEdit>(&dialog, "Memo1")->toPlainText(), QStringLiteral("H2"));
    EXPECT_EQ(child<QPlainTextEdit>(&dialog, "Memo3")->toPlainText(), QStringLiteral("L2"));
    EXPECT_EQ(child<QPlainTextEdit>(&dialog, "Memo2")->toPlainText(), QStringLiteral("F2"));
    EXPECT_EQ(child<QSpinBox>(&dialog, "CMB6")->value(), 76);
    EXPECT_EQ(child<QSpinBox>(&dialog, "font_title")->value(), 16);
    EXPECT_EQ(child<QSpinBox>(&dialog, "font_d")->value(), 9);
}

TEST_F(TS004Test, ServerTemplateButtonsAreRefusedOffline)
{
    rig.session.connection.offline = true;
    TerminalSettingsDialog dialog(rig.form);
    click(&dialog, "Button7");
    click(&dialog, "Button6");
    EXPECT_EQ(rig.messages.texts(), QStringList(2, QStringLiteral("系统为离线状态不可使用该功能!")));
    EXPECT_TRUE(rig.shop.calls().isEmpty());
}

TEST_F(TS004Test, SwapLabelTurnsTwoLinesOnly)
{
    TerminalSettingsDialog dialog(rig.form);
    auto *memo = child<QPlainTextEdit>(&dialog, "Memo3");
    auto *label = child<QLabel>(&dialog, "Label4");
    memo->setPlainText(QStringLiteral("[品名]\n[数量]"));
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("[数量]\n[品名]"));
    memo->setPlainText(QStringLiteral("a\nb\nc"));
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("a\nb\nc"));
}

TEST_F(TS004Test, TemplateLinesBreakOnlyWithCtrlEnter)
{
    TerminalSettingsDialog dialog(rig.form);
    auto *memo = child<QPlainTextEdit>(&dialog, "Memo2");
    memo->clear();
    QTest::keyClicks(memo, QStringLiteral("[A]"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(memo, QStringLiteral("[B]"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("[A]\n[B]"));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(TS004Test, OpeningSetsTheReceiptTitleAndTheDialogsPages)
{
    QFile heading(rig.dir.filePath(QStringLiteral("POSTOP")));
    ASSERT_TRUE(heading.open(QIODevice::WriteOnly));
    heading.write(toGbk(QStringLiteral("  样板服饰\r\n[单号]")));
    heading.close();
    rig.session.devices.printerEnabled = true;
    rig.session.devices.driverPrinting = true;
    {
        TerminalSettingsDialog dialog(rig.form);
        EXPECT_EQ(rig.session.templates.receiptTitle, QStringLiteral("  样板服饰"));
        EXPECT_EQ(child<QPlainTextEdit>(&dialog, "Memo1")->toPlainText(), QStringLiteral("  样板服饰\n[单号]"));
    }
    // With the dialog gone a driver receipt has no pages to go to and prints nothing.
    ReceiptRequest request = rig.form.testRequest(false);
    request.driver = true;
    EXPECT_TRUE(rig.printer.RenderReceipt(request));
    EXPECT_TRUE(rig.notices.shown.isEmpty());
}

TEST_F(TS004Test, EditableListsTakeOnlyDigitsWhenTyped)
{
    TerminalSettingsDialog dialog(rig.form);
    for (const char *name : {"cmb2", "cmb4", "CMB5", "cmb8", "MINKEY"}) {
        SCOPED_TRACE(name);
        QLineEdit *edit = child<QComboBox>(&dialog, name)->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("9a,6-0"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QStringLiteral("96"));
    }
}

} // namespace
