// The tray icon: a mask and a colour bitmap made into one picture, from bytes
// written here (the real files' icons decode in the real files' test); damaged
// bitmaps are refused by name.

#include "TestData.h"

#include "agent/format/TrayIcon.h"

using namespace agent::format;

namespace {

// A packed DIB of width x height (positive: bottom-up) with the given table and rows.
QByteArray dib(int width, int height, int bits, const std::vector<QRgb>& table,
               const QByteArray& rows) {
    QByteArray b(40, '\0');
    testdata::put(b, 0, 40);
    testdata::put(b, 4, std::uint32_t(width));
    testdata::put(b, 8, std::uint32_t(height));
    testdata::put(b, 12, 1 | bits << 16); // planes, bits per pixel
    testdata::put(b, 32, std::uint32_t(table.size()));
    for (QRgb c : table)
        b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append(char(0));
    return b + rows;
}

const QRgb Red = qRgb(255, 0, 0), Blue = qRgb(0, 0, 255), Clear = qRgba(0, 0, 0, 0);

// 2x2, bottom-up: top row (Red, clear), bottom row (Blue, Red).
TrayIcon smallIcon() {
    const QByteArray maskRows("\x00\x00\x00\x00"  // bottom row: both opaque
                              "\x40\x00\x00\x00", // top row: the right pixel clear
                              8);
    const QByteArray colourRows("\x21\x00\x00\x00"  // bottom: index 2, 1
                                "\x10\x00\x00\x00", // top: index 1, 0
                                8);
    return {dib(2, 2, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, maskRows),
            dib(2, 2, 4, {qRgb(0, 0, 0), Red, Blue}, colourRows)};
}

} // namespace

TEST(TrayIcon, MaskAndColourMakeOnePicture) {
    const QImage img = decodeTrayIcon(smallIcon());
    ASSERT_EQ(img.size(), QSize(2, 2));
    EXPECT_EQ(img.pixel(0, 0), Red);
    EXPECT_EQ(img.pixel(1, 0), Clear);
    EXPECT_EQ(img.pixel(0, 1), Blue);
    EXPECT_EQ(img.pixel(1, 1), Red);
}

TEST(TrayIcon, DamageIsRefusedByName) {
    struct Case {
        const char* what;
        std::function<void(TrayIcon&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"short pixels", [](TrayIcon& i) { i.colour.chop(1); }, "colour bitmap at offset 0x"},
        {"bad header", [](TrayIcon& i) { i.monochrome[0] = 41; }, "header size is not 40"},
        {"huge", [](TrayIcon& i) { i.colour[5] = 0x10; }, "is not an icon's"},
        {"sizes differ",
         [](TrayIcon& i) {
             i.monochrome = dib(1, 2, 1, {0, 0}, QByteArray(8, '\0'));
         },
         "mask is 1x2, colour bitmap 2x2"},
        {"empty", [](TrayIcon& i) { i.monochrome.clear(); }, "mask bitmap"},
    };
    for (const Case& c : cases) {
        TrayIcon icon = smallIcon();
        c.damage(icon);
        EXPECT_MENTIONS(testdata::errorOf([&] { decodeTrayIcon(icon); }), c.message) << c.what;
    }
}
