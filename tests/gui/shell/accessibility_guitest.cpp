#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QImage>

#include "gui/filewindows/blowfishenc.h"
#include "gui/filewindows/cast256enc.h"
#include "gui/filewindows/gostenc.h"
#include "gui/filewindows/ideaenc.h"
#include "gui/filewindows/misty1enc.h"
#include "gui/filewindows/rijndaelenc.h"
#include "gui/filewindows/twofishenc.h"
#include "gui/shell/about.h"
#include "gui/shell/help.h"
#include "gui/shell/starter.h"
#include "gui/textwindows/desenc.h"
#include "gui/textwindows/multienc.h"
#include "gui/textwindows/singleenc.h"
#include "support/fakedialogs.h"
#include "support/windowtest.h"

namespace {
struct Node {
    QAccessible::Role role;
    QString name;
    QObject* object;
};

// Every interface below a window, as a screen reader walks the tree.
void Walk(QAccessibleInterface* parent, std::vector<Node>& nodes)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface* child = parent->child(i);
        ASSERT_NE(child, nullptr);
        nodes.push_back({child->role(), child->text(QAccessible::Name), child->object()});
        Walk(child, nodes);
    }
}

std::vector<Node> Tree(QWidget* window)
{
    std::vector<Node> nodes;
    Walk(QAccessible::queryAccessibleInterface(window), nodes);
    return nodes;
}

QString NameOf(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

class Accessibility : public testing::Test {
protected:
    FakeDialogs dialogs;
    std::unique_ptr<TForm1> form1 = CreateForms(dialogs);
    const Forms& forms = form1->forms();
    const std::vector<QWidget*> windows = {forms.Form1, forms.Form2, forms.Form3,  forms.Form4,  forms.Form5,
                                           forms.Form6, forms.Form7, forms.Form8,  forms.Form9,  forms.Form10,
                                           forms.Form11, forms.Form12, forms.Form13};
};
}  // namespace

// Each window reports the role of a window and its caption; within it, every control that
// takes input has a name of its own, and no picture is there.
TEST_F(Accessibility, WindowsHaveWindowRolesAndEveryControlANameOfItsOwn)
{
    const std::set<QAccessible::Role> controls = {QAccessible::EditableText, QAccessible::PushButton,
                                                  QAccessible::ComboBox, QAccessible::Link};
    for (QWidget* window : windows) {
        const std::string title = window->windowTitle().toStdString();
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window);
        EXPECT_EQ(frame->role(), window == forms.Form1 ? QAccessible::Window : QAccessible::Dialog) << title;
        EXPECT_EQ(frame->text(QAccessible::Name), window->windowTitle());
        std::map<QString, int> names;
        for (const Node& node : Tree(window)) {
            EXPECT_NE(node.role, QAccessible::Graphic) << title << ": a picture in the tree";
            EXPECT_NE(node.role, QAccessible::Border) << title << ": a bevel in the tree";
            if (!controls.contains(node.role) || !node.object->parent()->isWidgetType()) continue;
            if (!static_cast<QWidget*>(node.object)->isVisibleTo(window)) continue;
            EXPECT_FALSE(node.name.isEmpty()) << title << ": unnamed " << node.object->metaObject()->className();
            ++names[node.name];
        }
        for (const auto& [name, count] : names) {
            EXPECT_TRUE(count == 1 || name == "Close...") << title << ": two controls named " << name.toStdString();
        }
    }
}

TEST_F(Accessibility, ControlsAreNamedAfterTheirLabels)
{
    const std::pair<QWidget*, QString> named[] = {
        {forms.Form5->CInFileBox, "Input file"},
        {forms.Form5->COutFileBox, "Output file"},
        {forms.Form5->CPassphraseBox, "Passphrase"},
        {forms.Form5->CInBrowseBtn, "Browse for the input file"},
        {forms.Form5->COutBrowseBtn, "Browse for the output file"},
        {forms.Form3->Edit1, "Keycode 1"},
        {forms.Form3->Edit5, "Keycode 4"},
        {forms.Form3->Edit4, "Keycode 5"},
        {forms.Form13->Label3, "zorvanta@example.org"},
    };
    for (const auto& [widget, name] : named) EXPECT_EQ(NameOf(widget), name);
}

// The pixels whose brightness differs clearly (by 100 of 255) between two pictures of a control:
// a change of hue alone, such as a frame turning from grey to blue, is easily missed.
int ClearlyDifferent(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            if (std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 100) ++count;
        }
    return count;
}

// Every control that Tab reaches looks clearly different while it has the focus.
TEST_F(Accessibility, TheFocusIsClearlySeenOnEveryFocusableControl)
{
    for (QWidget* window : windows) {
        ASSERT_TRUE(ShowActive(window));
        QTest::qWait(50);  // the offscreen platform may still activate the window shown before
        ASSERT_TRUE(ShowActive(window));
        QWidget* const first = window->focusWidget();
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisibleTo(window) || !control->isEnabled() ||
                control == first)
                continue;
            const std::string what = window->windowTitle().toStdString() + ": " +
                                     NameOf(control).toStdString() + " " + control->metaObject()->className();
            first->setFocus();
            const QImage plain = control->grab().toImage();
            control->setFocus();
            ASSERT_TRUE(control->hasFocus()) << what;
            EXPECT_GE(ClearlyDifferent(plain, control->grab().toImage()), 24) << what;
        }
    }
}

// The address labels are links whose action does what a click does.
TEST_F(Accessibility, AboutsAddressesAreLinksThatOpen)
{
    ASSERT_TRUE(ShowActive(forms.Form13));
    for (QLabel* label : {forms.Form13->Label3, forms.Form13->Label4}) {
        QAccessibleInterface* link = QAccessible::queryAccessibleInterface(label);
        EXPECT_EQ(link->role(), QAccessible::Link);
        EXPECT_FALSE(link->text(QAccessible::Description).isEmpty());
        ASSERT_NE(link->actionInterface(), nullptr);
        link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    ASSERT_EQ(dialogs.shellRequests.size(), 2u);
    EXPECT_EQ(dialogs.shellRequests[0].address, "mailto:zorvanta@example.org");
    EXPECT_TRUE(dialogs.shellRequests[1].address.startsWith("https://"));
}
