#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cli/cli.h"
#include "support/tempdir.h"

namespace {
class Cli : public testing::Test {
protected:
    int Run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        CliEnvironment env{out, err,
                           [this](const std::string&) -> std::optional<std::string> {
                               if (typed.empty()) return std::nullopt;
                               std::string line = typed.front();
                               typed.erase(typed.begin());
                               return line;
                           },
                           [this](const std::string& name) -> std::optional<std::string> {
                               const auto it = variables.find(name);
                               return it == variables.end() ? std::nullopt : std::optional(it->second);
                           }};
        return RunCli(args, env);
    }
    std::string Path(const std::string& name) const { return dir.path(name); }

    std::ostringstream out, err;
    std::vector<std::string> typed;
    std::map<std::string, std::string> variables;
    TempDir dir;
};
}  // namespace

TEST_F(Cli, RoundTripThroughEveryPassphraseSource)
{
    const Bytes plain{'h', 'e', 'l', 'l', 'o', ' ', 0xE9, 0, 1, 2};
    WriteFile(Path("plain"), plain);
    WriteFile(Path("pass.txt"), {'c', 'a', 'f', 0xC3, 0xA9, '\r', '\n', 'x'});
    variables["PASS"] = "caf\u00E9";
    typed = {"caf\u00E9", "caf\u00E9", "caf\u00E9"};

    ASSERT_EQ(Run({"encrypt", "--cipher", "BLOWFISH", "--passphrase-file", Path("pass.txt"), Path("plain"), Path("enc")}), 0);
    EXPECT_EQ(out.str(), "File Encrypted\n");
    const Bytes encrypted = ReadFile(Path("enc"));
    EXPECT_EQ(encrypted.size(), plain.size() + 32);

    // The same passphrase from every source gives the same file; its bytes are Windows-1252.
    ASSERT_EQ(Run({"encrypt", "--cipher=blowfish", "--passphrase-env", "PASS", Path("plain"), Path("enc2")}), 0);
    EXPECT_EQ(ReadFile(Path("enc2")), encrypted);
    ASSERT_EQ(Run({"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "636166e9", Path("plain"), Path("enc3")}), 0);
    EXPECT_EQ(ReadFile(Path("enc3")), encrypted);
    ASSERT_EQ(Run({"encrypt", "--cipher", "Blowfish", Path("plain"), Path("enc4")}), 0);  // asked twice
    EXPECT_EQ(ReadFile(Path("enc4")), encrypted);

    ASSERT_EQ(Run({"decrypt", "--cipher", "Blowfish", Path("enc"), Path("dec")}), 0);  // asked once
    EXPECT_EQ(out.str(), "File Decrypted\n");
    EXPECT_EQ(ReadFile(Path("dec")), plain);
}

TEST_F(Cli, RefusalsExitWithOne)
{
    WriteFile(Path("plain"), {1, 2, 3});
    ASSERT_EQ(Run({"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", Path("plain"), Path("enc")}), 0);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"decrypt", "--cipher", "Blowfish", "--passphrase-hex", "00", Path("enc"), Path("dec")}, "Incorrect Passphrase\n"},
        {{"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", Path("missing"), Path("x")}, "Unable to open the Input File\n"},
        {{"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", Path("plain"), Path("plain")},
         "File to be Encrypted/Decrypted and Output File must be different\n"},
        {{"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", "", Path("x")}, "No Filenames selected!!\n"},
        {{"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", Path("plain"), Path("no/dir/x")},
         "Unable to open the Output File\n"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), 1) << message;
        EXPECT_EQ(err.str(), message);
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"enc", "plain"}));
}

TEST_F(Cli, IoErrorsExitWithThreeAndShowTheErrorBoxText)
{
    WriteFile(Path("short"), {1, 2, 3});
    EXPECT_EQ(Run({"decrypt", "--cipher", "Blowfish", "--passphrase-hex", "", Path("short"), Path("out")}), 3);
    EXPECT_EQ(err.str(), "Lesen nach Dateiende (EOF)\n");  // ")" sorts before ".": no full stop
    EXPECT_EQ(Run({"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", Path("short"), "/dev/full"}), 3);
    EXPECT_EQ(err.str(), "Kapazität der Diskette/Festplatte erschöpft.\n");
}

TEST_F(Cli, BadUsageExitsWithTwo)
{
    const std::vector<std::string> cases[] = {
        {},
        {"frobnicate"},
        {"encrypt", "a", "b"},                                             // no cipher
        {"encrypt", "--cipher", "Serpent", "--passphrase-hex", "", "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", "a"},  // one name
        {"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "0", "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "zz", "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "--passphrase-env", "UNSET", "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "--passphrase-file", Path("none"), "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "--passphrase-hex", "", "--passphrase-env", "X", "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "--verbose", "a", "b"},
        {"encrypt", "--cipher", "Blowfish", "a", "b"},  // no terminal to ask
        {"encrypt", "--cipher"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Run(args), 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(err.str().find("usage: zorvanta-cli"), std::string::npos);
    }
    typed = {"one", "two"};
    EXPECT_EQ(Run({"encrypt", "--cipher", "Blowfish", Path("a"), Path("b")}), 2);
    EXPECT_NE(err.str().find("the two passphrases differ"), std::string::npos);
}

TEST_F(Cli, HelpAndCipherList)
{
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("--passphrase-hex HEX"), std::string::npos);
    EXPECT_EQ(Run({"ciphers"}), 0);
    EXPECT_NE(out.str().find("Blowfish   64     8..448            256"), std::string::npos);
}
