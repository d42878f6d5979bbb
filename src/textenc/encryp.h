#pragma once

// The phrase cipher: a text to a hex text and back under a key string. Encryption starts from a
// random byte and chains every character to the byte written before it by an addition modulo
// 255, mixed with the key by exclusive or. The hex text is exchanged and stored, so its format
// and the key rules below must never change.

#include <cstdint>
#include <functional>
#include <string>

enum class TActionType { atEncryption, atDecryption };

// Where an encryption's start byte comes from.
using StartByteSource = std::function<std::uint8_t()>;

// Draws from a generator seeded anew from a high-resolution clock at every call.
std::uint8_t ClockSeededStartByte();

// Strings hold 8-bit characters (the pane's bytes).
class TRixEncryption {
public:
    explicit TRixEncryption(StartByteSource startByte = ClockSeededStartByte);

    const std::string& Input() const noexcept { return input_; }
    void SetInput(std::string input) { input_ = std::move(input); }
    const std::string& Output() const noexcept { return output_; }
    void SetOutput(std::string output) { output_ = std::move(output); }
    // Empty means the default key, of which only the first character then takes part.
    const std::string& Key() const noexcept { return key_; }
    void SetKey(std::string key) { key_ = std::move(key); }
    TActionType Action() const noexcept { return action_; }
    void SetAction(TActionType action) noexcept { action_ = action; }

    // Output = the result for Input under Key in the direction of Action; empty for an empty
    // Input. A hex text that cannot be read raises the conversion error of the malformed
    // group ("$" and the group) and leaves Output as it was.
    void Execute();

private:
    std::string Encrypt() const;
    std::string Decrypt() const;

    StartByteSource startByte_;
    std::string input_;
    std::string output_;
    std::string key_;
    TActionType action_ = TActionType::atEncryption;
};
