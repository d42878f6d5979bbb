#pragma once

class QWidget;

// Asks the window manager to leave the window out of task bars (_NET_WM_STATE_SKIP_TASKBAR on
// X11), for a dialog whose owner is itself not in the task bar: task bars such as tint2 would
// give it an entry of its own. Call before the window is first shown; does nothing where the
// program does not run on X11.
void KeepOffTaskbar(QWidget* window);

// Marks a window that is not the active one for attention: on X11 the window manager's
// _NET_WM_STATE_DEMANDS_ATTENTION, which task bars show and which the manager clears once the
// window is activated. Called on a hidden window, the mark comes with its next showing.
// Elsewhere QApplication::alert does it.
void MarkForAttention(QWidget* window);

// Marks a window for attention; a closed (hidden) one is shown again for it, without the focus.
void CallForAttention(QWidget* window);

// A tool window's call for the user, when its run ended while the user was elsewhere: the tool
// window (shown again if closed) and its main window, whose task-bar entry is the one that can
// blink (task bars list the main window only).
void AwaitAttention(QWidget* toolWindow);

// Takes the mark off a window that the manager does not clear by itself: one marked for
// another window's sake, which the user need not activate. Does nothing where the program does
// not run on X11 (QApplication::alert's mark ends with the next activation).
void ClearAttention(QWidget* window);
