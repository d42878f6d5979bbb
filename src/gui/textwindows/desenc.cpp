#include "gui/textwindows/desenc.h"

#include <QApplication>

#include "gui/base/controls.h"

TForm4::TForm4(QWidget* mainWindow, Dialogs& dialogs)
    : TextWindow(mainWindow, dialogs, QStringLiteral("Zorvanta - DES Encryption"), QSize(392, 281),
                 QStringLiteral("DES Encryption"))
{
    Label1 = MakeLabel(this, QStringLiteral("Enter your Encryption Phrase here :"), QRect(120, 104, 167, 13),
                       Qt::white);
    // The focusable controls in Tab order.
    MakeMemo1();
    Button1 = MakeButton(this, QStringLiteral("Encrypt"), QRect(72, 200, 107, 17));
    Button2 = MakeButton(this, QStringLiteral("Decrypt"), QRect(216, 200, 105, 17));
    Button3 = MakeButton(this, QStringLiteral("Open File..."), QRect(112, 224, 75, 17));
    Button4 = MakeButton(this, QStringLiteral("Save File..."), QRect(208, 224, 73, 17));
    Button5 = MakeButton(this, QStringLiteral("Close..."), QRect(328, 256, 59, 17));
    DescribeKey(Button5, QStringLiteral("Escape"));
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(48, 120, 305, 21);
    Edit1->setAccessibleName(QStringLiteral("Encryption phrase"));
    Edit1->setAccessibleDescription(QStringLiteral("Enables Encrypt and Decrypt; the result does not depend on it"));
    Label1->setBuddy(Edit1);
    Button1->setEnabled(false);
    Button2->setEnabled(false);

    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    OnClick(Button1, this, &TForm4::Button1Click);
    OnClick(Button2, this, &TForm4::Button2Click);
    OnClick(Button3, this, &TForm4::Button3Click);
    OnClick(Button4, this, &TForm4::Button4Click);
    OnClick(Button5, this, &TForm4::Button5Click);
    Memo1->setFocus();
}

void TForm4::Edit1Change()
{
    const bool hasPhrase = !Edit1->text().isEmpty();
    Button1->setEnabled(hasPhrase);
    Button2->setEnabled(hasPhrase);
}

void TForm4::Button1Click()
{
    RunCipher(TActionType::atEncryption);
}

void TForm4::Button2Click()
{
    RunCipher(TActionType::atDecryption);
}

// The phrase is deliberately not handed over as the key (see the class comment). A full pane
// takes seconds, during which no window answers: the cursor says so.
void TForm4::RunCipher(TActionType action)
{
    struct BusyCursor {
        BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
        ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    } busy;
    RixEncryption1.SetInput(Memo1->Text());
    RixEncryption1.SetAction(action);
    RixEncryption1.Execute();
    Memo1->Put(RixEncryption1.Output());
}

void TForm4::Button3Click()
{
    OpenIntoPane();
}

void TForm4::Button4Click()
{
    SavePane();
}

void TForm4::Button5Click()
{
    CloseWindow();
}
