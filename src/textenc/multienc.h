#pragma once

#include "shell/dialogs.h"
#include "shell/toolwindow.h"

// The "VKT Multi Encryption" text window.
class TForm3 final : public ToolWindow {
public:
    TForm3(QWidget* mainWindow, Dialogs& dialogs);
};
