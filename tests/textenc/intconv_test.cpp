#include <gtest/gtest.h>

#include <climits>

#include "common/error.h"
#include "textenc/intconv.h"

TEST(IntegerConversion, AcceptedTexts)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"65", 65},
        {"0", 0},
        {"-0", 0},
        {"+5", 5},
        {"-1", -1},
        {"007", 7},
        {"   7", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"000000000002147483647", INT_MAX},
        {"$1FF", 511},
        {"$ff", 255},
        {"$aBc", 0xABC},
        {"  $A", 10},
        {"$7FFFFFFF", INT_MAX},
        {"$80000000", INT_MIN},
        {"$FFFFFFFF", -1},
        {"$000000001", 1},  // leading zeros are not significant
        {"$0000000FFFFFFFF", -1},
    };
    for (const auto& [text, value] : cases) {
        try {
            EXPECT_EQ(IntegerFromText(text), value) << text;
        } catch (const ZorvantaError& e) {
            ADD_FAILURE() << text << ": " << e.what();
        }
    }
}

TEST(IntegerConversion, RefusedTextsAreQuotedWhole)
{
    const char* const cases[] = {
        "", "   ", "7 ", "12a", "-", "+", "$", "$-1", "$+1", "$ 1", "- 1", "+-1", "--1", "1.5", "1e3", "0x10",
        "\t7", "-$1", "$1FFFFFFFF", "$100000000", "2147483648", "-2147483649", "99999999999999999999", "$G",
        "7\n", "１",
    };
    for (const char* text : cases) {
        try {
            IntegerFromText(text);
            ADD_FAILURE() << "'" << text << "' accepted";
        } catch (const ZorvantaError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' ist kein gültiger Integerwert");
        }
    }
}
