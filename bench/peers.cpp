#include "cbccipher.h"

std::vector<CbcLibrary> PeerLibraries()
{
    return {
#ifdef ZB_HAVE_BOTAN
        BotanLibrary(),
#endif
#ifdef ZB_HAVE_CRYPTOPP
        CryptoppLibrary(),
#endif
#ifdef ZB_HAVE_OPENSSL
        OpensslLibrary(),
#endif
#ifdef ZB_HAVE_GCRYPT
        GcryptLibrary(),
#endif
#ifdef ZB_HAVE_NETTLE
        NettleLibrary(),
#endif
    };
}

std::string_view MissingPeers()
{
    return ZB_MISSING_PEERS;
}
