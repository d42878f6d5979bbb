#include "age/keyfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "platform/namedfailure.h"
#include "platform/posixfile.h"

namespace {
// Key files are small; a larger one is surely not a key file.
constexpr std::size_t kMaxKeyFileBytes = 4 * 1024 * 1024;
// A public key line is short; an RSA key of 16384 bits takes under 3 KiB.
constexpr std::size_t kMaxPublicKeyFileBytes = 64 * 1024;

// The line of NAME.pub beside an SSH private key, which shows the public half of a protected
// PEM key; nullopt when there is none.
std::optional<std::string> PublicKeyBeside(const std::string& name)
{
    const auto input = OpenInput(name + ".pub");
    if (!input || !S_ISREG(input->info.st_mode)) return std::nullopt;
    std::string text(kMaxPublicKeyFileBytes, '\0');
    text.resize(ReadFull(input->fd.get(), reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    return text.substr(0, text.find('\n'));
}

std::string Now()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string stamp(text);
    return stamp.insert(stamp.size() - 2, ":");  // RFC 3339: +01:00
}

// The identities' text of a key file that is an age file. It must be protected by a passphrase:
// the identities it holds are what would open one made for a key.
SecretBytes DecryptKeyFile(const SecretBytes& file, const Unlocking& unlocking)
{
    try {
        return DecryptAgeBytes(file, unlocking);
    } catch (const AgeError& e) {
        if (e.failure() != AgeFailure::NoIdentityMatched && e.failure() != AgeFailure::UnsupportedKeyType) throw;
        throw AgeError(AgeFailure::BadKey,
                       "this key file is encrypted to a public key; key files must be protected by a passphrase");
    }
}
}  // namespace

KeyFile ReadKeyFile(const std::string& path)
{
    const auto input = OpenInput(path);
    if (!input)
        throw AgeError(AgeFailure::BadKey, std::string("cannot read this key file (") + std::strerror(errno) + ")");
    SecretBytes bytes(kMaxKeyFileBytes + 1);
    bytes.resize(ReadFull(input->fd.get(), bytes.data(), bytes.size()));
    if (bytes.size() > kMaxKeyFileBytes) throw AgeError(AgeFailure::BadKey, "too large for a key file");
    return {std::move(bytes), input->info.st_mode};
}

std::vector<Identity> OpenIdentityFile(KeyFile file, const std::string& path, const Unlocking& unlocking,
                                       KeyPassphrase sshPassphrase)
{
    if (LooksLikeAge(file.text)) file.text = DecryptKeyFile(file.text, unlocking);
    const bool ssh = IsSshPrivateKey(AsText(file.text));
    const std::optional<std::string> publicLine = ssh && !path.empty() ? PublicKeyBeside(path) : std::nullopt;
    return ParseIdentities(file.text, std::move(sshPassphrase), publicLine);
}

std::vector<Identity> ReadIdentityFile(const std::string& path, const Unlocking& unlocking,
                                       KeyPassphrase sshPassphrase)
{
    return OpenIdentityFile(ReadKeyFile(path), path, unlocking, std::move(sshPassphrase));
}

RecipientList ReadRecipientList(const std::string& path)
{
    return ParseRecipientList(AsText(ReadKeyFile(path).text));
}

SecretBytes IdentityFileText(const X25519Identity& identity)
{
    const std::string heading =
        "# created: " + Now() + "\n# public key: " + FormatRecipient(RecipientOf(identity)) + "\n";
    SecretBytes text = ToSecretBytes(heading);
    const SecretBytes key = FormatIdentity(identity);
    text.insert(text.end(), key.begin(), key.end());
    text.push_back('\n');
    return text;
}

std::optional<std::string> WriteKeyFile(const std::string& path, const SecretBytes& text,
                                        OutputFile::Existing existing)
{
    auto file = OutputFile::Open(path, HostCalls(), existing);
    if (!file) return std::nullopt;
    file->RestrictToOwner();
    NamingFailures(path, [&] {
        file->Write(text.data(), text.size());
        file->Commit();
    });
    return file->NotKept();
}
