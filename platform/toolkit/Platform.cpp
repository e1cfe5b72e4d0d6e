#include "Platform.h"

#include <QtGlobal>

#include <xcb/xcb.h>

namespace parlavox::toolkit {

PlatformChoice ChoosePlatform(const SessionEnvironment& env,
                              const std::function<bool(const QString&)>& x11Answers) {
    if (!env.qtPlatform.isEmpty())
        return {};
    if (!env.x11Display.isEmpty() && x11Answers(env.x11Display))
        return {QStringLiteral("xcb"), {}};
    const bool wayland =
        !env.waylandDisplay.isEmpty() ||
        env.sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
    const QString why =
        env.x11Display.isEmpty()
            ? QStringLiteral("DISPLAY is not set")
            : QStringLiteral("no X server answers on DISPLAY %1").arg(env.x11Display);
    if (wayland)
        return {{},
                QStringLiteral("Parlavox needs X11 to place and shape its characters, and this "
                               "Wayland session offers none (%1). Start XWayland, or log in to an "
                               "X11 session.")
                    .arg(why)};
    return {{},
            QStringLiteral("Parlavox needs an X11 display to show its characters: %1.").arg(why)};
}

SessionEnvironment CurrentEnvironment() {
    return {qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("WAYLAND_DISPLAY"),
            qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("DISPLAY")};
}

bool X11Answers(const QString& display) {
    xcb_connection_t* c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    // xcb hands back an error object rather than null; it must be disconnected too.
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

} // namespace parlavox::toolkit
