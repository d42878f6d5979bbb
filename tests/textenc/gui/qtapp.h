#pragma once

// One QApplication for a test program, on the offscreen platform unless one is chosen.

#include <QApplication>

inline QApplication& TestApplication()
{
    static int argc = 1;
    static char name[] = "zorvanta_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: tearing Qt down among the program's static destructors crashes.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
