#include "gui/textwindows/singleenc.h"

#include "gui/base/controls.h"
#include "textenc/keycode.h"

TForm2::TForm2(QWidget* mainWindow, Dialogs& dialogs)
    : TextWindow(mainWindow, dialogs, QStringLiteral("Zorvanta - VKT Single Encryption"), QSize(393, 279),
                 QStringLiteral("Single Encryption"))
{
    // Created in Tab order.
    Label1 = MakeLabel(this, QStringLiteral("Enter Encryption Keycode here:"), QRect(122, 112, 150, 13), Qt::white);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(176, 128, 41, 21);
    Edit1->setMaxLength(5);
    Edit1->setAccessibleName(QStringLiteral("Keycode"));
    Label1->setBuddy(Edit1);
    Button1 = MakeButton(this, QStringLiteral("Encrypt | Decrypt"), QRect(88, 200, 217, 17));
    Button1->setEnabled(false);
    Button2 = MakeButton(this, QStringLiteral("Open File..."), QRect(72, 224, 75, 17));
    Button3 = MakeButton(this, QStringLiteral("Save File..."), QRect(248, 224, 75, 17));
    Button4 = MakeButton(this, QStringLiteral("Close..."), QRect(320, 256, 67, 17));
    DescribeKey(Button4, QStringLiteral("Escape"));
    MakeMemo1();

    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    OnClick(Button1, this, &TForm2::Button1Click);
    OnClick(Button2, this, &TForm2::Button2Click);
    OnClick(Button3, this, &TForm2::Button3Click);
    OnClick(Button4, this, &TForm2::Button4Click);
    Edit1->setFocus();
}

// Any character counts, a space too: only the transform converts the keycode.
void TForm2::Edit1Change()
{
    Button1->setEnabled(!Edit1->text().isEmpty());
}

void TForm2::Button1Click()
{
    SingleKeycodeTransform(*Memo1, Edit1->text().toStdString());
}

void TForm2::Button2Click()
{
    OpenIntoPane();
}

void TForm2::Button3Click()
{
    SavePane();
}

void TForm2::Button4Click()
{
    CloseWindow();
}
