#pragma once

#include "shell/dialogs.h"
#include "shell/toolwindow.h"

// The "DES Encryption" text window.
class TForm4 final : public ToolWindow {
public:
    TForm4(QWidget* mainWindow, Dialogs& dialogs);
};
