#pragma once

#include "gui/filewindows/filewindow.h"

class TForm9 final : public FileEncryptionWindow {
public:
    TForm9(QWidget* mainWindow, Dialogs& dialogs);
};
