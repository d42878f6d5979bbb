#pragma once

// What the age files' calls into OpenSSL share: a failure of the library raised as a
// ZorvantaError with OpenSSL's reason, and owning pointers for its objects.

#include <openssl/evp.h>

#include <memory>

[[noreturn]] void ThrowLibraryFailure(const char* what);

inline void Require(int result, const char* what)
{
    if (result != 1) ThrowLibraryFailure(what);
}

template <class T, void (*Free)(T*)>
struct OpenSslDeleter {
    void operator()(T* p) const noexcept { Free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, OpenSslDeleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
