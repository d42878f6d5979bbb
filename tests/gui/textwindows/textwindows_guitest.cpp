#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "support/fakedialogs.h"
#include "support/windowtest.h"
#include "gui/textwindows/desenc.h"
#include "gui/textwindows/multienc.h"
#include "gui/textwindows/singleenc.h"

namespace {
template <class Form>
class TextWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ShowActive(&form)); }

    void Click(QPushButton* button)
    {
        ASSERT_TRUE(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    std::string Pane() const { return form.Memo1->Text(); }

    FakeDialogs dialogs;
    QWidget mainWindow;
    Form form{&mainWindow, dialogs};
};

using SingleWindow = TextWindowTest<TForm2>;
using MultiWindow = TextWindowTest<TForm3>;
using PhraseWindow = TextWindowTest<TForm4>;

QString ConversionError(const QString& text)
{
    return "'" + text + "' ist kein gültiger Integerwert.";
}
}  // namespace

TEST_F(SingleWindow, KeycodeBoxEnablesTheButtonAndLeadsTheTabCycle)
{
    EXPECT_EQ(QApplication::focusWidget(), form.Edit1);
    EXPECT_FALSE(form.Button1->isEnabled());
    QTest::keyClicks(form.Edit1, " ");
    EXPECT_TRUE(form.Button1->isEnabled());
    QTest::keyClick(form.Edit1, Qt::Key_Backspace);
    EXPECT_FALSE(form.Button1->isEnabled());
    QTest::keyClicks(form.Edit1, "1234567");
    EXPECT_EQ(form.Edit1->text(), "12345");

    EXPECT_EQ(TabCycle(&form, 6), (std::vector<QWidget*>{form.Edit1, form.Button1, form.Button2, form.Button3,
                                                         form.Button4, form.Memo1, form.Edit1}));
}

TEST_F(SingleWindow, EncryptDecryptAndABadKeycode)
{
    form.Memo1->Put("abc");
    QTest::keyClicks(form.Edit1, "32");
    Click(form.Button1);
    EXPECT_EQ(Pane(), "ABC");
    Click(form.Button1);
    EXPECT_EQ(Pane(), "abc");

    form.Edit1->setText("12a");
    Click(form.Button1);
    EXPECT_EQ(dialogs.errors, std::vector<QString>{ConversionError("12a")});
    EXPECT_EQ(Pane(), "abc");
}

TEST_F(SingleWindow, AResultCopiedOutAndPastedBackDecrypts)
{
    form.Memo1->Put("pass word");
    QTest::keyClicks(form.Edit1, "128");
    Click(form.Button1);
    ASSERT_EQ(Pane(), "\xF0\xE1\xF3\xF3\xA0\xF7\xEF\xF2\xE4");
    form.Memo1->setFocus();
    QTest::keyClick(form.Memo1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form.Memo1, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Pane(), "");
    QTest::keyClick(form.Memo1, Qt::Key_V, Qt::ControlModifier);
    Click(form.Button1);
    EXPECT_EQ(Pane(), "pass word");
}

TEST_F(SingleWindow, AFileDroppedOnThePaneOpensAsWithOpen)
{
    const QTemporaryDir dir;
    QFile file(dir.filePath("notes.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("one\ntwo\xA0") == 8);
    file.close();
    const QString missing = dir.filePath("missing.txt");
    // The drag source learns whether the file was taken; a remote one is refused as it hovers.
    const struct {
        QString address, error;
        Qt::DropAction action;
    } cases[] = {
        {QUrl::fromLocalFile(file.fileName()).toString(), "", Qt::CopyAction},
        {QUrl::fromLocalFile(missing).toString(), "Datei " + missing + " kann nicht geöffnet werden.", Qt::IgnoreAction},
        {"sftp://host/notes.txt", "", Qt::IgnoreAction},
    };
    for (const auto& c : cases) {
        dialogs.errors.clear();
        EXPECT_EQ(DropAddresses(&form, CentreOf(form.Memo1), {c.address}), c.action) << c.address.toStdString();
        EXPECT_EQ(Pane(), "one\r\ntwo\xA0") << "kept after an error: " << c.address.toStdString();
        EXPECT_EQ(dialogs.errors, c.error.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.error});
    }
    Click(form.Button2);
    EXPECT_EQ(dialogs.fileRequests.back().lastName, missing) << "the Open dialog offers the name last dropped";
}

TEST_F(MultiWindow, BoxesStandInScreenOrderButTabByName)
{
    EXPECT_EQ(QApplication::focusWidget(), form.Button1);
    const std::vector<QLineEdit*> onScreen{form.Edit1, form.Edit2, form.Edit3, form.Edit5, form.Edit4};
    for (std::size_t i = 1; i < onScreen.size(); ++i) EXPECT_LT(onScreen[i - 1]->x(), onScreen[i]->x());

    EXPECT_EQ(TabCycle(&form, 10),
              (std::vector<QWidget*>{form.Button1, form.Button2, form.Button3, form.Button4, form.Edit1, form.Edit2,
                                     form.Edit3, form.Edit4, form.Edit5, form.Memo1, form.Button1}));
}

TEST_F(MultiWindow, BoxesReadAndAFailingFourthBox)
{
    form.Memo1->Put("abc");
    for (auto [box, text] : {std::pair{form.Edit1, "1"}, {form.Edit2, "2"}, {form.Edit3, "abcd"}, {form.Edit5, "4"},
                             {form.Edit4, "7"}})
        QTest::keyClicks(box, text);
    Click(form.Button1);
    EXPECT_EQ(Pane(), "efg");
    EXPECT_TRUE(dialogs.errors.empty());

    form.Edit5->clear();
    Click(form.Button1);
    EXPECT_EQ(dialogs.errors, std::vector<QString>{ConversionError("")});
    EXPECT_EQ(Pane(), "abc");  // the complete result, then the error
}

TEST_F(PhraseWindow, PhraseEnablesBothButtonsAndTheTabCycle)
{
    EXPECT_EQ(QApplication::focusWidget(), form.Memo1);
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_FALSE(form.Button2->isEnabled());
    QTest::keyClicks(form.Edit1, "x");
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_TRUE(form.Button2->isEnabled());

    EXPECT_EQ(TabCycle(&form, 7), (std::vector<QWidget*>{form.Memo1, form.Button1, form.Button2, form.Button3,
                                                         form.Button4, form.Button5, form.Edit1, form.Memo1}));
    QTest::keyClick(form.Edit1, Qt::Key_Backspace);
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_FALSE(form.Button2->isEnabled());
}

TEST_F(PhraseWindow, ThePhraseTakesNoPartInTheResult)
{
    const std::string text = "Line one\r\nLine two, longer than the keycode tools' limit " + std::string(300, '.');
    form.Memo1->Put(text);
    QTest::keyClicks(form.Edit1, "first phrase");
    Click(form.Button1);
    const std::string hex = Pane();
    EXPECT_EQ(hex.size(), 2 * text.size() + 2);
    EXPECT_EQ(form.Memo1->document()->blockCount(), 1);
    Click(form.Button1);

    form.Edit1->setText("another phrase");
    Click(form.Button2);
    Click(form.Button2);
    EXPECT_EQ(Pane(), text);
    EXPECT_EQ(form.RixEncryption1.Key(), "");
}

// The cipher runs on the GUI thread, seconds long for a full pane: the cursor shows it, and
// comes back after the result is in the pane.
TEST_F(PhraseWindow, TheCursorIsBusyWhileTheCipherRuns)
{
    form.Memo1->Put(std::string(1000, 'x'));
    form.Edit1->setText("phrase");
    std::vector<Qt::CursorShape> whileChanging;
    QObject::connect(form.Memo1, &QPlainTextEdit::textChanged, [&] {
        whileChanging.push_back(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                               : Qt::ArrowCursor);
    });
    Click(form.Button1);
    EXPECT_EQ(whileChanging, std::vector<Qt::CursorShape>{Qt::BusyCursor});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PhraseWindow, HexTextSavedAndReopenedDecryptsButNotWithALineBreakAfterIt)
{
    const QTemporaryDir dir;
    form.Memo1->Put("secret");
    QTest::keyClicks(form.Edit1, "p");
    Click(form.Button1);
    const std::string hex = Pane();

    dialogs.fileAnswers = {dir.filePath("hex.txt"), dir.filePath("hex.txt")};
    Click(form.Button4);
    EXPECT_EQ(dialogs.fileRequests.back().filter, "Textfiles *.txt (*.txt)");
    EXPECT_EQ(dialogs.fileRequests.back().defaultSuffix, "txt");
    form.Memo1->Put("something else");
    Click(form.Button3);
    EXPECT_EQ(Pane(), hex);
    Click(form.Button2);
    EXPECT_EQ(Pane(), "secret");

    form.Memo1->Put(hex);
    form.Memo1->moveCursor(QTextCursor::End);
    QTest::keyClick(form.Memo1, Qt::Key_Return);
    Click(form.Button2);
    EXPECT_EQ(dialogs.errors, std::vector<QString>{ConversionError("$\r\n")});
    EXPECT_EQ(Pane(), hex + "\r\n");
}

TEST_F(PhraseWindow, CancelledDialogsAndCloseKeepThePane)
{
    form.Memo1->Put("kept");
    Click(form.Button3);
    Click(form.Button4);
    EXPECT_EQ(dialogs.fileRequests.size(), 2u);
    Click(form.Button5);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Pane(), "kept");
    EXPECT_TRUE(dialogs.errors.empty());
}
