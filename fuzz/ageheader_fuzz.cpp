// The age readers fed anything, as the first bytes of a file or as armor. Nothing crashes; a
// header that parses is found to end where it ends, and its stanzas written back give the same
// text up to the MAC (the grammar allows one text only); a file key comes back only when the
// header's MAC checks under it; armor decodes alike whole or in pieces, and what it gives
// encodes and decodes back.
#include <optional>
#include <string>
#include <vector>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/armor.h"
#include "age/header.h"
#include "age/stanzas.h"
#include "ageunlocking.h"
#include "property.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

void CheckHeader(std::string_view text)
{
    Header header;
    try {
        header = ParseHeader(text);
    } catch (const AgeError& error) {
        Require(error.failure() == AgeFailure::HeaderDamaged, "a header is refused only as damaged");
        return;
    }
    Require(FindHeaderEnd(AsBytes(text)) == text.size(), "a parsed header ends where the search says");
    const std::string written = WriteHeader(header.stanzas, SecretBytes(16, 0x5A));
    Require(written.starts_with(header.macInput), "the stanzas written back give the same text");
    Require(ParseHeader(written).stanzas == header.stanzas, "the stanzas written back parse the same");

    try {
        const SecretBytes fileKey = UnlockFileKey(header, FuzzUnlocking());
        Require(fileKey.size() == kFileKeyBytes, "a file key of 16 bytes");
        Require(HmacSha256(Hkdf(fileKey, {}, "header", 32), AsBytes(header.macInput)) == header.mac,
                "a file key comes back only with a MAC that checks under it");
    } catch (const AgeError&) {
    }
}

// The header among the first bytes of a file, when they hold one.
void CheckFileStart(std::span<const std::uint8_t> bytes)
{
    std::optional<std::size_t> end;
    try {
        end = FindHeaderEnd(bytes);
    } catch (const AgeError& error) {
        Require(error.failure() == AgeFailure::NotAgeFile || error.failure() == AgeFailure::HeaderDamaged,
                "first bytes are refused as not age or damaged");
        return;
    }
    if (!end) return;
    Require(*end <= bytes.size() && bytes[*end - 1] == '\n', "the header ends after a line feed within the bytes");
    CheckHeader(std::string_view(reinterpret_cast<const char*>(bytes.data()), *end));
}

// The decoded bytes, or the failure the decoder raised.
struct Decoded {
    Bytes bytes;
    std::optional<AgeFailure> failure;
};

Decoded Dearmor(std::span<const std::uint8_t> text, std::size_t piece)
{
    Decoded result;
    try {
        ArmorDecoder decoder;
        for (std::size_t at = 0; at < text.size(); at += piece)
            decoder.Feed(text.subspan(at, std::min(piece, text.size() - at)), result.bytes);
        decoder.Finish();
    } catch (const AgeError& error) {
        result.failure = error.failure();
    }
    return result;
}

void CheckArmor(std::span<const std::uint8_t> text)
{
    const Decoded whole = Dearmor(text, text.size() + 1);
    const Decoded pieces = Dearmor(text, 1 + text.size() % 61);
    Require(whole.failure == pieces.failure, "armor fails alike whole or in pieces");
    if (whole.failure) return;
    Require(whole.bytes == pieces.bytes, "armor decodes alike whole or in pieces");

    ArmorEncoder encoder;
    std::string again;
    encoder.Feed(whole.bytes, again);
    encoder.Finish(again);
    Require(Dearmor(AsBytes(again), again.size()).bytes == whole.bytes, "decoded armor encodes and decodes back");
    CheckFileStart(whole.bytes);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    CheckFileStart(bytes);
    CheckHeader(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckArmor(bytes);
    return 0;
}
