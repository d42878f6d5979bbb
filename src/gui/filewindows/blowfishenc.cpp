#include "gui/filewindows/blowfishenc.h"

TForm5::TForm5(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - Blowfish Encryption"),
                                                   .listPosition = 0})
{
}
