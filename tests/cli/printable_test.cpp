// Names printed with their control characters escaped as `ls -b` escapes them.
#include <gtest/gtest.h>

#include "cli/printable.h"

TEST(Printable, EscapesControlCharactersAndNothingElse)
{
    const std::pair<std::string, std::string> cases[] = {
        {"caf\u00E9 \\ name.age", "caf\u00E9 \\ name.age"},  // printable UTF-8 and backslashes stay
        {"clear\x1b[2J", "clear\\033[2J"},
        {"two\nlines\tand\r", "two\\nlines\\tand\\r"},
        {std::string("nul\0x", 5), "nul\\000x"},
        {"del\x7f", "del\\177"},
        {"c1\xc2\x9b" "2J", "c1\\302\\2332J"},        // U+009B, the one-character CSI
        {"\xc2\xa0" "nbsp", "\xc2\xa0" "nbsp"},       // U+00A0 is printable
        {"cut\xc2", "cut\xc2"},                       // a lone lead byte at the end
    };
    for (const auto& [text, printed] : cases) {
        EXPECT_EQ(Printable(text), printed) << text;
        EXPECT_EQ(Printable(printed), printed) << "escaping twice changes nothing more";
    }
}
