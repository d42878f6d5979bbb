#include "gui/base/toolwindow.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "gui/base/accessibility.h"
#include "gui/base/fonts.h"

namespace {
// The frame the window manager drew around the window mapped last. A window's own frame is
// known only once it is mapped; until then this one stands in, as one manager frames the
// windows of a program alike.
QMargins lastFrame;

// QWidget::move places a window's frame, not its client area.
void PlaceCentred(QWidget* window, const QMargins& frame)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    QRect outer(QPoint(), window->size().grownBy(frame));
    outer.moveCenter(screen->availableGeometry().center());
    window->move(std::max(outer.left(), 0), std::max(outer.top(), 0));
}

// Once the window is mapped, places it again by its own frame if that differs from the one
// assumed, and then leaves it alone.
class CentreWhenMapped final : public QObject {
public:
    CentreWhenMapped(QWidget* window, const QMargins& assumed) : QObject(window), window_(window), assumed_(assumed)
    {
        window->windowHandle()->installEventFilter(this);
        if (window->windowHandle()->isExposed()) Mapped();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && window_->windowHandle()->isExposed()) Mapped();
        return false;
    }

private:
    void Mapped()
    {
        window_->windowHandle()->removeEventFilter(this);
        lastFrame = window_->windowHandle()->frameMargins();
        if (lastFrame != assumed_) PlaceCentred(window_, lastFrame);
        deleteLater();
    }

    QWidget* window_;
    QMargins assumed_;
};
}  // namespace

// A dialog, not a plain window: Qt makes the main window the transient parent of a child window
// of either kind, but its X11 layer passes that on to the window manager (WM_TRANSIENT_FOR)
// only for a dialog.
ToolWindow::ToolWindow(QWidget* mainWindow, const QString& caption, QSize clientSize)
    : QWidget(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                              Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    InstallAccessibility();
    setWindowTitle(caption);
    setFixedSize(clientSize);
    setFont(SansSerif8());
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (!Busy()) close();
    });
}

void ToolWindow::ShowTool()
{
    if (testAttribute(Qt::WA_Moved))
        show();
    else
        ShowCentred(this);
    raise();
    activateWindow();
}

void ShowCentred(QWidget* window)
{
    const QMargins assumed = lastFrame;
    PlaceCentred(window, assumed);
    window->show();
    new CentreWhenMapped(window, assumed);
}
