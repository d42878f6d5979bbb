#include "formats/fileformat.h"

#include <algorithm>


FileFormat FormatOf(std::span<const std::uint8_t> firstBytes)
{
    if (!LooksLikeAge(firstBytes)) return FileFormat::Legacy;
    return IsArmored(firstBytes) ? FileFormat::ArmoredAge : FileFormat::Age;
}

std::variant<RunInput, RunRefusal> OpenToTell(const std::string& name, const SystemCalls& calls)
{
    return OpenRunInput(name, kFormatPeekBytes, calls);
}

bool HasAgeSuffix(std::string_view name)
{
    return name.size() > kAgeSuffix.size() && name.ends_with(kAgeSuffix);
}

std::string WithoutAgeSuffix(std::string name)
{
    if (HasAgeSuffix(name)) name.resize(name.size() - kAgeSuffix.size());
    return name;
}

std::optional<std::string_view> FindLegacyCipher(std::span<const std::uint8_t> firstBytes,
                                                 const SecretBytes& passphrase, std::optional<std::string_view> named)
{
    if (firstBytes.size() < kCheckBlockBytes) return std::nullopt;
    std::span<const CipherEntry> candidates = AllCiphers();
    if (named) {
        const auto entry = std::ranges::find(candidates, *named, &CipherEntry::algorithm);
        candidates = entry == candidates.end() ? candidates.first(0) : std::span(&*entry, 1);
    }
    const auto matching = CiphersMatchingBlock(firstBytes.first(kCheckBlockBytes), passphrase, candidates);
    if (matching.empty()) return std::nullopt;
    return matching.front();
}
