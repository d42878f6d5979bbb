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

// The fastest sound peer by one figure; library is null when no peer has one.
struct Fastest {
    const LibraryResult* library = nullptr;
    double mbps = 0;
};
Fastest FastestPeer(const CipherResult& result, double CbcFigures::*figure);

// A speed, or "-" for one we do not have (0).
std::string Speed(double mbps);
// ours / the fastest peer with the peer's name; "-" when either is missing (ours 0).
std::string Ratio(double ours, const Fastest& fastest);

void PrintCipherTable(const CipherResult& result);
void PrintSummary(const std::vector<CipherResult>& results);
