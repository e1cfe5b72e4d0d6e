// Reads an older-generation character: char.acf for the character, then each
// animation's own stream with its sounds, frame-sized images, frames and mouth
// images. Images are decoded as they are read (the animation streams are
// compressed whole) and identical ones are kept once.

#include "OlderReader.h"

#include "ByteReader.h"
#include "CompoundDocument.h"
#include "Compression.h"
#include "Limits.h"

#include <QHash>

#include <algorithm>
#include <unordered_map>

namespace agent::format {

namespace {

using detail::ByteReader;
using detail::hexOffset;

constexpr std::uint32_t CharacterSignature = 0xABCDABC1;
constexpr std::uint16_t EnglishUS = 0x0409; // the file names no language for its one name

// What a whole character may decode to: ten times the largest real character
// of either generation (24 MB of images), yet far below what a machine has.
constexpr std::size_t MaxDecodedBytes = std::size_t(256) << 20;

// The compressor's best case (see Reader.cpp): a claim beyond it is not genuine.
std::size_t maxUnpacked(std::size_t packed) {
    return (packed * 8 / 31 + 1) * 4097;
}

std::span<const std::uint8_t> bytesOf(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

struct AnimationEntry {
    QString name;
    QString stream;
    QString returnAnimation;
    std::uint32_t checksum = 0;
};

class OlderReader {
  public:
    OlderReader(const QByteArray& file, const std::string& source, Character& c,
                QStringList* warnings)
        : m_file(file), m_source(source), m_c(c), m_warnings(warnings) {}

    void read();

  private:
    void warn(const std::string& text) {
        if (m_warnings)
            m_warnings->append(QString::fromStdString(text));
    }
    void spend(ByteReader& r, std::size_t at, std::size_t bytes);
    std::vector<std::uint8_t> unpack(ByteReader& r);
    std::vector<AnimationEntry> readCharacterInfo(ByteReader& r);
    Animation readAnimation(const CompoundDocument& doc, const AnimationEntry& e);
    std::uint32_t image(std::uint16_t width, std::uint16_t height,
                        std::span<const std::uint8_t> pixels, std::span<const std::uint8_t> region,
                        std::uint8_t unknown);

    const QByteArray& m_file;
    std::string m_source;
    Character& m_c;
    QStringList* m_warnings;
    std::size_t m_decoded = 0;
    std::unordered_map<std::size_t, std::vector<std::uint32_t>> m_images; // by content hash
};

// Strings in these files carry no terminator.
QString string(ByteReader& r, const char* field) {
    const std::size_t at = r.offset();
    const std::uint32_t n = r.u32(field);
    if (n > r.remaining() / 2)
        r.failAt(at, std::string(field) + ": string length " + std::to_string(n) +
                         " runs past the data");
    auto b = r.bytes(std::size_t(n) * 2, field);
    QString s(qsizetype(n), Qt::Uninitialized);
    for (std::uint32_t i = 0; i < n; ++i)
        s[qsizetype(i)] = QChar(char16_t(b[2 * i] | b[2 * i + 1] << 8));
    return s;
}

Guid guid(ByteReader& r, const char* field) {
    Guid g;
    auto b = r.bytes(16, field);
    std::copy(b.begin(), b.end(), g.bytes.begin());
    return g;
}

QRgb rgb(ByteReader& r, const char* field) { // red, green, blue, 0
    auto b = r.bytes(4, field);
    return qRgb(b[0], b[1], b[2]);
}

} // namespace

// Streams read and bytes decompressed count against one budget, so that no
// file, not even one naming a stream many times over, can take unbounded
// memory or time.
void OlderReader::spend(ByteReader& r, std::size_t at, std::size_t bytes) {
    if (bytes > MaxDecodedBytes - m_decoded)
        r.failAt(at, std::to_string(bytes) + " more bytes to read take the character past " +
                         std::to_string(MaxDecodedBytes));
    m_decoded += bytes;
}

// Decompressed size, compressed size, then the compressed stream.
std::vector<std::uint8_t> OlderReader::unpack(ByteReader& r) {
    const std::size_t at = r.offset();
    const std::uint32_t unpacked = r.u32("decompressed size");
    const std::uint32_t packed = r.u32("compressed size");
    const auto data = r.bytes(packed, "compressed data");
    if (unpacked > maxUnpacked(packed))
        r.failAt(at, std::to_string(unpacked) + " bytes cannot come from " +
                         std::to_string(packed) + " compressed bytes");
    spend(r, at, unpacked);
    std::vector<std::uint8_t> out(unpacked);
    const DecompressResult res =
        decompress(data, out, r.source() + ": compressed data at offset " + hexOffset(at + 8));
    if (res.written < unpacked)
        r.failAt(at + 8, "compressed data decodes to " + std::to_string(res.written) + " bytes, " +
                             std::to_string(unpacked) + " expected");
    if (res.beforeStart)
        warn(r.source() + ": compressed data at offset " + hexOffset(at + 8) + " copies " +
             std::to_string(res.beforeStart) + " bytes from before its start; read as 0");
    return out;
}

void OlderReader::read() {
    const CompoundDocument doc(m_file, m_source);
    const QByteArray head = doc.read("char.acf");
    const std::string where = m_source + ": stream 'char.acf'";
    ByteReader hr(bytesOf(head), 0, std::size_t(head.size()), where, "header");
    const std::uint32_t sig = hr.u32("signature");
    if (sig != CharacterSignature)
        hr.failAt(0, "signature " + hexOffset(sig) + ", expected 0xabcdabc1 (C1 AB CD AB)");
    const std::vector<std::uint8_t> info = unpack(hr);
    ByteReader r(info, 0, info.size(), where + " (decompressed)", "character info");
    const std::vector<AnimationEntry> entries = readCharacterInfo(r);
    m_c.animations.reserve(entries.size());
    for (const AnimationEntry& e : entries)
        m_c.animations.push_back(readAnimation(doc, e));
}

std::vector<AnimationEntry> OlderReader::readCharacterInfo(ByteReader& r) {
    r.u16("minor version"); // 31 and 1 in every file seen; the model keeps its own
    r.u16("major version");
    const std::size_t n = r.count(r.u16("animation count"), 16, "animation");
    std::vector<AnimationEntry> entries(n);
    for (AnimationEntry& e : entries) {
        e.name = string(r, "animation name");
        e.stream = string(r, "animation stream name");
        e.returnAnimation = string(r, "return animation");
        e.checksum = r.u32("animation checksum");
    }
    m_c.guid = guid(r, "GUID");
    LocalizedInfo l;
    l.langId = EnglishUS;
    l.name = string(r, "name");
    l.description = string(r, "description");
    l.extraData = string(r, "extra data");
    m_c.locales.push_back(std::move(l));
    m_c.width = r.u16("width");
    m_c.height = r.u16("height");
    if (std::size_t(m_c.width) * m_c.height > limits::MaxFramePixels)
        r.failAt(r.offset() - 4, "frame size " + std::to_string(m_c.width) + "x" +
                                     std::to_string(m_c.height) + " is implausibly large");
    m_c.transparentIndex = r.u8("transparent index");
    m_c.flags = r.u32("flags");
    if (m_c.flags & VoiceOn) {
        VoiceInfo v;
        v.engine = guid(r, "voice engine GUID");
        v.mode = guid(r, "voice mode GUID");
        v.speed = r.u32("voice speed");
        v.pitch = r.u16("voice pitch");
        m_c.voice = v;
    }
    if (m_c.flags & BalloonOn) {
        BalloonInfo b;
        b.lines = r.u8("balloon lines");
        b.charsPerLine = r.u8("balloon characters per line");
        b.foreground = rgb(r, "balloon foreground colour");
        b.background = rgb(r, "balloon background colour");
        b.border = rgb(r, "balloon border colour");
        b.fontName = string(r, "balloon font name");
        b.fontHeight = r.i32("balloon font height");
        b.fontWeight = r.i32("balloon font weight");
        b.italic = r.u8("balloon italic flag") != 0;
        b.fontFlags = r.u8("balloon font flags");
        m_c.balloon = b;
    }
    const std::size_t colours = r.count(r.u32("palette count"), 4, "palette");
    m_c.palette.reserve(colours);
    for (std::size_t i = 0; i < colours; ++i) {
        auto b = r.bytes(4, "palette entry"); // blue, green, red, 0
        m_c.palette.push_back(qRgb(b[2], b[1], b[0]));
    }
    const std::size_t states = r.count(r.u16("state count"), 6, "state");
    m_c.states.resize(states);
    for (State& s : m_c.states) {
        s.name = string(r, "state name");
        const std::size_t k = r.count(r.u16("state animation count"), 4, "state animation");
        for (std::size_t j = 0; j < k; ++j)
            s.animations.append(string(r, "state animation name"));
    }
    if (r.remaining())
        warn(r.source() + ": " + std::to_string(r.remaining()) + " bytes after the states at " +
             "offset " + hexOffset(r.offset()) + " are not understood; ignored");
    return entries;
}

Animation OlderReader::readAnimation(const CompoundDocument& doc, const AnimationEntry& e) {
    const std::string streamName = e.stream.toStdString();
    const QByteArray stream = doc.read(streamName);
    const std::string where = m_source + ": stream '" + streamName + "'";
    ByteReader hr(bytesOf(stream), 0, std::size_t(stream.size()), where, "animation header");
    spend(hr, 0, std::size_t(stream.size()));
    hr.u16("minor version");
    hr.u16("major version");
    const std::uint32_t checksum = hr.u32("checksum");
    if (checksum != e.checksum)
        warn(where + ": checksum " + hexOffset(checksum) + " differs from char.acf's " +
             hexOffset(e.checksum) + " for animation '" + e.name.toStdString() + "'");
    std::vector<std::uint8_t> plain;
    if (hr.u8("compressed flag")) {
        plain = unpack(hr);
    } else {
        const auto rest = hr.bytes(hr.remaining(), "animation data");
        plain.assign(rest.begin(), rest.end());
    }
    ByteReader r(plain, 0, plain.size(), where + " (decompressed)",
                 "animation '" + e.name.toStdString() + "'");

    Animation a;
    a.name = e.name;
    a.storedName = e.name.toUpper();
    a.returnAnimation = e.returnAnimation;
    a.transition = e.returnAnimation.isEmpty() ? Transition::None : Transition::ReturnAnimation;

    // Sounds and images are the animation's own; frames number them from 0.
    std::vector<std::size_t> sounds(r.count(r.u16("sound count"), 4, "sound"));
    for (std::size_t& s : sounds) {
        const auto data = r.bytes(r.u32("sound size"), "sound data");
        s = m_c.addSound(
            QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
    }
    const std::size_t needed = limits::imageBytes(m_c.width, m_c.height);
    std::vector<std::uint32_t> images(r.count(r.u16("image count"), 9, "image"));
    for (std::uint32_t& im : images) {
        const std::size_t at = r.offset();
        const std::uint32_t size = r.u32("image pixel size");
        const std::uint8_t unknown = r.u8("image unknown byte");
        const auto pixels = r.bytes(size, "image pixels");
        if (size != needed)
            r.failAt(at, "image of " + std::to_string(size) + " bytes; a " +
                             std::to_string(m_c.width) + "x" + std::to_string(m_c.height) +
                             " frame needs " + std::to_string(needed));
        const auto region = r.bytes(r.u32("region size"), "region data");
        im = image(m_c.width, m_c.height, pixels, region, unknown);
    }

    a.frames.resize(r.count(r.u16("frame count"), 12, "frame"));
    for (std::size_t f = 0; f < a.frames.size(); ++f) {
        Frame& fr = a.frames[f];
        const std::size_t at = r.offset();
        const std::uint16_t img = r.u16("frame image index");
        if (img >= images.size())
            r.failAt(at, "frame " + std::to_string(f) + ": image index " + std::to_string(img) +
                             " out of range (" + std::to_string(images.size()) + " images)");
        fr.images.push_back({images[img], 0, 0});
        const std::uint16_t sound = r.u16("frame sound index");
        if (sound != NoSound && sound >= sounds.size())
            warn(r.source() + ": frame " + std::to_string(f) + " at offset " + hexOffset(at) +
                 ": sound index " + std::to_string(sound) + " is past the animation's " +
                 std::to_string(sounds.size()) + " sounds; no sound");
        else if (sound != NoSound)
            fr.sound = std::uint16_t(sounds[sound]);
        fr.duration = r.u16("frame duration");
        r.u16("frame unknown field 1"); // 0 in every frame seen
        r.u16("frame unknown field 2");
        fr.branches.resize(r.count(r.u8("branch count"), 4, "branch"));
        for (Branch& b : fr.branches) {
            b.frame = r.u16("branch frame");
            b.probability = r.u16("branch probability");
            if (b.frame >= a.frames.size())
                r.failAt(r.offset() - 4, "frame " + std::to_string(f) + ": branch to frame " +
                                             std::to_string(b.frame) + " out of range (" +
                                             std::to_string(a.frames.size()) + " frames)");
        }
        fr.overlays.resize(r.count(r.u8("overlay count"), 14, "mouth overlay"));
        for (MouthOverlay& o : fr.overlays) {
            const std::size_t oat = r.offset();
            const std::uint8_t type = r.u8("overlay type");
            if (type >= MouthTypeCount)
                r.failAt(oat, "frame " + std::to_string(f) + ": unknown mouth overlay type " +
                                  std::to_string(type));
            o.type = MouthType(type);
            const std::uint32_t size = r.u32("overlay pixel size");
            o.unknown = r.u8("overlay unknown byte");
            o.x = r.i16("overlay x offset");
            o.y = r.i16("overlay y offset");
            const std::uint16_t w = r.u16("overlay width");
            const std::uint16_t h = r.u16("overlay height");
            const auto pixels = r.bytes(size, "overlay pixels");
            if (size != limits::imageBytes(w, h) ||
                size > limits::maxImageBytes(m_c.width, m_c.height))
                r.failAt(oat, "frame " + std::to_string(f) + ": a " + std::to_string(w) + "x" +
                                  std::to_string(h) + " mouth image cannot have " +
                                  std::to_string(size) + " bytes of pixels");
            const std::uint32_t index = image(w, h, pixels, {}, 0);
            if (index > 0xFFFF)
                r.failAt(oat, "frame " + std::to_string(f) + ": mouth image " +
                                  std::to_string(index) + " is past the 65536 a frame can name");
            o.image = std::uint16_t(index);
        }
    }
    if (r.remaining())
        warn(r.source() + ": " + std::to_string(r.remaining()) + " bytes after the frames at " +
             "offset " + hexOffset(r.offset()) + " are not understood; ignored");
    return a;
}

// The same picture is often stored in several animations: keep it once.
std::uint32_t OlderReader::image(std::uint16_t width, std::uint16_t height,
                                 std::span<const std::uint8_t> pixels,
                                 std::span<const std::uint8_t> region, std::uint8_t unknown) {
    const QByteArrayView pv(pixels.data(), qsizetype(pixels.size()));
    const QByteArrayView rv(region.data(), qsizetype(region.size()));
    const std::size_t key = qHash(pv) ^ (qHash(rv) * 31u) ^ (std::size_t(width) << 16 | height);
    std::vector<std::uint32_t>& same = m_images[key];
    for (std::uint32_t i : same) {
        const Bitmap& b = m_c.bitmap(i);
        if (b.width == width && b.height == height && m_c.imageEntry(i).unknown == unknown &&
            std::equal(pixels.begin(), pixels.end(), b.pixels.begin(), b.pixels.end()) &&
            m_c.regionData(i) == rv)
            return i;
    }
    Bitmap b{width, height, std::vector<std::uint8_t>(pixels.begin(), pixels.end())};
    const auto i =
        std::uint32_t(m_c.addImage(std::move(b), QByteArray(rv.data(), rv.size()), unknown));
    same.push_back(i);
    return i;
}

void readOlderCharacter(const QByteArray& file, const std::string& source, Character& c,
                        QStringList* warnings) {
    OlderReader(file, source, c, warnings).read();
}

} // namespace agent::format
