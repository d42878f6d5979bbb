#pragma once

// Helpers for driving windows on the offscreen platform.

#include <vector>

#include <QApplication>
#include <QTest>
#include <QWidget>

// Shows a window and waits until it is the active one, as when the user brings it up.
inline bool ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
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
