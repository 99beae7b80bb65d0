// The tray icon and the hot key: which way the sales screen goes for each state it is in.

#include <gtest/gtest.h>

#include <ostream>

#include "app/windowtoggle.h"

namespace vorel {
namespace {

using S = MainWindowState;
using T = WindowToggle;

TEST(WindowToggle, StateOfAWindow)
{
    struct Row {
        bool visible;
        Qt::WindowStates states;
        S expected;
    };
    const Row rows[] = {
        {false, Qt::WindowMaximized, S::Hidden}, // hidden in the tray keeps its old state
        {false, Qt::WindowMinimized, S::Hidden},
        {true, Qt::WindowNoState, S::Normal},
        {true, Qt::WindowMaximized, S::Maximised},
        {true, Qt::WindowFullScreen, S::Maximised},
        {true, Qt::WindowMinimized | Qt::WindowMaximized, S::Minimised}, // minimised from maximised
        {true, Qt::WindowMinimized, S::Minimised},
    };
    for (const Row &row : rows)
        EXPECT_EQ(mainWindowState(row.visible, row.states), row.expected)
            << "visible " << row.visible << " states " << int(row.states);
}

TEST(WindowToggle, HotKey)
{
    struct Row {
        const char *what;
        HotKeyPress press;
        T expected;
    };
    // window, session open, MINKEY, registered key, dialog open
    const Row rows[] = {
        {"hidden comes back", {S::Hidden, true, 3, true, false}, T::ShowMaximisedHideTray},
        {"hidden comes back over a dialog", {S::Hidden, true, 3, true, true},
         T::ShowMaximisedHideTray},
        {"maximised goes down", {S::Maximised, true, 3, true, false}, T::Minimise},
        {"normal goes down", {S::Normal, true, 1, true, false}, T::Minimise},
        {"minimised comes back", {S::Minimised, true, 3, true, false},
         T::RestoreMaximisedHideTray},
        {"dialog keeps it up", {S::Maximised, true, 3, true, true}, T::Nothing},
        {"dialog keeps it down", {S::Minimised, true, 3, true, true}, T::Nothing},
        {"no session", {S::Hidden, false, 3, true, false}, T::Nothing},
        {"no session, on screen", {S::Maximised, false, 3, true, false}, T::Nothing},
        {"no key number", {S::Hidden, true, 0, true, false}, T::Nothing},
        {"another key", {S::Hidden, true, 3, false, false}, T::Nothing},
        {"another key, on screen", {S::Minimised, true, 3, false, false}, T::Nothing},
    };
    for (const Row &row : rows)
        EXPECT_EQ(onHotKey(row.press), row.expected) << row.what;
}

} // namespace
} // namespace vorel
