#pragma once

// One run of zorvanta-cli in a folder, as a row of a table: the exit status, a text on the
// stream it belongs to (the other stream stays empty), and the files the run makes or
// replaces; every other file of the folder keeps its bytes and no other file appears.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/clirun.h"
#include "support/tempdir.h"

// The regular files of a folder and their bytes.
inline std::map<std::string, Bytes> Snapshot(const TempDir& dir)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.root()))
        if (entry.is_regular_file()) files[entry.path().filename()] = ReadFile(entry.path());
    return files;
}

enum class Text { Out, Err };

struct Case {
    std::string what;
    std::vector<std::string> args;  // {} in a name stands for the folder
    int status;
    Text stream;               // where `text` is; the other stream stays empty
    std::string text;          // a part of what that stream shows; {} in it stands for the folder
    std::map<std::string, Bytes> creates = {};  // files the run makes or replaces (any bytes when
                                                // empty); all others stay
    CliScript script = {};
};

inline std::string InFolder(std::string text, const TempDir& dir)
{
    for (std::size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, dir.root().string());
    return text;
}

// Runs the case in dir and checks everything it says.
inline void ExpectCase(const Case& c, const TempDir& dir)
{
    const auto before = Snapshot(dir);
    CliScript script = c.script;
    script.standardInput = InFolder(script.standardInput, dir);
    script.standardOutput = InFolder(script.standardOutput, dir);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(InFolder(arg, dir));
    const CliRun run = RunCliWith(args, script);
    EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
    const std::string& shown = c.stream == Text::Out ? run.out : run.err;
    const std::string& other = c.stream == Text::Out ? run.err : run.out;
    EXPECT_NE(shown.find(InFolder(c.text, dir)), std::string::npos) << c.what << ": " << shown;
    if (c.text.empty()) {
        EXPECT_EQ(shown, "") << c.what;
    }
    EXPECT_EQ(other, "") << c.what;
    auto expected = before;
    for (const auto& [name, bytes] : c.creates) expected[name] = bytes.empty() ? ReadFile(dir.path(name)) : bytes;
    EXPECT_EQ(Snapshot(dir), expected) << c.what;
}
