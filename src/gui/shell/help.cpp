#include "gui/shell/help.h"

#include <QStringList>

#include "gui/base/artwork.h"
#include "gui/base/controls.h"
#include "gui/base/fonts.h"
#include "gui/base/guard.h"

namespace {
// One line of the text box each; the trailing spaces belong to the text.
const QStringList kHelpLines = {
    "For quick Text Encryption enter the ",
    "' Password / Short Text Encryption ' ",
    "mode.This mode is for short texts only.",
    "",
    "For File Encryption take one of the ",
    "' File Encryption ' modes.Then enter ",
    "the filename of the file you want to ",
    "encrypt/decrypt ( input file ) and the ",
    "filename of the output file.",
    "",
    "Enjoy this tool.... ",
};
}  // namespace

TForm12::TForm12(QWidget* mainWindow, Dialogs& dialogs)
    : ToolWindow(mainWindow, QStringLiteral("Zorvanta - Help"), QSize(233, 240))
{
    SetBackground(this, Qt::black);
    Image1 = MakePicture(
        this, [](qreal scale) { return Lettering(QStringLiteral("Help"), QSize(85, 57), scale); },
        QRect(76, 0, 81, 57));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(24, 56, 185, 153);
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setFont(SansSerif8());
    Memo1->document()->setDocumentMargin(1);  // the eleven lines fill the box exactly
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(palette);
    Memo1->setPlainText(kHelpLines.join(u'\n'));
    Memo1->setAccessibleName(QStringLiteral("Help text"));

    Button1 = MakeButton(this, QStringLiteral("Close..."), QRect(168, 216, 59, 17));
    DescribeKey(Button1, QStringLiteral("Escape"));
    connect(Button1, &QPushButton::clicked, this, Guarded(this, dialogs, [this] { Button1Click(); }));
    Memo1->setFocus();
}

void TForm12::Button1Click()
{
    close();
}
