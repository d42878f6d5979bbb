#pragma once

#include "gui/filewindows/filewindow.h"

class TForm11 final : public FileEncryptionWindow {
public:
    TForm11(QWidget* mainWindow, Dialogs& dialogs);
};
