// zorvanta-cli overwrites its copies of the passphrase, whichever way it came in.
#include <gtest/gtest.h>

#include <fcntl.h>

#include "cli/clirun.h"
#include "fileenc/passphrase.h"
#include "fileenc/wipe_observer.h"
#include "support/tempdir.h"

namespace {
Bytes BytesOf(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}
}  // namespace

TEST(CliWiping, EveryPassphraseSourceLeavesItsCopiesWiped)
{
    TempDir dir;
    WriteFile(dir.path("plain"), {1, 2, 3});
    const std::string text = "a long passphrase caf\u00E9, past the short-string size";
    WriteFile(dir.path("pass.txt"), BytesOf(text + "\n"));
    const SecretBytes converted = PassphraseBytes(text);
    const Bytes hashed(converted.begin(), converted.end());
    std::string hex;
    for (std::uint8_t b : hashed) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];

    const int passFd = ::open(dir.path("pass.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(passFd, 0);
    struct Case {
        std::vector<std::string> options;
        Bytes text;  // also wiped, for the sources that give a text
    };
    const Case cases[] = {
        {{"--passphrase-hex", hex}, BytesOf(hex)},
        {{"--passphrase-file", dir.path("pass.txt")}, BytesOf(text)},
        {{"--passphrase-env", "PASS"}, BytesOf(text)},
        {{"--passphrase-fd", std::to_string(passFd)}, BytesOf(text)},
        {{}, BytesOf(text)},  // typed twice
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"encrypt", "--cipher", "Gost", "--force"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {dir.path("plain"), dir.path("enc")});
        const auto wipes = WipesDuring([&] {
            const CliRun run = RunCliWith(args, CliScript{{text, text}, {{"PASS", text}}});
            ASSERT_EQ(run.status, 0) << run.err;
        });
        EXPECT_TRUE(Wiped(wipes, hashed)) << args[4];
        EXPECT_TRUE(Wiped(wipes, c.text)) << args[4];
    }
    ::close(passFd);
}
