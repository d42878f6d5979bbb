#include "age/ageerror.h"

#include <utility>

namespace {
// A file that is damaged or was tampered with, rather than not opened with what opens it.
ErrorKind KindOf(AgeFailure failure)
{
    switch (failure) {
    case AgeFailure::HeaderDamaged:
    case AgeFailure::ChunkFailed:
    case AgeFailure::Truncated:
    case AgeFailure::TrailingData: return ErrorKind::Damaged;
    default: return ErrorKind::Refused;
    }
}
}  // namespace

AgeError::AgeError(AgeFailure failure, std::string message)
    : ZorvantaError(std::move(message), KindOf(failure)), failure_(failure)
{
}

AgeError AgeError::NotAgeFile()
{
    return {AgeFailure::NotAgeFile, "not an age file"};
}

AgeError AgeError::HeaderDamaged(std::string_view detail)
{
    std::string message = "the header was changed or damaged";
    if (!detail.empty()) message.append(" (").append(detail).append(")");
    return {AgeFailure::HeaderDamaged, std::move(message)};
}

AgeError AgeError::HeaderTooLarge(std::size_t limit)
{
    return {AgeFailure::HeaderTooLarge, "the header is larger than " + std::to_string(limit >> 20) + " MiB"};
}

AgeError AgeError::NoIdentityMatched()
{
    return {AgeFailure::NoIdentityMatched, "no identity matched this file"};
}

AgeError AgeError::PassphraseNeeded()
{
    return {AgeFailure::NoIdentityMatched, "this file needs a passphrase"};
}

AgeError AgeError::UnsupportedKeyType(std::string_view names)
{
    return {AgeFailure::UnsupportedKeyType,
            "this file is for a key type zorvanta cannot use (" + std::string(names) + ")"};
}

AgeError AgeError::IncorrectPassphrase()
{
    return {AgeFailure::IncorrectPassphrase, "Incorrect Passphrase"};
}

AgeError AgeError::WorkFactorTooLarge(int workFactor, int limit)
{
    AgeError error(AgeFailure::WorkFactorTooLarge, "the passphrase's work factor " + std::to_string(workFactor) +
                                                       " is above the limit of " + std::to_string(limit));
    error.workFactor_ = workFactor;
    return error;
}

AgeError AgeError::ChunkFailed()
{
    return {AgeFailure::ChunkFailed, "the contents were changed or damaged"};
}

AgeError AgeError::Truncated()
{
    return {AgeFailure::Truncated, "the file is truncated"};
}

AgeError AgeError::TrailingData()
{
    return {AgeFailure::TrailingData, "the file has data after its end"};
}
