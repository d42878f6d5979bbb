#include "gui/filewindows/misty1enc.h"

TForm9::TForm9(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - Misty 1 Encryption"),
                                                   .listPosition = 4,
                                                   .listLeft = 80})
{
}
