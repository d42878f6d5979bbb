#pragma once

// Armored age files read and written through the pipeline's sources and sinks: the text is
// decoded as it is read and encoded as it is written, in bounded memory.

#include <cstdint>
#include <string>
#include <vector>

#include "age/armor.h"
#include "pipeline/bytestream.h"

class ArmoredSource final : public ByteSource {
public:
    explicit ArmoredSource(ByteSource& text) : text_(text) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return text_.Position(); }

private:
    // Decodes the next piece of text; false at the end of the text.
    bool Decode();

    ByteSource& text_;
    ArmorDecoder decoder_;
    std::vector<std::uint8_t> decoded_;
    std::size_t taken_ = 0;  // of decoded_
    bool ended_ = false;
};

class ArmoredSink final : public ByteSink {
public:
    explicit ArmoredSink(ByteSink& text) : text_(text) {}
    void Write(const std::uint8_t* buffer, std::size_t count) override;
    // Writes the last line and the END line.
    void Finish();

private:
    void Flush();

    ByteSink& text_;
    ArmorEncoder encoder_;
    std::string encoded_;
};
