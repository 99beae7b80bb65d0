#include "settlement/ui/settlementdialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/terminalsettings.h"

using namespace vorel;
using F = SettlementField;

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

class SettlementDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        settingsPath_ = home_.filePath(QStringLiteral("VOREL.DLL"));
    }

    SettlementDialog &dialog()
    {
        if (!dialog_)
            dialog_ = std::make_unique<SettlementDialog>(settingsPath_, owner_.get(), chinese_);
        return *dialog_;
    }

    static SettlementRequest request(const char *due)
    {
        SettlementRequest r;
        r.amountDue = QString::fromLatin1(due);
        r.balance = QStringLiteral("0");
        r.decimals = 2;
        return r;
    }

    void open(const SettlementRequest &r)
    {
        dialog().prepareSettlement(r);
        dialog().show();
        QApplication::setActiveWindow(&dialog());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog()));
        ASSERT_EQ(focused(), "LABZ06");
    }

    QLineEdit *memo(const char *name) { return dialog().findChild<QLineEdit *>(QLatin1String(name)); }
    std::string focused() { return str(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString()); }
    // Keys go where the dialog's focus is, even when a fault took the application's away.
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(dialog().focusWidget(), k, m); }
    void type(const char *text) { QTest::keyClicks(dialog().focusWidget(), QString::fromLatin1(text)); }
    std::string field(F f) { return str(dialog().fieldText(f)); }
    bool closedOk() { return !dialog().isVisible() && dialog().result() == QDialog::Accepted; }

    QTemporaryDir home_;
    QString settingsPath_;
    bool chinese_ = true;
    std::unique_ptr<QWidget> owner_; // the sales screen, when a test needs one
    std::unique_ptr<SettlementDialog> dialog_;
};

TEST_F(SettlementDialogTest, EnterClosesOnlyOnAFullPaymentWithinTheChangeLimit)
{
    const struct {
        const char *due, *cash;
        bool ot2;
        const char *change;
        bool closes;
    } cases[] = {
        {"200", "300", true, "    100.00", false},
        {"200", "300", false, "    100.00", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.due) + " paid " + c.cash);
        dialog_.reset();
        ASSERT_TRUE(TerminalSettings(settingsPath_).setChangeLimitedTo100(c.ot2));
        open(request(c.due));
        type(c.cash);
        EXPECT_EQ(field(F::Change), c.change);
        key(Qt::Key_Return);
        EXPECT_EQ(closedOk(), c.closes);
        EXPECT_EQ(field(F::Cash), c.cash) << "the caller reads the cash as typed";
    }
}

TEST_F(SettlementDialogTest, KeypadStarPaysTheRestWithTheFocusedTender)
{
    open(request("50"));
    key(Qt::Key_Down); // cash -> rounding-off
    key(Qt::Key_Down);
    ASSERT_EQ(focused(), "LABZ03");
    type("20");
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Down);
    ASSERT_EQ(focused(), "LABZ06");
    key(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_TRUE(closedOk());
    EXPECT_EQ(field(F::Cash), "30.00");
    EXPECT_EQ(field(F::Voucher), "20.00");
    EXPECT_EQ(field(F::Change), "      0.00");
    EXPECT_EQ(field(F::AmountDue), "     50.00");

    // When the others already pay more, the focused tender goes negative and stays.
    open(request("50"));
    key(Qt::Key_Up); // cash -> bank card
    type("70");
    key(Qt::Key_Down);
    key(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(field(F::Cash), "-20.00");
    key(Qt::Key_Up);
    key(Qt::Key_Return);
    EXPECT_EQ(focused(), "LABZ06");
    EXPECT_TRUE(dialog().isVisible());
}

TEST_F(SettlementDialogTest, UpAndDownCycleOverTheShownTenders)
{
    const struct {
        bool roundOff, voucher, storedValue, bankCard;
        std::vector<const char *> down; // from cash
    } cases[] = {
        {true, true, true, true, {"LABZ02", "LABZ03", "LABZ04", "LABZ05", "LABZ06"}},
        {true, false, true, false, {"LABZ02", "LABZ04", "LABZ06"}},
        {false, false, false, false, {"LABZ06"}},
    };
    for (const auto &c : cases) {
        SettlementRequest r = request("50");
        r.roundOff = c.roundOff;
        r.voucher = c.voucher;
        r.storedValue = c.storedValue;
        r.bankCard = c.bankCard;
        open(r);
        for (const char *expected : c.down) {
            key(Qt::Key_Down);
            EXPECT_EQ(focused(), expected);
        }
        for (auto it = c.down.rbegin() + 1; it != c.down.rend(); ++it) {
            key(Qt::Key_Up);
            EXPECT_EQ(focused(), *it);
        }
        key(Qt::Key_Up);
        EXPECT_EQ(focused(), c.down.back());
        key(Qt::Key_Escape);
        EXPECT_FALSE(dialog().isVisible());
        EXPECT_EQ(dialog().result(), QDialog::Rejected);
    }
}

TEST_F(SettlementDialogTest, RowsFollowTheOfferedTendersAndTheSystemLanguage)
{
    chinese_ = false;
    open(request("50"));
    const int full = dialog().height();
    EXPECT_EQ(str(dialog().findChild<QLabel *>(QStringLiteral("LAB05"))->text()), " EPS    ");
    dialog().reject();

    SettlementRequest cashOnly = request("50");
    cashOnly.roundOff = cashOnly.voucher = cashOnly.storedValue = cashOnly.bankCard = false;
    open(cashOnly);
    const int rowHeight = dialog().findChild<QWidget *>(QStringLiteral("Pnl06"))->height();
    EXPECT_EQ(full - dialog().height(), 4 * rowHeight);
    for (const char *row : {"Pnl02", "Pnl03", "Pnl04", "Pnl05"})
        EXPECT_FALSE(dialog().findChild<QWidget *>(QLatin1String(row))->isVisible()) << row;
    for (const char *row : {"Pnl01", "Pnl06", "Pnl07", "Pnl_bom"})
        EXPECT_TRUE(dialog().findChild<QWidget *>(QLatin1String(row))->isVisible()) << row;
}

TEST_F(SettlementDialogTest, RowsFitTheFontUnderTheSkinOfTheSalesScreen)
{
    // The sales screen carries its skin as a style sheet, which also reaches this dialog.
    owner_ = std::make_unique<QWidget>();
    owner_->setStyleSheet(QStringLiteral("QWidget#Pnl_top, QWidget#Pnl_bom { background-color: #3d5a80; }"));
    owner_->show();
    open(request("474"));
    const int rowHeight = dialog().findChild<QWidget *>(QStringLiteral("Pnl01"))->height();
    for (const char *name : {"LAB01", "LABZ01", "LAB06", "LABZ06", "LABZ07"}) {
        const auto *w = dialog().findChild<QWidget *>(QLatin1String(name));
        EXPECT_EQ(w->font().pointSize(), 26) << name;
        EXPECT_GE(rowHeight, QFontMetrics(w->font()).height()) << name;
    }
    const QFontMetrics figures(dialog().findChild<QWidget *>(QStringLiteral("LABZ01"))->font());
    EXPECT_GE(dialog().findChild<QWidget *>(QStringLiteral("LABZ01"))->width(),
              figures.horizontalAdvance(QStringLiteral("9999999999")));
    EXPECT_LT(dialog().findChild<QWidget *>(QStringLiteral("Pnl_bom"))->height(), rowHeight);
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(dialog().findChild<QWidget *>(QStringLiteral("LABZ07"))->font().pointSize(), 27);
}

TEST_F(SettlementDialogTest, PointsExchangeIsReadOnlyWithItsNotice)
{
    SettlementRequest r = request("-12");
    r.editable = false;
    open(r);
    const auto *notice = dialog().findChild<QLabel *>(QStringLiteral("Label1"));
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), SettlementDialog::pointsExchangeNotice());
    for (const char *name : {"LABZ02", "LABZ03", "LABZ04", "LABZ05", "LABZ06"})
        EXPECT_TRUE(memo(name)->isReadOnly()) << name;
    type("5 ");
    EXPECT_EQ(field(F::Cash), "      0.00");
    EXPECT_EQ(field(F::AmountDue), "      0.00");
    EXPECT_EQ(field(F::Change), "      0.00");
    key(Qt::Key_Return);
    EXPECT_TRUE(closedOk());

    // The same dialog, next sale: editable again, notice gone.
    open(request("10"));
    EXPECT_FALSE(notice->isVisible());
    EXPECT_FALSE(memo("LABZ06")->isReadOnly());
}

TEST_F(SettlementDialogTest, TypingKeepsToDigitsAndOnePoint)
{
    open(request("10"));
    type("1..5");
    EXPECT_EQ(field(F::Cash), "1.5");
    EXPECT_EQ(field(F::Change), "     -8.50");
    type(" ");
    EXPECT_EQ(field(F::Cash), "");
    type("ab-x");
    key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(field(F::Cash), "");
    QApplication::clipboard()->setText(QStringLiteral("-5"));
    key(Qt::Key_V, Qt::ControlModifier);
    key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(field(F::Cash), "");
    type("123456789012");
    EXPECT_EQ(field(F::Cash), "1234567890");
    key(Qt::Key_Backspace);
    EXPECT_EQ(field(F::Cash), "123456789");
}

TEST_F(SettlementDialogTest, RoundingOffAboveTheAmountDueKeepsTheFocus)
{
    open(request("50"));
    key(Qt::Key_Down);
    ASSERT_EQ(focused(), "LABZ02");
    type("60");
    key(Qt::Key_Down);
    key(Qt::Key_Tab);
    QTest::mouseClick(memo("LABZ06"), Qt::LeftButton);
    key(Qt::Key_Return);
    EXPECT_EQ(focused(), "LABZ02");
    EXPECT_TRUE(dialog().isVisible());

    key(Qt::Key_Backspace);
    key(Qt::Key_Down);
    EXPECT_EQ(focused(), "LABZ03");
    EXPECT_EQ(field(F::RoundOff), "6.00");
    QTest::mouseClick(memo("LABZ06"), Qt::LeftButton);
    QCoreApplication::processEvents(); // the click's selection of the whole text
    EXPECT_EQ(focused(), "LABZ06");
    type("44");
    key(Qt::Key_Return);
    EXPECT_TRUE(closedOk());
}

TEST_F(SettlementDialogTest, CtrlKeypadPlusAndMinusResizeAndRemember)
{
    ASSERT_TRUE(TerminalSettings(settingsPath_).setSettlementFontSize(30));
    open(request("10"));
    const QSize small = dialog().size();
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(TerminalSettings(settingsPath_).settlementFontSize(), 31);
    EXPECT_GT(dialog().width(), small.width());
    EXPECT_GT(dialog().height(), small.height());
    EXPECT_EQ(field(F::Cash), "      0.00") << "the key does not type";
    key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(TerminalSettings(settingsPath_).settlementFontSize(), 29);

    dialog_.reset();
    open(request("10"));
    EXPECT_EQ(dialog().settlement().fontSize(), 29);
}

} // namespace
