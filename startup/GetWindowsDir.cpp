#include "platform/toolkit/Runtime.h"
#include "windows/FrmAnimation.h"

#include <algorithm>
#include <array>

namespace parlavox {

QString FrmAnimation::GetWindowsDir() {
    constexpr uint32_t kCapacity = 145;
    std::array<char, kCapacity> buffer{};
    const uint32_t n = toolkit::GetWindowsDirectoryA(buffer.data(), kCapacity);
    // A directory too long for the buffer reports the size it needs; the whole
    // buffer then remains.
    QString text = QString::fromLocal8Bit(buffer.data(), std::min(n, kCapacity));
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\\')))
        text += QLatin1Char('\\');
    return text;
}

} // namespace parlavox
