#pragma once

// Reading the published constants and vector files kept in tests/data.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const std::uint8_t* p, std::size_t n);
inline std::string ToHex(std::span<const std::uint8_t> b) { return ToHex(b.data(), b.size()); }

std::string DataPath(const std::string& file);

// One record of a vector file: its kind and its NAME=VALUE fields (values as written).
struct VectorRecord {
    std::string kind;
    std::map<std::string, std::string> fields;
    int line = 0;

    Bytes bytes(const std::string& name) const { return FromHex(fields.at(name)); }
    bool has(const std::string& name) const { return fields.count(name) != 0; }
};

std::vector<VectorRecord> ReadVectors(const std::string& file, const std::string& kind = "");

// The entries of one table of a table file ("table NAME COUNT BITS" and its numbers).
std::vector<std::uint32_t> ReadTable(const std::string& file, const std::string& table);
