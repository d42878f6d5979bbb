#pragma once

#include "gui/filewindows/filewindow.h"

class TForm6 final : public FileEncryptionWindow {
public:
    TForm6(QWidget* mainWindow, Dialogs& dialogs);
};
