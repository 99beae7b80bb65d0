#pragma once
// The colours of the sales screen. The settings keep the theme colour (FM_COLOR) and the
// highlight text colour (FB_COLOR) the Windows way, 0x00BBGGRR; the colour screen paints its
// panels in the theme colour, the black-and-white screen paints everything black with white
// text.

#include <QColor>

namespace vorel {

// A colour stored as 0x00BBGGRR.
QColor colourFromBgr(quint32 bgr);

struct ScreenTheme {
    QColor panel;         // panels and the grid's header
    QColor panelText;     // text on the panels
    QColor highlightText; // the selected line's text
    QColor gridBase;      // the grid's background
    QColor gridHighlight; // the selected line's background
    QColor gridText;      // the lines' text

    // The theme of the colour screen (colour true) or of the black-and-white one.
    static ScreenTheme of(quint32 themeColor, quint32 themeFontColor, bool colour);
};

} // namespace vorel
