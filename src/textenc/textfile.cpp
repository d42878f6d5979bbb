#include "textenc/textfile.h"

#include <cstdint>

#include "common/error.h"
#include "platform/ioerror.h"
#include "platform/posixfile.h"
#include "textenc/pane.h"

namespace {
constexpr std::size_t kChunk = 64 * 1024;

// The file up to its first NUL, which the pane would drop with everything after it. A text
// already too long for the pane is not read further.
std::string ReadUpToNul(int fd)
{
    std::string text;
    std::uint8_t buffer[kChunk];
    for (;;) {
        const std::size_t got = ReadFull(fd, buffer, sizeof buffer);
        const std::string_view chunk = PaneContent(std::string_view(reinterpret_cast<const char*>(buffer), got));
        text += chunk;
        if (text.size() > kPaneCapacity) throw ZorvantaError(std::string(kPaneCapacityMessage));
        if (got < sizeof buffer || chunk.size() < got) return text;
    }
}
}  // namespace

std::string WithCrLfLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text.substr(i, 2) == "\r\n") ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string LoadTextFile(const std::string& fileName)
{
    const auto file = OpenInput(fileName);
    if (!file) throw ZorvantaError("Datei " + fileName + " kann nicht geöffnet werden");
    std::string text = WithCrLfLineBreaks(ReadUpToNul(file->fd.get()));
    if (text.size() > kPaneCapacity) throw ZorvantaError(std::string(kPaneCapacityMessage));
    return text;
}

void SaveTextFile(const std::string& fileName, std::string_view bytes, const SystemCalls& calls)
{
    auto file = OutputFile::Open(fileName, calls);
    if (!file) throw ZorvantaError("Datei " + fileName + " kann nicht erstellt werden");
    try {
        file->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        file->Commit();
    } catch (const IoError&) {
        throw ZorvantaError("Stream-Write-Fehler");
    }
}
