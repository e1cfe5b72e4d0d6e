// The character and its balloon on a dense screen as the X server shows them:
// run on Xvfb with QT_SCALE_FACTOR 2 or 3 (with-framebuffer.sh), read back
// from the screen's framebuffer, with the windows' shapes asked of the server.

#include "EngineFixture.h"

#include "agent/format/Compositor.h"
#include "agent/view/BalloonWindow.h"
#include "agent/view/CharacterWindow.h"

#include <QApplication>
#include <QDebug>
#include <QPainter>
#include <QProcess>
#include <QTest>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// Regions read as their rectangles when a check fails.
inline void PrintTo(const QRegion& region, std::ostream* os) {
    QString text;
    QDebug(&text).nospace() << region;
    *os << text.toStdString();
}

namespace agent::engine::testing {
namespace {

xcb_connection_t* x11() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

// The screen as the server holds it, once Qt has painted and flushed what is
// pending and the server has done what it was asked.
QImage screen() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    xcb_flush(x11());
    Reply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(x11(), xcb_get_input_focus(x11()), nullptr), &std::free);
    QProcess convert;
    convert.start("convert", {"xwd:" + qEnvironmentVariable("PARLAVOX_FRAMEBUFFER"), "png:-"});
    convert.waitForFinished(30000);
    return QImage::fromData(convert.readAllStandardOutput(), "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

// A window's area on the screen and its bounding shape, in device pixels.
QRect area(const QWidget& w, int s) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    const auto cookie = xcb_translate_coordinates(x11(), xcb_window_t(w.winId()), root, 0, 0);
    Reply<xcb_translate_coordinates_reply_t> r(
        xcb_translate_coordinates_reply(x11(), cookie, nullptr), &std::free);
    return QRect(r ? QPoint(r->dst_x, r->dst_y) : QPoint(-1, -1), w.size() * s);
}
QRegion shape(const QWidget& w) {
    const auto cookie =
        xcb_shape_get_rectangles(x11(), xcb_window_t(w.winId()), XCB_SHAPE_SK_BOUNDING);
    Reply<xcb_shape_get_rectangles_reply_t> r(
        xcb_shape_get_rectangles_reply(x11(), cookie, nullptr), &std::free);
    QRegion region;
    const xcb_rectangle_t* rects = r ? xcb_shape_get_rectangles_rectangles(r.get()) : nullptr;
    for (int i = 0; r && i < xcb_shape_get_rectangles_rectangles_length(r.get()); ++i)
        region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    return region;
}

class DenseScreenTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (qApp->platformName() != "xcb" || qEnvironmentVariable("PARLAVOX_FRAMEBUFFER").isEmpty())
            GTEST_SKIP() << "run through with-framebuffer.sh";
        s = int(qApp->devicePixelRatio());
        ASSERT_GE(s, 2) << "run with QT_SCALE_FACTOR 2 or 3";
        // Neighbours differ, and holes let the desktop through, in two frames
        // (rest and Wave) whose shapes differ.
        character->width = character->height = 12;
        character->palette[2] = qRgb(30, 60, 200);
        for (int f = 0; f < 2; ++f) {
            format::Bitmap b{12, 12, std::vector<std::uint8_t>(12 * 12, 1)};
            for (int i = 0; i < 144; ++i)
                b.pixels[i] = (i % 12 + 2 * (i / 12) + f) % 5 == 0 ? 0 : 1 + (i % 12 + i / 12) % 2;
            const auto image = std::uint32_t(character->addImage(b));
            for (auto& frame : character->animations[f ? 3 : 0].frames)
                frame.images[0].image = image;
        }
        character->balloon->foreground = qRgb(90, 40, 0);
        character->balloon->border = qRgb(160, 80, 0);
        makeAgent(character);
    }
    int s = 1;
};

TEST_F(DenseScreenTest, CharacterAndBalloonAreScaledPixelForPixelAndShapedToMatch) {
    view::CharacterWindow window(*agent, options);
    view::BalloonWindow balloon(*agent, window, options);
    ASSERT_EQ(window.scale(), s);
    window.move(200, 150);
    const QImage before = screen();
    agent->show();
    settle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const char* step : {"RestPose", "Wave"}) {
        SCOPED_TRACE(step);
        const format::Frame& frame = *agent->currentFrame();
        QRegion expected; // each opaque character pixel as an s x s block
        for (const QRect& r : format::frameShape(*character, frame))
            expected += QRect(r.topLeft() * s, r.size() * s);
        EXPECT_EQ(shape(window) ^ expected, QRegion()) << "the X11 shape";
        // On screen: the frame, each pixel an s x s block, over what was there.
        const QRect a = area(window, s);
        QImage want = before.copy(a);
        QPainter(&want).drawImage(0, 0, format::composeFrame(*character, frame).scaled(a.size()));
        EXPECT_TRUE(screen().copy(a) == want) << "the pixels on screen";
        agent->play("Wave");
        clock.advanceBy(5);
    }

    settle();
    agent->setBalloonStyle(BalloonOnBit | (2 << 24) | (12 << 16));
    agent->speak("Hello there");
    clock.advanceBy(400);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&balloon));
    const QRect a = area(balloon, s);
    const QImage shot = screen().copy(a), under = before.copy(a);
    EXPECT_TRUE(shot == shot.scaled(a.size() / s).scaled(a.size())) << "whole s x s blocks";
    QRegion drawn; // what differs from the screen without the balloon
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (shot.pixel(x, y) != under.pixel(x, y))
                drawn += QRect(x, y, 1, 1);
    EXPECT_EQ(drawn ^ shape(balloon), QRegion()) << "the balloon's shape";
    for (const QRect& r : shape(balloon)) // each on whole s x s blocks
        EXPECT_EQ(QRegion(r.x() / s * s, r.y() / s * s, r.width() / s * s, r.height() / s * s), r);
}

} // namespace
} // namespace agent::engine::testing
