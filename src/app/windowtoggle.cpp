#include "app/windowtoggle.h"

namespace vorel {

MainWindowState mainWindowState(bool visible, Qt::WindowStates states)
{
    if (!visible)
        return MainWindowState::Hidden;
    if (states.testFlag(Qt::WindowMinimized))
        return MainWindowState::Minimised;
    if (states.testFlag(Qt::WindowMaximized) || states.testFlag(Qt::WindowFullScreen))
        return MainWindowState::Maximised;
    return MainWindowState::Normal;
}

bool trayIconEnabled(int minKey)
{
    return minKey > 0;
}

WindowToggle onTrayDoubleClick(MainWindowState window)
{
    return window == MainWindowState::Hidden ? WindowToggle::ShowMaximisedHideTray
                                             : WindowToggle::Minimise;
}

WindowToggle onHotKey(const HotKeyPress &press)
{
    if (!press.sessionOpen || press.minKey <= 0 || !press.registeredKey)
        return WindowToggle::Nothing;
    switch (press.window) {
    case MainWindowState::Hidden:
        return WindowToggle::ShowMaximisedHideTray;
    case MainWindowState::Minimised:
        return press.dialogOpen ? WindowToggle::Nothing : WindowToggle::RestoreMaximisedHideTray;
    case MainWindowState::Normal:
    case MainWindowState::Maximised:
        return press.dialogOpen ? WindowToggle::Nothing : WindowToggle::Minimise;
    }
    return WindowToggle::Nothing;
}

} // namespace vorel
