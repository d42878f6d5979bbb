#include "formats/eitherformat.h"

#include <algorithm>
#include <cctype>

#include "age/ageerror.h"
#include "fileenc/passphrase.h"
#include "formats/dispatch.h"
#include "formats/fileformat.h"

namespace {
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
    std::string lower = outputName;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return HasAgeSuffix(lower);
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
        // age refuses to open a file under the empty passphrase.
        if (typed.empty() && std::holds_alternative<AgeProtection>(protection))
            throw ZorvantaError("An age file needs a passphrase: no age tool opens one under the empty passphrase",
                                ErrorKind::Refused);
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
            throw;
        }
    });
}
