#include "gui/filewindows/gostenc.h"

TForm6::TForm6(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - Gost Encryption"),
                                                   .listPosition = 2,
                                                   .encryptWording = MessageWording::Gost})
{
}
