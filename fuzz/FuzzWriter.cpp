// Any bytes as the choices that build a character in memory, within what a
// character may hold: the writer writes it, the reader reads back an equal
// model without a warning, and writing that again gives the same bytes.

#include "Fuzzing.h"

#include "agent/format/Character.h"
#include "agent/format/Limits.h"
#include "agent/format/Writer.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace agent::format;

namespace {

// UTF-16 code units, little-endian (as on this machine), any of them.
QString text(FuzzedDataProvider& in) {
    const std::string raw = in.ConsumeRandomLengthString(24);
    return QString(reinterpret_cast<const QChar*>(raw.data()), qsizetype(raw.size() / 2));
}

QByteArray bytes(FuzzedDataProvider& in, std::size_t max) {
    return QByteArray::fromStdString(in.ConsumeRandomLengthString(max));
}

template <class T> T any(FuzzedDataProvider& in) {
    return in.ConsumeIntegral<T>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Character c;
    c.minorVersion = any<std::uint16_t>(in);
    c.width = in.ConsumeIntegralInRange<std::uint16_t>(0, 48);
    c.height = in.ConsumeIntegralInRange<std::uint16_t>(0, 48);
    c.transparentIndex = any<std::uint8_t>(in);
    c.flags = any<std::uint32_t>(in) & ~std::uint32_t(VoiceOn | BalloonOn);
    if (in.ConsumeBool()) {
        c.flags |= VoiceOn;
        VoiceInfo v;
        v.speed = any<std::uint32_t>(in);
        v.hasExtra = in.ConsumeBool();
        if (v.hasExtra)
            v.dialect = text(in);
        c.voice = v;
    }
    if (in.ConsumeBool()) {
        c.flags |= BalloonOn;
        BalloonInfo b;
        b.foreground = qRgb(any<std::uint8_t>(in), any<std::uint8_t>(in), any<std::uint8_t>(in));
        b.background = b.border = qRgb(255, 255, any<std::uint8_t>(in)); // stored opaque
        b.fontName = text(in);
        b.fontHeight = any<std::int32_t>(in);
        c.balloon = b;
    }
    c.palette.resize(in.ConsumeIntegralInRange<std::size_t>(0, 256), qRgb(1, 2, 3));
    if (in.ConsumeBool())
        c.trayIcon = TrayIcon{bytes(in, 64), bytes(in, 64)};
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
        c.locales.push_back({any<std::uint16_t>(in), text(in), text(in), text(in)});

    for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
        const auto w = in.ConsumeIntegralInRange<std::uint16_t>(0, 40);
        const auto h = in.ConsumeIntegralInRange<std::uint16_t>(0, 40);
        Bitmap b{w, h, std::vector<std::uint8_t>(limits::imageBytes(w, h), any<std::uint8_t>(in))};
        for (std::uint8_t& p : b.pixels)
            if (in.ConsumeBool())
                p = any<std::uint8_t>(in);
        QByteArray region = bytes(in, 48);
        if (std::size_t(region.size()) > limits::maxRegionBytes(w, h))
            region.clear();
        c.addImage(std::move(b), region, any<std::uint8_t>(in));
    }
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
        c.addSound(bytes(in, 64), any<std::uint32_t>(in));

    const std::uint32_t images = std::uint32_t(c.imageCount());
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
        Animation a;
        a.name = text(in);
        a.storedName = text(in);
        a.transition = Transition(in.ConsumeIntegralInRange(0, 2));
        a.returnAnimation = text(in);
        a.frames.resize(in.ConsumeIntegralInRange<std::size_t>(0, 4));
        const auto frames = std::uint16_t(a.frames.size());
        for (Frame& f : a.frames) {
            for (int k = images ? in.ConsumeIntegralInRange(0, 3) : 0; k > 0; --k)
                f.images.push_back({in.ConsumeIntegralInRange<std::uint32_t>(0, images - 1),
                                    any<std::int16_t>(in), any<std::int16_t>(in)});
            if (c.soundCount() && in.ConsumeBool())
                f.sound =
                    in.ConsumeIntegralInRange<std::uint16_t>(0, std::uint16_t(c.soundCount() - 1));
            f.duration = any<std::uint16_t>(in);
            f.exitFrame = std::int16_t(in.ConsumeIntegralInRange<int>(-2, frames - 1));
            for (int k = in.ConsumeIntegralInRange(0, 2); k > 0; --k)
                f.branches.push_back({in.ConsumeIntegralInRange<std::uint16_t>(0, frames - 1),
                                      any<std::uint16_t>(in)});
            for (int k = images ? in.ConsumeIntegralInRange(0, 2) : 0; k > 0; --k) {
                MouthOverlay o;
                o.type = MouthType(in.ConsumeIntegralInRange(0, MouthTypeCount - 1));
                o.replaceTopImage = in.ConsumeBool();
                o.image = std::uint16_t(in.ConsumeIntegralInRange<std::uint32_t>(0, images - 1));
                o.x = any<std::int16_t>(in);
                if (in.ConsumeBool())
                    o.region = bytes(in, 40);
                f.overlays.push_back(o);
            }
        }
        c.animations.push_back(std::move(a));
    }
    for (int n = in.ConsumeIntegralInRange(0, 2); n > 0; --n)
        c.states.push_back({text(in), {text(in), text(in)}});

    const QByteArray written = writeCharacter(c); // within every bound: must not throw
    const Character back = Character::fromBytes(written, QStringLiteral("written.acs"));
    check(back == c && back.warnings().isEmpty() && writeCharacter(back) == written);
    return 0;
}
