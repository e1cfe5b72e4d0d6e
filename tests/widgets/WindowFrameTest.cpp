// The windows' frames as the window manager is asked for them, on a real X
// server: the Motif hints (title bar, border, what the user may do) and the
// size hints (whether the frame can be resized).

#include "ProgramFixture.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace parlavox::testing {
namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(const char* name) {
    xcb_connection_t* c = connection();
    const auto cookie = xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name);
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A property's 32-bit values.
std::vector<std::uint32_t> property(const QWidget& w, const char* name) {
    xcb_connection_t* c = connection();
    const auto cookie =
        xcb_get_property(c, 0, xcb_window_t(w.winId()), atom(name), XCB_ATOM_ANY, 0, 64);
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!r || r->format != 32)
        return {};
    const auto* p = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
    return {p, p + xcb_get_property_value_length(r.get()) / 4};
}

using WindowFrameTest = ProgramTest;

TEST_F(WindowFrameTest, MainWindowIsSizableTheStartUpWindowFixedNeitherHasATitle) {
    ASSERT_TRUE(connection()) << "not on X11: run with QT_QPA_PLATFORM=xcb on an X server";
    startUpQuietly();
    frmSplash().Show();
    frmSpeak().Show();
    // Motif {flags, functions, decorations}: flags 3 for both; functions 2 resize,
    // 4 move, no close; decorations 2 border, 4 resize handles, 8 title.
    const struct {
        QWidget& window;
        std::vector<std::uint32_t> motif;
        bool fixedSize;
    } cases[] = {
        {frmSplash().Window(), {3, 0, 2}, true},
        {frmSpeak().Window(), {3, 2 | 4, 2 | 4}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::uint32_t> motif = property(c.window, "_MOTIF_WM_HINTS");
        motif.resize(3);
        motif[0] &= 3;
        EXPECT_EQ(motif, c.motif) << c.window.windowTitle().toStdString();
        const auto n = property(c.window, "WM_NORMAL_HINTS"); // flags, x, y, w, h, min, max
        EXPECT_EQ(n.size() >= 9 && (n[0] & 0x30) == 0x30 && n[5] == n[7] && n[6] == n[8],
                  c.fixedSize);
    }
    const auto types = property(frmSplash().Window(), "_NET_WM_WINDOW_TYPE");
    EXPECT_EQ(types.empty() ? 0 : types.front(), atom("_NET_WM_WINDOW_TYPE_SPLASH"))
        << "no taskbar button";
}

} // namespace
} // namespace parlavox::testing
