#include "gui/filewindows/twofishenc.h"

TForm10::TForm10(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - Twofish Encryption"),
                                                   .listPosition = 6})
{
}
