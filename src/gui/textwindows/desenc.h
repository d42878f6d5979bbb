#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/base/dialogs.h"
#include "textenc/encryp.h"
#include "gui/textwindows/textwindow.h"

// The "DES Encryption" text window: the whole pane to a hex text and back with the phrase
// cipher. The phrase box only enables the buttons; the component keeps its default key, so
// every hex text decrypts whatever phrase is typed.
class TForm4 final : public TextWindow {
public:
    TForm4(QWidget* mainWindow, Dialogs& dialogs);

    QLabel* Label1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QLineEdit* Edit1;
    TRixEncryption RixEncryption1;

private:
    void Edit1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void RunCipher(TActionType action);
};
