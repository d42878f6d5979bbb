#include "textenc/desenc.h"

TForm4::TForm4(QWidget* mainWindow, Dialogs&)
    : ToolWindow(mainWindow, QStringLiteral("Zorvanta - DES Encryption"), QSize(392, 281))
{
}
