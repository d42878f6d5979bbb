#include "textenc/pane.h"

#include "common/error.h"

std::string_view PaneContent(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

void Pane::Put(std::string_view text)
{
    const std::string_view content = PaneContent(text);
    if (content.size() > kPaneCapacity) throw ZorvantaError(std::string(kPaneCapacityMessage));
    if (content == StoredText()) return;
    Store(content);
}
