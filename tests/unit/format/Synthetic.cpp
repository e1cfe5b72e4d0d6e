#include "Synthetic.h"

#include "agent/format/Sound.h"

#include <cmath>
#include <random>

using namespace agent::format;

namespace synthetic {

namespace {

// A few filled ellipses of palette colours, some textured, on the transparent index.
Bitmap blobs(std::mt19937& rng, std::uint16_t width, std::uint16_t height, std::uint8_t clear) {
    Bitmap b{width, height, {}};
    b.pixels.assign(std::size_t(b.stride()) * height, clear);
    for (int k = 1 + int(rng() % 4); k > 0; --k) {
        const double cx = rng() % (width + 1), cy = rng() % (height + 1);
        const double rx = 1 + rng() % (width / 2 + 1), ry = 1 + rng() % (height / 2 + 1);
        const std::uint8_t colour = std::uint8_t(rng());
        const bool noisy = rng() % 3 == 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (std::pow((x - cx) / rx, 2) + std::pow((y - cy) / ry, 2) <= 1.0) {
                    const std::uint8_t c = noisy ? std::uint8_t(colour + rng() % 3) : colour;
                    b.scanLine(y)[x] = c == clear ? std::uint8_t(clear + 1) : c;
                }
    }
    return b;
}

} // namespace

Character makeCharacter(std::uint32_t seed, const Options& o) {
    std::mt19937 rng(seed);
    Character c;
    c.width = o.width;
    c.height = o.height;
    c.transparentIndex = std::uint8_t(rng() % 256);
    c.guid.bytes[0] = std::uint8_t(seed);
    c.guid.bytes[15] = 0x5A;
    c.flags = VoiceOn | BalloonOn | BalloonSizeToText | StandardAnimationSet;
    c.voice = seed % 2 ? VoiceInfo{{}, {}, 150, 100, false, 0, {}, 0, 0, {}}
                       : VoiceInfo{{}, {}, 150, 100, true, 0x0409, "US", 1, 30, "Calm"};
    c.balloon = BalloonInfo{
        2, 30, qRgb(1, 2, 3), qRgb(255, 255, 225), qRgb(9, 8, 7), "Sans", -13, 400, false, 0};
    for (int i = 0; i < 256; ++i)
        c.palette.push_back(qRgb(i, (i * 7) & 255, 255 - i));
    c.trayIcon = TrayIcon{QByteArray("mono-icon-bytes"), QByteArray("colour-icon-bytes")};
    c.locales = {{0x0409, QStringLiteral("Synth %1").arg(seed), "A test", "extra"},
                 {0x0407, QStringLiteral("Synthé ✓"), {}, {}}};

    for (int i = 0; i < o.images; ++i) {
        const std::uint16_t w = std::uint16_t(1 + rng() % o.width);
        const std::uint16_t h = std::uint16_t(1 + rng() % o.height);
        const bool region = o.regions && i % 2 == 1;
        c.addImage(blobs(rng, w, h, c.transparentIndex),
                   region ? makeRegionData(QRegion(0, 0, w, h / 2 + 1)) : QByteArray(),
                   std::uint8_t(i % 2));
    }
    for (int i = 0; i < o.sounds; ++i) {
        Pcm pcm{11025, 1, {}};
        for (int s = 0; s < o.soundSamples; ++s)
            pcm.samples.push_back(std::int16_t(8000 * std::sin(s * (0.05 + 0.01 * i))));
        c.addSound(encodeWav(pcm), std::uint32_t(rng()));
    }

    const auto pick = [&rng](int n) { return std::uint16_t(rng() % std::uint32_t(n)); };
    for (int a = 0; a < o.animations; ++a) {
        Animation anim;
        anim.name = QStringLiteral("Anim%1_%2").arg(a).arg(seed % 7);
        anim.storedName = anim.name.toUpper();
        anim.transition = Transition(a % 3);
        if (anim.transition == Transition::ReturnAnimation)
            anim.returnAnimation = QStringLiteral("ANIM0_%1").arg(seed % 7);
        const int frames = o.framesPerAnimation;
        for (int f = 0; f < frames; ++f) {
            Frame& fr = anim.frames.emplace_back();
            for (int l = int(rng() % 3); l > 0 && o.images > 0; --l)
                fr.images.push_back({pick(o.images), std::int16_t(int(rng() % 9) - 4),
                                     std::int16_t(int(rng() % 9) - 4)});
            fr.duration = std::uint16_t(rng() % 50);
            fr.exitFrame = std::int16_t(f + 1 < frames ? f + 1 : -2);
            if (o.sounds > 0 && rng() % 3 == 0)
                fr.sound = pick(o.sounds);
            if (frames > 1 && rng() % 2 == 0)
                fr.branches = {{pick(frames), 40}, {pick(frames), 30}};
            for (int m = 0; m < MouthTypeCount && !fr.images.empty() && f % 2 == 0; ++m)
                fr.overlays.push_back(
                    {MouthType(m), m % 2 == 1, pick(o.images), 0, std::int16_t(rng() % 5),
                     std::int16_t(rng() % 5), 10, 12,
                     m == 3 ? makeRegionData(QRegion(1, 1, 3, 3)) : std::optional<QByteArray>()});
        }
        c.animations.push_back(std::move(anim));
    }
    c.states = {{"Showing", {}}, {"Hiding", {}}};
    if (!c.animations.empty())
        c.states[0].animations.append(c.animations.front().name);
    return c;
}

} // namespace synthetic
