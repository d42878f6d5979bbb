#pragma once

// Known answers that 'zorvanta-cli selftest' checks: published vectors of every cipher and of
// SHA-1, and whole encrypted files of this tool's format.

#include <span>
#include <string_view>

struct KnownAnswer {
    enum class Kind {
        Block,  // one block of `algorithm` in ECB: key, input -> output
        Sha1,   // SHA-1 of input -> output
        File,   // the file `algorithm` makes of input under passphrase key: iv, then output
    };
    Kind kind;
    std::string_view label;
    std::string_view algorithm;
    std::string_view key;     // hexadecimal, as are the others
    std::string_view input;
    std::string_view output;
    std::string_view iv = {};
};

std::span<const KnownAnswer> BuiltInKnownAnswers();
