#pragma once

#include "fileenc/filewindow.h"

class TForm9 final : public FileEncryptionWindow {
public:
    TForm9(QWidget* mainWindow, Dialogs& dialogs);
};
