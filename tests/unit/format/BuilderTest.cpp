// acstool build: a source folder (manifest, PNGs, WAVs) to a character.

#include "Builder.h"
#include "TestData.h"

#include "agent/format/Compositor.h"
#include "agent/format/Sound.h"
#include "agent/format/Writer.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace agent::format;

namespace {

void writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QImage rgbaImage(int w, int h, QRgb colour, QRgb second = 0) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 3 != 0)
                img.setPixel(x, y, (second && x >= w / 2) ? second : colour);
    return img;
}

const char* manifest = R"(# test character
[character]
width = 20
height = 16
standard-animation-set = yes

[locale 0x0409]
name = "Tester"
description = A test character

[locale 0x0407]
name = Prüfer

[voice]
speed = 160
pitch = 90
gender = 1
style = Calm

[balloon]
lines = 3
chars-per-line = 30
font = "DejaVu Sans"
foreground = #000000
background = #ffffe1
border = #102030
auto-pace = no

[state Showing]
animation = Show

[animation Show]
transition = exit-branches
frame 10
  image body.png
  sound beep.wav
  exit 1
  branch 1 60
  branch 0 40
  mouth closed mouth.png 4 5
  mouth wide1 mouth2.png 4 5 replace
frame 20
  image head.png 2 1
  image body.png

[animation Bye]
transition = return
return = Show
frame 5
  image head.png
)";

class Builder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        rgbaImage(10, 8, qRgb(200, 10, 10), qRgb(10, 200, 10)).save(path("body.png"));
        rgbaImage(6, 4, qRgb(10, 10, 200)).save(path("head.png"));
        rgbaImage(3, 2, qRgb(250, 250, 0)).save(path("mouth.png"));
        rgbaImage(3, 3, qRgb(0, 0, 0)).save(path("mouth2.png"));
        Pcm pcm;
        pcm.sampleRate = 8000;
        pcm.channels = 1;
        pcm.samples = {0, 1000, -1000, 500};
        writeText(path("beep.wav"), encodeWav(pcm));
        writeText(path("character.txt"), manifest);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Builder, BuildsTheManifest) {
    const Character c = acstool::buildCharacter(dir.path());
    EXPECT_EQ(c.size(), QSize(20, 16));
    EXPECT_TRUE(c.flags & StandardAnimationSet);
    EXPECT_TRUE(c.flags & VoiceOn);
    EXPECT_TRUE(c.flags & BalloonOn);
    EXPECT_TRUE(c.flags & BalloonAutoPaceOff);
    EXPECT_FALSE(c.flags & BalloonAutoHideOff);
    ASSERT_EQ(c.locales.size(), 2u);
    EXPECT_EQ(c.locale(0x0407)->name, QStringLiteral("Prüfer"));
    EXPECT_EQ(c.locale(0x0409)->description, QStringLiteral("A test character"));
    EXPECT_EQ(c.voice->speed, 160u);
    EXPECT_TRUE(c.voice->hasExtra);
    EXPECT_EQ(c.voice->style, QStringLiteral("Calm"));
    EXPECT_EQ(c.balloon->lines, 3);
    EXPECT_EQ(c.balloon->fontName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(c.balloon->border, qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(c.stateAnimations("showing"), QStringList{"Show"});
    ASSERT_EQ(c.animationNames(), (QStringList{"Show", "Bye"}));
    EXPECT_EQ(c.imageCount(), 4u); // body, mouth, mouth2, head: each file once
    EXPECT_EQ(c.soundCount(), 1u);

    const Animation& show = *c.animation("show");
    EXPECT_EQ(show.transition, Transition::ExitBranches);
    ASSERT_EQ(show.frames.size(), 2u);
    const Frame& f0 = show.frames[0];
    EXPECT_EQ(f0.duration, 10);
    EXPECT_EQ(f0.exitFrame, 1);
    EXPECT_EQ(f0.sound, 0);
    ASSERT_EQ(f0.branches.size(), 2u);
    EXPECT_EQ(f0.branches[0].frame, 1);
    EXPECT_EQ(f0.branches[0].probability, 60);
    ASSERT_EQ(f0.overlays.size(), 2u);
    EXPECT_EQ(f0.overlays[1].type, MouthType::Wide1);
    EXPECT_TRUE(f0.overlays[1].replaceTopImage);
    EXPECT_EQ(f0.overlays[0].x, 4);
    const Frame& f1 = show.frames[1];
    ASSERT_EQ(f1.images.size(), 2u);
    EXPECT_EQ(f1.images[0].x, 2);
    EXPECT_EQ(f1.exitFrame, -1);
    EXPECT_EQ(c.animation("Bye")->returnAnimation, QStringLiteral("SHOW"));

    // Colours survive exactly (few colours: no reduction), alpha becomes transparency.
    const QImage frame = composeFrame(c, f0);
    const QImage body = QImage(path("body.png")).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < body.height(); ++y)
        for (int x = 0; x < body.width(); ++x)
            ASSERT_EQ(frame.pixel(x, y), body.pixel(x, y)) << x << "," << y;
    const QImage mouth = composeFrame(c, f0, MouthType::Closed);
    EXPECT_EQ(mouth.pixel(5, 5), qRgb(250, 250, 0));

    const Character back = Character::fromBytes(writeCharacter(c), "built.acs");
    EXPECT_TRUE(back == c);
}

TEST_F(Builder, ReducesManyColoursToThePalette) {
    QImage img(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            img.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2)); // 4096 colours
    img.save(path("body.png"));
    const Character c = acstool::buildCharacter(dir.path());
    ASSERT_EQ(c.palette.size(), 256u);
    const QImage frame = composeFrame(c, c.animations[0].frames[0]);
    double worst = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 20; ++x) {
            const QRgb a = frame.pixel(x, y), b = img.pixel(x, y);
            worst = std::max(worst,
                             double(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                    std::abs(qBlue(a) - qBlue(b))));
            ASSERT_EQ(qAlpha(a), 255);
        }
    EXPECT_LT(worst, 60.0);
}

TEST_F(Builder, UsesTheTableOfIndexedImages) {
    QImage idx(4, 2, QImage::Format_Indexed8);
    idx.setColorTable({qRgba(0, 0, 0, 0), qRgb(1, 2, 3), qRgb(40, 50, 60)});
    idx.fill(1);
    idx.setPixel(0, 0, 0);
    idx.setPixel(1, 0, 2);
    for (const char* name : {"body.png", "head.png", "mouth.png", "mouth2.png"})
        ASSERT_TRUE(idx.save(path(name)));
    const Character c = acstool::buildCharacter(dir.path());
    EXPECT_EQ(c.transparentIndex, 0);
    EXPECT_EQ(c.palette[2], qRgb(40, 50, 60));
    EXPECT_EQ(c.bitmap(0).scanLine(0)[1], 2);
    EXPECT_EQ(c.bitmap(0).scanLine(0)[0], 0);
}

TEST_F(Builder, ErrorsNameTheManifestLine) {
    const auto build = [this] { acstool::buildCharacter(dir.path()); };
    writeText(path("character.txt"),
              QByteArray(manifest).replace("  branch 1 60", "  branch 7 60"));
    EXPECT_MENTIONS(testdata::errorOf(build),
                    "character.txt:38: branch to frame 7, but 'Show' has 2 frames");
    writeText(path("character.txt"), QByteArray(manifest).replace("frame 20", "frame twenty"));
    EXPECT_MENTIONS(testdata::errorOf(build), "character.txt:42: expected a number");
    QFile::remove(path("head.png"));
    writeText(path("character.txt"), manifest);
    EXPECT_MENTIONS(testdata::errorOf(build), "cannot read image");
}
