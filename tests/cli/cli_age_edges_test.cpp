// zorvanta-cli's age commands at their edges: a secret key given where a recipient belongs is
// never shown, not even in part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "cli/clicases.h"

namespace {
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The identity line of a key file.
std::string IdentityIn(const std::string& keyFile)
{
    const std::string text = TextOf(keyFile);
    const std::size_t start = text.find("AGE-SECRET-KEY-1");
    return text.substr(start, text.find('\n', start) - start);
}
}  // namespace

TEST(CliAgeEdges, ASecretKeyWhereARecipientBelongsIsNeverShown)
{
    const TempDir dir;
    WriteFile(dir.path("plain"), Sample(10));
    const std::string key = IdentityIn(DataPath("age/key1.txt"));
    const std::string secretPart = Lower(key.substr(16, 12));  // after "AGE-SECRET-KEY-1"
    const auto write = [&](const std::string& name, const std::string& text) {
        WriteFile(dir.path(name), Bytes(text.begin(), text.end()));
    };
    write("quoted", "KEY=\"" + key + "\"\n");
    write("bom", "# keys\n\xEF\xBB\xBF" + Lower(key) + "\n");
    const Case cases[] = {
        {"-r, behind a space", {"encrypt", "-r", " " + key, "{}/plain", "{}/x.age"}, 2, Text::Err,
         "zorvanta-cli: the recipient holds a secret key, not a public key\n"},
        {"-r, behind a quote", {"encrypt", "-r", "'" + key + "'", "{}/plain", "{}/x.age"}, 2, Text::Err,
         "zorvanta-cli: the recipient holds a secret key, not a public key\n"},
        {"-R, quoted in a line", {"encrypt", "-R", "{}/quoted", "{}/plain", "{}/x.age"}, 1, Text::Err,
         "zorvanta-cli: {}/quoted: line 1 holds a secret key, not a public key\n"},
        {"-R, lower case behind a byte-order mark", {"encrypt", "-R", "{}/bom", "{}/plain", "{}/x.age"}, 1, Text::Err,
         "zorvanta-cli: {}/bom: line 2 holds a secret key, not a public key\n"},
    };
    for (const Case& c : cases) {
        ExpectCase(c, dir);
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(InFolder(arg, dir));
        EXPECT_EQ(Lower(RunCliWith(args).err).find(secretPart), std::string::npos) << c.what;
    }
}
