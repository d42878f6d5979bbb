#include "gui/shell/starter.h"

#include <QCloseEvent>
#include <QShortcut>

#include "gui/filewindows/blowfishenc.h"
#include "gui/filewindows/cast256enc.h"
#include "gui/filewindows/gostenc.h"
#include "gui/filewindows/ideaenc.h"
#include "gui/filewindows/misty1enc.h"
#include "gui/filewindows/rijndaelenc.h"
#include "gui/filewindows/twofishenc.h"
#include "gui/shell/about.h"
#include "gui/base/accessibility.h"
#include "gui/base/artwork.h"
#include "gui/base/controls.h"
#include "gui/base/fonts.h"
#include "gui/base/guard.h"
#include "gui/shell/help.h"
#include "gui/textwindows/desenc.h"
#include "gui/textwindows/multienc.h"
#include "gui/textwindows/singleenc.h"

std::unique_ptr<TForm1> CreateForms(Dialogs& dialogs)
{
    auto form1 = std::make_unique<TForm1>(dialogs);
    QWidget* main = form1.get();
    Forms& forms = form1->forms_;
    forms.Form1 = form1.get();
    forms.Form2 = new TForm2(main, dialogs);
    forms.Form3 = new TForm3(main, dialogs);
    forms.Form4 = new TForm4(main, dialogs);
    forms.Form5 = new TForm5(main, dialogs);
    forms.Form6 = new TForm6(main, dialogs);
    forms.Form7 = new TForm7(main, dialogs);
    forms.Form8 = new TForm8(main, dialogs);
    forms.Form9 = new TForm9(main, dialogs);
    forms.Form10 = new TForm10(main, dialogs);
    forms.Form11 = new TForm11(main, dialogs);
    forms.Form12 = new TForm12(main, dialogs);
    forms.Form13 = new TForm13(main, dialogs);
    return form1;
}

TForm1::TForm1(Dialogs& dialogs)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    InstallAccessibility();
    setWindowTitle(QStringLiteral("Zorvanta v1.3 by VKT Network"));
    setFixedSize(344, 424);
    setFont(SansSerif8());

    // Created from the lowest layer up; the push buttons also in their Tab order.
    Image1 = MakePicture(this, MainBackground, QRect(-32, 0, 457, 425));
    Label1 = MakeLabel(this, QStringLiteral("Password / Short Text Encryption :"), QRect(90, 80, 165, 13), Qt::white);
    Label2 = MakeLabel(this, QStringLiteral("File Encryption :"), QRect(135, 184, 75, 13), Qt::white);
    Bevel1 = MakeBevel(this, QRect(88, 96, 169, 81), BevelStyle::Raised);
    Bevel2 = MakeBevel(this, QRect(87, 200, 169, 177), BevelStyle::Raised);
    SpeedButton1 = MakeFlatButton(this, QStringLiteral("Help..."), QRect(32, 360, 49, 17), Qt::white);
    SpeedButton2 = MakeFlatButton(this, QStringLiteral("About..."), QRect(264, 360, 49, 17), Qt::white);
    Button5 = MakeButton(this, QStringLiteral("Exit"), QRect(67, 400, 209, 17));
    Button2 = MakeButton(this, QStringLiteral("VKT Multi Encryption"), QRect(100, 128, 145, 17));
    Button1 = MakeButton(this, QStringLiteral("VKT Single Encryption"), QRect(100, 104, 145, 17));
    Button3 = MakeButton(this, QStringLiteral("DES Encryption"), QRect(100, 152, 145, 17));
    button6 = MakeButton(this, QStringLiteral("Gost Encryption"), QRect(100, 232, 145, 17));
    Button4 = MakeButton(this, QStringLiteral("Blowfish Encryption"), QRect(100, 208, 145, 17));
    Button7 = MakeButton(this, QStringLiteral("IDEA Encryption"), QRect(100, 256, 145, 17));
    Button8 = MakeButton(this, QStringLiteral("Rijndael Encryption"), QRect(100, 280, 145, 17));
    Button9 = MakeButton(this, QStringLiteral("Misty 1 Encryption"), QRect(100, 304, 145, 17));
    Button10 = MakeButton(this, QStringLiteral("Twofish Encryption"), QRect(100, 328, 145, 17));
    Button11 = MakeButton(this, QStringLiteral("Cast 256 Encryption"), QRect(100, 352, 145, 17));

    const std::pair<QPushButton*, void (TForm1::*)()> handlers[] = {
        {SpeedButton1, &TForm1::SpeedButton1Click}, {SpeedButton2, &TForm1::SpeedButton2Click},
        {Button5, &TForm1::Button5Click},           {Button2, &TForm1::Button2Click},
        {Button1, &TForm1::Button1Click},           {Button3, &TForm1::Button3Click},
        {button6, &TForm1::button6Click},           {Button4, &TForm1::Button4Click},
        {Button7, &TForm1::Button7Click},           {Button8, &TForm1::Button8Click},
        {Button9, &TForm1::Button9Click},           {Button10, &TForm1::Button10Click},
        {Button11, &TForm1::Button11Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, Guarded(this, dialogs, [this, handler] { (this->*handler)(); }));
    Button5->setFocus();
    // F1 reaches Help from every window of the program, as the flat Help button takes no focus.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, SpeedButton1, &QAbstractButton::click);
    DescribeKey(SpeedButton1, help->key().toString());

    FormCreate();
}

void TForm1::FormCreate()
{
    SetApplicationTitle(QStringLiteral("Zorvanta v1.3"));
}

void TForm1::Button1Click() { forms_.Form2->ShowTool(); }
void TForm1::Button2Click() { forms_.Form3->ShowTool(); }
void TForm1::Button3Click() { forms_.Form4->ShowTool(); }
void TForm1::Button4Click() { forms_.Form5->ShowTool(); }
void TForm1::button6Click() { forms_.Form6->ShowTool(); }
void TForm1::Button7Click() { forms_.Form7->ShowTool(); }
void TForm1::Button8Click() { forms_.Form8->ShowTool(); }
void TForm1::Button9Click() { forms_.Form9->ShowTool(); }
void TForm1::Button10Click() { forms_.Form10->ShowTool(); }
void TForm1::Button11Click() { forms_.Form11->ShowTool(); }
void TForm1::SpeedButton1Click() { forms_.Form12->ShowTool(); }
void TForm1::SpeedButton2Click() { forms_.Form13->ShowTool(); }

void TForm1::Button5Click()
{
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // The program ends with this window: file runs stop, and their threads end, while the
    // windows they report to still exist.
    const std::initializer_list<FileEncryptionWindow*> fileWindows = {
        forms_.Form5, forms_.Form6, forms_.Form7, forms_.Form8, forms_.Form9, forms_.Form10, forms_.Form11};
    for (FileEncryptionWindow* window : fileWindows)
        if (window) window->CancelRun();
    QWidget::closeEvent(event);
}
