#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/base/dialogs.h"
#include "gui/base/toolwindow.h"

// The help window: a fixed text under a small lettering.
class TForm12 final : public ToolWindow {
public:
    TForm12(QWidget* mainWindow, Dialogs& dialogs);

    QLabel* Image1;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;

private:
    void Button1Click();
};
