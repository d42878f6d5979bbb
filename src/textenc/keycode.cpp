#include "textenc/keycode.h"

#include <cstdint>
#include <string>

#include "textenc/intconv.h"

namespace {
std::string WorkingText(const Pane& pane)
{
    std::string text = pane.Text();
    if (text.size() > kWorkingTextLimit) text.resize(kWorkingTextLimit);
    return text;
}

// The working text itself is never cut at a NUL; only what the pane shows is.
void CombinePass(Pane& pane, std::string& text, std::string_view keycode)
{
    const auto k = static_cast<char>(static_cast<std::uint32_t>(IntegerFromText(keycode)) & 0xFF);
    for (char& c : text) c ^= k;
    pane.Put(text);
}
}  // namespace

void SingleKeycodeTransform(Pane& pane, std::string_view keycode)
{
    std::string text = WorkingText(pane);
    if (text.empty()) return;  // nothing to change, so the keycode need not be a number
    CombinePass(pane, text, keycode);
}

void MultiKeycodeTransform(Pane& pane, const MultiKeycodeBoxes& boxes)
{
    std::string text = WorkingText(pane);
    if (text.empty()) return;
    for (std::string_view box : {boxes.edit1, boxes.edit2, boxes.edit4}) CombinePass(pane, text, box);
    IntegerFromText(boxes.edit5);
}
