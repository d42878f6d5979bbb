#pragma once

#include "fileenc/filewindow.h"

class TForm11 final : public FileEncryptionWindow {
public:
    TForm11(QWidget* mainWindow, Dialogs& dialogs);
};
