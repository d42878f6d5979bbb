#include "gui/filewindows/rijndaelenc.h"

TForm8::TForm8(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - Rijndael Encryption"),
                                                   .listPosition = 5})
{
}
