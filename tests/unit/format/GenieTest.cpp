// Genie against the authoring tool's own export of it (Genie-decompiled):
// every image, animation, state and sound.

#include "TestData.h"

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/Sound.h"

#include <QRegularExpression>
#include <QTextStream>

#include <map>

using namespace agent::format;

namespace {

const QString Genie = QStringLiteral("Genie.acs");

QString decompiled(const QString& rel) {
    return testdata::shared(QStringLiteral("Genie-decompiled/") + rel);
}

std::uint32_t le32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(b.constData()) + at;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// An 8-bit BMP: its size, colour table and bottom-up padded rows.
struct Bmp {
    int width = 0;
    int height = 0;
    std::vector<QRgb> colours;
    QByteArray rows;
};

Bmp readBmp(const QString& path) {
    const QByteArray f = testdata::readFile(path);
    Bmp b;
    if (f.size() < 54 || !f.startsWith("BM"))
        return b;
    const std::uint32_t bits = le32(f, 10);
    const std::uint32_t header = le32(f, 14);
    b.width = int(le32(f, 18));
    b.height = int(le32(f, 22));
    const int bpp = std::uint8_t(f[28]) | std::uint8_t(f[29]) << 8;
    if (bpp != 8)
        return Bmp{};
    std::uint32_t used = le32(f, 46);
    if (used == 0)
        used = 256;
    for (std::uint32_t i = 0; i < used; ++i) {
        const qsizetype at = qsizetype(14 + header + 4 * i);
        b.colours.push_back(
            qRgb(std::uint8_t(f[at + 2]), std::uint8_t(f[at + 1]), std::uint8_t(f[at])));
    }
    b.rows = f.mid(bits, qsizetype(((b.width + 3) & ~3) * b.height));
    return b;
}

// What Genie.acd says of one animation.
struct AcdImage {
    int image = -1;
    int x = 0;
    int y = 0;
};
struct AcdMouth {
    QString type;
    AcdImage image;
};
struct AcdFrame {
    int duration = -1;
    int exitBranch = 0; // 1-based; 0 when absent
    int sound = -1;
    std::vector<std::pair<int, int>> branches; // 1-based target, probability
    std::vector<AcdImage> images;
    std::vector<AcdMouth> mouths;
};
struct AcdAnimation {
    QString name;
    int transition = -1;
    QString returnAnimation;
    std::vector<AcdFrame> frames;
};
struct Acd {
    std::vector<AcdAnimation> animations;
    std::map<QString, QStringList> states;
    std::map<QString, QString> character; // key = value lines of DefineCharacter/DefineBalloon
};

int numberIn(const QString& filename) { // "Images\0012.bmp" -> 12
    static const QRegularExpression re(QStringLiteral("(\\d+)\\.\\w+\"?$"));
    const auto m = re.match(filename);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString quoted(const QString& value) {
    QString v = value.trimmed();
    if (v.startsWith(u'"') && v.endsWith(u'"'))
        v = v.mid(1, v.size() - 2);
    return v;
}

Acd parseAcd(const QString& path) {
    Acd acd;
    const QByteArray data = testdata::readFile(path);
    // The .acd is in a Windows code page; everything compared here is ASCII.
    const QStringList lines = QString::fromLatin1(data).split(u'\n');
    AcdAnimation* anim = nullptr;
    AcdFrame* frame = nullptr;
    AcdImage* image = nullptr;
    AcdMouth* mouth = nullptr;
    QString state;
    bool inInfo = false;
    int pendingBranch = -1;
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("//")))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString key = eq < 0 ? line.section(u' ', 0, 0) : line.left(eq).trimmed();
        const QString value = eq < 0 ? line.section(u' ', 1) : line.mid(eq + 1).trimmed();
        if (key == QLatin1String("DefineInfo")) {
            inInfo = true;
        } else if (key == QLatin1String("EndInfo")) {
            inInfo = false;
        } else if (inInfo) {
            continue;
        } else if (key == QLatin1String("DefineAnimation")) {
            acd.animations.emplace_back();
            anim = &acd.animations.back();
            anim->name = quoted(value);
        } else if (key == QLatin1String("EndAnimation")) {
            anim = nullptr;
        } else if (key == QLatin1String("DefineState")) {
            state = quoted(value);
            acd.states[state];
        } else if (key == QLatin1String("EndState")) {
            state.clear();
        } else if (!state.isEmpty() && key == QLatin1String("Animation")) {
            acd.states[state].append(quoted(value));
        } else if (anim && key == QLatin1String("TransitionType")) {
            anim->transition = value.toInt();
        } else if (anim && key == QLatin1String("ReturnAnimation")) {
            anim->returnAnimation = quoted(value);
        } else if (anim && key == QLatin1String("DefineFrame")) {
            anim->frames.emplace_back();
            frame = &anim->frames.back();
        } else if (key == QLatin1String("EndFrame")) {
            frame = nullptr;
        } else if (frame && key == QLatin1String("Duration")) {
            frame->duration = value.toInt();
        } else if (frame && key == QLatin1String("ExitBranch")) {
            frame->exitBranch = value.toInt();
        } else if (frame && key == QLatin1String("SoundEffect")) {
            frame->sound = numberIn(value);
        } else if (frame && key == QLatin1String("BranchTo")) {
            pendingBranch = value.toInt();
        } else if (frame && key == QLatin1String("Probability")) {
            frame->branches.emplace_back(pendingBranch, value.toInt());
        } else if (frame && key == QLatin1String("DefineImage")) {
            frame->images.emplace_back();
            image = &frame->images.back();
        } else if (frame && key == QLatin1String("DefineMouth")) {
            frame->mouths.emplace_back();
            mouth = &frame->mouths.back();
            image = &mouth->image;
        } else if (key == QLatin1String("EndImage") || key == QLatin1String("EndMouth")) {
            image = nullptr;
            mouth = nullptr;
        } else if (mouth && key == QLatin1String("Type")) {
            mouth->type = value;
        } else if (image && key == QLatin1String("Filename")) {
            image->image = numberIn(value);
        } else if (image && key == QLatin1String("OffsetX")) {
            image->x = value.toInt();
        } else if (image && key == QLatin1String("OffsetY")) {
            image->y = value.toInt();
        } else if (!anim && state.isEmpty() && eq > 0) {
            acd.character[key] = value;
        }
    }
    return acd;
}

MouthType mouthType(const QString& name) {
    static const std::map<QString, MouthType> types = {
        {QStringLiteral("Closed"), MouthType::Closed},
        {QStringLiteral("OpenWide1"), MouthType::Wide1},
        {QStringLiteral("OpenWide2"), MouthType::Wide2},
        {QStringLiteral("OpenWide3"), MouthType::Wide3},
        {QStringLiteral("OpenWide4"), MouthType::Wide4},
        {QStringLiteral("OpenMedium"), MouthType::Medium},
        {QStringLiteral("OpenNarrow"), MouthType::Narrow},
    };
    const auto it = types.find(name);
    EXPECT_NE(it, types.end()) << "unknown mouth type " << qPrintable(name);
    return it == types.end() ? MouthType::Closed : it->second;
}

class GenieTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (testdata::haveShared(Genie) && testdata::haveShared("Genie-decompiled/Genie.acd")) {
            s_genie = new Character(Character::open(testdata::shared(Genie)));
            s_acd = new Acd(parseAcd(decompiled(QStringLiteral("Genie.acd"))));
        }
    }
    static void TearDownTestSuite() {
        delete s_genie;
        delete s_acd;
        s_genie = nullptr;
        s_acd = nullptr;
    }
    void SetUp() override {
        if (!s_genie)
            GTEST_SKIP() << "Genie.acs or Genie-decompiled not present";
    }
    static Character* s_genie;
    static Acd* s_acd;
};
Character* GenieTest::s_genie = nullptr;
Acd* GenieTest::s_acd = nullptr;

} // namespace

TEST_F(GenieTest, CharacterInfoMatchesTheDefinition) {
    const Character& c = *s_genie;
    const auto& def = s_acd->character;
    EXPECT_EQ(c.width, def.at("Width").toInt());
    EXPECT_EQ(c.height, def.at("Height").toInt());
    EXPECT_EQ(c.transparentIndex, def.at("Transparency").toInt());
    EXPECT_EQ(c.guid.toString(), def.at("GUID"));
    ASSERT_TRUE(c.voice);
    EXPECT_TRUE(c.flags & VoiceOn);
    EXPECT_EQ(c.voice->engine.toString(), def.at("TTSEngineID"));
    EXPECT_EQ(c.voice->mode.toString(), def.at("TTSModeID"));
    EXPECT_EQ(c.voice->langId, def.at("TTSLangID").toUInt(nullptr, 16));
    EXPECT_EQ(c.voice->gender, def.at("TTSGender").toInt());
    EXPECT_EQ(c.voice->age, def.at("TTSAge").toInt());
    EXPECT_EQ(c.voice->style, quoted(def.at("TTSStyle")));
    ASSERT_TRUE(c.balloon);
    EXPECT_EQ(c.balloon->lines, def.at("NumLines").toInt());
    EXPECT_EQ(c.balloon->charsPerLine, def.at("CharsPerLine").toInt());
    EXPECT_EQ(std::abs(c.balloon->fontHeight), def.at("FontHeight").toInt());
    EXPECT_EQ(c.balloon->fontName, quoted(def.at("FontName")));
    // The definition writes colours as 00BBGGRR.
    auto colour = [](const QString& v) {
        const std::uint32_t x = v.toUInt(nullptr, 16);
        return qRgb(int(x & 0xFF), int(x >> 8 & 0xFF), int(x >> 16 & 0xFF));
    };
    EXPECT_EQ(c.balloon->foreground, colour(def.at("ForeColor")));
    EXPECT_EQ(c.balloon->background, colour(def.at("BackColor")));
    EXPECT_EQ(c.balloon->border, colour(def.at("BorderColor")));
    EXPECT_TRUE(c.flags & BalloonSizeToText); // AXS_BALLOON_SIZETOTEXT
    EXPECT_EQ(c.locales.size(), 30u);
    ASSERT_NE(c.locale(0x0409), nullptr);
    EXPECT_EQ(c.locale(0x0409)->name, QStringLiteral("Genie"));
    ASSERT_NE(c.locale(0x0407), nullptr);
    EXPECT_EQ(c.locale(0x0407)->name, QStringLiteral("Dschinni"));
    EXPECT_TRUE(c.locale(0x0407)->description.contains(QStringLiteral("mächtiger")));
    EXPECT_TRUE(c.trayIcon.has_value());
}

TEST_F(GenieTest, PaletteMatchesColorTable) {
    const Bmp table = readBmp(decompiled(QStringLiteral("Images/ColorTable.bmp")));
    ASSERT_EQ(table.colours.size(), 256u);
    EXPECT_EQ(s_genie->palette, table.colours);
}

TEST_F(GenieTest, EveryImageMatchesItsBitmapPixelForPixel) {
    const Character& c = *s_genie;
    ASSERT_EQ(c.imageCount(), 591u);
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        const Bmp bmp =
            readBmp(decompiled(QStringLiteral("Images/%1.bmp").arg(i, 4, 10, QLatin1Char('0'))));
        const Bitmap& b = c.bitmap(i);
        ASSERT_EQ(b.width, bmp.width) << "image " << i;
        ASSERT_EQ(b.height, bmp.height) << "image " << i;
        ASSERT_EQ(b.pixels.size(), std::size_t(bmp.rows.size())) << "image " << i;
        ASSERT_EQ(std::memcmp(b.pixels.data(), bmp.rows.constData(), b.pixels.size()), 0)
            << "image " << i;
    }
    EXPECT_TRUE(c.warnings().isEmpty()) << qPrintable(c.warnings().join('\n'));
}

TEST_F(GenieTest, RegionDataCoversExactlyTheOpaquePixels) {
    const Character& c = *s_genie;
    int withRegion = 0;
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        const auto region = parseRegion(c.regionData(i));
        if (!region)
            continue;
        ++withRegion;
        const Bitmap& b = c.bitmap(i);
        QList<QRect> runs;
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                if (b.scanLine(y)[x] == c.transparentIndex)
                    continue;
                int end = x;
                while (end < b.width && b.scanLine(y)[end] != c.transparentIndex)
                    ++end;
                runs.append(QRect(x, y, end - x, 1));
                x = end;
            }
        QRegion opaque;
        opaque.setRects(runs.constData(), int(runs.size()));
        ASSERT_TRUE((*region ^ opaque).isEmpty()) << "image " << i;
    }
    EXPECT_GT(withRegion, 0);
}

TEST_F(GenieTest, EveryAnimationMatchesTheDefinition) {
    const Character& c = *s_genie;
    ASSERT_EQ(c.animations.size(), s_acd->animations.size());
    for (std::size_t a = 0; a < c.animations.size(); ++a) {
        const Animation& anim = c.animations[a];
        const AcdAnimation& want = s_acd->animations[a];
        SCOPED_TRACE(qPrintable(want.name));
        EXPECT_EQ(anim.name, want.name);
        EXPECT_EQ(int(anim.transition), want.transition);
        EXPECT_EQ(anim.returnAnimation.toUpper(), want.returnAnimation.toUpper());
        ASSERT_EQ(anim.frames.size(), want.frames.size());
        for (std::size_t f = 0; f < anim.frames.size(); ++f) {
            SCOPED_TRACE("frame " + std::to_string(f));
            const Frame& fr = anim.frames[f];
            const AcdFrame& wf = want.frames[f];
            EXPECT_EQ(fr.duration, wf.duration);
            if (wf.exitBranch > 0) {
                EXPECT_EQ(fr.exitFrame, wf.exitBranch - 1);
            } else {
                EXPECT_LT(fr.exitFrame, 0);
            }
            EXPECT_EQ(fr.sound == NoSound ? -1 : int(fr.sound), wf.sound);
            ASSERT_EQ(fr.branches.size(), wf.branches.size());
            for (std::size_t b = 0; b < fr.branches.size(); ++b) {
                EXPECT_EQ(fr.branches[b].frame, wf.branches[b].first - 1);
                EXPECT_EQ(fr.branches[b].probability, wf.branches[b].second);
            }
            ASSERT_EQ(fr.images.size(), wf.images.size());
            for (std::size_t i = 0; i < fr.images.size(); ++i) {
                EXPECT_EQ(int(fr.images[i].image), wf.images[i].image);
                EXPECT_EQ(fr.images[i].x, wf.images[i].x);
                EXPECT_EQ(fr.images[i].y, wf.images[i].y);
            }
            ASSERT_EQ(fr.overlays.size(), wf.mouths.size());
            for (std::size_t m = 0; m < fr.overlays.size(); ++m) {
                EXPECT_EQ(fr.overlays[m].type, mouthType(wf.mouths[m].type));
                EXPECT_EQ(int(fr.overlays[m].image), wf.mouths[m].image.image);
                EXPECT_EQ(fr.overlays[m].x, wf.mouths[m].image.x);
                EXPECT_EQ(fr.overlays[m].y, wf.mouths[m].image.y);
            }
        }
    }
}

TEST_F(GenieTest, StatesMatchTheDefinition) {
    const Character& c = *s_genie;
    ASSERT_EQ(c.states.size(), s_acd->states.size());
    for (const auto& [name, animations] : s_acd->states) {
        const QStringList got = c.stateAnimations(name);
        ASSERT_EQ(got.size(), animations.size()) << qPrintable(name);
        for (qsizetype i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].toUpper(), animations[i].toUpper()) << qPrintable(name);
    }
}

TEST_F(GenieTest, AnimationLookupIsCaseInsensitiveAndKeepsFileOrder) {
    const Character& c = *s_genie;
    const QStringList names = c.animationNames();
    ASSERT_EQ(names.size(), qsizetype(s_acd->animations.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(names[i], s_acd->animations[std::size_t(i)].name);
    EXPECT_EQ(c.animationIndex(QStringLiteral("rEsTpOsE")), 0);
    ASSERT_NE(c.animation(QStringLiteral("GREET")), nullptr);
    EXPECT_EQ(c.animation(QStringLiteral("GREET"))->name, QStringLiteral("Greet"));
    EXPECT_EQ(c.animation(QStringLiteral("NoSuchAnimation")), nullptr);
}

TEST_F(GenieTest, EverySoundMatchesItsWav) {
    const Character& c = *s_genie;
    ASSERT_EQ(c.soundCount(), 14u);
    for (std::size_t i = 0; i < c.soundCount(); ++i) {
        const QByteArray wav = testdata::readFile(
            decompiled(QStringLiteral("Audio/%1.wav").arg(i, 4, 10, QLatin1Char('0'))));
        ASSERT_FALSE(wav.isEmpty()) << "sound " << i;
        EXPECT_EQ(c.sound(i).data, wav) << "sound " << i;
        const Pcm pcm = decodeSound(c.sound(i).data);
        // What the WAV's own chunks say: format, rate, and how many frames its data holds.
        const qsizetype fmt = wav.indexOf("fmt "), data = wav.indexOf("data");
        ASSERT_GT(fmt, 0);
        ASSERT_GT(data, 0);
        const int tag = std::uint8_t(wav[fmt + 8]) | std::uint8_t(wav[fmt + 9]) << 8;
        const int channels = std::uint8_t(wav[fmt + 10]);
        const std::uint32_t rate = le32(wav, fmt + 12);
        const int blockAlign = std::uint8_t(wav[fmt + 20]) | std::uint8_t(wav[fmt + 21]) << 8;
        const std::uint32_t bytes = le32(wav, data + 4);
        std::size_t frames = 0;
        if (tag == 1) {
            frames = bytes / std::uint32_t(blockAlign);
        } else {
            ASSERT_EQ(tag, 2) << "sound " << i;
            const int perBlock = std::uint8_t(wav[fmt + 26]) | std::uint8_t(wav[fmt + 27]) << 8;
            frames = std::size_t(bytes / std::uint32_t(blockAlign)) * std::size_t(perBlock);
            if (const std::uint32_t rest = bytes % std::uint32_t(blockAlign))
                frames += 2 + (rest - 7u * std::uint32_t(channels)) * 2 / std::uint32_t(channels);
        }
        EXPECT_EQ(pcm.sampleRate, int(rate)) << "sound " << i;
        EXPECT_EQ(pcm.channels, channels) << "sound " << i;
        EXPECT_EQ(pcm.frameCount(), frames) << "sound " << i;
        bool audible = false;
        for (std::int16_t s : pcm.samples)
            audible = audible || s != 0;
        EXPECT_TRUE(audible) << "sound " << i;
    }
}
