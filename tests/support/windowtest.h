#pragma once

// Helpers for driving windows on the offscreen platform.

#include <vector>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QWidget>

// Waits until the window itself is the active one. QTest::qWaitForWindowActive does not: it
// counts a window as active while any window of the same transient parent is, so a window
// shown over a sibling passes at once and gets its activation only later.
inline bool WaitUntilActive(QWidget* window)
{
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// Shows a window and waits until it is the active one, as when the user brings it up.
inline bool ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return WaitUntilActive(window);
}

// The widgets that hold the focus, starting with the current one, after each of count Tabs.
inline std::vector<QWidget*> TabCycle(QWidget* window, int count)
{
    std::vector<QWidget*> cycle{QApplication::focusWidget()};
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
        cycle.push_back(QApplication::focusWidget());
    }
    return cycle;
}

// Drops addresses (as a file manager offers them) at pos of window, delivered as Qt delivers a
// drop from another program: to the widget there that accepts drops, or to its nearest parent
// that does. The user holds Shift, which asks for a move; the answer is the action taken.
inline Qt::DropAction DropAddresses(QWidget* window, QPoint pos, const QStringList& addresses)
{
    QMimeData data;
    data.setUrls(QUrl::fromStringList(addresses));
    QWidget* target = window->childAt(pos) ? window->childAt(pos) : window;
    while (!target->isWindow() && !target->acceptDrops()) target = target->parentWidget();
    const QPoint local = target->mapFrom(window, pos);
    QDragEnterEvent enter(local, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDropEvent drop(local, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// The middle of a control, in its window's coordinates.
inline QPoint CentreOf(const QWidget* control)
{
    return control->mapTo(control->window(), control->rect().center());
}
