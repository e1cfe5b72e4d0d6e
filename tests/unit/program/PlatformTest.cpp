// The choice of Qt's platform from the session's environment.

#include "platform/toolkit/Platform.h"

#include <gtest/gtest.h>

namespace parlavox::toolkit {
namespace {

TEST(PlatformTest, WaylandSessionsRunThroughXWaylandOrSayWhyNot) {
    const struct Case {
        const char* what;
        SessionEnvironment env;
        bool xAnswers;
        QString platform;
        QString errorMentions; // empty: no error
    } cases[] = {
        {"plain X11", {{}, {}, "x11", ":0"}, true, "xcb", {}},
        {"Wayland with XWayland", {{}, "wayland-0", "wayland", ":1"}, true, "xcb", {}},
        {"Wayland display alone", {{}, "wayland-0", {}, ":1"}, true, "xcb", {}},
        {"session type alone", {{}, {}, "Wayland", ":1"}, true, "xcb", {}},
        {"the user's choice", {"wayland", "wayland-0", "wayland", ":1"}, true, {}, {}},
        {"the user's choice, no X", {"offscreen", {}, {}, {}}, false, {}, {}},
        {"Wayland, no DISPLAY", {{}, "wayland-0", "wayland", {}}, true, {}, "Wayland"},
        {"Wayland, X gone", {{}, "wayland-0", {}, ":7"}, false, {}, ":7"},
        {"no display at all", {{}, {}, "tty", {}}, false, {}, "DISPLAY is not set"},
        {"X11 gone", {{}, {}, "x11", ":3"}, false, {}, ":3"},
    };
    for (const Case& c : cases) {
        QString asked;
        const PlatformChoice got = ChoosePlatform(c.env, [&](const QString& display) {
            asked = display;
            return c.xAnswers;
        });
        EXPECT_EQ(got.platform.toStdString(), c.platform.toStdString()) << c.what;
        EXPECT_TRUE(c.errorMentions.isEmpty() ? got.error.isEmpty()
                                              : got.error.contains(c.errorMentions))
            << c.what << ": " << got.error.toStdString();
        EXPECT_TRUE(c.platform != "xcb" || asked == c.env.x11Display) << c.what;
    }
    EXPECT_FALSE(X11Answers(":999")) << "nothing listens there";
}

} // namespace
} // namespace parlavox::toolkit
