#include <gtest/gtest.h>

#include "common/error.h"
#include "memorypane.h"
#include "textenc/keycode.h"

namespace {
std::string Xored(std::string text, int k)
{
    for (char& c : text) c = static_cast<char>(c ^ k);
    return text;
}

// 300 characters without a NUL.
std::string LongText()
{
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>(1 + i % 255);
    return text;
}

std::string ErrorOf(auto&& action)
{
    try {
        action();
    } catch (const ZorvantaError& e) {
        return e.what();
    }
    return "no error";
}
}  // namespace

TEST(SingleKeycode, Results)
{
    const std::string full = LongText();
    const struct {
        std::string text, keycode, expected;
    } cases[] = {
        {full, "0", full.substr(0, 255)},
        {"abc", "32", "ABC"},
        {"Hello world", "32", "hELLO"},  // the space becomes NUL and ends the pane's text
        {"xyzAbc", "65", "98;"},
        {"a\r\nb", "1", "`\x0c\x0b" "c"},
        {"\x01\x7f\x80\xfe", "-1", "\xfe\x80\x7f\x01"},
        {"\x01\x7f\x80\xfe", "255", "\xfe\x80\x7f\x01"},
        {"\x01\x7f\x80\xfe", "$1FF", "\xfe\x80\x7f\x01"},
        {"abc", "256", "abc"},
        {"abc", " 7", Xored("abc", 7)},
        {"", "not a number", ""},
    };
    for (const auto& c : cases) {
        MemoryPane pane(c.text);
        SingleKeycodeTransform(pane, c.keycode);
        EXPECT_EQ(pane.Text(), c.expected) << c.text << " with " << c.keycode;
    }
}

TEST(SingleKeycode, TwiceRestoresAShortText)
{
    const std::string text = "Line one\r\nLine two\t\xe9\xff";
    MemoryPane pane(text);
    SingleKeycodeTransform(pane, "1");
    EXPECT_EQ(pane.Text().find('\n'), std::string::npos);
    SingleKeycodeTransform(pane, "1");
    EXPECT_EQ(pane.Text(), text);
}

TEST(SingleKeycode, BadKeycodeLeavesThePane)
{
    for (const char* keycode : {"7 ", "12a", "-", "$", ""}) {
        MemoryPane pane("abc");
        EXPECT_EQ(ErrorOf([&] { SingleKeycodeTransform(pane, keycode); }),
                  "'" + std::string(keycode) + "' ist kein gültiger Integerwert");
        EXPECT_EQ(pane.Text(), "abc");
        EXPECT_TRUE(pane.stored.empty());
    }
}

TEST(MultiKeycode, OnlyTheFirstSecondAndRightmostBoxesChangeTheText)
{
    MemoryPane pane("abc");
    MultiKeycodeTransform(pane, {.edit1 = "1", .edit2 = "2", .edit4 = "7", .edit5 = "4"});
    EXPECT_EQ(pane.Text(), "efg");  // K = 1 xor 2 xor 7 = 4

    MemoryPane zeros("text");
    MultiKeycodeTransform(zeros, {.edit1 = "0", .edit2 = "0", .edit4 = "0", .edit5 = "123"});
    EXPECT_EQ(zeros.Text(), "text");

    MemoryPane cancelling("text");
    MultiKeycodeTransform(cancelling, {.edit1 = "5", .edit2 = "5", .edit4 = "256", .edit5 = "0"});
    EXPECT_EQ(cancelling.Text(), "text");

    MemoryPane full(LongText());
    MultiKeycodeTransform(full, {.edit1 = "3", .edit2 = "3", .edit4 = "0", .edit5 = "0"});
    EXPECT_EQ(full.Text(), LongText().substr(0, 255));
}

TEST(MultiKeycode, PaneIsUpdatedAfterEachPassButTheWorkingTextIsNeverCut)
{
    // k1 = 'a' turns the first character into NUL, which empties the pane after the first
    // pass; k2 = 'a' undoes it on the uncut working text.
    MemoryPane pane("abc");
    MultiKeycodeTransform(pane, {.edit1 = "97", .edit2 = "97", .edit4 = "0", .edit5 = "0"});
    EXPECT_EQ(pane.stored, (std::vector<std::string>{"", "abc"}));
    EXPECT_EQ(pane.Text(), "abc");
}

TEST(MultiKeycode, AFailingBoxLeavesThePassesBeforeIt)
{
    const MultiKeycodeBoxes good{.edit1 = "1", .edit2 = "2", .edit4 = "7", .edit5 = "4"};
    const struct {
        std::string_view MultiKeycodeBoxes::*box;
        const char* text;
        std::string pane;
    } cases[] = {
        {&MultiKeycodeBoxes::edit1, "", "abc"},
        {&MultiKeycodeBoxes::edit2, "x", Xored("abc", 1)},
        {&MultiKeycodeBoxes::edit4, "7 ", Xored("abc", 1 ^ 2)},
        {&MultiKeycodeBoxes::edit5, "", Xored("abc", 1 ^ 2 ^ 7)},
    };
    for (const auto& c : cases) {
        MultiKeycodeBoxes boxes = good;
        boxes.*c.box = c.text;
        MemoryPane pane("abc");
        EXPECT_EQ(ErrorOf([&] { MultiKeycodeTransform(pane, boxes); }),
                  "'" + std::string(c.text) + "' ist kein gültiger Integerwert");
        EXPECT_EQ(pane.Text(), c.pane) << "failing box text '" << c.text << "'";
    }
}

TEST(MultiKeycode, EmptyPaneReadsNoBox)
{
    MemoryPane pane;
    MultiKeycodeTransform(pane, {.edit1 = "", .edit2 = "a", .edit4 = "-", .edit5 = "$"});
    EXPECT_EQ(pane.Text(), "");
}
