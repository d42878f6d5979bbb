#pragma once

#include <string>
#include <string_view>

#include "common/error.h"

// Why an age file, key or recipient was refused. Front ends choose their exit status and the
// advice they add from it; the message itself is complete without the file's name.
enum class AgeFailure {
    NotAgeFile,
    HeaderDamaged,
    HeaderTooLarge,
    NoIdentityMatched,
    UnsupportedKeyType,
    IncorrectPassphrase,
    WorkFactorTooLarge,
    ChunkFailed,
    Truncated,
    TrailingData,
    BadKey,
    StreamInPlace,  // a stream, which cannot be authenticated first, into an output written in place
};

class AgeError : public ZorvantaError {
public:
    AgeError(AgeFailure failure, std::string message);

    // The failures whose text is fixed; detail, when given, is shown in parentheses.
    static AgeError NotAgeFile();
    static AgeError HeaderDamaged(std::string_view detail = {});
    static AgeError HeaderTooLarge(std::size_t limit);
    static AgeError NoIdentityMatched();
    static AgeError PassphraseNeeded();  // NoIdentityMatched for a passphrase-protected file
    static AgeError UnsupportedKeyType(std::string_view names);
    static AgeError IncorrectPassphrase();
    static AgeError WorkFactorTooLarge(int workFactor, int limit);
    static AgeError ChunkFailed();
    static AgeError Truncated();
    static AgeError TrailingData();

    AgeFailure failure() const noexcept { return failure_; }
    // The work factor a WorkFactorTooLarge file asks for; 0 for every other failure.
    int workFactor() const noexcept { return workFactor_; }

private:
    AgeFailure failure_;
    int workFactor_ = 0;
};
