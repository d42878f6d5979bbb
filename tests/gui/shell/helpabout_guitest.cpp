#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTextDocument>

#include "gui/shell/about.h"
#include "gui/shell/help.h"
#include "support/fakedialogs.h"
#include "support/windowtest.h"

namespace {
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// A plain move, no button held, at a point of the widget (its middle by default).
void MoveOver(QWidget* widget, QPoint at = {-1, -1})
{
    const QPoint local = at == QPoint(-1, -1) ? widget->rect().center() : at;
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QColor TextColor(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}
}  // namespace

TEST(Help, ShowsTheElevenLinesAndTakesTheFocus)
{
    FakeDialogs dialogs;
    QWidget main;
    TForm12 help(&main, dialogs);
    const QStringList expected = {
        "For quick Text Encryption enter the ",
        "' Password / Short Text Encryption ' ",
        "mode.This mode is for short texts only.",
        "",
        "For File Encryption take one of the ",
        "' File Encryption ' modes.Then enter ",
        "the filename of the file you want to ",
        "encrypt/decrypt ( input file ) and the ",
        "filename of the output file.",
        "",
        "Enjoy this tool.... ",
    };
    EXPECT_EQ(help.Memo1->document()->toRawText().split(QChar(0x2029)), expected);
    EXPECT_TRUE(help.Memo1->isReadOnly());

    ASSERT_TRUE(ShowActive(&help));
    EXPECT_EQ(QApplication::focusWidget(), help.Memo1);
    QTest::keyClicks(help.Memo1, "typed");
    EXPECT_EQ(help.Memo1->document()->toRawText().split(QChar(0x2029)), expected);
    QTest::mouseClick(help.Button1, Qt::LeftButton);
    EXPECT_FALSE(help.isVisible());
}

TEST(About, AddressLabelsChangeColourOnlyOverThemAndOverBareParts)
{
    FakeDialogs dialogs;
    QWidget main;
    TForm13 about(&main, dialogs);
    ASSERT_TRUE(ShowActive(&about));
    EXPECT_EQ(QApplication::focusWidget(), about.Button1);

    struct Step {
        const char* over;
        QWidget* target;
        QPoint at;
        QColor contact, homepage;
    };
    const QPoint bare(-1, -1);
    const Step steps[] = {
        {"start", nullptr, bare, kRed, kRed},
        {"contact label", about.Label3, bare, kBlue, kRed},
        {"white label", about.Label2, bare, kBlue, kRed},
        {"logo", about.Image2, bare, kBlue, kRed},
        {"bare panel", about.Panel1, QPoint(5, 230), kRed, kRed},
        {"homepage label", about.Label4, bare, kRed, kBlue},
        {"small picture", about.Image1, bare, kRed, kBlue},
        {"close button", about.Button1, bare, kRed, kBlue},
        {"panel under a label", about.Panel1, about.Label5->geometry().center(), kRed, kBlue},
        {"bare window", &about, QPoint(5, 310), kRed, kRed},
        {"contact label again", about.Label3, bare, kBlue, kRed},
        {"window under the panel", &about, about.Panel1->geometry().center(), kBlue, kRed},
        {"window bare again", &about, QPoint(380, 5), kRed, kRed},
        {"both labels", about.Label4, bare, kRed, kBlue},
        {"and the other", about.Label3, bare, kBlue, kBlue},
    };
    for (const Step& step : steps) {
        if (step.target) MoveOver(step.target, step.at);
        EXPECT_EQ(TextColor(about.Label3), step.contact) << step.over;
        EXPECT_EQ(TextColor(about.Label4), step.homepage) << step.over;
    }

    // The colours outlive closing and showing the window again.
    about.close();
    ASSERT_TRUE(ShowActive(&about));
    EXPECT_EQ(TextColor(about.Label3), kBlue);
    EXPECT_EQ(TextColor(about.Label4), kBlue);
    EXPECT_TRUE(dialogs.shellRequests.empty());
}

TEST(About, LabelsHandTheirAddressesToTheDesktop)
{
    FakeDialogs dialogs;
    QWidget main;
    TForm13 about(&main, dialogs);
    ASSERT_TRUE(ShowActive(&about));
    QTest::mouseClick(about.Label3, Qt::LeftButton);
    QTest::mouseClick(about.Label4, Qt::LeftButton);
    QTest::mouseClick(about.Label1, Qt::LeftButton);
    ASSERT_EQ(dialogs.shellRequests.size(), 2u);
    EXPECT_EQ(dialogs.shellRequests[0].verb, "Open");
    EXPECT_EQ(dialogs.shellRequests[0].address, "mailto:" + about.Label3->text());
    EXPECT_EQ(dialogs.shellRequests[0].show, ShowMode::Normal);
    EXPECT_EQ(dialogs.shellRequests[1].verb, "open");
    EXPECT_TRUE(dialogs.shellRequests[1].address.startsWith("https://"));
    EXPECT_EQ(dialogs.shellRequests[1].show, ShowMode::Maximized);
    EXPECT_EQ(dialogs.lastParent, &about);
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(about.Label4->text().contains(QUrl(dialogs.shellRequests[1].address).host()));
}
