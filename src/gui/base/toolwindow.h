#pragma once

// What every window other than the main window shares: a fixed-size dialog frame that stays
// on top of the main window, which owns it, centred on the screen when first shown and kept
// where the user left it afterwards. Closing it only hides it, so its contents stay.

#include <QWidget>

class ToolWindow : public QWidget {
public:
    ToolWindow(QWidget* mainWindow, const QString& caption, QSize clientSize);

    // Shows the window, or brings it to the front when it is already shown.
    void ShowTool();
};

// Places a window's frame in the middle of the screen; a negative coordinate becomes 0.
void CentreOnScreen(QWidget* window);
