#include "gui/filewindows/cast256enc.h"

TForm11::TForm11(QWidget* mainWindow, Dialogs& dialogs)
    : FileEncryptionWindow(mainWindow, dialogs, {.caption = QStringLiteral("Zorvanta - Cast 256 Encryption"),
                                                   .listPosition = 2,
                                                   .ownsCast256 = true})
{
}
