#pragma once

#include "fileenc/filewindow.h"

class TForm8 final : public FileEncryptionWindow {
public:
    TForm8(QWidget* mainWindow, Dialogs& dialogs);
};
