#include "gui/base/toolwindow.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>

#include "gui/base/fonts.h"

ToolWindow::ToolWindow(QWidget* mainWindow, const QString& caption, QSize clientSize)
    : QWidget(mainWindow, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                              Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    setFixedSize(clientSize);
    setFont(SansSerif8());
}

void ToolWindow::ShowTool()
{
    if (!testAttribute(Qt::WA_Moved)) CentreOnScreen(this);
    show();
    raise();
    activateWindow();
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(std::max(frame.left(), 0), std::max(frame.top(), 0));
}
