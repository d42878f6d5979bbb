#include "formats/dispatch.h"

#include "cipher/registry.h"
#include "fileenc/checkblock.h"
#include "fileenc/fileop.h"
#include "formats/fileformat.h"
#include "platform/ioerror.h"

namespace {
// The cipher whose check block fits a legacy file under opening. A file too short to hold a
// check block fails as its reading would.
std::optional<std::string_view> LegacyCipherOf(const RunInput& input, const Opening& opening)
{
    if (!opening.legacyPassphrase) return std::nullopt;
    if (input.taken.size() < kCheckBlockBytes) throw IoError(iocode::kReadBeyondEnd, 0, input.name);
    return FindLegacyCipher(input.taken, *opening.legacyPassphrase, opening.cipher);
}
}  // namespace

FileOpResult EncryptOpened(RunInput input, RunOutput output, const Protection& protection,
                           const FileOpOptions& options)
{
    if (const auto* age = std::get_if<AgeProtection>(&protection))
        return EncryptOpenedAgeFile(std::move(input), std::move(output), *age, options);
    const auto& legacy = std::get<LegacyProtection>(protection);
    const auto cipher = CreateCipher(legacy.cipher);
    return EncryptOpenedFile(std::move(input), std::move(output), legacy.passphrase, *cipher, options);
}

FileOpResult DecryptOpened(RunInput input, RunOutput output, const Opening& opening, const FileOpOptions& options)
{
    if (IsAge(FormatOf(input.taken)))
        return DecryptOpenedAgeFile(std::move(input), std::move(output), opening.unlocking, options);
    const auto algorithm = LegacyCipherOf(input, opening);
    if (!algorithm) return FileOpResult::WrongPassphrase;
    const auto cipher = CreateCipher(*algorithm);
    return DecryptOpenedFile(std::move(input), std::move(output), *opening.legacyPassphrase, *cipher, options);
}

FileOpResult CheckOpened(RunInput input, const Opening& opening, const FileOpOptions& options)
{
    if (IsAge(FormatOf(input.taken))) return CheckOpenedAgeFile(std::move(input), opening.unlocking, options);
    return LegacyCipherOf(input, opening) ? FileOpResult::Decrypted : FileOpResult::WrongPassphrase;
}
