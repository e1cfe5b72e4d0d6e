#pragma once
// Which of Qt's platforms the program runs on. The character window places
// itself and takes the shape of its frame; a Wayland window can do neither, so
// a Wayland session is used through XWayland's X11 display.

#include <QString>

#include <functional>

namespace parlavox::toolkit {

// What the choice reads from the process environment.
struct SessionEnvironment {
    QString qtPlatform;     // QT_QPA_PLATFORM: the user's own choice wins
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString sessionType;    // XDG_SESSION_TYPE
    QString x11Display;     // DISPLAY
};

struct PlatformChoice {
    QString platform; // the value for QT_QPA_PLATFORM; empty leaves it as it is
    QString error;    // set when there is no display the character can live on
};

// x11Answers tells whether an X server answers on a display name.
PlatformChoice ChoosePlatform(const SessionEnvironment& env,
                              const std::function<bool(const QString&)>& x11Answers);

SessionEnvironment CurrentEnvironment();
bool X11Answers(const QString& display);

} // namespace parlavox::toolkit
