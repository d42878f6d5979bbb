#include "formats/eitherformat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "fileenc/checkblock.h"
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

void RequireAgePassphrase(const SecretBytes& typed)
{
    if (typed.empty()) throw ZorvantaError("An age file needs a passphrase: no age tool opens one under the empty passphrase");
}

FileOpResult EncryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options)
{
    if (!WritesAge(outputName)) return EncryptFile(inputName, outputName, PassphraseBytes(AsText(typed)), cipher, options);
    AgeProtection protection;
    protection.passphrase = typed;
    return WithNamedFiles(inputName, outputName, 0, options, [&](RunInput input, RunOutput output) {
        RequireAgePassphrase(typed);
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

std::optional<std::string> LegacyCipherOfFile(const std::string& name, const SecretBytes& typed)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    std::vector<std::uint8_t> first(kFormatPeekBytes);
    std::size_t taken = 0;
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        ssize_t got = 0;
        while (taken < first.size() && (got = ::pread(fd, first.data() + taken, first.size() - taken,
                                                      static_cast<off_t>(taken))) > 0)
            taken += static_cast<std::size_t>(got);
    }
    ::close(fd);
    first.resize(taken);
    if (taken < kCheckBlockBytes || LooksLikeAge(first)) return std::nullopt;
    const auto fitting =
        CiphersMatchingBlock(std::span(first).first(kCheckBlockBytes), PassphraseBytes(AsText(typed)));
    if (fitting.empty()) return std::nullopt;
    return std::string(fitting.front());
}
