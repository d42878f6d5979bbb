#pragma once

// The ASCII armor of age files: strict PEM (RFC 7468, section 3) with the label "AGE ENCRYPTED
// FILE", padded base64 in lines of 64 columns of which only the last may be shorter. The
// decoder accepts LF or CRLF line ends and whitespace before and after the block, and nothing
// else that would let the same file be written two ways. Both work on pieces of any size in
// bounded memory.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kArmorBegin = "-----BEGIN AGE ENCRYPTED FILE-----";
inline constexpr std::string_view kArmorEnd = "-----END AGE ENCRYPTED FILE-----";
inline constexpr std::string_view kArmorWhitespace = " \t\r\n";
// A UTF-8 byte-order mark, which an editor may put before the armor.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Writes LF line ends. The armor of nothing is not valid armor; an age file is never empty.
class ArmorEncoder {
public:
    void Feed(std::span<const std::uint8_t> bytes, std::string& out);
    void Finish(std::string& out);

private:
    void Begin(std::string& out);

    std::vector<std::uint8_t> pending_;  // fewer bytes than a line holds
    bool begun_ = false;
};

// Raises AgeError HeaderDamaged("bad armor: ...") for malformed armor and TrailingData for
// anything but whitespace after the END line. Before the BEGIN line it skips a byte-order mark
// and up to kMaxArmorLead bytes of whitespace.
inline constexpr std::size_t kMaxArmorLead = std::size_t{1} << 20;

class ArmorDecoder {
public:
    // Appends the bytes decoded from text to out.
    void Feed(std::span<const std::uint8_t> text, std::vector<std::uint8_t>& out);
    // At the end of the input: raises AgeError Truncated unless the END line was seen.
    void Finish();

private:
    enum class State { BeforeBegin, Body, AfterEnd };
    void TakeLine(std::vector<std::uint8_t>& out);
    bool AtEndLine() const;

    State state_ = State::BeforeBegin;
    std::size_t lead_ = 0;      // bytes before the BEGIN line
    std::size_t mark_ = 0;      // of them, the byte-order mark's at the start
    std::string line_;          // the line being read, without its line end
    bool sawData_ = false;      // a base64 line was read
    bool dataClosed_ = false;   // the last base64 line was read (short or padded): END must follow
};
