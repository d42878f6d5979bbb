#pragma once

#include "shell/dialogs.h"
#include "shell/toolwindow.h"

// The "VKT Single Encryption" text window.
class TForm2 final : public ToolWindow {
public:
    TForm2(QWidget* mainWindow, Dialogs& dialogs);
};
