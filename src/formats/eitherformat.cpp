#include "formats/eitherformat.h"

#include "age/ageerror.h"
#include "fileenc/passphrase.h"
#include "formats/dispatch.h"
#include "formats/fileformat.h"

namespace {
// The file windows have no key files: an age file for recipients is told where it opens.
AgeError Explained(const AgeError& e)
{
    if (e.failure() != AgeFailure::NoIdentityMatched) return e;
    return AgeError(AgeFailure::NoIdentityMatched,
                    "this age file opens with a key file, not a passphrase: use zorvanta-cli decrypt -i KEYFILE");
}

Opening OpeningOf(const SecretBytes& typed, const TZC_blockcipher& cipher)
{
    Opening opening;
    opening.unlocking.passphrase = [&typed] { return std::optional<SecretBytes>(typed); };
    opening.legacyPassphrase = PassphraseBytes(AsText(typed));
    opening.cipher = cipher.Algorithm();
    return opening;
}
}  // namespace

bool WritesAge(const std::string& outputName)
{
    return HasAgeSuffix(outputName);
}

FileOpResult EncryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    Protection protection = LegacyProtection{PassphraseBytes(AsText(typed)), cipher.Algorithm()};
    if (WritesAge(outputName)) {
        AgeProtection age;
        age.passphrase = typed;
        protection = std::move(age);
    }
    return WithNamedFiles(inputName, outputName, 0, options, [&](RunInput input, RunOutput output) {
        return EncryptOpened(std::move(input), std::move(output), protection, options);
    });
}

FileOpResult DecryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    const Opening opening = OpeningOf(typed, cipher);
    return WithNamedFiles(inputName, outputName, kFormatPeekBytes, options, [&](RunInput input, RunOutput output) {
        try {
            return DecryptOpened(std::move(input), std::move(output), opening, options);
        } catch (const AgeError& e) {
            if (e.failure() == AgeFailure::IncorrectPassphrase) return FileOpResult::WrongPassphrase;
            throw Explained(e);
        }
    });
}
