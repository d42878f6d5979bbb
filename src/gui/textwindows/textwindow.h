#pragma once

// What the three short-text windows share: the swirl picture with the tool's title, the text
// pane, and the handlers of the Open and Save buttons with their file dialogs.

#include <QAbstractButton>
#include <QLabel>

#include "gui/base/dialogs.h"
#include "gui/base/guard.h"
#include "gui/base/toolwindow.h"
#include "gui/textwindows/textpane.h"

class TextWindow : public ToolWindow {
public:
    QLabel* Image1;
    TextPane* Memo1 = nullptr;

protected:
    TextWindow(QWidget* mainWindow, Dialogs& dialogs, const QString& caption, QSize clientSize,
               const QString& artworkTitle);

    // Each window creates its pane where the pane's place in the Tab order is.
    void MakeMemo1();

    // Runs handler on every click, with any error it raises shown in the error box.
    template <class Window>
    void OnClick(QAbstractButton* button, Window* window, void (Window::*handler)())
    {
        connect(button, &QAbstractButton::clicked, this, Guarded(this, dialogs_, [window, handler] {
                    (window->*handler)();
                }));
    }

    // The Open, Save and Close buttons' handlers.
    void OpenIntoPane();
    void SavePane();
    void CloseWindow();

private:
    // What Open does with the chosen name; a file dropped on the pane takes the same way.
    void OpenFile(const QString& name);

    Dialogs& dialogs_;
    QString lastOpenName_;
    QString lastSaveName_;
};
