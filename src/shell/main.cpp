#include <QApplication>

#include "shell/artwork.h"
#include "shell/dialogs.h"
#include "shell/fonts.h"
#include "shell/starter.h"
#include "shell/toolwindow.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    LoadFonts();
    QApplication::setWindowIcon(ProgramIcon());
    const auto form1 = CreateForms(QtDialogs());
    CentreOnScreen(form1.get());
    form1->show();
    return QApplication::exec();
}
