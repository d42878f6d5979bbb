#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "gui/base/dialogs.h"
#include "gui/base/toolwindow.h"

// The about window: version, credits, and two labels that hand an address to the desktop.
// Each of the two turns blue under the mouse and red again over a bare part of the panel or
// of the window.
class TForm13 final : public ToolWindow {
public:
    TForm13(QWidget* mainWindow, Dialogs& dialogs);

    QLabel* Image1;
    QFrame* Panel1;
    QLabel* Image2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;  // the contact address
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label4;  // the homepage
    QPushButton* Button1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Label3Click();
    void Label4Click();
    void Label3MouseMove();
    void Label4MouseMove();
    void Panel1MouseMove(QPoint position);
    void FormMouseMove(QPoint position);
    void Button1Click();
    void SetAddressColors(const QColor& color);

    Dialogs& dialogs_;
};
