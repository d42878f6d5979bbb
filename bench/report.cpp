#include "report.h"

#include <cstdio>

Fastest FastestPeer(const CipherResult& result, double CbcFigures::*figure)
{
    Fastest fastest;
    for (std::size_t i = 1; i < result.libraries.size(); ++i) {
        const LibraryResult& peer = result.libraries[i];
        if (peer.figures && peer.figures->verified && (*peer.figures).*figure > fastest.mbps)
            fastest = {&peer, (*peer.figures).*figure};
    }
    return fastest;
}

std::string Speed(double mbps)
{
    if (mbps <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", mbps);
    return text;
}

std::string Ratio(double ours, const Fastest& fastest)
{
    if (ours <= 0 || !fastest.library) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f (%s)", ours / fastest.mbps, std::string(fastest.library->library).c_str());
    return text;
}

CbcFigures CipherResult::Ours() const
{
    const auto& ours = libraries.front().figures;
    return ours && ours->verified ? *ours : CbcFigures{};
}

void PrintCipherTable(const CipherResult& result)
{
    std::printf("\n%s, %d-bit key\n", std::string(result.cipher.label).c_str(), result.cipher.keyBits);
    std::printf("  %-10s %14s %14s %14s\n", "library", "key setup us", "CBC enc MB/s", "CBC dec MB/s");
    for (const LibraryResult& library : result.libraries) {
        const std::string name(library.library);
        if (!library.figures) {
            std::printf("  %-10s %s\n", name.c_str(), library.note.c_str());
            continue;
        }
        const CbcFigures& f = *library.figures;
        std::printf("  %-10s %14.2f %14.1f %14.1f%s\n", name.c_str(), f.keySetupMicros, f.encryptMBps, f.decryptMBps,
                    f.verified ? "" : "  WRONG: no round trip");
    }
    const CbcFigures ours = result.Ours();
    std::printf("  ours / fastest peer: encryption %s, decryption %s\n",
                Ratio(ours.encryptMBps, FastestPeer(result, &CbcFigures::encryptMBps)).c_str(),
                Ratio(ours.decryptMBps, FastestPeer(result, &CbcFigures::decryptMBps)).c_str());
}

void PrintSummary(const std::vector<CipherResult>& results)
{
    std::printf("\nSummary: CBC MB/s, ours against the fastest peer\n");
    std::printf("  %-14s %9s %9s  %-22s %9s %9s  %-22s\n", "cipher", "ours enc", "peer enc", "ratio (peer)",
                "ours dec", "peer dec", "ratio (peer)");
    for (const CipherResult& result : results) {
        const CbcFigures ours = result.Ours();
        const Fastest encryption = FastestPeer(result, &CbcFigures::encryptMBps);
        const Fastest decryption = FastestPeer(result, &CbcFigures::decryptMBps);
        std::printf("  %-14s %9s %9s  %-22s %9s %9s  %-22s\n", std::string(result.cipher.label).c_str(),
                    Speed(ours.encryptMBps).c_str(), Speed(encryption.mbps).c_str(),
                    Ratio(ours.encryptMBps, encryption).c_str(), Speed(ours.decryptMBps).c_str(),
                    Speed(decryption.mbps).c_str(), Ratio(ours.decryptMBps, decryption).c_str());
    }
}
