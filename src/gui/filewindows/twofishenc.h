#pragma once

#include "gui/filewindows/filewindow.h"

class TForm10 final : public FileEncryptionWindow {
public:
    TForm10(QWidget* mainWindow, Dialogs& dialogs);
};
