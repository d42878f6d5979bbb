#include "gui/filewindows/ideaenc.h"

TForm7::TForm7(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - IDEA Encryption"),
                                                   .listPosition = 3})
{
}
