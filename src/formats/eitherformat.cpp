#include "formats/eitherformat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <vector>

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

// The first bytes that tell a file's format; none for anything but a regular file, which is not
// read (a pipe would block).
std::vector<std::uint8_t> FirstBytesOfRegularFile(const std::string& name)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {};
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
    return first;
}
}  // namespace

bool WritesAge(const std::string& outputName)
{
    std::string lower = outputName;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return HasAgeSuffix(lower);
}

bool IsAgeFile(const std::string& path)
{
    return IsAge(FormatOf(FirstBytesOfRegularFile(path)));
}

void RequireAgePassphrase(const SecretBytes& typed)
{
    if (typed.empty())
        throw ZorvantaError("An age file needs a passphrase: no age tool opens one under the empty passphrase",
                            ErrorKind::Refused);
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
        if (std::holds_alternative<AgeProtection>(protection)) RequireAgePassphrase(typed);
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

std::optional<std::string> LegacyCipherOfFile(const std::string& name, const SecretBytes& typed)
{
    const std::vector<std::uint8_t> first = FirstBytesOfRegularFile(name);
    if (IsAge(FormatOf(first))) return std::nullopt;
    const auto fitting = FindLegacyCipher(first, PassphraseBytes(AsText(typed)));
    return fitting ? std::optional<std::string>(*fitting) : std::nullopt;
}
