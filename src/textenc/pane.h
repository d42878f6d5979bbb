#pragma once

// The text pane of the short-text windows: 8-bit characters with CR LF line breaks, never a NUL.

#include <cstddef>
#include <string>
#include <string_view>

// Generous for texts typed or loaded by hand; far more than the keycode tools' 255 characters,
// and small enough that every pane operation stays quick.
inline constexpr std::size_t kPaneCapacity = 16 * 1024 * 1024;

// Raised as a ZorvantaError when a text longer than kPaneCapacity is put into the pane.
inline constexpr std::string_view kPaneCapacityMessage = "Text überschreitet Memo-Kapazität";

// What the pane keeps of a text put into it: everything before the first NUL.
std::string_view PaneContent(std::string_view text);

// The rules every pane follows, whatever shows it; a pane class supplies only the storage.
class Pane {
public:
    virtual ~Pane() = default;

    std::string Text() const { return StoredText(); }

    // Keeps the text before its first NUL. A text beyond the capacity is refused and the
    // pane keeps its old text; a text equal to the pane's own leaves the pane untouched.
    void Put(std::string_view text);

protected:
    virtual std::string StoredText() const = 0;
    virtual void Store(std::string_view content) = 0;
};
