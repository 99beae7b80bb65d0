#pragma once
// What a double-click on the tray icon and the hot key do to the sales screen. The till
// hides in the tray; the hot key brings it back from anywhere on the desktop and, pressed
// again, sends it down. Pure decisions: the main window reads its state, asks, and acts.

#include <Qt>

namespace vorel {

enum class MainWindowState { Hidden, Minimised, Normal, Maximised };

enum class WindowToggle {
    ShowMaximisedHideTray,    // show the hidden window maximised, tray icon off
    Minimise,                 // send the window down
    RestoreMaximisedHideTray, // bring a minimised window back maximised, tray icon off
    Nothing,
};

// The state of a top-level window as the toggles see it; full screen counts as maximised.
MainWindowState mainWindowState(bool visible, Qt::WindowStates states);

// The tray icon is only there when a hot key number is set.
bool trayIconEnabled(int minKey);

// A hidden window comes back maximised; a window on screen (even minimised) goes down.
WindowToggle onTrayDoubleClick(MainWindowState window);

struct HotKeyPress {
    MainWindowState window = MainWindowState::Normal;
    bool sessionOpen = false;   // a cashier is logged in
    int minKey = 0;             // MINKEY of the terminal settings
    bool registeredKey = false; // the key pressed is the one the till registered
    bool dialogOpen = false;    // one of the main window's dialogs is up
};

// The hot key counts only in a session, with a key number set, for the registered key.
// A hidden window comes back whatever is open; on screen an open dialog keeps it where it
// is, else a window up goes down and a minimised one comes back maximised.
WindowToggle onHotKey(const HotKeyPress &press);

} // namespace vorel
