#include "gui/filewindows/outcometext.h"

#include <cctype>
#include <string_view>
#include <utility>

#include "age/ageerror.h"
#include "formats/outcometext.h"
#include "gui/base/guard.h"

namespace {
// The file window of each cipher that has one, by the caption of its button on the main window.
constexpr std::pair<std::string_view, std::string_view> kCipherWindows[] = {
    {"Blowfish", "Blowfish Encryption"}, {"Gost", "Gost Encryption"},         {"IDEA", "IDEA Encryption"},
    {"Rijndael", "Rijndael Encryption"}, {"Misty1", "Misty 1 Encryption"},    {"Twofish", "Twofish Encryption"},
    {"Cast256", "Cast 256 Encryption"},
};

std::string WhereItOpens(const std::string& algorithm)
{
    for (const auto& [cipher, window] : kCipherWindows)
        if (cipher == algorithm) return "The file opens in the " + std::string(window) + " window.";
    return "The file opens with zorvanta-cli decrypt --cipher " + algorithm + ".";
}

std::string Sentence(std::string text)
{
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return WithFullStop(std::move(text));
}

std::optional<std::string> AgeFailureText(const AgeError& e)
{
    switch (e.failure()) {
    case AgeFailure::NoIdentityMatched:
        // The command stands on a line of its own, with no full stop to be taken for part of it.
        return "This age file opens with a key file, not a passphrase. On the command line:\n"
               "zorvanta-cli decrypt -i KEYFILE INPUT OUTPUT";
    case AgeFailure::HeaderDamaged:
    case AgeFailure::ChunkFailed:
    case AgeFailure::Truncated:
    case AgeFailure::TrailingData: return "The age file is damaged: nothing was written.\n" + Sentence(e.what());
    default: return std::nullopt;
    }
}
}  // namespace

std::string OutcomeText(FileOpResult result, FileOperation operation, MessageWording wording, bool wroteAge,
                        const std::optional<std::string>& fittingCipher)
{
    const bool gostsOwn = result == FileOpResult::OutputOpenFailed && operation == FileOperation::Encrypt &&
                          wording == MessageWording::Gost;
    const std::string message = gostsOwn ? "Unable to open then Output File" : FileOpMessage(result, operation);
    if (result == FileOpResult::Encrypted && wroteAge) return message + " (age format)";
    if (result == FileOpResult::WrongPassphrase && fittingCipher) return message + "\n" + WhereItOpens(*fittingCipher);
    return message;
}

std::string WithNotices(std::string text, const std::vector<std::string>& notices)
{
    if (!notices.empty()) text += "\n";
    for (const std::string& notice : notices) text += "\n" + notice;
    return text;
}

std::string MoveToAgeQuestion(const std::string& cipher)
{
    return "This file is already encrypted (" + cipher + "). Move it to age instead?";
}

std::string ErrorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AgeError& e) {
        if (const auto text = AgeFailureText(e)) return *text;
    } catch (...) {  // worded as every error box words it
    }
    return ErrorBoxText(error);
}
