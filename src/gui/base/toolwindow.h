#pragma once

// What every window other than the main window shares: a fixed-size dialog frame that belongs
// to the main window (one task-bar entry; minimised and restored with it) and stays on top of
// it, centred on the screen when first shown and kept where the user left it afterwards.
// Closing it only hides it, so its contents stay; Escape closes it, as it closes a dialog.

#include <QWidget>

class ToolWindow : public QWidget {
public:
    ToolWindow(QWidget* mainWindow, const QString& caption, QSize clientSize);

    // Shows the window, or brings it to the front when it is already shown.
    void ShowTool();

protected:
    // While busy (a run in progress), Escape leaves the window open.
    virtual bool Busy() const { return false; }
};

// Shows a window for the first time with its frame in the middle of the screen; a negative
// coordinate becomes 0.
void ShowCentred(QWidget* window);
