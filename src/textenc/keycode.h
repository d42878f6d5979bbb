#pragma once

// The keycode tools: every character of a short text combined by exclusive or with the low
// 8 bits of keycodes typed as text (see intconv.h). Both are their own inverse.

#include <cstddef>
#include <string_view>

#include "textenc/pane.h"

// The tools are meant for passwords and short texts: they work on the pane's first 255
// characters and drop the rest.
inline constexpr std::size_t kWorkingTextLimit = 255;

// An empty pane stays empty without reading the keycode; a keycode that is not a number raises
// the conversion error and leaves the pane as it was.
void SingleKeycodeTransform(Pane& pane, std::string_view keycode);

// The boxes of the multi-keycode window that are read, by their control names. The middle box
// (Edit3) is never read.
struct MultiKeycodeBoxes {
    std::string_view edit1;
    std::string_view edit2;
    std::string_view edit4;
    std::string_view edit5;
};

// Passes with Edit1, Edit2 and Edit4 in turn, the pane updated after each, so a box that fails
// leaves the passes before it in the pane. Edit5 is converted last and changes nothing, but
// must hold a number. An empty pane reads no box.
void MultiKeycodeTransform(Pane& pane, const MultiKeycodeBoxes& boxes);
