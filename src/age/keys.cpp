#include "age/keys.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/bech32.h"

namespace {
constexpr std::string_view kRecipientHrp = "age";
constexpr std::string_view kIdentityHrp = "age-secret-key-";

AgeError BadKey(std::string message)
{
    return {AgeFailure::BadKey, std::move(message)};
}

std::string_view Trimmed(std::string_view line)
{
    constexpr std::string_view kSpace = " \t\r";
    const std::size_t first = line.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(kSpace) - first + 1);
}

std::string IdentityProblem(std::string_view line, int number)
{
    const std::string where = "line " + std::to_string(number);
    if (line.starts_with("AGE-PLUGIN-")) return where + " is a plugin identity, which zorvanta cannot use";
    return where + " is not an age secret key (AGE-SECRET-KEY-1...)";
}
}  // namespace

bool HoldsSecretKey(std::string_view text)
{
    const auto found = std::search(text.begin(), text.end(), kIdentityHrp.begin(), kIdentityHrp.end(),
                                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return found != text.end();
}

// It never quotes the text: a secret key pasted where a recipient belongs, even in part, must
// not end up in a message.
std::string RecipientFault(std::string_view text)
{
    if (HoldsSecretKey(text)) return "holds a secret key, not a public key";
    if (text.starts_with("age1") && text.find('1', 4) != std::string_view::npos)
        return "is of a type zorvanta cannot use";
    return "is not an age public key (age1...)";
}

void ForEachKeyLine(std::string_view text, const std::function<void(std::string_view, int)>& use)
{
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = Trimmed(text.substr(start, end - start));
        ++number;
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        use(line, number);
    }
}

X25519Identity GenerateX25519Identity()
{
    X25519Identity identity{SecretBytes(32)};
    RandomBytes(identity.secret);
    return identity;
}

SecretBytes FormatIdentity(const X25519Identity& identity)
{
    SecretBytes text = EncodeSecretBech32(kIdentityHrp, identity.secret);
    for (auto& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 'a' + 'A');
    return text;
}

X25519Recipient RecipientOf(const X25519Identity& identity)
{
    return X25519PublicOf(identity.secret);
}

std::string FormatRecipient(const X25519Recipient& recipient)
{
    return EncodeBech32(kRecipientHrp, recipient);
}

X25519Recipient ParseRecipient(std::string_view text)
{
    const auto decoded = DecodeBech32(text);
    if (!decoded || decoded->hrp != kRecipientHrp || decoded->data.size() != X25519Recipient{}.size())
        throw BadKey("the recipient " + RecipientFault(text));
    X25519Recipient recipient;
    std::copy(decoded->data.begin(), decoded->data.end(), recipient.begin());
    return recipient;
}

std::vector<X25519Identity> ParseIdentityFile(const SecretBytes& text)
{
    std::vector<X25519Identity> identities;
    ForEachKeyLine(AsText(text), [&](std::string_view line, int number) {
        auto decoded = DecodeBech32(line);
        if (!decoded || decoded->hrp != kIdentityHrp || decoded->data.size() != 32)
            throw BadKey(IdentityProblem(line, number));
        identities.push_back({std::move(decoded->data)});
    });
    if (identities.empty()) throw BadKey("no identity found");
    return identities;
}
