// Reads a character file's tables top to bottom: header, character info,
// locales, animations, image table, sound table. Pixels stay in the file until
// Character::bitmap() asks for them.

#include "ByteReader.h"
#include "CharacterStore.h"

#include <QFile>
#include <QLoggingCategory>

#include <cstring>

namespace agent::format {

using detail::ByteReader;
using detail::hexOffset;

// Off by default like the engine's other categories: QT_LOGGING_RULES="agent.format=true".
Q_LOGGING_CATEGORY(lcFormat, "agent.format", QtCriticalMsg)

class Reader {
  public:
    Reader(const QByteArray& data, const QString& source)
        : m_file(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())),
          m_source(source.toStdString()) {}

    void read(Character& c);

  private:
    ByteReader at(Locator loc, const std::string& structure) const {
        return ByteReader(m_file, loc.offset, std::size_t(loc.offset) + loc.size, m_source,
                          structure);
    }
    Locator locator(ByteReader& r, const char* what) const {
        const std::size_t where = r.offset();
        Locator loc{r.u32(what), 0};
        loc.size = r.u32(what);
        if (std::size_t(loc.offset) + loc.size > m_file.size())
            r.failAt(where, std::string(what) + " (offset " + hexOffset(loc.offset) + ", size " +
                                std::to_string(loc.size) + ") points outside the file (" +
                                std::to_string(m_file.size()) + " bytes)");
        return loc;
    }
    void warn(Character& c, const QString& text) const {
        c.d->warnings.append(text);
        qCWarning(lcFormat).noquote() << text;
    }

    void readCharacterInfo(Character& c, Locator loc);
    void readLocales(Character& c, Locator loc);
    VoiceInfo readVoice(ByteReader& r);
    BalloonInfo readBalloon(ByteReader& r);
    void readAnimations(Character& c, Locator loc);
    Animation readAnimation(ByteReader& r, const QString& listedName);
    void readImages(Character& c, Locator loc);
    void readSounds(Character& c, Locator loc);
    void checkReferences(Character& c) const;

    std::span<const std::uint8_t> m_file;
    std::string m_source;
};

namespace {

constexpr std::uint32_t Signature = 0xABCDABC3;
constexpr std::uint8_t OleSignature[4] = {0xD0, 0xCF, 0x11, 0xE0};

Guid readGuid(ByteReader& r, const char* field) {
    Guid g;
    auto b = r.bytes(16, field);
    std::memcpy(g.bytes.data(), b.data(), 16);
    return g;
}

QRgb readRgb(ByteReader& r, const char* field) { // stored red, green, blue, 0
    auto b = r.bytes(4, field);
    return qRgb(b[0], b[1], b[2]);
}

// Every frame is composited at the character's size; 8192x8192 is far beyond
// any real character (the largest seen is 1280x720) and keeps that bounded.
constexpr std::size_t MaxFramePixels = std::size_t(8192) * 8192;

// Compressed pixels can grow at most 4096 bytes per 31 bits of stream; an image
// claiming more cannot be genuine, and must not make us allocate for it.
std::size_t maxUnpacked(std::size_t packed) {
    return (packed * 8 / 31 + 1) * 4097;
}

} // namespace

void Reader::read(Character& c) {
    if (m_file.size() >= 4 && std::memcmp(m_file.data(), OleSignature, 4) == 0)
        throw FormatError(m_source +
                          ": an older-generation character file (an OLE compound document, "
                          "signature D0 CF 11 E0); only the single-file format with signature "
                          "C3 AB CD AB is supported");
    ByteReader header(m_file, 0, std::min<std::size_t>(m_file.size(), 36), m_source, "header");
    if (m_file.size() < 36)
        throw FormatError(m_source + ": too short for a character file (" +
                          std::to_string(m_file.size()) + " bytes, the header alone is 36)");
    const std::uint32_t sig = header.u32("signature");
    if (sig != Signature) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02X %02X %02X %02X", m_file[0], m_file[1], m_file[2],
                      m_file[3]);
        throw FormatError(m_source + ": not a character file: signature " + buf +
                          " at offset 0, expected C3 AB CD AB");
    }
    const Locator info = locator(header, "character info locator");
    const Locator anims = locator(header, "animation table locator");
    const Locator images = locator(header, "image table locator");
    const Locator sounds = locator(header, "sound table locator");

    readCharacterInfo(c, info);
    readImages(c, images);
    readSounds(c, sounds);
    readAnimations(c, anims);
    checkReferences(c);
}

void Reader::readCharacterInfo(Character& c, Locator loc) {
    ByteReader r = at(loc, "character info");
    c.minorVersion = r.u16("minor version");
    c.majorVersion = r.u16("major version");
    const Locator locales = locator(r, "localized info locator");
    c.guid = readGuid(r, "GUID");
    c.width = r.u16("width");
    c.height = r.u16("height");
    if (std::size_t(c.width) * c.height > MaxFramePixels)
        r.failAt(r.offset() - 4, "frame size " + std::to_string(c.width) + "x" +
                                     std::to_string(c.height) + " is implausibly large");
    c.transparentIndex = r.u8("transparent index");
    c.flags = r.u32("flags");
    c.animationSetMajor = r.u16("animation set major version");
    c.animationSetMinor = r.u16("animation set minor version");
    if (c.flags & VoiceOn)
        c.voice = readVoice(r);
    if (c.flags & BalloonOn)
        c.balloon = readBalloon(r);

    const std::size_t colours = r.count(r.u32("palette count"), 4, "palette");
    c.palette.reserve(colours);
    for (std::size_t i = 0; i < colours; ++i) {
        auto b = r.bytes(4, "palette entry"); // blue, green, red, 0
        c.palette.push_back(qRgb(b[2], b[1], b[0]));
    }

    if (r.u8("tray icon flag")) {
        TrayIcon icon;
        const std::size_t mono = r.u32("tray icon monochrome size");
        auto m = r.bytes(mono, "tray icon monochrome bitmap");
        icon.monochrome = QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(mono));
        const std::size_t colour = r.u32("tray icon colour size");
        auto cb = r.bytes(colour, "tray icon colour bitmap");
        icon.colour = QByteArray(reinterpret_cast<const char*>(cb.data()), qsizetype(colour));
        c.trayIcon = std::move(icon);
    }

    const std::size_t states = r.count(r.u16("state count"), 6, "state");
    c.states.reserve(states);
    for (std::size_t i = 0; i < states; ++i) {
        State s;
        s.name = r.string("state name");
        const std::size_t n = r.count(r.u16("state animation count"), 4, "state animation");
        for (std::size_t j = 0; j < n; ++j)
            s.animations.append(r.string("state animation name"));
        c.states.push_back(std::move(s));
    }
    readLocales(c, locales);
}

VoiceInfo Reader::readVoice(ByteReader& r) {
    VoiceInfo v;
    v.engine = readGuid(r, "voice engine GUID");
    v.mode = readGuid(r, "voice mode GUID");
    v.speed = r.u32("voice speed");
    v.pitch = r.u16("voice pitch");
    v.hasExtra = r.u8("voice extra data flag") != 0;
    if (v.hasExtra) {
        v.langId = r.u16("voice language");
        v.dialect = r.string("voice dialect");
        v.gender = r.u16("voice gender");
        v.age = r.u16("voice age");
        v.style = r.string("voice style");
    }
    return v;
}

BalloonInfo Reader::readBalloon(ByteReader& r) {
    BalloonInfo b;
    b.lines = r.u8("balloon lines");
    b.charsPerLine = r.u8("balloon characters per line");
    b.foreground = readRgb(r, "balloon foreground colour");
    b.background = readRgb(r, "balloon background colour");
    b.border = readRgb(r, "balloon border colour");
    b.fontName = r.string("balloon font name");
    b.fontHeight = r.i32("balloon font height");
    b.fontWeight = r.i32("balloon font weight");
    b.italic = r.u8("balloon italic flag") != 0;
    b.fontFlags = r.u8("balloon font flags");
    return b;
}

void Reader::readLocales(Character& c, Locator loc) {
    ByteReader r = at(loc, "localized info");
    const std::size_t n = r.count(r.u16("locale count"), 14, "locale");
    c.locales.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        LocalizedInfo l;
        l.langId = r.u16("language ID");
        l.name = r.string("name");
        l.description = r.string("description");
        l.extraData = r.string("extra data");
        c.locales.push_back(std::move(l));
    }
}

void Reader::readAnimations(Character& c, Locator loc) {
    ByteReader r = at(loc, "animation table");
    const std::size_t n = r.count(r.u32("animation count"), 12, "animation");
    c.animations.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const QString name = r.string("animation name");
        const Locator info = locator(r, "animation locator");
        ByteReader ar =
            at(info, "animation " + std::to_string(i) + " '" + name.toStdString() + "'");
        c.animations.push_back(readAnimation(ar, name));
    }
}

Animation Reader::readAnimation(ByteReader& r, const QString& listedName) {
    Animation a;
    a.name = listedName;
    a.storedName = r.string("name");
    const std::uint8_t transition = r.u8("transition type");
    if (transition > 2)
        r.fail("unknown transition type " + std::to_string(transition));
    a.transition = Transition(transition);
    a.returnAnimation = r.string("return animation");
    // Smallest frame: image count, sound, duration, exit, branch and overlay counts.
    const std::size_t frames = r.count(r.u16("frame count"), 10, "frame");
    a.frames.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        Frame& fr = a.frames[f];
        const std::size_t images = r.count(r.u16("frame image count"), 8, "frame image");
        fr.images.resize(images);
        for (auto& im : fr.images) {
            im.image = r.u32("frame image index");
            im.x = r.i16("frame image x offset");
            im.y = r.i16("frame image y offset");
        }
        fr.sound = r.u16("frame sound index");
        fr.duration = r.u16("frame duration");
        fr.exitFrame = r.i16("frame exit index");
        const std::size_t branches = r.count(r.u8("branch count"), 4, "branch");
        fr.branches.resize(branches);
        for (auto& b : fr.branches) {
            b.frame = r.u16("branch frame");
            b.probability = r.u16("branch probability");
        }
        const std::size_t overlays = r.count(r.u8("overlay count"), 14, "mouth overlay");
        fr.overlays.resize(overlays);
        for (auto& o : fr.overlays) {
            const std::uint8_t type = r.u8("overlay type");
            if (type >= MouthTypeCount)
                r.fail("frame " + std::to_string(f) + ": unknown mouth overlay type " +
                       std::to_string(type));
            o.type = MouthType(type);
            o.replaceTopImage = r.u8("overlay replace flag") != 0;
            o.image = r.u16("overlay image index");
            o.unknown = r.u8("overlay unknown byte");
            const bool hasRegion = r.u8("overlay region flag") != 0;
            o.x = r.i16("overlay x offset");
            o.y = r.i16("overlay y offset");
            o.width = r.u16("overlay width");
            o.height = r.u16("overlay height");
            if (hasRegion) {
                const std::size_t size = r.u32("overlay region size");
                auto b = r.bytes(size, "overlay region data");
                o.region = QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(size));
            }
        }
    }
    return a;
}

void Reader::readImages(Character& c, Locator loc) {
    ByteReader r = at(loc, "image table");
    const std::size_t n = r.count(r.u32("image count"), 12, "image");
    auto& table = c.d->images;
    table.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        ImageSlot& s = table[i];
        const Locator info = locator(r, "image locator");
        s.entry.checksum = r.u32("image checksum");
        s.fromFile = true;
        ByteReader ir = at(info, "image " + std::to_string(i));
        if (info.size == 1) {
            // A one-byte block: the original engine showed nothing for it.
            s.entry.unknown = ir.u8("image unknown byte");
            warn(c,
                 QStringLiteral("%1: image %2 at offset %3 is a one-byte block; treated as empty")
                     .arg(c.d->sourceName)
                     .arg(i)
                     .arg(QString::fromStdString(hexOffset(info.offset))));
            continue;
        }
        s.entry.unknown = ir.u8("unknown byte");
        s.entry.width = ir.u16("width");
        s.entry.height = ir.u16("height");
        s.compressed = ir.u8("compressed flag") != 0;
        s.dataSize = ir.u32("pixel data size");
        s.dataOffset = ir.offset();
        ir.bytes(s.dataSize, "pixel data");
        if (s.compressed && s.dataSize <= 1 && s.entry.width && s.entry.height) {
            // Too short for any compressed stream: shown as nothing, like a one-byte block.
            s.emptyBlock = true;
            warn(c, QStringLiteral("%1: image %2 at offset %3 has a %4-byte pixel block; treated "
                                   "as fully transparent")
                        .arg(c.d->sourceName)
                        .arg(i)
                        .arg(QString::fromStdString(hexOffset(info.offset)))
                        .arg(s.dataSize));
        }
        const std::size_t needed =
            std::size_t((s.entry.width + 3) & ~3) * std::size_t(s.entry.height);
        if (!s.emptyBlock &&
            (s.compressed ? needed > maxUnpacked(s.dataSize) : needed > s.dataSize))
            ir.failAt(s.dataOffset - 4, std::to_string(s.entry.width) + "x" +
                                            std::to_string(s.entry.height) + " pixels (" +
                                            std::to_string(needed) + " bytes) cannot come from " +
                                            std::to_string(s.dataSize) + " bytes of " +
                                            (s.compressed ? "compressed" : "stored") + " data");
        const std::uint32_t packed = ir.u32("region compressed size");
        const std::uint32_t unpacked = ir.u32("region size");
        s.regionCompressed = packed != 0;
        s.regionUnpacked = unpacked;
        s.regionSize = packed ? packed : unpacked;
        s.regionOffset = ir.offset();
        ir.bytes(s.regionSize, "region data");
        if (packed && unpacked > maxUnpacked(packed))
            ir.failAt(s.regionOffset - 8, "region of " + std::to_string(unpacked) +
                                              " bytes cannot come from " + std::to_string(packed) +
                                              " compressed bytes");
    }
}

void Reader::readSounds(Character& c, Locator loc) {
    ByteReader r = at(loc, "sound table");
    const std::size_t n = r.count(r.u32("sound count"), 12, "sound");
    c.d->sounds.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Locator data = locator(r, "sound locator");
        SoundEntry s;
        s.checksum = r.u32("sound checksum");
        s.data = QByteArray(reinterpret_cast<const char*>(m_file.data() + data.offset),
                            qsizetype(data.size));
        c.d->sounds.push_back(std::move(s));
    }
}

// Every index an animation holds must name something that exists; a file that
// breaks this is scrambled, and refusing it here keeps the engine simple. The
// one exception is a sound index past the sound list (65534 occurs in real
// files): the original engine played nothing there, and so do we.
void Reader::checkReferences(Character& c) const {
    const std::size_t images = c.d->images.size();
    const std::size_t sounds = c.d->sounds.size();
    for (std::size_t a = 0; a < c.animations.size(); ++a) {
        Animation& anim = c.animations[a];
        const std::size_t frames = anim.frames.size();
        auto bad = [&](std::size_t f, const std::string& what) {
            throw FormatError(m_source + ": animation " + std::to_string(a) + " '" +
                              anim.name.toStdString() + "' frame " + std::to_string(f) + ": " +
                              what);
        };
        for (std::size_t f = 0; f < frames; ++f) {
            Frame& fr = anim.frames[f];
            for (const auto& im : fr.images)
                if (im.image >= images)
                    bad(f, "image index " + std::to_string(im.image) + " out of range (" +
                               std::to_string(images) + " images)");
            if (fr.sound != NoSound && fr.sound >= sounds) {
                warn(c, QStringLiteral("%1: animation '%2' frame %3: sound index %4 is past the "
                                       "sound list (%5 sounds); no sound")
                            .arg(c.d->sourceName, anim.name)
                            .arg(f)
                            .arg(fr.sound)
                            .arg(sounds));
                fr.sound = NoSound;
            }
            if (fr.exitFrame >= 0 && std::size_t(fr.exitFrame) >= frames)
                bad(f, "exit frame " + std::to_string(fr.exitFrame) + " out of range (" +
                           std::to_string(frames) + " frames)");
            for (const auto& b : fr.branches)
                if (b.frame >= frames)
                    bad(f, "branch to frame " + std::to_string(b.frame) + " out of range (" +
                               std::to_string(frames) + " frames)");
            for (const auto& o : fr.overlays)
                if (o.image >= images)
                    bad(f, "mouth overlay image index " + std::to_string(o.image) +
                               " out of range (" + std::to_string(images) + " images)");
        }
    }
}

Character Character::fromBytes(QByteArray data, const QString& sourceName) {
    Character c;
    c.d->file = std::move(data);
    c.d->sourceName = sourceName;
    c.d->file.detach(); // the spans below must not follow a later copy-on-write
    Reader(c.d->file, sourceName).read(c);
    return c;
}

Character Character::open(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw FormatError(path.toStdString() + ": cannot open: " + f.errorString().toStdString());
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw FormatError(path.toStdString() + ": cannot read: " + f.errorString().toStdString());
    return fromBytes(std::move(data), path);
}

} // namespace agent::format
