#pragma once
// The look of the sales grid as the appearance dialog TS008 sets it: the widths of eleven
// columns, the font sizes of the lines and of the titles, the barcode and "累计" columns shown
// or hidden, three ready-made layouts chosen by screen width, and the two theme colours.
// Every change goes straight to the live screen through AppearanceTarget; nothing is stored
// here (the sales screen saves its layout when it closes).

#include <QString>
#include <QtGlobal>
#include <array>
#include <utility>

namespace vorel {

// The sales screen as the dialog changes it. Columns are the grid's column numbers.
class AppearanceTarget {
public:
    virtual ~AppearanceTarget() = default;
    virtual int fontSize() const = 0;
    virtual void setFontSize(int points) = 0;
    virtual int titleFontSize() const = 0;
    virtual void setTitleFontSize(int points) = 0;
    virtual int columnWidth(int column) const = 0;
    virtual void setColumnWidth(int column, int width) = 0;
    virtual bool columnVisible(int column) const = 0;
    virtual void setColumnVisible(int column, bool visible) = 0;
    // The theme colour and the highlight colour (0x00BBGGRR); the screen is repainted even
    // when they did not change.
    virtual std::pair<quint32, quint32> colours() const = 0;
    virtual void setColours(quint32 panel, quint32 highlight) = 0;
};

// FM_COLOR and FB_COLOR of a till that never chose its colours.
inline constexpr quint32 DefaultThemeColor = 0x00C08080;
inline constexpr quint32 DefaultThemeFontColor = 0x00D9B3B3;

struct GridPreset {
    int fontSize;
    int titleFontSize;
    std::array<int, 11> widths; // in the order of GridAppearance::WidthColumns
};

class GridAppearance {
public:
    static constexpr int MinWidth = 20;
    static constexpr int MinFontSize = 9;
    static constexpr int MaxFontSize = 20;
    // The grid columns that have a width edit: 行 条码 款号 尺码 颜色 数量 吊牌价 折扣 售价 金额 活动.
    // The name column takes what is left and has none.
    static constexpr std::array<int, 11> WidthColumns = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 13};
    static constexpr int BarcodeColumn = 1;
    static constexpr int GroupValueColumn = 14;
    // Up to 800 pixels, 801 to 1024, wider.
    static const std::array<GridPreset, 3> Presets;
    // Six colour pairs (panel, highlight); pair 0 is the screen's default.
    static const std::array<std::pair<quint32, quint32>, 6> ColourPairs;

    explicit GridAppearance(AppearanceTarget &target) : target_(target) {}

    // The preset for a screen width: 0, 1 or 2.
    static int presetFor(int screenWidth);
    void applyPreset(int preset);
    // ApplyScreenPreset: the preset of the screen's width.
    void applyScreenPreset(int screenWidth) { applyPreset(presetFor(screenWidth)); }

    // The live edits; a width below the minimum or a font outside its range is not taken.
    void setFontSize(int points);
    void setTitleFontSize(int points);
    void setWidth(int column, int width);
    // title_tm / title_tot: checked hides the column.
    void setBarcodeHidden(bool hidden) { target_.setColumnVisible(BarcodeColumn, !hidden); }
    void setGroupValueHidden(bool hidden) { target_.setColumnVisible(GroupValueColumn, !hidden); }
    // A click on either panel of pair `pair` gives the pair's colours.
    void choosePair(int pair);
    // The colour pickers: the panel colour or the highlight colour alone.
    void choosePanelColour(quint32 bgr);
    void chooseHighlightColour(quint32 bgr);

    AppearanceTarget &target() { return target_; }

private:
    AppearanceTarget &target_;
};

} // namespace vorel
