#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/base/dialogs.h"
#include "gui/textwindows/textwindow.h"

// The "VKT Single Encryption" text window: the pane's first 255 characters combined with one
// keycode by exclusive or; the same button encrypts and decrypts.
class TForm2 final : public TextWindow {
public:
    TForm2(QWidget* mainWindow, Dialogs& dialogs);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;

private:
    void Edit1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
};
