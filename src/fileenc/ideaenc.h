#pragma once

#include "fileenc/filewindow.h"

class TForm7 final : public FileEncryptionWindow {
public:
    TForm7(QWidget* mainWindow, Dialogs& dialogs);
};
