// Any bytes as a tray icon (a 2-byte length, the mask bitmap of that length,
// then the colour bitmap): decodeTrayIcon() gives an icon-sized picture or
// throws FormatError, and nothing else.

#include "Fuzzing.h"

#include "agent/format/TrayIcon.h"

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t mono = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    try {
        const QImage img =
            decodeTrayIcon({asBytes(data + 2, mono), asBytes(data + 2 + mono, size - 2 - mono)});
        check(!img.isNull() && img.width() <= 256 && img.height() <= 256);
    } catch (const FormatError&) {
    }
    return 0;
}
