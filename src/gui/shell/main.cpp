#include <cstdio>

#include <QApplication>

#include "gui/base/artwork.h"
#include "gui/base/dialogs.h"
#include "gui/base/focusstyle.h"
#include "gui/base/fonts.h"
#include "gui/shell/commandline.h"
#include "gui/shell/startargs.h"
#include "gui/shell/starter.h"
#include "gui/base/toolwindow.h"

int main(int argc, char* argv[])
{
    // Before any display is opened: printing needs none.
    if (const auto text = InformationRequested({argv + 1, argv + argc})) {
        std::fputs(text->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // Refused before any display is opened too.
    StartRequest request;
    try {
        QStringList arguments;
        for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        request = ParseStartArguments(arguments);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zorvanta: %s\n", e.what());
        return 2;
    }
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(ZORVANTA_APP_ID));
    // The class of every window (WM_CLASS on X11), matched to the desktop entry's StartupWMClass.
    QCoreApplication::setApplicationName(QStringLiteral(ZORVANTA_WM_CLASS));
    LoadFonts();
    UseFocusStyle();
    QApplication::setWindowIcon(ProgramIcon());
    const auto form1 = CreateForms(QtDialogs());
    ShowCentred(form1.get());
    OpenRequested(*form1, request);
    return QApplication::exec();
}
