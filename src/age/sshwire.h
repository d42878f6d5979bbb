#pragma once

// The SSH wire encoding (RFC 4251 section 5) that public keys and OpenSSH's private key
// container are made of: big-endian 32-bit lengths before strings and multiple-precision
// integers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// Reads fields one after another; each returns nullopt once the bytes run short, and so does
// every read after it.
class SshWireReader {
public:
    explicit SshWireReader(std::span<const std::uint8_t> bytes) : rest_(bytes) {}

    std::optional<std::uint32_t> Uint32();
    std::optional<std::span<const std::uint8_t>> String();
    std::optional<std::string_view> Text();
    // The fixed bytes given, e.g. a magic word; false when the bytes differ.
    bool Expect(std::span<const std::uint8_t> bytes);
    bool AtEnd() const { return !failed_ && rest_.empty(); }
    std::span<const std::uint8_t> Rest() const { return rest_; }

private:
    std::optional<std::span<const std::uint8_t>> Take(std::size_t count);
    std::span<const std::uint8_t> rest_;
    bool failed_ = false;
};

void AppendSshString(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes);
