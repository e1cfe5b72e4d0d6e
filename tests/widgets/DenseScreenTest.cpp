// The character and its balloon on a dense screen as the X server shows them:
// run on Xvfb with QT_SCALE_FACTOR 2 or 3 (with-framebuffer.sh), read back
// from the screen's framebuffer, with the windows' shapes asked of the server.

#include "EngineFixture.h"

#include "agent/format/Compositor.h"
#include "agent/view/BalloonWindow.h"
#include "agent/view/CharacterWindow.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include <QDebug>

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

// A window's place on the screen and its bounding shape, in device pixels.
QPoint origin(const QWidget& w) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    Reply<xcb_translate_coordinates_reply_t> r(
        xcb_translate_coordinates_reply(
            x11(), xcb_translate_coordinates(x11(), xcb_window_t(w.winId()), root, 0, 0), nullptr),
        &std::free);
    return r ? QPoint(r->dst_x, r->dst_y) : QPoint(-1, -1);
}
QRegion shape(const QWidget& w) {
    Reply<xcb_shape_get_rectangles_reply_t> r(
        xcb_shape_get_rectangles_reply(
            x11(), xcb_shape_get_rectangles(x11(), xcb_window_t(w.winId()), XCB_SHAPE_SK_BOUNDING),
            nullptr),
        &std::free);
    QRegion region;
    const xcb_rectangle_t* rects = r ? xcb_shape_get_rectangles_rectangles(r.get()) : nullptr;
    for (int i = 0; r && i < xcb_shape_get_rectangles_rectangles_length(r.get()); ++i)
        region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    return region;
}

// Every s x s block of the window, from its origin, is one colour, and the
// shape is made of such blocks.
void expectWholeBlocks(const QImage& shot, const QWidget& w, int s) {
    const QPoint o = origin(w);
    const QSize size = w.size() * s;
    for (int y = 0; y < size.height(); y += s)
        for (int x = 0; x < size.width(); x += s)
            for (int i = 1; i < s * s; ++i)
                ASSERT_EQ(shot.pixel(o.x() + x + i % s, o.y() + y + i / s),
                          shot.pixel(o.x() + x, o.y() + y))
                    << w.metaObject()->className() << " block at " << x << "," << y;
    for (const QRect& r : shape(w))
        EXPECT_TRUE(r.x() % s == 0 && r.y() % s == 0 && r.width() % s == 0 && r.height() % s == 0)
            << "shape rectangle " << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

// The pixels of a window's rectangle that differ from the screen without it.
QRegion drawn(const QImage& before, const QImage& shot, const QWidget& w, int s) {
    const QPoint o = origin(w);
    QRegion region;
    for (int y = 0; y < w.height() * s; ++y)
        for (int x = 0; x < w.width() * s; ++x)
            if (shot.pixel(o.x() + x, o.y() + y) != before.pixel(o.x() + x, o.y() + y))
                region += QRect(x, y, 1, 1);
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
        // whose shapes differ.
        character->width = character->height = 12;
        character->palette[2] = qRgb(30, 60, 200);
        for (int f = 0; f < 2; ++f) {
            format::Bitmap b{12, 12, std::vector<std::uint8_t>(12 * 12, 1)};
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 12; ++x)
                    b.scanLine(y)[x] = (x + 2 * y + f) % 5 == 0 ? 0 : std::uint8_t(1 + (x + y) % 2);
            frames[f] = std::uint32_t(character->addImage(b));
        }
        character->animations[0].frames[0].images[0].image = frames[0];
        for (auto& frame : character->animations[3].frames) // Wave
            frame.images[0].image = frames[1];
        character->balloon->foreground = qRgb(90, 40, 0);
        character->balloon->border = qRgb(160, 80, 0);
        makeAgent(character);
    }
    int s = 1;
    std::uint32_t frames[2] = {};
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
        const QImage shot = screen();
        const format::Frame& frame = *agent->currentFrame();
        QRegion expected; // each opaque character pixel as an s x s block
        for (const QRect& r : format::frameShape(*character, frame))
            expected += QRect(r.topLeft() * s, r.size() * s);
        EXPECT_EQ(shape(window) ^ expected, QRegion()) << "the X11 shape";
        EXPECT_EQ(drawn(before, shot, window, s) ^ expected, QRegion()) << "the pixels on screen";
        const QImage picture = format::composeFrame(*character, frame);
        const QPoint o = origin(window);
        for (int y = 0; y < 12 * s; ++y)
            for (int x = 0; x < 12 * s; ++x)
                if (qAlpha(picture.pixel(x / s, y / s))) {
                    ASSERT_EQ(shot.pixel(o.x() + x, o.y() + y), picture.pixel(x / s, y / s))
                        << x << "," << y;
                }
        agent->play("Wave");
        clock.advanceBy(5);
    }

    settle();
    agent->setBalloonStyle(BalloonOnBit | (2 << 24) | (12 << 16));
    agent->speak("Hello there");
    clock.advanceBy(400);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&balloon));
    const QImage shot = screen();
    expectWholeBlocks(shot, balloon, s);
    EXPECT_EQ(drawn(before, shot, balloon, s) ^ shape(balloon), QRegion()) << "the balloon's shape";
}

} // namespace
} // namespace agent::engine::testing
