#pragma once

#include "gui/filewindows/filewindow.h"

class TForm7 final : public FileEncryptionWindow {
public:
    TForm7(QWidget* mainWindow, Dialogs& dialogs);
};
