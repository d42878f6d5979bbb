#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/base/dialogs.h"
#include "gui/textwindows/textwindow.h"

// The "VKT Multi Encryption" text window: the pane's first 255 characters combined with the
// keycodes of a row of boxes. On the screen the boxes run Edit1, Edit2, Edit3, Edit5, Edit4;
// the Tab order follows the names.
class TForm3 final : public TextWindow {
public:
    TForm3(QWidget* mainWindow, Dialogs& dialogs);

    QLabel* Label5;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;

private:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
};
