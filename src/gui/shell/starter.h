#pragma once

#include <memory>

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "gui/agewindow/agewindow.h"
#include "gui/base/dialogs.h"

class ToolWindow;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TForm11;
class TForm12;
class TForm13;
class TForm1;

// The thirteen windows of the program, one instance each, in the order they are created.
struct Forms {
    TForm1* Form1;
    TForm2* Form2;
    TForm3* Form3;
    TForm4* Form4;
    TForm5* Form5;
    TForm6* Form6;
    TForm7* Form7;
    TForm8* Form8;
    TForm9* Form9;
    TForm10* Form10;
    TForm11* Form11;
    TForm12* Form12;
    TForm13* Form13;
};

// Creates every window, hidden. The main window owns the others: destroying it ends them all.
std::unique_ptr<TForm1> CreateForms(Dialogs& dialogs);

// The main window: a launcher with one button per tool window, Help, About and Exit.
class TForm1 final : public QWidget {
public:
    explicit TForm1(Dialogs& dialogs);

    const Forms& forms() const { return forms_; }
    // The age window, created on first use.
    AgeWindow& Age();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QFrame* Bevel1;
    QFrame* Bevel2;
    QPushButton* SpeedButton1;
    QPushButton* SpeedButton2;
    QPushButton* SpeedButton3;
    QPushButton* Button5;
    QPushButton* Button2;
    QPushButton* Button1;
    QPushButton* Button3;
    QPushButton* button6;
    QPushButton* Button4;
    QPushButton* Button7;
    QPushButton* Button8;
    QPushButton* Button9;
    QPushButton* Button10;
    QPushButton* Button11;

private:
    friend std::unique_ptr<TForm1> CreateForms(Dialogs& dialogs);

    void closeEvent(QCloseEvent* event) override;

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void Button5Click();

    Forms forms_{};
    Dialogs& dialogs_;
    AgeWindow* age_ = nullptr;
};
