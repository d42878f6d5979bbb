// How the age window is reached: the main window's "age..." button, and zorvanta PATH... with
// its --page option.

#include <gtest/gtest.h>

#include <QFile>

#include "common/error.h"
#include "gui/shell/startargs.h"
#include "gui/shell/starter.h"
#include "support/fakedialogs.h"
#include "support/tempdir.h"
#include "support/windowtest.h"

namespace {
class AgeStart : public testing::Test {
protected:
    QList<AgeWindow*> AgeWindows() const { return form1->findChildren<AgeWindow*>(); }
    QString Write(const std::string& name, const std::string& text) const
    {
        WriteFile(dir.path(name), Bytes(text.begin(), text.end()));
        return QString::fromStdString(dir.path(name));
    }

    FakeDialogs dialogs;
    std::unique_ptr<TForm1> form1 = CreateForms(dialogs);
    TempDir dir;
};
}  // namespace

TEST_F(AgeStart, TheAgeButtonSitsAboveExitTakesNoFocusAndOpensOneWindowOnFirstUse)
{
    ASSERT_TRUE(ShowActive(form1.get()));
    QPushButton* button = form1->SpeedButton3;
    EXPECT_EQ(button->text(), "age...");
    EXPECT_EQ(button->geometry(), QRect(147, 380, 49, 17));
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(button->isFlat());
    EXPECT_TRUE(AgeWindows().isEmpty()) << "created on first use, not at start-up";
    EXPECT_EQ(QApplication::focusWidget(), form1->Button5);

    button->click();
    ASSERT_EQ(AgeWindows().size(), 1);
    AgeWindow* window = AgeWindows().front();
    EXPECT_TRUE(WaitUntilActive(window));
    EXPECT_EQ(window->windowTitle(), "Zorvanta - age");
    EXPECT_NE(window->minimumSize(), window->maximumSize()) << "resizable";
    window->Pages->setCurrentIndex(static_cast<int>(AgePage::Keys));
    window->close();
    button->click();
    EXPECT_EQ(AgeWindows().size(), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Pages->currentIndex(), static_cast<int>(AgePage::Keys)) << "shown again as it was left";
}

TEST_F(AgeStart, ArgumentsNameAPageAndPaths)
{
    const StartRequest plain = ParseStartArguments({"a", "-", "--", "--page"});
    EXPECT_FALSE(plain.page);
    EXPECT_EQ(plain.paths, QStringList({"a", "-", "--page"}));
    for (const QStringList& arguments : {QStringList{"--page", "move", "x"}, QStringList{"--page=move", "x"}}) {
        const StartRequest request = ParseStartArguments(arguments);
        EXPECT_EQ(request.page, "move");
        EXPECT_EQ(request.paths, QStringList{"x"});
    }
    for (const QStringList& wrong : {QStringList{"--page"}, QStringList{"--page", "nowhere"}, QStringList{"-x"}})
        EXPECT_THROW(ParseStartArguments(wrong), ZorvantaError) << wrong.join(' ').toStdString();
}

TEST_F(AgeStart, PathsOpenTheWindowAtDecryptWhenAllAreAgeFilesAndAtEncryptOtherwise)
{
    OpenRequested(*form1, {});
    EXPECT_TRUE(AgeWindows().isEmpty()) << "no arguments: the program starts as ever";

    const QString age = Write("a.age", "age-encryption.org/v1\n-> X25519 abc\n");
    const QString armored = Write("b.txt", "  -----BEGIN AGE ENCRYPTED FILE-----\n");
    const QString plain = Write("c.age", "not age at all, whatever the name says");
    OpenRequested(*form1, {std::nullopt, {age, armored}});
    ASSERT_EQ(AgeWindows().size(), 1);
    AgeWindow* window = AgeWindows().front();
    EXPECT_EQ(window->Pages->currentIndex(), static_cast<int>(AgePage::Decrypt));
    EXPECT_EQ(window->Files->Names(), QStringList({age, armored}));

    window->Files->clear();
    OpenRequested(*form1, {std::nullopt, {age, plain}});
    EXPECT_EQ(window->Pages->currentIndex(), static_cast<int>(AgePage::Encrypt));
    OpenRequested(*form1, {std::nullopt, {QString::fromStdString(dir.root().string())}});
    EXPECT_EQ(window->Pages->currentIndex(), static_cast<int>(AgePage::Encrypt)) << "a folder";

    const std::pair<QString, AgePage> pages[] = {
        {"move", AgePage::Move}, {"keys", AgePage::Keys}, {"decrypt", AgePage::Decrypt}, {"recipients", AgePage::Encrypt}};
    for (const auto& [page, shown] : pages) {
        OpenRequested(*form1, {page, {}});
        EXPECT_EQ(window->Pages->currentIndex(), static_cast<int>(shown)) << page.toStdString();
    }
    EXPECT_TRUE(window->EncRecipientsChoice->isChecked()) << "recipients: encrypt for age keys";
    EXPECT_EQ(AgeWindows().size(), 1);
}
