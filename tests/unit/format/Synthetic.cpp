#include "Synthetic.h"

#include "agent/format/Sound.h"

#include <cmath>
#include <random>

using namespace agent::format;

namespace synthetic {

Bitmap makeBitmap(std::uint32_t seed, std::uint16_t width, std::uint16_t height,
                  std::uint8_t transparent) {
    std::mt19937 rng(seed);
    Bitmap b;
    b.width = width;
    b.height = height;
    b.pixels.assign(std::size_t(b.stride()) * height, transparent);
    const int blobs = 1 + int(rng() % 4);
    for (int k = 0; k < blobs; ++k) {
        const double cx = rng() % (width + 1), cy = rng() % (height + 1);
        const double rx = 1 + rng() % (width / 2 + 1), ry = 1 + rng() % (height / 2 + 1);
        std::uint8_t colour = std::uint8_t(rng());
        if (colour == transparent)
            ++colour;
        const bool noisy = rng() % 3 == 0; // some texture, so not everything is one run
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double dx = (x - cx) / rx, dy = (y - cy) / ry;
                if (dx * dx + dy * dy <= 1.0) {
                    std::uint8_t c = noisy ? std::uint8_t(colour + rng() % 3) : colour;
                    if (c == transparent)
                        c = colour;
                    b.scanLine(y)[x] = c;
                }
            }
    }
    return b;
}

Character makeCharacter(std::uint32_t seed, const Options& o) {
    std::mt19937 rng(seed);
    Character c;
    c.width = o.width;
    c.height = o.height;
    c.transparentIndex = std::uint8_t(rng() % 256);
    c.guid.bytes[0] = std::uint8_t(seed);
    c.guid.bytes[15] = 0x5A;
    c.flags = VoiceOn | BalloonOn | BalloonSizeToText | StandardAnimationSet;
    VoiceInfo v;
    v.speed = 150;
    v.pitch = 100;
    v.hasExtra = seed % 2 == 0;
    if (v.hasExtra) {
        v.langId = 0x0409;
        v.dialect = QStringLiteral("US");
        v.gender = 1;
        v.age = 30;
        v.style = QStringLiteral("Calm");
    }
    c.voice = v;
    BalloonInfo b;
    b.lines = 2;
    b.charsPerLine = 30;
    b.foreground = qRgb(1, 2, 3);
    b.background = qRgb(255, 255, 225);
    b.border = qRgb(9, 8, 7);
    b.fontName = QStringLiteral("Sans");
    b.fontHeight = -13;
    b.fontWeight = 400;
    c.balloon = b;
    for (int i = 0; i < 256; ++i)
        c.palette.push_back(qRgb(i, (i * 7) & 255, 255 - i));
    c.trayIcon = TrayIcon{QByteArray("mono-icon-bytes"), QByteArray("colour-icon-bytes")};
    c.locales.push_back({0x0409, QStringLiteral("Synth %1").arg(seed), QStringLiteral("A test"),
                         QStringLiteral("extra")});
    c.locales.push_back({0x0407, QStringLiteral("Synthé ✓"), QString(), QString()});

    for (int i = 0; i < o.images; ++i) {
        const std::uint16_t w = std::uint16_t(1 + rng() % o.width);
        const std::uint16_t h = std::uint16_t(1 + rng() % o.height);
        Bitmap bm = makeBitmap(seed * 1000 + std::uint32_t(i), w, h, c.transparentIndex);
        QByteArray region;
        if (o.regions && i % 2 == 1)
            region = makeRegionData(QRegion(0, 0, w, h / 2 + 1));
        c.addImage(std::move(bm), region, std::uint8_t(i % 2));
    }
    for (int i = 0; i < o.sounds; ++i) {
        Pcm pcm;
        pcm.sampleRate = 11025;
        pcm.channels = 1;
        for (int s = 0; s < o.soundSamples; ++s)
            pcm.samples.push_back(std::int16_t(8000 * std::sin(s * (0.05 + 0.01 * i))));
        c.addSound(encodeWav(pcm), std::uint32_t(rng()));
    }

    for (int a = 0; a < o.animations; ++a) {
        Animation anim;
        anim.name = QStringLiteral("Anim%1_%2").arg(a).arg(seed % 7);
        anim.storedName = anim.name.toUpper();
        anim.transition = Transition(a % 3);
        if (anim.transition == Transition::ReturnAnimation)
            anim.returnAnimation = QStringLiteral("ANIM0_%1").arg(seed % 7);
        const int frames = o.framesPerAnimation;
        for (int f = 0; f < frames; ++f) {
            Frame fr;
            const int layers = int(rng() % 3);
            for (int l = 0; l < layers && o.images > 0; ++l)
                fr.images.push_back({std::uint32_t(rng() % std::uint32_t(o.images)),
                                     std::int16_t(int(rng() % 9) - 4),
                                     std::int16_t(int(rng() % 9) - 4)});
            fr.duration = std::uint16_t(rng() % 50);
            fr.exitFrame = std::int16_t(f + 1 < frames ? f + 1 : -2);
            if (o.sounds > 0 && rng() % 3 == 0)
                fr.sound = std::uint16_t(rng() % std::uint32_t(o.sounds));
            if (frames > 1 && rng() % 2 == 0) {
                fr.branches.push_back({std::uint16_t(rng() % std::uint32_t(frames)), 40});
                fr.branches.push_back({std::uint16_t(rng() % std::uint32_t(frames)), 30});
            }
            if (o.images > 0 && !fr.images.empty() && f % 2 == 0) {
                for (int m = 0; m < MouthTypeCount; ++m) {
                    MouthOverlay ov;
                    ov.type = MouthType(m);
                    ov.replaceTopImage = m % 2 == 1;
                    ov.image = std::uint16_t(rng() % std::uint32_t(o.images));
                    ov.x = std::int16_t(rng() % 5);
                    ov.y = std::int16_t(rng() % 5);
                    ov.width = 10;
                    ov.height = 12;
                    if (m == 3)
                        ov.region = makeRegionData(QRegion(1, 1, 3, 3));
                    fr.overlays.push_back(ov);
                }
            }
            anim.frames.push_back(std::move(fr));
        }
        c.animations.push_back(std::move(anim));
    }
    State s{QStringLiteral("Showing"), {}};
    if (!c.animations.empty())
        s.animations.append(c.animations.front().name);
    c.states.push_back(s);
    c.states.push_back(State{QStringLiteral("Hiding"), {}});
    return c;
}

} // namespace synthetic
