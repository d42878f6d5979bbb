#include "gui/textwindows/textwindow.h"

#include <QFile>

#include "gui/base/artwork.h"
#include "gui/base/controls.h"
#include "gui/base/filedrop.h"
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
    Image1 = MakePicture(
        this, [artworkTitle](qreal scale) { return SwirlBackground(artworkTitle, kLowerTitleTop, scale); },
        QRect(0, 0, 393, 281));
}

void TextWindow::MakeMemo1()
{
    Memo1 = new TextPane(this);
    Memo1->setGeometry(8, 8, 377, 89);
    Memo1->setAccessibleName(QStringLiteral("Text"));
    Memo1->setAccessibleDescription(QStringLiteral("The text to transform; Open File and Save File read and write it"));
    AcceptFileDrops(Memo1, this, dialogs_, [this](const QString& name) { OpenFile(name); });
}

void TextWindow::OpenIntoPane()
{
    if (const auto name = dialogs_.OpenFile(this, {kTextFiles, lastOpenName_, {}})) OpenFile(*name);
}

void TextWindow::OpenFile(const QString& name)
{
    lastOpenName_ = name;
    Memo1->Put(LoadTextFile(FileName(name)));
}

void TextWindow::SavePane()
{
    const auto name = dialogs_.SaveFile(this, {kTextFiles, lastSaveName_, QStringLiteral("txt")});
    if (!name) return;
    lastSaveName_ = *name;
    SaveTextFile(FileName(*name), Memo1->Text());
}

void TextWindow::CloseWindow()
{
    close();
}
