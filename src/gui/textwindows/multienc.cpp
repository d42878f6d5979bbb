#include "gui/textwindows/multienc.h"

#include <algorithm>
#include <iterator>

#include "gui/base/controls.h"
#include "textenc/keycode.h"

namespace {
QLineEdit* MakeKeycodeBox(QWidget* parent, int left)
{
    auto* box = new QLineEdit(parent);
    box->setGeometry(left, 128, 33, 21);
    box->setMaxLength(4);
    return box;
}
}  // namespace

TForm3::TForm3(QWidget* mainWindow, Dialogs& dialogs)
    : TextWindow(mainWindow, dialogs, QStringLiteral("Zorvanta - VKT Multi Encryption"), QSize(393, 280),
                 QStringLiteral("Multi Encryption"))
{
    Label5 = MakeLabel(this, QStringLiteral("Enter your Keycode here ( at least one number in each box ) :"),
                       QRect(52, 112, 289, 13), Qt::white);
    Label1 = MakeLabel(this, QStringLiteral("-"), QRect(124, 136, 3, 13), Qt::white);
    Label2 = MakeLabel(this, QStringLiteral("-"), QRect(172, 136, 3, 13), Qt::white);
    Label3 = MakeLabel(this, QStringLiteral("-"), QRect(220, 136, 3, 13), Qt::white);
    Label4 = MakeLabel(this, QStringLiteral("-"), QRect(268, 136, 3, 13), Qt::white);
    // The focusable controls in Tab order.
    Button1 = MakeButton(this, QStringLiteral("Encrypt | Decrypt"), QRect(104, 200, 185, 17));
    Button2 = MakeButton(this, QStringLiteral("Open File..."), QRect(80, 224, 81, 17));
    Button3 = MakeButton(this, QStringLiteral("Save File..."), QRect(232, 224, 81, 17));
    Button4 = MakeButton(this, QStringLiteral("Close..."), QRect(320, 256, 67, 17));
    DescribeKey(Button4, QStringLiteral("Escape"));
    Edit1 = MakeKeycodeBox(this, 84);
    Edit2 = MakeKeycodeBox(this, 132);
    Edit3 = MakeKeycodeBox(this, 180);
    Edit4 = MakeKeycodeBox(this, 276);
    Edit5 = MakeKeycodeBox(this, 228);
    MakeMemo1();
    // Named by their place on the screen, which the Tab order does not follow.
    const QLineEdit* const onScreen[] = {Edit1, Edit2, Edit3, Edit5, Edit4};
    for (QLineEdit* box : {Edit1, Edit2, Edit3, Edit4, Edit5}) {
        const auto place = std::find(std::begin(onScreen), std::end(onScreen), box) - std::begin(onScreen) + 1;
        box->setAccessibleName(QStringLiteral("Keycode %1").arg(place));
        box->setAccessibleDescription(Label5->text());
    }

    OnClick(Button1, this, &TForm3::Button1Click);
    OnClick(Button2, this, &TForm3::Button2Click);
    OnClick(Button3, this, &TForm3::Button3Click);
    OnClick(Button4, this, &TForm3::Button4Click);
    Button1->setFocus();
}

void TForm3::Button1Click()
{
    const std::string edit1 = Edit1->text().toStdString(), edit2 = Edit2->text().toStdString(),
                      edit4 = Edit4->text().toStdString(), edit5 = Edit5->text().toStdString();
    MultiKeycodeTransform(*Memo1, {.edit1 = edit1, .edit2 = edit2, .edit4 = edit4, .edit5 = edit5});
}

void TForm3::Button2Click()
{
    OpenIntoPane();
}

void TForm3::Button3Click()
{
    SavePane();
}

void TForm3::Button4Click()
{
    CloseWindow();
}
