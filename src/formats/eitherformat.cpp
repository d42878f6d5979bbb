#include "formats/eitherformat.h"

#include <variant>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "pipeline/runfiles.h"

namespace {
// The file windows have no key files: an age file for recipients is told where it opens.
AgeError Explained(const AgeError& e)
{
    if (e.failure() != AgeFailure::NoIdentityMatched) return e;
    return AgeError(AgeFailure::NoIdentityMatched,
                    "this age file opens with a key file, not a passphrase: use zorvanta-cli decrypt -i KEYFILE");
}

FileOpResult DecryptAge(RunInput input, const std::string& outputName, const SecretBytes& typed,
                        const FileOpOptions& options)
{
    Unlocking unlocking;
    unlocking.passphrase = [&typed] { return std::optional<SecretBytes>(typed); };
    try {
        return DecryptOpenedAgeFile(std::move(input), outputName, unlocking, options);
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
    if (const auto refusal = RefusedNames(inputName, outputName)) return *refusal;
    auto opened = OpenRunInput(inputName, kFormatPeekBytes, *options.calls);
    if (const auto* refusal = std::get_if<FileOpResult>(&opened)) return *refusal;
    RunInput& input = std::get<RunInput>(opened);
    if (LooksLikeAge(input.taken)) return DecryptAge(std::move(input), outputName, typed, options);
    return DecryptOpenedFile(std::move(input), outputName, PassphraseBytes(AsText(typed)), cipher, options);
}
