#include "formats/eitherformat.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "pipeline/runfiles.h"

namespace {
FileOpResult DecryptAge(RunInput input, RunOutput output, const SecretBytes& typed, const FileOpOptions& options)
{
    Unlocking unlocking;
    unlocking.passphrase = [&typed] { return std::optional<SecretBytes>(typed); };
    try {
        return DecryptOpenedAgeFile(std::move(input), std::move(output), unlocking, options);
    } catch (const AgeError& e) {
        if (e.failure() == AgeFailure::IncorrectPassphrase) return FileOpResult::WrongPassphrase;
        throw;
    }
}
}  // namespace

bool WritesAge(const std::string& outputName)
{
    constexpr std::string_view suffix = ".age";
    return outputName.size() > suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), outputName.end() - suffix.size(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

FileOpResult EncryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    if (!WritesAge(outputName)) return EncryptFile(inputName, outputName, PassphraseBytes(AsText(typed)), cipher, options);
    AgeProtection protection;
    protection.passphrase = typed;
    return WithNamedFiles(inputName, outputName, 0, options, [&](RunInput input, RunOutput output) {
        // age refuses to open a file under the empty passphrase.
        if (typed.empty()) throw ZorvantaError("An age file needs a passphrase: no age tool opens one under the empty passphrase");
        return EncryptOpenedAgeFile(std::move(input), std::move(output), protection, options);
    });
}

FileOpResult DecryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return WithNamedFiles(inputName, outputName, kFormatPeekBytes, options, [&](RunInput input, RunOutput output) {
        if (LooksLikeAge(input.taken)) return DecryptAge(std::move(input), std::move(output), typed, options);
        return DecryptOpenedFile(std::move(input), std::move(output), PassphraseBytes(AsText(typed)), cipher, options);
    });
}
