#include "textenc/singleenc.h"

TForm2::TForm2(QWidget* mainWindow, Dialogs&)
    : ToolWindow(mainWindow, QStringLiteral("Zorvanta - VKT Single Encryption"), QSize(393, 279))
{
}
