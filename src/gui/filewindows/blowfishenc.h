#pragma once

#include "gui/filewindows/filewindow.h"

class TForm5 final : public FileEncryptionWindow {
public:
    TForm5(QWidget* mainWindow, Dialogs& dialogs);
};
