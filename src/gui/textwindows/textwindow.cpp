#include "gui/textwindows/textwindow.h"

#include <QFile>

#include "gui/base/artwork.h"
#include "gui/base/controls.h"
#include "textenc/textfile.h"

namespace {
const QString kTextFiles = QStringLiteral("Textfiles *.txt (*.txt)");

std::string FileName(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}
}  // namespace

TextWindow::TextWindow(QWidget* mainWindow, Dialogs& dialogs, const QString& caption, QSize clientSize,
                       const QString& artworkTitle)
    : ToolWindow(mainWindow, caption, clientSize), dialogs_(dialogs)
{
    Image1 = MakePicture(this, SwirlBackground(artworkTitle, kLowerTitleTop), QRect(0, 0, 393, 281));
}

void TextWindow::MakeMemo1()
{
    Memo1 = new TextPane(this);
    Memo1->setGeometry(8, 8, 377, 89);
}

void TextWindow::OpenIntoPane()
{
    const auto name = dialogs_.OpenFile(this, {kTextFiles, lastOpenName_, {}});
    if (!name) return;
    lastOpenName_ = *name;
    LoadTextFile(FileName(*name), *Memo1);
}

void TextWindow::SavePane()
{
    const auto name = dialogs_.SaveFile(this, {kTextFiles, lastSaveName_, QStringLiteral("txt")});
    if (!name) return;
    lastSaveName_ = *name;
    SaveTextFile(FileName(*name), *Memo1);
}

void TextWindow::CloseWindow()
{
    close();
}
