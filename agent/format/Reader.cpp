// Reads a character file's tables top to bottom: header, character info,
// locales, animations, image table, sound table. Pixels stay in the file until
// Character::bitmap() asks for them.

#include "ByteReader.h"
#include "CharacterStore.h"
#include "Compositor.h"
#include "CompoundDocument.h"
#include "Limits.h"
#include "OlderReader.h"

#include <QFile>
#include <QLoggingCategory>

#include <cstring>
#include <unordered_map>

namespace agent::format {

using detail::ByteReader;
using detail::hexOffset;

// Off by default like the engine's other categories: QT_LOGGING_RULES="agent.format=true".
Q_LOGGING_CATEGORY(lcFormat, "agent.format", QtCriticalMsg)

class Reader {
  public:
    Reader(const QByteArray& data, const QString& source)
        : m_bytes(data),
          m_file(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())),
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
    void warn(Character& c, const QString& text) const { c.d->warn(text); }
    // The bytes `b` (a span of m_file) as a QByteArray sharing the file's buffer.
    QByteArray slice(std::span<const std::uint8_t> b) const {
        return sharedSlice(m_bytes, std::size_t(b.data() - m_file.data()), b.size());
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
    void boundFrames(Character& c) const;

    const QByteArray& m_bytes;
    std::span<const std::uint8_t> m_file;
    std::string m_source;
};

namespace {

constexpr std::uint32_t Signature = 0xABCDABC3;

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

// Compressed pixels can grow at most 4096 bytes per 31 bits of stream (a back
// reference with a 6-bit distance and the longest length; the 20-bit distance
// gives 4097 per 47 bits); an image claiming more cannot be genuine, and must
// not make us allocate for it.
std::size_t maxUnpacked(std::size_t packed) {
    return (packed * 8 / 31 + 1) * 4097;
}

} // namespace

void Reader::read(Character& c) {
    if (isCompoundDocument(m_bytes)) { // the older generation: its own reader, the same model
        QStringList warnings;
        readOlderCharacter(m_bytes, m_source, c, &warnings);
        for (const QString& w : warnings)
            warn(c, w);
        checkReferences(c);
        boundFrames(c);
        return;
    }
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
    boundFrames(c);
}

void Reader::readCharacterInfo(Character& c, Locator loc) {
    ByteReader r = at(loc, "character info");
    c.minorVersion = r.u16("minor version");
    c.majorVersion = r.u16("major version");
    const Locator locales = locator(r, "localized info locator");
    c.guid = readGuid(r, "GUID");
    c.width = r.u16("width");
    c.height = r.u16("height");
    if (std::size_t(c.width) * c.height > limits::MaxFramePixels)
        r.failAt(r.offset() - 4, "frame size " + std::to_string(c.width) + "x" +
                                     std::to_string(c.height) + " is implausibly large (more " +
                                     "than " + std::to_string(limits::MaxFramePixels) + " pixels)");
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
        icon.monochrome =
            slice(r.bytes(r.u32("tray icon monochrome size"), "tray icon monochrome bitmap"));
        icon.colour = slice(r.bytes(r.u32("tray icon colour size"), "tray icon colour bitmap"));
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
    // Blocks that overlap would be read, and held, once per table entry.
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const QString name = r.string("animation name");
        const std::size_t where = r.offset();
        const Locator info = locator(r, "animation locator");
        total += info.size;
        if (total > m_file.size())
            r.failAt(where, "animation " + std::to_string(i) + "'s block takes the animations' " +
                                "blocks to " + std::to_string(total) +
                                " bytes, more than the file's " + std::to_string(m_file.size()) +
                                ": they overlap");
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
                o.region = slice(r.bytes(r.u32("overlay region size"), "overlay region data"));
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
    // Entries that share a block share one slot; distinct blocks may not add up
    // to more than the file, or overlapping ones could multiply what decodes.
    std::unordered_map<std::uint64_t, std::size_t> blocks;
    std::size_t total = 0;
    auto where = [&](std::size_t i, Locator info) {
        return QStringLiteral("%1: image %2 at offset %3")
            .arg(c.d->sourceName)
            .arg(i)
            .arg(QString::fromStdString(hexOffset(info.offset)));
    };
    for (std::size_t i = 0; i < n; ++i) {
        ImageSlot& s = table[i];
        const std::size_t entryAt = r.offset();
        const Locator info = locator(r, "image locator");
        s.entry.checksum = r.u32("image checksum");
        s.fromFile = true;
        s.sameAs = i;
        const auto [first, added] =
            blocks.try_emplace(std::uint64_t(info.offset) << 32 | info.size, i);
        if (!added) {
            const std::uint32_t checksum = s.entry.checksum;
            s = table[first->second];
            s.entry.checksum = checksum;
            continue;
        }
        total += info.size;
        if (total > m_file.size())
            r.failAt(entryAt, "image " + std::to_string(i) + "'s block takes the images' blocks " +
                                  "to " + std::to_string(total) + " bytes, more than the file's " +
                                  std::to_string(m_file.size()) + ": they overlap");
        ByteReader ir = at(info, "image " + std::to_string(i));
        if (info.size == 1) {
            // A one-byte block: the original engine showed nothing for it.
            s.entry.unknown = ir.u8("image unknown byte");
            warn(c, where(i, info) + QStringLiteral(" is a one-byte block; treated as empty"));
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
            warn(c, where(i, info) + QStringLiteral(" has a %1-byte pixel block; treated as fully "
                                                    "transparent")
                                         .arg(s.dataSize));
        }
        const std::size_t needed = limits::imageBytes(s.entry.width, s.entry.height);
        if (!s.emptyBlock &&
            (s.compressed ? needed > maxUnpacked(s.dataSize) : needed > s.dataSize))
            ir.failAt(s.dataOffset - 4, std::to_string(s.entry.width) + "x" +
                                            std::to_string(s.entry.height) + " pixels (" +
                                            std::to_string(needed) + " bytes) cannot come from " +
                                            std::to_string(s.dataSize) + " bytes of " +
                                            (s.compressed ? "compressed" : "stored") + " data");
        if (needed > limits::maxImageBytes(c.width, c.height)) {
            s.unusable = where(i, info).toStdString() + ": " + std::to_string(s.entry.width) + "x" +
                         std::to_string(s.entry.height) + " is more than " +
                         std::to_string(limits::maxImageBytes(c.width, c.height)) +
                         " bytes of pixels, four times what a " + std::to_string(c.width) + "x" +
                         std::to_string(c.height) + " frame shows";
            warn(c, QString::fromStdString(s.unusable) +
                        QStringLiteral("; frames are drawn without it"));
        }
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
        if (packed && unpacked > limits::maxRegionBytes(s.entry.width, s.entry.height)) {
            s.regionUnusable = where(i, info).toStdString() + ": region of " +
                               std::to_string(unpacked) + " bytes is more than a " +
                               std::to_string(s.entry.width) + "x" +
                               std::to_string(s.entry.height) + " image can have";
            s.regionWarned = true;
            warn(c, QString::fromStdString(s.regionUnusable) +
                        QStringLiteral("; the window shape comes from its pixels"));
        }
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
        s.data = sharedSlice(m_bytes, data.offset, data.size);
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

// A frame that composes more images, or more pixels, than any real frame does
// keeps only its top images that fit (see drawableImages()), so composing it
// stays cheap whatever the file says.
void Reader::boundFrames(Character& c) const {
    for (Animation& anim : c.animations) {
        std::size_t cut = 0, first = 0;
        for (std::size_t f = 0; f < anim.frames.size(); ++f) {
            Frame& fr = anim.frames[f];
            const std::size_t keep = drawableImages(c, fr);
            if (keep == fr.images.size())
                continue;
            if (!cut++)
                first = f;
            fr.images.resize(keep);
        }
        if (cut)
            warn(c, QStringLiteral("%1: animation '%2': %3 of its frames (the first: frame %4) "
                                   "have more images than a frame may draw (%5, holding at most "
                                   "%6 bytes of pixels); each keeps its top images that fit")
                        .arg(c.d->sourceName, anim.name)
                        .arg(cut)
                        .arg(first)
                        .arg(limits::MaxFrameImages)
                        .arg(limits::maxFrameBytes(c.width, c.height)));
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
