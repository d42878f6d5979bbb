#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cbcbench.h"

// A cipher as the file procedure keys it.
struct BenchCipher {
    std::string_view name;   // ours, as the registry knows it
    std::string_view label;  // the common name, for the tables
    int keyBits;
};

// One library's figures for one cipher, or the reason there are none.
struct LibraryResult {
    std::string_view library;
    std::optional<CbcFigures> figures;
    std::string note;
};

// The first entry is ours, the peers follow.
struct CipherResult {
    BenchCipher cipher;
    std::vector<LibraryResult> libraries;

    // Our sound figures; all 0 when we lack the cipher or got it wrong.
    CbcFigures Ours() const;
};

void PrintCipherTable(const CipherResult& result);
void PrintSummary(const std::vector<CipherResult>& results);
