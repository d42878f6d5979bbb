// The armor: what the encoder writes reads back from pieces of any size, and everything but
// whitespace around the block, LF or CRLF, and canonical lines is refused.
#include <gtest/gtest.h>

#include "age/ageerror.h"
#include "age/armor.h"
#include "agefile.h"

namespace {
std::string Armored(const Bytes& bytes, std::size_t piece)
{
    ArmorEncoder encoder;
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        encoder.Feed(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)), text);
    encoder.Finish(text);
    return text;
}

Bytes Dearmored(std::string_view text, std::size_t piece)
{
    ArmorDecoder decoder;
    Bytes out;
    for (std::size_t at = 0; at < text.size(); at += piece)
        decoder.Feed(AsBytes(text.substr(at, piece)), out);
    decoder.Finish();
    return out;
}

std::optional<AgeFailure> FailureOf(std::string_view text, std::size_t piece)
{
    try {
        Dearmored(text, piece);
    } catch (const AgeError& error) {
        return error.failure();
    }
    return std::nullopt;
}

std::string WithCrLf(std::string_view text)
{
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

const std::string kBegin = std::string(kArmorBegin) + "\n";
const std::string kEnd = std::string(kArmorEnd) + "\n";
const std::string kLine(64, 'A');
}  // namespace

TEST(Armor, RoundTripsAroundLineBoundariesInAnyPieces)
{
    for (const std::size_t n : {1, 2, 3, 47, 48, 49, 95, 96, 97, 1000}) {
        const Bytes bytes = Pattern(n);
        const std::string text = Armored(bytes, 1);
        EXPECT_EQ(Armored(bytes, 7), text);
        EXPECT_EQ(Armored(bytes, n), text);
        // Lines of 64 columns, the last of up to 64, and LF line ends.
        const std::size_t lines = (n + 47) / 48;
        EXPECT_EQ(text.size(), kBegin.size() + (n / 48) * 65 + (n % 48 ? (n % 48 + 2) / 3 * 4 + 1 : 0) + kEnd.size());
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(lines + 2)) << n;
        for (const std::size_t piece : {1, 3, 64, 65, 1 << 20}) {
            EXPECT_EQ(Dearmored(text, piece), bytes) << n << " in pieces of " << piece;
            EXPECT_EQ(Dearmored(WithCrLf(text), piece), bytes) << n << " with CRLF, pieces of " << piece;
        }
        EXPECT_EQ(Dearmored(" \t\r\n\n" + text + "\n \r\n\t", 5), bytes) << n;
        EXPECT_EQ(Dearmored(text.substr(0, text.size() - 1), 5), bytes) << n << " without the last LF";
        const std::string crlf = WithCrLf(text);
        EXPECT_EQ(Dearmored(crlf.substr(0, crlf.size() - 1), 5), bytes) << n << " ending in CR";
        EXPECT_EQ(Dearmored(std::string(kByteOrderMark) + text, 2), bytes) << n << " behind a byte-order mark";
        EXPECT_EQ(Dearmored(std::string(kByteOrderMark) + std::string(5000, ' ') + text, 1000), bytes) << n;
    }
}

TEST(Armor, MalformedArmorIsRefused)
{
    const std::string good = Armored(Pattern(100), 100);  // two full lines and "BA==" style last line
    const struct {
        const char* fault;
        std::string text;
        AgeFailure failure;
    } cases[] = {
        {"65-column line", kBegin + kLine + "A\n" + "AAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"long line without LF", kBegin + kLine + kLine, AgeFailure::HeaderDamaged},
        {"line after a short line", kBegin + "AAAA\n" + "AAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"line after a padded full line", kBegin + kLine.substr(4) + "AA==\n" + "AAAA\n" + kEnd,
         AgeFailure::HeaderDamaged},
        {"length not a multiple of 4", kBegin + "AAAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"missing padding", kBegin + "AA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"non-canonical padding", kBegin + "AB==\n" + kEnd, AgeFailure::HeaderDamaged},
        {"padding inside a line", kBegin + "AA==AAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"blank line inside", kBegin + kLine + "\n\nAAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"blank line before END", kBegin + "AAAA\n\n" + kEnd, AgeFailure::HeaderDamaged},
        {"trailing space on a line", kBegin + "AAAA \n" + kEnd, AgeFailure::HeaderDamaged},
        {"lone CR line end", kBegin + "AAAA\r" + kEnd, AgeFailure::HeaderDamaged},
        {"no data", kBegin + kEnd, AgeFailure::HeaderDamaged},
        {"text before BEGIN", "x\n" + good, AgeFailure::HeaderDamaged},
        {"other label", "-----BEGIN AGE ENCRYPTED DATA-----\nAAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"BEGIN with a trailing space", std::string(kArmorBegin) + " \nAAAA\n" + kEnd, AgeFailure::HeaderDamaged},
        {"garbage after END", good + "x", AgeFailure::TrailingData},
        {"second block after END", good + "\n" + good, AgeFailure::TrailingData},
        {"no END", good.substr(0, good.size() - kEnd.size()), AgeFailure::Truncated},
        {"cut inside END", good.substr(0, good.size() - 5), AgeFailure::Truncated},
        {"cut inside a line", good.substr(0, kBegin.size() + 30), AgeFailure::Truncated},
        {"nothing", "", AgeFailure::Truncated},
        {"only whitespace", " \n\n", AgeFailure::Truncated},
        {"a broken byte-order mark", "\xEF\xBB \n" + good, AgeFailure::HeaderDamaged},
        {"a byte-order mark after whitespace", " " + std::string(kByteOrderMark) + good, AgeFailure::HeaderDamaged},
        {"too much whitespace before BEGIN", std::string(kMaxArmorLead + 1, '\n') + good, AgeFailure::HeaderDamaged},
    };
    for (const auto& [fault, text, failure] : cases)
        for (const std::size_t piece : {1, 1 << 20})
            EXPECT_EQ(FailureOf(text, piece), failure) << fault << " " << piece;
}
