#include "textenc/encryp.h"

#include <chrono>
#include <random>
#include <string_view>

#include "textenc/intconv.h"
#include "textenc/panecodec.h"

namespace {
constexpr std::string_view kDefaultKey = "Vor Kal";
constexpr int kModulus = 255;

// The index runs 1..L over the key as set; with an empty Key, L is 0 and the index stays at 1,
// so only the default key's first character is ever used.
class KeyStream {
public:
    explicit KeyStream(std::string_view key) : length_(key.size()), key_(key.empty() ? kDefaultKey : key) {}

    std::uint8_t Next() noexcept
    {
        index_ = index_ < length_ ? index_ + 1 : 1;
        return static_cast<std::uint8_t>(key_[index_ - 1]);
    }

private:
    std::size_t length_;
    std::string_view key_;
    std::size_t index_ = 0;
};

void AppendHex(std::string& out, std::uint8_t byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

// The one or two characters at pos (none beyond the end), read as "$" and the group so that a
// malformed group raises the keycode boxes' conversion error.
std::uint8_t GroupAt(std::string_view hex, std::size_t pos)
{
    const std::string_view group = pos < hex.size() ? hex.substr(pos, 2) : std::string_view{};
    return static_cast<std::uint8_t>(IntegerFromText("$" + Utf8FromBytes(group)));
}
}  // namespace

std::uint8_t ClockSeededStartByte()
{
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::mt19937 generator(static_cast<std::mt19937::result_type>(ticks));
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(generator));
}

TRixEncryption::TRixEncryption(StartByteSource startByte) : startByte_(std::move(startByte)) {}

void TRixEncryption::Execute()
{
    if (input_.empty()) {
        output_.clear();
        return;
    }
    output_ = action_ == TActionType::atEncryption ? Encrypt() : Decrypt();
}

std::string TRixEncryption::Encrypt() const
{
    KeyStream key(key_);
    std::uint8_t previous = startByte_();
    std::string hex;
    hex.reserve(2 * (input_.size() + 1));
    AppendHex(hex, previous);
    for (char c : input_) {
        const int mixed = (static_cast<std::uint8_t>(c) + previous) % kModulus;
        previous = static_cast<std::uint8_t>(mixed ^ key.Next());
        AppendHex(hex, previous);
    }
    return hex;
}

std::string TRixEncryption::Decrypt() const
{
    KeyStream key(key_);
    std::uint8_t previous = GroupAt(input_, 0);
    std::string text;
    text.reserve(input_.size() / 2);
    // The first group after the start byte is always read, the others while they start before
    // the last character, so one stray character at the end is ignored.
    for (std::size_t pos = 2;; pos += 2) {
        const std::uint8_t cipher = GroupAt(input_, pos);
        const int mixed = cipher ^ key.Next();
        const int plain = previous < mixed ? mixed - previous : mixed + kModulus - previous;
        // Modulo 255, the codes 0 and 255 look alike. A text never holds a NUL, which would cut
        // everything after it off in the pane, so 255 is the one to restore.
        text += static_cast<char>(plain == 0 ? 255 : plain);
        previous = cipher;
        if (pos + 3 >= input_.size()) break;
    }
    return text;
}
