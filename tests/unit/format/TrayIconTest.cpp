// The tray icon: a mask and a colour bitmap made into one picture, from bytes
// written here (the real files' icons decode in the real files' test; damaged
// ones are the tray icon fuzz target's).

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

} // namespace

TEST(TrayIcon, MaskAndColourMakeOnePicture) {
    // 2x2, rows bottom-up, each padded to 4 bytes.
    const QByteArray maskRows("\x00\x00\x00\x00"  // bottom row: both opaque
                              "\x40\x00\x00\x00", // top row: the right pixel clear
                              8);
    const QByteArray colourRows("\x21\x00\x00\x00"  // bottom: index 2, 1
                                "\x10\x00\x00\x00", // top: index 1, 0
                                8);
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    const QImage img = decodeTrayIcon({dib(2, 2, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, maskRows),
                                       dib(2, 2, 4, {qRgb(0, 0, 0), red, blue}, colourRows)});
    ASSERT_EQ(img.size(), QSize(2, 2));
    EXPECT_EQ((std::vector{img.pixel(0, 0), img.pixel(1, 0), img.pixel(0, 1), img.pixel(1, 1)}),
              (std::vector{red, qRgba(0, 0, 0, 0), blue, red}));
}
