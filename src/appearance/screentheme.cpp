#include "appearance/screentheme.h"

namespace vorel {

QColor colourFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

ScreenTheme ScreenTheme::of(quint32 themeColor, quint32 themeFontColor, bool colour)
{
    const QColor theme = colourFromBgr(themeColor);
    ScreenTheme t;
    t.panel = colour ? theme : QColor(Qt::black);
    t.panelText = Qt::white;
    t.highlightText = colourFromBgr(themeFontColor);
    t.gridBase = colour ? QColor(Qt::white) : QColor(Qt::black);
    t.gridHighlight = colour ? theme.darker(130) : QColor(Qt::black);
    t.gridText = colour ? QColor(Qt::black) : QColor(Qt::white);
    return t;
}

} // namespace vorel
