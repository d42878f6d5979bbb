#pragma once

#include "gui/filewindows/filewindow.h"

class TForm8 final : public FileEncryptionWindow {
public:
    TForm8(QWidget* mainWindow, Dialogs& dialogs);
};
