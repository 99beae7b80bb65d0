// The commit driven through the real settlement dialog TS001, as the cashier types.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "committestutil.h"
#include "settlement/ui/dialogsettlementprompt.h"
#include "settlement/ui/settlementdialog.h"

using namespace vorel;
using namespace vorel::test;

namespace {

TEST(SettlementFlow, TheCashierPaysInTheSettlementDialog)
{
    QTemporaryDir settingsHome;
    // A system outside Simplified Chinese: the bank-card row reads EPS, and so does the summary.
    DialogSettlementPrompt dialog(settingsHome.filePath(QStringLiteral("VOREL.DLL")), nullptr, false);
    Till till(ShopKind::InProcess, &dialog);
    till.ring("TX004", "01", 1, 1, 100, 99.5, true);

    // The first settlement creates the dialog; the cashier types 150 into the cash field.
    bool typed = false;
    QTimer::singleShot(0, [&dialog, &typed] {
        SettlementDialog *shown = dialog.dialog();
        ASSERT_NE(shown, nullptr);
        QApplication::setActiveWindow(shown);
        ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
        QTest::keyClicks(shown->focusWidget(), QStringLiteral("150"));
        QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
        typed = true;
    });
    EXPECT_EQ(till.committer->bsBtn01Click(), SlipCommitter::Outcome::Committed);
    EXPECT_TRUE(typed);

    EXPECT_EQ(till.server(QStringLiteral("SELECT NOID, S1, S4, S6, S7, VIPF FROM D712")),
              QStringList{"00110000000|99.5|0|150|50.5|0"});
    ASSERT_EQ(till.screen.summaries.size(), 1);
    const QList<SettlementSummary::Row> rows{{"应  收", " 99.50"}, {"抹  零  ", "  0.00"}, {"现金券  ", "  0.00"},
                                             {"E P S   ", "  0.00"}, {"现  金  ", "150.00"}, {"找  零  ", " 50.50"}};
    EXPECT_EQ(till.screen.summaries[0].rows, rows);

    // The same dialog serves the next sale; Escape leaves it unpaid.
    till.committer->summaryDismissed();
    till.ring("TX004", "01", 1, 1, 100, 100, true);
    SettlementDialog *first = dialog.dialog();
    QTimer::singleShot(0, [&dialog] {
        QApplication::setActiveWindow(dialog.dialog());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.dialog()));
        QTest::keyClick(dialog.dialog()->focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(till.committer->bsBtn01Click(), SlipCommitter::Outcome::Cancelled);
    EXPECT_EQ(dialog.dialog(), first);
    EXPECT_EQ(till.server(QStringLiteral("SELECT COUNT(*) FROM D712")), QStringList{"1"});
}

} // namespace
