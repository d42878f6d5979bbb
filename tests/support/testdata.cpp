#include "support/testdata.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

Bytes FromHex(const std::string& hex)
{
    if (hex.size() % 2 != 0) throw std::invalid_argument("odd hex length: " + hex);
    Bytes out;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const std::uint8_t* p, std::size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string DataPath(const std::string& file)
{
    return std::string(ZORVANTA_TEST_DATA) + "/" + file;
}

namespace {
std::ifstream OpenData(const std::string& file)
{
    std::ifstream in(DataPath(file));
    if (!in) throw std::runtime_error("cannot open test data " + file);
    return in;
}
}  // namespace

std::vector<VectorRecord> ReadVectors(const std::string& file, const std::string& kind)
{
    std::ifstream in = OpenData(file);
    std::vector<VectorRecord> records;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        VectorRecord record;
        if (!(words >> record.kind) || record.kind[0] == '#') continue;
        record.line = number;
        for (std::string field; words >> field;) {
            const auto eq = field.find('=');
            record.fields[field.substr(0, eq)] = field.substr(eq + 1);
        }
        if (kind.empty() || record.kind == kind) records.push_back(record);
    }
    return records;
}

std::vector<std::uint32_t> ReadTable(const std::string& file, const std::string& table)
{
    std::ifstream in = OpenData(file);
    std::string line;
    std::vector<std::uint32_t> values;
    std::size_t count = 0;
    bool inside = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word[0] == '#') continue;
        if (word == "table") {
            if (inside) break;
            std::string name;
            words >> name >> count;
            inside = name == table;
            continue;
        }
        if (!inside) continue;
        do values.push_back(static_cast<std::uint32_t>(std::stoul(word, nullptr, 16)));
        while (words >> word);
    }
    if (values.size() != count || count == 0) throw std::runtime_error("bad table " + table + " in " + file);
    return values;
}
