// The windows' frames as the window manager is asked for them, on a real X
// server: the Motif hints (title bar, border, what the user may do) and the
// size hints (whether the frame can be resized).

#include "ProgramFixture.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace parlavox::testing {
namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(const char* name) {
    xcb_connection_t* c = connection();
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

std::vector<std::uint32_t> property(const QWidget& w, const char* name) {
    xcb_connection_t* c = connection();
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(w.winId()), atom(name), XCB_ATOM_ANY, 0, 64),
        nullptr);
    std::vector<std::uint32_t> v;
    if (r && r->format == 32) {
        const auto* p = static_cast<const std::uint32_t*>(xcb_get_property_value(r));
        v.assign(p, p + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    return v;
}

// Motif: {flags, functions, decorations, ...}; functions 2 resize, 4 move;
// decorations 2 border, 4 resize handles, 8 title.
struct Frame {
    std::uint32_t functions;
    std::uint32_t decorations;
    bool fixedSize;
};

Frame frameOf(QWidget& w) {
    const auto motif = property(w, "_MOTIF_WM_HINTS");
    EXPECT_GE(motif.size(), 3u) << "no _MOTIF_WM_HINTS";
    EXPECT_EQ(motif.size() >= 1 ? motif[0] & 3 : 0, 3u) << "functions and decorations not both set";
    const auto normal = property(w, "WM_NORMAL_HINTS"); // flags, x, y, w, h, minw, minh, maxw, maxh
    const bool fixed = normal.size() >= 9 && (normal[0] & 0x30) == 0x30 && normal[5] == normal[7] &&
                       normal[6] == normal[8];
    return {motif.size() >= 3 ? motif[1] : 0xFFFFFFFF, motif.size() >= 3 ? motif[2] : 0xFFFFFFFF,
            fixed};
}

class WindowFrameTest : public ProgramTest {
  protected:
    void SetUp() override {
        if (!connection())
            GTEST_FAIL() << "not on X11: run with QT_QPA_PLATFORM=xcb on an X server";
        ProgramTest::SetUp();
    }
};

TEST_F(WindowFrameTest, MainWindowHasASizableFrameAndNoTitleBar) {
    startUpQuietly();
    frmSpeak().Show();
    const Frame f = frameOf(frmSpeak().Window());
    EXPECT_EQ(f.decorations, 2u | 4u) << "border and resize handles, no title";
    EXPECT_EQ(f.functions, 2u | 4u) << "resize and move, no close";
    EXPECT_FALSE(f.fixedSize);
}

TEST_F(WindowFrameTest, StartUpWindowHasAFixedDialogFrameAndNoTitleBar) {
    frmSplash().Show();
    const Frame f = frameOf(frmSplash().Window());
    EXPECT_EQ(f.decorations, 2u) << "a border only";
    EXPECT_EQ(f.functions, 0u) << "neither moved, resized nor closed";
    EXPECT_TRUE(f.fixedSize);
    const auto types = property(frmSplash().Window(), "_NET_WM_WINDOW_TYPE");
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), atom("_NET_WM_WINDOW_TYPE_SPLASH")) << "no taskbar button";
}

} // namespace
} // namespace parlavox::testing
