#include "textenc/multienc.h"

TForm3::TForm3(QWidget* mainWindow, Dialogs&)
    : ToolWindow(mainWindow, QStringLiteral("Zorvanta - VKT Multi Encryption"), QSize(393, 280))
{
}
