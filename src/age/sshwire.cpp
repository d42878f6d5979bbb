#include "age/sshwire.h"

#include <algorithm>

std::optional<std::span<const std::uint8_t>> SshWireReader::Take(std::size_t count)
{
    if (failed_ || rest_.size() < count) {
        failed_ = true;
        return std::nullopt;
    }
    const auto taken = rest_.first(count);
    rest_ = rest_.subspan(count);
    return taken;
}

std::optional<std::uint32_t> SshWireReader::Uint32()
{
    const auto bytes = Take(4);
    if (!bytes) return std::nullopt;
    std::uint32_t value = 0;
    for (const std::uint8_t b : *bytes) value = value << 8 | b;
    return value;
}

std::optional<std::span<const std::uint8_t>> SshWireReader::String()
{
    const auto length = Uint32();
    return length ? Take(*length) : std::nullopt;
}

std::optional<std::string_view> SshWireReader::Text()
{
    const auto bytes = String();
    if (!bytes) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

bool SshWireReader::Expect(std::span<const std::uint8_t> bytes)
{
    const auto taken = Take(bytes.size());
    return taken && std::equal(taken->begin(), taken->end(), bytes.begin());
}

void AppendSshString(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes)
{
    const auto length = static_cast<std::uint32_t>(bytes.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(length >> shift));
    out.insert(out.end(), bytes.begin(), bytes.end());
}
