#include "gui/filewindows/outcometext.h"

#include <cctype>

#include "age/ageerror.h"
#include "formats/outcometext.h"
#include "gui/base/guard.h"

namespace {
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

std::string OutcomeText(FileOpResult result, FileOperation operation, MessageWording wording, bool wroteAge)
{
    const bool gostsOwn = result == FileOpResult::OutputOpenFailed && operation == FileOperation::Encrypt &&
                          wording == MessageWording::Gost;
    const std::string message = gostsOwn ? "Unable to open then Output File" : FileOpMessage(result, operation);
    return result == FileOpResult::Encrypted && wroteAge ? message + " (age format)" : message;
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
