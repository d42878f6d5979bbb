#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "gui/filewindows/blowfishenc.h"
#include "gui/filewindows/cast256enc.h"
#include "gui/filewindows/gostenc.h"
#include "gui/filewindows/ideaenc.h"
#include "gui/filewindows/misty1enc.h"
#include "gui/filewindows/rijndaelenc.h"
#include "gui/filewindows/twofishenc.h"
#include "gui/shell/about.h"
#include "gui/base/dialogs.h"
#include "gui/base/guard.h"
#include "gui/base/toolwindow.h"
#include "gui/shell/help.h"
#include "gui/shell/starter.h"
#include "support/fakedialogs.h"
#include "support/windowtest.h"
#include "gui/textwindows/desenc.h"
#include "gui/textwindows/multienc.h"
#include "gui/textwindows/singleenc.h"

namespace {
class StartUp : public testing::Test {
protected:
    // Runs the event loop until the program ends; a guard timer gives up after a few seconds.
    int RunUntilEnd(const std::function<void()>& action)
    {
        QTimer::singleShot(0, form1.get(), action);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(5000);
        return QCoreApplication::exec();
    }

    FakeDialogs dialogs;
    std::unique_ptr<TForm1> form1 = CreateForms(dialogs);
    const Forms& forms = form1->forms();
};

std::vector<QWidget*> WindowsInCreationOrder(TForm1* form1)
{
    std::vector<QWidget*> windows{form1};
    for (QObject* child : form1->children())
        if (auto* widget = qobject_cast<QWidget*>(child); widget && widget->isWindow()) windows.push_back(widget);
    return windows;
}
}  // namespace

TEST_F(StartUp, CreatesThirteenHiddenWindowsInOrder)
{
    const std::pair<QString, QSize> expected[] = {
        {"Zorvanta v1.3 by VKT Network", {344, 424}},    {"Zorvanta - VKT Single Encryption", {393, 279}},
        {"Zorvanta - VKT Multi Encryption", {393, 280}}, {"Zorvanta - DES Encryption", {392, 281}},
        {"Zorvanta - Blowfish Encryption", {393, 280}},  {"Zorvanta - Gost Encryption", {393, 280}},
        {"Zorvanta - IDEA Encryption", {393, 280}},      {"Zorvanta - Rijndael Encryption", {393, 280}},
        {"Zorvanta - Misty 1 Encryption", {393, 280}},   {"Zorvanta - Twofish Encryption", {393, 280}},
        {"Zorvanta - Cast 256 Encryption", {393, 280}},  {"Zorvanta - Help", {233, 240}},
        {"Zorvanta - About", {385, 329}},
    };
    const auto windows = WindowsInCreationOrder(form1.get());
    ASSERT_EQ(windows.size(), std::size(expected));
    const QWidget* byInstance[] = {forms.Form1, forms.Form2,  forms.Form3,  forms.Form4, forms.Form5,
                                   forms.Form6, forms.Form7,  forms.Form8,  forms.Form9, forms.Form10,
                                   forms.Form11, forms.Form12, forms.Form13};
    for (std::size_t i = 0; i < windows.size(); ++i) {
        EXPECT_EQ(windows[i], byInstance[i]) << i;
        EXPECT_EQ(windows[i]->windowTitle(), expected[i].first);
        EXPECT_EQ(windows[i]->size(), expected[i].second) << expected[i].first.toStdString();
        EXPECT_EQ(windows[i]->minimumSize(), windows[i]->maximumSize()) << "resizable: " << i;
        EXPECT_FALSE(windows[i]->isVisible()) << i;
        EXPECT_EQ(windows[i]->testAttribute(Qt::WA_DeleteOnClose), false);
        if (i > 0) {
            EXPECT_TRUE(windows[i]->windowFlags() & Qt::WindowStaysOnTopHint) << i;
        }
    }
    EXPECT_FALSE(forms.Form1->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(forms.Form1->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(ApplicationTitle(), "Zorvanta v1.3");
    EXPECT_EQ(QCoreApplication::applicationName(), QFileInfo(QCoreApplication::applicationFilePath()).fileName())
        << "the window class is not the title";
}

TEST_F(StartUp, OnlyTheMainWindowShowsWithExitFocusedAndEnterEndsTheProgram)
{
    ASSERT_TRUE(ShowActive(form1.get()));
    for (QWidget* window : WindowsInCreationOrder(form1.get()))
        EXPECT_EQ(window->isVisible(), window == form1.get()) << window->windowTitle().toStdString();
    EXPECT_EQ(QApplication::focusWidget(), form1->Button5);
    EXPECT_EQ(RunUntilEnd([] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }), 0);
    EXPECT_FALSE(form1->isVisible());
}

TEST_F(StartUp, MainWindowTabOrderAndCaptions)
{
    ASSERT_TRUE(ShowActive(form1.get()));
    const std::pair<QPushButton*, QString> order[] = {
        {form1->Button5, "Exit"},
        {form1->Button2, "VKT Multi Encryption"},
        {form1->Button1, "VKT Single Encryption"},
        {form1->Button3, "DES Encryption"},
        {form1->button6, "Gost Encryption"},
        {form1->Button4, "Blowfish Encryption"},
        {form1->Button7, "IDEA Encryption"},
        {form1->Button8, "Rijndael Encryption"},
        {form1->Button9, "Misty 1 Encryption"},
        {form1->Button10, "Twofish Encryption"},
        {form1->Button11, "Cast 256 Encryption"},
    };
    const auto cycle = TabCycle(form1.get(), static_cast<int>(std::size(order)));
    for (std::size_t i = 0; i < std::size(order); ++i) {
        EXPECT_EQ(cycle[i], order[i].first) << i;
        EXPECT_EQ(order[i].first->text(), order[i].second);
    }
    EXPECT_EQ(cycle.back(), form1->Button5) << "the cycle closes";
    EXPECT_EQ(form1->Label1->text(), "Password / Short Text Encryption :");
    EXPECT_EQ(form1->Label2->text(), "File Encryption :");
    EXPECT_EQ(form1->SpeedButton1->text(), "Help...");
    EXPECT_EQ(form1->SpeedButton2->text(), "About...");
}

TEST_F(StartUp, EachButtonShowsItsOneWindowWhichKeepsItsPlace)
{
    ASSERT_TRUE(ShowActive(form1.get()));
    const std::pair<QPushButton*, QWidget*> buttons[] = {
        {form1->Button1, forms.Form2},       {form1->Button2, forms.Form3},  {form1->Button3, forms.Form4},
        {form1->Button4, forms.Form5},       {form1->button6, forms.Form6},  {form1->Button7, forms.Form7},
        {form1->Button8, forms.Form8},       {form1->Button9, forms.Form9},  {form1->Button10, forms.Form10},
        {form1->Button11, forms.Form11},     {form1->SpeedButton1, forms.Form12},
        {form1->SpeedButton2, forms.Form13},
    };
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const auto windowCount = QApplication::topLevelWidgets().size();
    for (const auto& [button, window] : buttons) {
        const std::string name = window->windowTitle().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(window->isVisible()) << name;
        EXPECT_TRUE(WaitUntilActive(window)) << name;
        EXPECT_LE((window->frameGeometry().center() - screenCentre).manhattanLength(), 4) << name;  // rounding of odd sizes
        // Owned by the main window; under X11 only a dialog-type window gets WM_TRANSIENT_FOR.
        EXPECT_EQ(window->windowHandle()->transientParent(), form1->windowHandle()) << name;
        EXPECT_EQ(window->windowHandle()->type(), Qt::Dialog) << name;

        const QPoint moved = window->pos() + QPoint(17, 9);
        window->move(moved);
        QTest::mouseClick(button, Qt::LeftButton);  // already shown: only brought to the front
        window->close();
        EXPECT_FALSE(window->isVisible()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(window->isVisible()) << name;
        EXPECT_EQ(window->pos(), moved) << name;
    }
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowCount) << "no second instance";
    EXPECT_TRUE(form1->isVisible());
}

// F1 opens Help from any window; Escape closes Help, About and every tool window.
TEST_F(StartUp, F1OpensHelpAnywhereAndEscapeClosesEveryToolWindow)
{
    ShowCentred(form1.get());
    ASSERT_TRUE(WaitUntilActive(form1.get()));
    EXPECT_EQ(forms.Form1->SpeedButton1->accessibleDescription(), "Key: F1");
    const std::vector<QWidget*> windows = WindowsInCreationOrder(form1.get());
    for (QWidget* window : std::vector<QWidget*>(windows.begin() + 1, windows.end())) {
        const std::string name = window->windowTitle().toStdString();
        static_cast<ToolWindow*>(window)->ShowTool();
        ASSERT_TRUE(WaitUntilActive(window)) << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        EXPECT_TRUE(forms.Form12->isVisible()) << name;
        forms.Form12->close();
        static_cast<ToolWindow*>(window)->ShowTool();
        ASSERT_TRUE(WaitUntilActive(window)) << name;
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << name;
    }
}

TEST_F(StartUp, ExitWithToolWindowsOpenEndsTheProgram)
{
    ASSERT_TRUE(ShowActive(form1.get()));
    for (QPushButton* button : {form1->Button1, form1->Button4, form1->SpeedButton2})
        QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(RunUntilEnd([this] { QTest::mouseClick(form1->Button5, Qt::LeftButton); }), 0);
    EXPECT_TRUE(dialogs.informations.empty() && dialogs.errors.empty()) << "no question asked";
}

TEST(ErrorDisplay, FullStopRuleOnErrorsRaisedInAHandler)
{
    const std::pair<std::string, QString> cases[] = {
        {"Blowfish: Not initialized", "Blowfish: Not initialized."},
        {"I/O-Fehler 1013", "I/O-Fehler 1013."},
        {"'x' ist kein gültiger Integerwert", "'x' ist kein gültiger Integerwert."},
        {"Zugriff auf ü", "Zugriff auf ü."},
        {"slash/", "slash/."},
        {"Lesen nach Dateiende (EOF)", "Lesen nach Dateiende (EOF)"},
        {"No Filenames selected!!", "No Filenames selected!!"},
        {"ends in a full stop.", "ends in a full stop."},
        {"ends in a space ", "ends in a space "},
        {"dash-", "dash-"},
        {"", ""},
    };
    FakeDialogs dialogs;
    QWidget window;
    QPushButton button(&window);
    std::function<void()> raise;
    QObject::connect(&button, &QPushButton::clicked, &window, Guarded(&window, dialogs, [&] { raise(); }));
    for (const auto& [raised, shown] : cases) {
        raise = [message = raised] { throw ZorvantaError(message); };
        dialogs.errors.clear();
        QTest::mouseClick(&button, Qt::LeftButton);
        ASSERT_EQ(dialogs.errors.size(), 1u) << raised;
        EXPECT_EQ(dialogs.errors.front(), shown);
        EXPECT_EQ(dialogs.lastParent, &window);
    }
    // Errors of the standard library reach the box the same way.
    raise = [] { throw std::out_of_range("Index out of range"); };
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors.back(), "Index out of range.");
}
