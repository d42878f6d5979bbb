#include <gtest/gtest.h>

#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>
#include <random>

#include "gui/textwindows/textpane.h"

namespace {
class TextPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_.resize(377, 200);
        auto* layout = new QVBoxLayout(&window_);
        layout->addWidget(pane_ = new TextPane);
        layout->addWidget(next_ = new QLineEdit);
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        pane_->setFocus();
    }

    // What the pane gives back after showing bytes.
    std::string RoundTrip(const std::string& bytes)
    {
        pane_->Put(bytes);
        QCoreApplication::processEvents();
        return pane_->Text();
    }

    void Type(const QString& text)
    {
        QTest::sendKeyEvent(QTest::Click, pane_, Qt::Key_unknown, text, Qt::NoModifier);
    }

    QWidget window_;
    TextPane* pane_ = nullptr;
    QLineEdit* next_ = nullptr;
};
}  // namespace

TEST_F(TextPaneTest, EveryByteSurvivesInEveryContext)
{
    std::string all;
    for (int b = 1; b <= 255; ++b) {
        const std::string byte(1, static_cast<char>(b));
        for (const std::string& text : {byte, "x" + byte + "y", byte + byte, "\r" + byte + "\n", "a\r\n" + byte})
            EXPECT_EQ(RoundTrip(text), text) << "byte " << b;
        all += byte;
    }
    EXPECT_EQ(RoundTrip(all), all);
}

TEST_F(TextPaneTest, LineBreakSequences)
{
    const struct {
        std::string text;
        int lines;  // what the user sees
    } cases[] = {
        {"a\r\nb", 2}, {"a\rb", 1}, {"a\nb", 1}, {"a\n\rb", 1}, {"a\r\r\nb", 2}, {"a\r\n\r\n", 3}, {"\r\n", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundTrip(c.text), c.text);
        EXPECT_EQ(pane_->document()->blockCount(), c.lines) << c.text;
    }
    EXPECT_EQ(RoundTrip(std::string("ab\0cd", 5)), "ab");
}

TEST_F(TextPaneTest, RandomByteStrings)
{
    std::mt19937 random(1234);
    for (int i = 0; i < 200; ++i) {
        std::string text(random() % 400, ' ');
        for (char& c : text) c = static_cast<char>(1 + random() % 255);
        ASSERT_EQ(RoundTrip(text), text);
    }
}

TEST_F(TextPaneTest, LongUnbrokenLineRoundTrips)
{
    std::string hex;
    for (int i = 0; i < 512 * 1024; ++i) hex += "0123456789ABCDEF"[i % 16] + std::string("7");
    EXPECT_EQ(RoundTrip(hex), hex);
}

TEST_F(TextPaneTest, PuttingTheSameTextChangesNothing)
{
    pane_->Put("some text\r\nmore");
    QTest::keyClicks(pane_, "x");
    const std::string typed = pane_->Text();
    const int cursor = pane_->textCursor().position();
    pane_->Put(typed);
    EXPECT_EQ(pane_->textCursor().position(), cursor);
    EXPECT_TRUE(pane_->document()->isUndoAvailable());
}

TEST_F(TextPaneTest, TypingAndPasting)
{
    QTest::keyClicks(pane_, "ab");
    QTest::keyClick(pane_, Qt::Key_Return);
    Type(QStringLiteral("\u00E9\u20AC\u03A9\U0001F600"));
    EXPECT_EQ(pane_->toPlainText().toStdString(), "ab\n\u00E9\u20AC??");  // replaced at once
    EXPECT_EQ(pane_->Text(), "ab\r\n\xE9\x80??");

    QGuiApplication::clipboard()->setText(QStringLiteral("|1\r\n2\n\u03A9\u0001|"));
    pane_->paste();
    EXPECT_EQ(pane_->Text(), "ab\r\n\xE9\x80??|1\r\n2\r\n?\x01|");
}

TEST_F(TextPaneTest, CopyAndCutHandOverThePanesOwnCharacters)
{
    const std::string text = "a\xA0" "b\r\n\xA0\r\x01\x80\tz";
    pane_->Put(text);
    pane_->selectAll();
    pane_->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00A0b\n\u00A0\u240D\u2401\u20AC\tz"));
    pane_->cut();
    EXPECT_EQ(pane_->Text(), "");
    pane_->paste();
    pane_->paste();
    EXPECT_EQ(pane_->Text(), text + text);

    QTextCursor middle(pane_->document());
    middle.setPosition(1);
    middle.setPosition(3, QTextCursor::KeepAnchor);
    pane_->setTextCursor(middle);
    pane_->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("\u00A0b"));
}

TEST_F(TextPaneTest, TabLeavesThePane)
{
    pane_->Put("text");
    QTest::keyClick(pane_, Qt::Key_Tab);
    EXPECT_TRUE(next_->hasFocus());
    EXPECT_EQ(pane_->Text(), "text");
}
