#include "age/keyfile.h"

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
}  // namespace

SecretBytes ReadKeyFile(const std::string& path)
{
    const auto input = OpenInput(path);
    if (!input)
        throw AgeError(AgeFailure::BadKey, std::string("cannot read this key file (") + std::strerror(errno) + ")");
    SecretBytes bytes(kMaxKeyFileBytes + 1);
    bytes.resize(ReadFull(input->fd.get(), bytes.data(), bytes.size()));
    if (bytes.size() > kMaxKeyFileBytes) throw AgeError(AgeFailure::BadKey, "too large for a key file");
    return bytes;
}

std::vector<X25519Identity> ReadIdentityFile(const std::string& path, const Unlocking& unlocking)
{
    SecretBytes text = ReadKeyFile(path);
    if (LooksLikeAge(text)) text = DecryptAgeBytes(text, unlocking);
    return ParseIdentityFile(text);
}

std::vector<X25519Recipient> ReadRecipientsFile(const std::string& path)
{
    return ParseRecipientsFile(AsText(ReadKeyFile(path)));
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
