#include <cstdio>

#include <QApplication>

#include "gui/base/artwork.h"
#include "gui/base/dialogs.h"
#include "gui/base/focusstyle.h"
#include "gui/base/fonts.h"
#include "gui/shell/commandline.h"
#include "gui/shell/starter.h"
#include "gui/base/toolwindow.h"

int main(int argc, char* argv[])
{
    // Before any display is opened: printing needs none.
    if (const auto text = InformationRequested({argv + 1, argv + argc})) {
        std::fputs(text->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
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
    return QApplication::exec();
}
