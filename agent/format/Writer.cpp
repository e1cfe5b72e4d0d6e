// Writes the model in the order the reader reads it: header, character info
// followed by the locales (its locator covers both, as in the original files),
// animations, images, sounds, then patches the header's locators.

#include "Writer.h"

#include "Compositor.h"
#include "Compression.h"
#include "Limits.h"

#include <QFile>
#include <QSaveFile>

namespace agent::format {

namespace {

class ByteWriter {
  public:
    std::size_t size() const { return std::size_t(m_out.size()); }
    void u8(std::uint8_t v) { m_out.append(char(v)); }
    void u16(std::uint16_t v) {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(std::uint16_t(v));
        u16(std::uint16_t(v >> 16));
    }
    void i16(std::int16_t v) { u16(std::uint16_t(v)); }
    void i32(std::int32_t v) { u32(std::uint32_t(v)); }
    void bytes(const void* data, std::size_t n) {
        m_out.append(static_cast<const char*>(data), qsizetype(n));
    }
    void bytes(const QByteArray& b) { m_out.append(b); }
    void string(const QString& s) {
        u32(std::uint32_t(s.size()));
        if (s.isEmpty())
            return;
        for (QChar c : s)
            u16(c.unicode());
        u16(0);
    }
    void guid(const Guid& g) { bytes(g.bytes.data(), g.bytes.size()); }
    void rgb(QRgb c) { // red, green, blue, 0
        u8(std::uint8_t(qRed(c)));
        u8(std::uint8_t(qGreen(c)));
        u8(std::uint8_t(qBlue(c)));
        u8(0);
    }
    void patch32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_out[qsizetype(at) + i] = char(v >> (8 * i));
    }
    QByteArray take() { return std::move(m_out); }

  private:
    QByteArray m_out;
};

[[noreturn]] void refuse(const Character& c, const std::string& what) {
    const QString name = c.sourceName().isEmpty() ? QStringLiteral("character") : c.sourceName();
    throw FormatError(name.toStdString() + ": cannot write: " + what);
}

template <class T> T fits(const Character& c, std::size_t n, const std::string& what) {
    if (n > std::size_t(std::numeric_limits<T>::max()))
        refuse(c, what + " count " + std::to_string(n) + " does not fit its field");
    return T(n);
}

void writeCharacterInfo(ByteWriter& w, const Character& c, std::size_t& localesLocator) {
    w.u16(c.minorVersion);
    w.u16(c.majorVersion);
    localesLocator = w.size();
    w.u32(0);
    w.u32(0);
    w.guid(c.guid);
    w.u16(c.width);
    w.u16(c.height);
    w.u8(c.transparentIndex);
    w.u32(c.flags);
    w.u16(c.animationSetMajor);
    w.u16(c.animationSetMinor);
    if (bool(c.flags & VoiceOn) != c.voice.has_value())
        refuse(c, "the voice-on flag and the voice info disagree");
    if (bool(c.flags & BalloonOn) != c.balloon.has_value())
        refuse(c, "the balloon-on flag and the balloon info disagree");
    if (const auto& v = c.voice) {
        w.guid(v->engine);
        w.guid(v->mode);
        w.u32(v->speed);
        w.u16(v->pitch);
        w.u8(v->hasExtra);
        if (v->hasExtra) {
            w.u16(v->langId);
            w.string(v->dialect);
            w.u16(v->gender);
            w.u16(v->age);
            w.string(v->style);
        }
    }
    if (const auto& b = c.balloon) {
        w.u8(b->lines);
        w.u8(b->charsPerLine);
        w.rgb(b->foreground);
        w.rgb(b->background);
        w.rgb(b->border);
        w.string(b->fontName);
        w.i32(b->fontHeight);
        w.i32(b->fontWeight);
        w.u8(b->italic);
        w.u8(b->fontFlags);
    }
    w.u32(std::uint32_t(c.palette.size()));
    for (QRgb colour : c.palette) { // blue, green, red, 0
        w.u8(std::uint8_t(qBlue(colour)));
        w.u8(std::uint8_t(qGreen(colour)));
        w.u8(std::uint8_t(qRed(colour)));
        w.u8(0);
    }
    w.u8(c.trayIcon.has_value());
    if (c.trayIcon) {
        w.u32(std::uint32_t(c.trayIcon->monochrome.size()));
        w.bytes(c.trayIcon->monochrome);
        w.u32(std::uint32_t(c.trayIcon->colour.size()));
        w.bytes(c.trayIcon->colour);
    }
    w.u16(fits<std::uint16_t>(c, c.states.size(), "state"));
    for (const State& s : c.states) {
        w.string(s.name);
        w.u16(fits<std::uint16_t>(c, std::size_t(s.animations.size()), "state animation"));
        for (const QString& a : s.animations)
            w.string(a);
    }
}

void writeAnimation(ByteWriter& w, const Character& c, const Animation& a) {
    const std::size_t images = c.imageCount();
    const std::size_t frames = a.frames.size();
    auto bad = [&](std::size_t f, const std::string& what) {
        refuse(c,
               "animation '" + a.name.toStdString() + "' frame " + std::to_string(f) + ": " + what);
    };
    w.string(a.storedName);
    w.u8(std::uint8_t(a.transition));
    w.string(a.returnAnimation);
    w.u16(fits<std::uint16_t>(c, frames, "frame"));
    for (std::size_t f = 0; f < frames; ++f) {
        const Frame& fr = a.frames[f];
        w.u16(fits<std::uint16_t>(c, fr.images.size(), "frame image"));
        for (const FrameImage& im : fr.images)
            if (im.image >= images)
                bad(f, "image index " + std::to_string(im.image) + " out of range");
        for (const MouthOverlay& o : fr.overlays)
            if (o.image >= images)
                bad(f, "mouth overlay image index " + std::to_string(o.image) + " out of range");
        if (drawableImages(c, fr) < fr.images.size())
            bad(f, std::to_string(fr.images.size()) + " images are more than a frame may draw");
        for (const FrameImage& im : fr.images) {
            w.u32(im.image);
            w.i16(im.x);
            w.i16(im.y);
        }
        if (fr.sound != NoSound && fr.sound >= c.soundCount())
            bad(f, "sound index " + std::to_string(fr.sound) + " out of range");
        w.u16(fr.sound);
        w.u16(fr.duration);
        if (fr.exitFrame >= 0 && std::size_t(fr.exitFrame) >= frames)
            bad(f, "exit frame " + std::to_string(fr.exitFrame) + " out of range");
        w.i16(fr.exitFrame);
        w.u8(fits<std::uint8_t>(c, fr.branches.size(), "branch"));
        for (const Branch& b : fr.branches) {
            if (b.frame >= frames)
                bad(f, "branch to frame " + std::to_string(b.frame) + " out of range");
            w.u16(b.frame);
            w.u16(b.probability);
        }
        w.u8(fits<std::uint8_t>(c, fr.overlays.size(), "mouth overlay"));
        for (const MouthOverlay& o : fr.overlays) {
            w.u8(std::uint8_t(o.type));
            w.u8(o.replaceTopImage);
            w.u16(o.image);
            w.u8(o.unknown);
            w.u8(o.region.has_value());
            w.i16(o.x);
            w.i16(o.y);
            w.u16(o.width);
            w.u16(o.height);
            if (o.region) {
                w.u32(std::uint32_t(o.region->size()));
                w.bytes(*o.region);
            }
        }
    }
}

void writeImage(ByteWriter& w, const Character& c, std::size_t index) {
    const ImageEntry& e = c.imageEntry(index);
    if (limits::imageBytes(e.width, e.height) > limits::maxImageBytes(c.width, c.height))
        refuse(c, "image " + std::to_string(index) + " (" + std::to_string(e.width) + "x" +
                      std::to_string(e.height) + ") is more than four frames' worth of pixels");
    if (std::size_t(c.regionData(index).size()) > limits::maxRegionBytes(e.width, e.height))
        refuse(c, "image " + std::to_string(index) + "'s region has more rectangles than its " +
                      "pixels can need");
    const Bitmap& b = c.bitmap(index);
    w.u8(e.unknown);
    w.u16(e.width);
    w.u16(e.height);
    std::vector<std::uint8_t> packed;
    if (!b.pixels.empty())
        packed = compress(b.pixels);
    const bool compressed = !b.pixels.empty() && packed.size() < b.pixels.size();
    w.u8(compressed);
    if (compressed) {
        w.u32(std::uint32_t(packed.size()));
        w.bytes(packed.data(), packed.size());
    } else {
        w.u32(std::uint32_t(b.pixels.size()));
        w.bytes(b.pixels.data(), b.pixels.size());
    }
    const QByteArray& region = c.regionData(index);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(region.constData());
    std::vector<std::uint8_t> packedRegion;
    if (!region.isEmpty())
        packedRegion = compress({raw, std::size_t(region.size())});
    if (!region.isEmpty() && packedRegion.size() < std::size_t(region.size())) {
        w.u32(std::uint32_t(packedRegion.size()));
        w.u32(std::uint32_t(region.size()));
        w.bytes(packedRegion.data(), packedRegion.size());
    } else {
        w.u32(0);
        w.u32(std::uint32_t(region.size()));
        w.bytes(region);
    }
}

} // namespace

QByteArray writeCharacter(const Character& c) {
    if (std::size_t(c.width) * c.height > limits::MaxFramePixels)
        refuse(c, "frame size " + std::to_string(c.width) + "x" + std::to_string(c.height) +
                      " is more than " + std::to_string(limits::MaxFramePixels) + " pixels");
    ByteWriter w;
    w.u32(0xABCDABC3);
    for (int i = 0; i < 8; ++i)
        w.u32(0); // four locators, patched at the end
    auto setLocator = [&w](int slot, std::size_t begin, std::size_t end) {
        w.patch32(4 + std::size_t(slot) * 8, std::uint32_t(begin));
        w.patch32(8 + std::size_t(slot) * 8, std::uint32_t(end - begin));
    };

    const std::size_t infoStart = w.size();
    std::size_t localesLocator = 0;
    writeCharacterInfo(w, c, localesLocator);
    const std::size_t localesStart = w.size();
    w.u16(fits<std::uint16_t>(c, c.locales.size(), "locale"));
    for (const LocalizedInfo& l : c.locales) {
        w.u16(l.langId);
        w.string(l.name);
        w.string(l.description);
        w.string(l.extraData);
    }
    w.patch32(localesLocator, std::uint32_t(localesStart));
    w.patch32(localesLocator + 4, std::uint32_t(w.size() - localesStart));
    setLocator(0, infoStart, w.size());

    std::vector<std::pair<std::size_t, std::size_t>> animationBlocks;
    for (const Animation& a : c.animations) {
        const std::size_t start = w.size();
        writeAnimation(w, c, a);
        animationBlocks.emplace_back(start, w.size() - start);
    }
    const std::size_t animationTable = w.size();
    w.u32(std::uint32_t(c.animations.size()));
    for (std::size_t i = 0; i < c.animations.size(); ++i) {
        w.string(c.animations[i].name);
        w.u32(std::uint32_t(animationBlocks[i].first));
        w.u32(std::uint32_t(animationBlocks[i].second));
    }
    setLocator(1, animationTable, w.size());

    std::vector<std::pair<std::size_t, std::size_t>> imageBlocks;
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        const std::size_t start = w.size();
        writeImage(w, c, i);
        imageBlocks.emplace_back(start, w.size() - start);
    }
    const std::size_t imageTable = w.size();
    w.u32(std::uint32_t(c.imageCount()));
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        w.u32(std::uint32_t(imageBlocks[i].first));
        w.u32(std::uint32_t(imageBlocks[i].second));
        w.u32(c.imageEntry(i).checksum);
    }
    setLocator(2, imageTable, w.size());

    std::vector<std::size_t> soundStarts;
    for (std::size_t i = 0; i < c.soundCount(); ++i) {
        soundStarts.push_back(w.size());
        w.bytes(c.sound(i).data);
    }
    const std::size_t soundTable = w.size();
    w.u32(std::uint32_t(c.soundCount()));
    for (std::size_t i = 0; i < c.soundCount(); ++i) {
        w.u32(std::uint32_t(soundStarts[i]));
        w.u32(std::uint32_t(c.sound(i).data.size()));
        w.u32(c.sound(i).checksum);
    }
    setLocator(3, soundTable, w.size());

    if (w.size() > 0xFFFFFFFFu)
        refuse(c, "the file would exceed 4 GB");
    return w.take();
}

void writeCharacterFile(const Character& character, const QString& path) {
    const QByteArray data = writeCharacter(character);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        throw FormatError(path.toStdString() + ": cannot write: " + f.errorString().toStdString());
}

} // namespace agent::format
