// Unusual inputs through zorvanta-cli: odd names, folders, extreme passphrases from every source.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>

#include "cli/clirun.h"
#include "support/tempdir.h"

namespace {
CliRun RunWithSecret(const std::vector<std::string>& args, const std::string& secret)
{
    return RunCliWith(args, CliScript{{secret, secret}, {{"P", secret}}});
}

std::vector<std::string> Command(const std::string& verb, std::vector<std::string> passphrase, const std::string& in,
                                 const std::string& out)
{
    std::vector<std::string> args{verb, "--cipher", "cast256", "--force", "--allow-empty-passphrase"};
    args.insert(args.end(), passphrase.begin(), passphrase.end());
    args.insert(args.end(), {"--", in, out});
    return args;
}
}  // namespace

TEST(CliEdgeInputs, OddNamesAndFolders)
{
    TempDir dir;
    const Bytes plain{'d', 'a', 't', 'a', 0, 0xFF};
    const std::string names[] = {" spaced name ", "line\nbreak", "\u00E9t\u00E9", std::string("\xC3\x28 bad"),
                                 "--looks-like-an-option", std::string(NAME_MAX, 'x')};
    for (const std::string& name : names) {
        WriteFile(dir.path(name), plain);
        EXPECT_EQ(RunCliWith(Command("encrypt", {"--passphrase-hex="}, dir.path(name), dir.path("enc"))).status, 0) << name;
        const CliRun decrypted = RunCliWith(Command("decrypt", {"--passphrase-hex="}, dir.path("enc"), dir.path(name)));
        EXPECT_EQ(decrypted.status, 0) << name;
        EXPECT_EQ(decrypted.err, "File Decrypted\n");
        EXPECT_EQ(ReadFile(dir.path(name)), plain) << name;
        std::filesystem::remove(dir.path(name));
    }
    std::filesystem::create_directory(dir.path("folder"));
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {Command("encrypt", {"--passphrase-hex="}, dir.path("folder"), dir.path("out")),
         "zorvanta-cli: " + dir.path("folder") + ": Unable to open the Input File (Is a directory)\n"},
        {Command("encrypt", {"--passphrase-hex="}, dir.path("enc"), dir.path("folder")),
         "zorvanta-cli: " + dir.path("folder") + ": Unable to open the Output File (Is a directory)\n"},
        {Command("decrypt", {"--passphrase-hex="}, dir.path("enc"), dir.path("folder")),
         "zorvanta-cli: " + dir.path("folder") + ": Unable to open the Output File (Is a directory)\n"},
    };
    for (const auto& [args, message] : refusals) {
        const CliRun refused = RunCliWith(args);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err, message);
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"enc", "folder"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("folder")));
}

TEST(CliEdgeInputs, EmptyAndTenThousandCharacterPassphrasesFromEverySource)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Bytes(100, 0x42));
    std::string longText(10000, ' ');
    for (std::size_t i = 0; i < longText.size(); ++i) longText[i] = static_cast<char>('!' + i % 90);
    for (const std::string& secret : {std::string(), longText}) {
        std::string hex;
        for (unsigned char c : secret) hex += "0123456789ABCDEF"[c >> 4], hex += "0123456789ABCDEF"[c & 15];
        WriteFile(dir.path("pass"), Bytes(secret.begin(), secret.end()));
        ASSERT_EQ(RunCliWith(Command("encrypt", {"--passphrase-hex", hex}, dir.path("plain"), dir.path("enc"))).status, 0);
        const Bytes encrypted = ReadFile(dir.path("enc"));
        const std::vector<std::string> sources[] = {{"--passphrase-file", dir.path("pass")}, {"--passphrase-env", "P"}, {}};
        for (const auto& source : sources) {
            ASSERT_EQ(RunWithSecret(Command("encrypt", source, dir.path("plain"), dir.path("enc2")), secret).status, 0);
            EXPECT_EQ(ReadFile(dir.path("enc2")), encrypted) << secret.size();
            ASSERT_EQ(RunWithSecret(Command("decrypt", source, dir.path("enc"), dir.path("dec")), secret).status, 0);
            EXPECT_EQ(ReadFile(dir.path("dec")), Bytes(100, 0x42));
        }
    }
    const CliRun shorter = RunWithSecret(Command("decrypt", {}, dir.path("enc"), dir.path("dec")), longText.substr(1));
    EXPECT_EQ(shorter.status, 1);
    EXPECT_EQ(shorter.err, "zorvanta-cli: " + dir.path("enc") + ": Incorrect Passphrase\n");
}

TEST(CliEdgeInputs, AnOutputWrittenInPlaceSaysSoAndWhy)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Sample(1000));
    WriteFile(dir.path("out"), {'o', 'l', 'd'});
    ASSERT_EQ(::link(dir.path("out").c_str(), dir.path("other name").c_str()), 0);
    const CliRun run = RunCliWith(Command("encrypt", {"--passphrase-hex=41"}, dir.path("plain"), dir.path("out")));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "zorvanta-cli: " + dir.path("out") + ": written in place (it has other hard links)\nFile Encrypted\n");
    EXPECT_EQ(ReadFile(dir.path("other name")).size(), 1032u);
}
