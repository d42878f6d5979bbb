// Pane codec: the pane's bytes survive the trip through the display, and any display text,
// however malformed its UTF-16, reads back as pane bytes without failing.
#include <string>

#include "property.h"
#include "textenc/pane.h"
#include "textenc/panecodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Require(BytesFromDisplay(DisplayFromBytes(bytes)) == PaneContent(bytes), "bytes -> display -> bytes is the identity");

    std::u16string display(size / 2, u'\0');
    for (std::size_t i = 0; i < display.size(); ++i)
        display[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    const std::string read = BytesFromDisplay(display);  // must not throw
    Require(read.find('\0') == std::string::npos, "display text never reads as a NUL");
    Require(BytesFromDisplay(DisplayFromBytes(read)) == read, "what a display reads as survives the display");
    Require(BytesFromDisplay(CanonicalDisplay(display)) == read, "the typed and the canonical form read alike");
    return 0;
}
