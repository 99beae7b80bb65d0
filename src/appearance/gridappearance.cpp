#include "appearance/gridappearance.h"

namespace vorel {

const std::array<GridPreset, 3> GridAppearance::Presets = {{
    {9, 9, {20, 75, 59, 31, 45, 27, 44, 26, 46, 50, 31}},
    {10, 10, {20, 104, 64, 36, 55, 33, 47, 32, 50, 55, 109}},
    {12, 12, {33, 123, 83, 48, 87, 48, 59, 42, 56, 63, 165}},
}};

// Teal is 0x00808000 the Windows way.
const std::array<std::pair<quint32, quint32>, 6> GridAppearance::ColourPairs = {{
    {DefaultThemeColor, DefaultThemeFontColor},
    {0x0089D81F, 0x00B4EA6A},
    {0x00804000, 0x00FF7171},
    {0x00877A0C, 0x00CFBC12},
    {0x00FFB333, 0x000066FF},
    {0x00808000, 0x00FFB333},
}};

int GridAppearance::presetFor(int screenWidth)
{
    if (screenWidth > 1024)
        return 2;
    if (screenWidth < 801)
        return 0;
    return 1;
}

void GridAppearance::applyPreset(int preset)
{
    if (preset < 0 || preset >= int(Presets.size()))
        return;
    const GridPreset &p = Presets[std::size_t(preset)];
    setFontSize(p.fontSize);
    setTitleFontSize(p.titleFontSize);
    for (std::size_t i = 0; i < WidthColumns.size(); ++i)
        setWidth(WidthColumns[i], p.widths[i]);
}

void GridAppearance::setFontSize(int points)
{
    if (points >= MinFontSize && points <= MaxFontSize)
        target_.setFontSize(points);
}

void GridAppearance::setTitleFontSize(int points)
{
    if (points >= MinFontSize && points <= MaxFontSize)
        target_.setTitleFontSize(points);
}

void GridAppearance::setWidth(int column, int width)
{
    if (width < MinWidth)
        return;
    for (const int c : WidthColumns) {
        if (c == column) {
            target_.setColumnWidth(column, width);
            return;
        }
    }
}

void GridAppearance::choosePair(int pair)
{
    if (pair < 0 || pair >= int(ColourPairs.size()))
        return;
    const auto [panel, highlight] = ColourPairs[std::size_t(pair)];
    target_.setColours(panel, highlight);
}

void GridAppearance::choosePanelColour(quint32 bgr)
{
    target_.setColours(bgr, target_.colours().second);
}

void GridAppearance::chooseHighlightColour(quint32 bgr)
{
    target_.setColours(target_.colours().first, bgr);
}

} // namespace vorel
