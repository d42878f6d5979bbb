// Takes a picture of every window of the program for the README and for checking the layout:
// zorvanta-screenshots DIRECTORY [WINDOW...] (run under a display such as Xvfb), every window
// or only those named (e.g. form1-starter). Off 1x the scale joins the file name
// (form1-starter@2x.png).

#include <cstdio>

#include <QApplication>
#include <QDir>

#include "gui/filewindows/blowfishenc.h"
#include "gui/filewindows/cast256enc.h"
#include "gui/filewindows/gostenc.h"
#include "gui/filewindows/ideaenc.h"
#include "gui/filewindows/misty1enc.h"
#include "gui/filewindows/rijndaelenc.h"
#include "gui/filewindows/twofishenc.h"
#include "gui/shell/about.h"
#include "gui/base/artwork.h"
#include "gui/base/dialogs.h"
#include "gui/base/focusstyle.h"
#include "gui/base/fonts.h"
#include "gui/shell/help.h"
#include "gui/shell/starter.h"
#include "gui/agewindow/agewindow.h"
#include "gui/textwindows/desenc.h"
#include "gui/textwindows/multienc.h"
#include "gui/textwindows/singleenc.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY [WINDOW...]\n", argv[0]);
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    const QStringList wanted = QApplication::arguments().mid(2);
    const qreal scale = application.devicePixelRatio();
    const QString suffix = scale == 1.0 ? QString() : "@" + QString::number(scale) + "x";
    LoadFonts();
    UseFocusStyle();
    QApplication::setWindowIcon(ProgramIcon());
    const auto form1 = CreateForms(QtDialogs());
    const Forms& forms = form1->forms();
    const std::pair<QWidget*, const char*> windows[] = {
        {forms.Form1, "form1-starter"},      {forms.Form2, "form2-singleenc"},
        {forms.Form3, "form3-multienc"},     {forms.Form4, "form4-desenc"},
        {forms.Form5, "form5-blowfishenc"},  {forms.Form6, "form6-gostenc"},
        {forms.Form7, "form7-ideaenc"},      {forms.Form8, "form8-rijndaelenc"},
        {forms.Form9, "form9-misty1enc"},    {forms.Form10, "form10-twofishenc"},
        {forms.Form11, "form11-cast256enc"}, {forms.Form12, "form12-help"},
        {forms.Form13, "form13-about"},
    };
    int failures = 0;
    const auto take = [&](QWidget* window, const QString& name) {
        if (!wanted.isEmpty() && !wanted.contains(name)) return;
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        const QString file = directory.filePath(name + suffix + ".png");
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        }
        window->hide();
    };
    for (const auto& [window, name] : windows) take(window, QString::fromLatin1(name));
    // The age window, made on first use, with a few names listed as a user would add them.
    AgeWindow& age = form1->Age();
    age.Files->Add({QStringLiteral("/home/ada/Documents/taxes"), QStringLiteral("/home/ada/Documents/report.pdf"),
                    QStringLiteral("/home/ada/Pictures/passport.jpg")});
    age.EncRecipientsChoice->setChecked(true);
    age.EncRecipients->setPlainText(
        QStringLiteral("# Ada's laptop\nage1txmtfhxfqkr0vwjywe9s3r53w99a9kz723w50838uzqwjdqq6gls6kfmwn\n"));
    take(&age, QStringLiteral("age-window"));
    return failures == 0 ? 0 : 1;
}
