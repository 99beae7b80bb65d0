// The appearance dialog over the live sales grid: the layout for the screen's width at
// start-up, every edit acting at once, the colour pairs, and what the screen saves when it
// closes.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "appearance/gridappearance.h"
#include "sales/ui/salesgrid.h"
#include "screenrig.h"

namespace vorel {
namespace {

TEST(GridAppearance, PresetByScreenWidth)
{
    const std::pair<int, int> cases[] = {{640, 0}, {800, 0}, {801, 1}, {1024, 1}, {1025, 2}, {1366, 2}, {1920, 2}};
    for (const auto &[width, preset] : cases)
        EXPECT_EQ(GridAppearance::presetFor(width), preset) << width;
}

std::vector<int> widthsOf(const SalesGrid &grid)
{
    std::vector<int> widths;
    for (const int c : GridAppearance::WidthColumns)
        widths.push_back(grid.columnWidth(c));
    return widths;
}

std::vector<int> presetWidths(int preset)
{
    const auto &w = GridAppearance::Presets[std::size_t(preset)].widths;
    return {w.begin(), w.end()};
}

TEST(AppearanceDialog, EditsActAtOnceAndTheScreenSavesThem)
{
    test::ScreenRig rig; // no saved layout
    ASSERT_TRUE(rig.started);
    auto *grid = rig.form->findChild<SalesGrid *>(QStringLiteral("DBGridEh"));
    const int screenWidth = rig.form->screen()->geometry().width();
    EXPECT_EQ(widthsOf(*grid), presetWidths(GridAppearance::presetFor(screenWidth)));

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog && dialog->objectName() == QStringLiteral("TS008"));
        shown = true;
        const auto spin = [&](const char *name) { return dialog->findChild<QSpinBox *>(QLatin1String(name)); };
        EXPECT_EQ(spin("p2")->value(), grid->columnWidth(1));

        QTest::mouseClick(dialog->findChild<QRadioButton *>(QStringLiteral("CK3")), Qt::LeftButton);
        EXPECT_EQ(widthsOf(*grid), presetWidths(2));
        EXPECT_EQ(grid->table()->font().pointSize(), 12);
        EXPECT_EQ(spin("PC")->value(), 165);

        // Too narrow a width and too large a font are not taken.
        spin("p3")->setValue(5);
        EXPECT_EQ(grid->columnWidth(2), GridAppearance::MinWidth);
        spin("pfont")->setValue(30);
        EXPECT_EQ(grid->table()->font().pointSize(), GridAppearance::MaxFontSize);
        spin("ptitelfont")->setValue(15);
        EXPECT_EQ(grid->table()->horizontalHeader()->font().pointSize(), 15);

        dialog->findChild<QCheckBox *>(QStringLiteral("title_tm"))->setChecked(true);
        EXPECT_TRUE(grid->table()->isColumnHidden(GridAppearance::BarcodeColumn));

        // Either panel of a pair gives the pair's two colours.
        for (const char *panel : {"C2B", "C4A"}) {
            QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(panel)), Qt::LeftButton);
            const int pair = panel[1] - '0';
            EXPECT_EQ(rig.controller().config().themeColor, GridAppearance::ColourPairs[pair].first) << panel;
            EXPECT_EQ(rig.controller().config().themeFontColor, GridAppearance::ColourPairs[pair].second) << panel;
        }
        dialog->reject(); // the grid keeps what was set
    });
    QTest::keyClick(rig.form->commandEdit(), Qt::Key_Pause);
    ASSERT_TRUE(shown);
    EXPECT_EQ(grid->columnWidth(1), 123);

    rig.form->close();
    const std::optional<GridLayout> saved = rig.settings.gridLayout(GridLayout{});
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->widths[1], 123);
    EXPECT_EQ(saved->widths[2], GridAppearance::MinWidth);
    EXPECT_EQ(saved->fontSize, GridAppearance::MaxFontSize);
    EXPECT_EQ(saved->titleFontSize, 15);
    EXPECT_FALSE(saved->column1Visible);
    EXPECT_EQ(rig.settings.themeColor(), GridAppearance::ColourPairs[4].first);
    EXPECT_EQ(rig.settings.themeFontColor(), GridAppearance::ColourPairs[4].second);
}

} // namespace
} // namespace vorel
