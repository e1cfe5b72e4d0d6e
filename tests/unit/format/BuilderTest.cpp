// acstool build: a source folder (manifest, PNGs, WAVs) to a character; the
// source here is a copy of the example character's folder.

#include "Builder.h"
#include "TestData.h"

#include "agent/format/Compositor.h"
#include "agent/format/Writer.h"

#include <QImage>
#include <QTemporaryDir>

using namespace agent::format;

namespace {

class Builder : public ::testing::Test {
  protected:
    void SetUp() override {
        const QDir example(QStringLiteral(ACSTOOL_EXAMPLE));
        for (const QString& name : example.entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(example.filePath(name), path(name))) << qPrintable(name);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    std::string errorAfter(const char* from, const char* to) {
        QByteArray text = testdata::readFile(path("character.txt"));
        QFile f(path("character.txt"));
        if (!text.contains(from) || !f.open(QIODevice::WriteOnly))
            return "cannot edit the manifest";
        f.write(text.replace(from, to));
        f.close();
        return testdata::errorOf([this] { acstool::buildCharacter(dir.path()); });
    }
    // Show's first frame is the body alone, 16 pixels down.
    QImage showFrame(const Character& c) { return composeFrame(c, c.animation("show")->frames[0]); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Builder, BuildsTheManifest) {
    const Character c = acstool::buildCharacter(dir.path());
    EXPECT_EQ(c.size(), QSize(32, 32));
    EXPECT_EQ(c.flags & (StandardAnimationSet | VoiceOn | BalloonOn | BalloonAutoPaceOff),
              StandardAnimationSet | VoiceOn | BalloonOn);
    EXPECT_EQ(c.locale(0x0409)->description, QStringLiteral("A small round example character."));
    EXPECT_EQ(std::tuple(c.voice->speed, c.voice->age, c.balloon->fontName, c.balloon->fontHeight),
              std::tuple(150u, 20, QStringLiteral("DejaVu Sans"), -12));
    EXPECT_EQ(c.stateAnimations("idlinglevel1"), QStringList{"Blink"});
    ASSERT_EQ(c.animationNames(), (QStringList{"RestPose", "Blink", "Show"}));
    EXPECT_EQ(std::tuple(c.imageCount(), c.soundCount()), std::tuple(7u, 1u)); // each picture once
    const Animation &blink = *c.animation("blink"), &show = *c.animation("Show");
    EXPECT_EQ(std::tuple(blink.transition, blink.frames[0].exitFrame, blink.frames[1].branches),
              std::tuple(Transition::ExitBranches, 1, std::vector<Branch>{{0, 25}}));
    EXPECT_EQ(std::tuple(show.returnAnimation, show.frames[0].sound),
              std::tuple(QStringLiteral("RESTPOSE"), 0));
    EXPECT_EQ(show.frames[1].images, (std::vector<FrameImage>{{1, 0, 8}})); // body.png: image 1
    const MouthOverlay& wide = c.animations[0].frames[0].overlays.at(3);
    EXPECT_EQ(std::tuple(wide.type, wide.x, wide.y), std::tuple(MouthType::Wide1, 11, 21));

    // Colours survive exactly (few colours: no reduction), alpha becomes transparency.
    const QImage frame = showFrame(c);
    const QImage body = QImage(path("body.png")).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(frame.pixel(x, y + 16), qAlpha(body.pixel(x, y)) ? body.pixel(x, y) : 0u)
                << x << "," << y;
    EXPECT_TRUE(Character::fromBytes(writeCharacter(c), "built.acs") == c);
}

TEST_F(Builder, ReducesManyColoursToThePaletteAndKeepsAnIndexedImagesTable) {
    QImage img(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            img.setPixel(x, y, qRgb(x * 8, y * 8, (x + y) * 4)); // 1024 colours
    img.save(path("body.png"));
    const Character c = acstool::buildCharacter(dir.path());
    ASSERT_EQ(c.palette.size(), 256u);
    const QImage frame = showFrame(c);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb a = frame.pixel(x, y + 16), b = img.pixel(x, y);
            ASSERT_LT(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b)) + 255 - qAlpha(a),
                      60);
        }

    QImage idx(4, 2, QImage::Format_Indexed8);
    idx.setColorTable({qRgba(0, 0, 0, 0), qRgb(1, 2, 3), qRgb(40, 50, 60)});
    idx.fill(1);
    idx.setPixel(1, 0, 2);
    idx.setPixel(0, 0, 0);
    for (const QString& name : QDir(dir.path()).entryList({"*.png"}))
        ASSERT_TRUE(idx.save(path(name)));
    const Character indexed = acstool::buildCharacter(dir.path());
    const std::uint8_t* top = indexed.bitmap(0).scanLine(0);
    EXPECT_EQ(std::tuple(indexed.transparentIndex, indexed.palette[2], top[0], top[1]),
              std::tuple(0, qRgb(40, 50, 60), 0, 2));
}

TEST_F(Builder, ErrorsNameTheManifestLine) {
    EXPECT_MENTIONS(errorAfter("branch 0 25", "branch 7 25"),
                    "character.txt:58: branch to frame 7, but 'Blink' has 2 frames");
    EXPECT_MENTIONS(errorAfter("branch 7 25\n", "\nframe five\n"),
                    "character.txt:59: expected a number");
    QFile::remove(path("eyes-closed.png"));
    EXPECT_MENTIONS(errorAfter("\nframe five\n", "\n"), "cannot read image");
}
