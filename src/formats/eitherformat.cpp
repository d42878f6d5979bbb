#include "formats/eitherformat.h"

#include <sys/stat.h>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "pipeline/runfiles.h"
#include "platform/posixfile.h"

namespace {
// The file windows have no key files: an age file for recipients is told where it opens.
AgeError Explained(const AgeError& e)
{
    if (e.failure() != AgeFailure::NoIdentityMatched) return e;
    return AgeError(AgeFailure::NoIdentityMatched,
                    "this age file opens with a key file, not a passphrase: use zorvanta-cli decrypt -i KEYFILE");
}

FileOpResult DecryptAge(RunInput input, RunOutput output, const SecretBytes& typed, const FileOpOptions& options)
{
    Unlocking unlocking;
    unlocking.passphrase = [&typed] { return std::optional<SecretBytes>(typed); };
    try {
        return DecryptOpenedAgeFile(std::move(input), std::move(output), unlocking, options);
    } catch (const AgeError& e) {
        if (e.failure() == AgeFailure::IncorrectPassphrase) return FileOpResult::WrongPassphrase;
        throw Explained(e);
    }
}
}  // namespace

bool WritesAge(const std::string& outputName)
{
    return outputName.size() > 4 && outputName.ends_with(".age");
}

bool IsAgeFile(const std::string& path)
{
    const auto input = OpenInput(path);
    if (!input || !S_ISREG(input->info.st_mode)) return false;
    std::uint8_t first[kFormatPeekBytes];
    return LooksLikeAge(std::span(first, ReadFull(input->fd.get(), first, sizeof first)));
}

FileOpResult EncryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    if (!WritesAge(outputName)) return EncryptFile(inputName, outputName, PassphraseBytes(AsText(typed)), cipher, options);
    AgeProtection protection;
    protection.passphrase = typed;
    return EncryptAgeFile(inputName, outputName, protection, options);
}

FileOpResult DecryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    return WithNamedFiles(inputName, outputName, kFormatPeekBytes, options, [&](RunInput input, RunOutput output) {
        if (LooksLikeAge(input.taken)) return DecryptAge(std::move(input), std::move(output), typed, options);
        return DecryptOpenedFile(std::move(input), std::move(output), PassphraseBytes(AsText(typed)), cipher, options);
    });
}
