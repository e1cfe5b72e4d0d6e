// Any bytes as a tray icon (a 2-byte length, the mask bitmap of that length,
// then the colour bitmap): decodeTrayIcon() gives an icon-sized picture or
// throws FormatError, and nothing else.

#include "agent/format/TrayIcon.h"

#include <cstdint>
#include <cstdlib>

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t mono = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    const auto* bytes = reinterpret_cast<const char*>(data + 2);
    const TrayIcon icon{QByteArray(bytes, qsizetype(mono)),
                        QByteArray(bytes + mono, qsizetype(size - 2 - mono))};
    try {
        const QImage img = decodeTrayIcon(icon);
        if (img.isNull() || img.width() > 256 || img.height() > 256)
            std::abort();
    } catch (const FormatError&) {
    }
    return 0;
}
