#include "ByteReader.h"
#include "CharacterStore.h"
#include "Compression.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

namespace agent::format {

Q_DECLARE_LOGGING_CATEGORY(lcFormat)

namespace {

// Real files run a few bytes past an image (Angel: 10, zippz: 19, others up
// to about 70); anything much longer is damage, not an authoring tool's habit.
constexpr std::size_t ToleratedExcess = 128;

} // namespace

QString Guid::toString() const {
    const auto& b = bytes;
    return QString::asprintf(
        "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2], b[1],
        b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

std::optional<Guid> Guid::fromString(const QString& text) {
    QString hex = text.trimmed();
    if (hex.startsWith(u'{') && hex.endsWith(u'}'))
        hex = hex.mid(1, hex.size() - 2);
    const QStringList parts = hex.split(u'-');
    if (parts.size() != 5 || parts[0].size() != 8 || parts[1].size() != 4 || parts[2].size() != 4 ||
        parts[3].size() != 4 || parts[4].size() != 12)
        return std::nullopt;
    const QByteArray raw = QByteArray::fromHex(parts.join(QString()).toLatin1());
    if (raw.size() != 16)
        return std::nullopt;
    Guid g;
    const auto* r = reinterpret_cast<const std::uint8_t*>(raw.constData());
    // Data1..3 are little-endian numbers; Data4 is a byte string.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        g.bytes[std::size_t(order[i])] = r[i];
    return g;
}

const MouthOverlay* Frame::overlay(MouthType type) const {
    for (const auto& o : overlays)
        if (o.type == type)
            return &o;
    return nullptr;
}

std::optional<QRegion> parseRegion(const QByteArray& rgnData) {
    if (rgnData.size() < 32)
        return std::nullopt;
    const auto* p = reinterpret_cast<const std::uint8_t*>(rgnData.constData());
    auto u32 = [p](std::size_t at) {
        return std::uint32_t(p[at]) | std::uint32_t(p[at + 1]) << 8 |
               std::uint32_t(p[at + 2]) << 16 | std::uint32_t(p[at + 3]) << 24;
    };
    const std::size_t count = u32(8);
    if (count > (std::size_t(rgnData.size()) - 32) / 16)
        return std::nullopt;
    QList<QRect> rects;
    rects.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 32 + i * 16;
        const auto left = std::int32_t(u32(at)), top = std::int32_t(u32(at + 4));
        const auto right = std::int32_t(u32(at + 8)), bottom = std::int32_t(u32(at + 12));
        if (right > left && bottom > top && right - left < 0x8000 && bottom - top < 0x8000)
            rects.append(QRect(left, top, right - left, bottom - top));
    }
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

QByteArray makeRegionData(const QRegion& region) {
    QByteArray out(32 + 16 * qsizetype(region.rectCount()), '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    auto put = [p](std::size_t at, std::int32_t v) {
        const auto u = std::uint32_t(v);
        p[at] = std::uint8_t(u);
        p[at + 1] = std::uint8_t(u >> 8);
        p[at + 2] = std::uint8_t(u >> 16);
        p[at + 3] = std::uint8_t(u >> 24);
    };
    const QRect bound = region.boundingRect();
    put(0, 32);
    put(4, 1); // rectangles
    put(8, std::int32_t(region.rectCount()));
    put(12, std::int32_t(region.rectCount() * 16));
    put(16, bound.left());
    put(20, bound.top());
    put(24, bound.left() + bound.width());
    put(28, bound.top() + bound.height());
    std::size_t at = 32;
    for (const QRect& r : region) {
        put(at, r.left());
        put(at + 4, r.top());
        put(at + 8, r.left() + r.width());
        put(at + 12, r.top() + r.height());
        at += 16;
    }
    return out;
}

Character::Character() : d(std::make_unique<Store>()) {}
Character::~Character() = default;
Character::Character(Character&&) noexcept = default;
Character& Character::operator=(Character&&) noexcept = default;
Character::Character(const Character& o)
    : minorVersion(o.minorVersion), majorVersion(o.majorVersion), guid(o.guid), width(o.width),
      height(o.height), transparentIndex(o.transparentIndex), flags(o.flags),
      animationSetMajor(o.animationSetMajor), animationSetMinor(o.animationSetMinor),
      voice(o.voice), balloon(o.balloon), palette(o.palette), trayIcon(o.trayIcon),
      states(o.states), locales(o.locales), animations(o.animations),
      d(std::make_unique<Store>(*o.d)) {}
Character& Character::operator=(const Character& o) {
    if (this != &o)
        *this = Character(o);
    return *this;
}

const LocalizedInfo* Character::locale(std::uint16_t langId) const {
    for (const auto& l : locales)
        if (l.langId == langId)
            return &l;
    for (const auto& l : locales)
        if ((l.langId & 0x3FF) == (langId & 0x3FF))
            return &l;
    for (const auto& l : locales)
        if ((l.langId & 0x3FF) == 0x09)
            return &l;
    return locales.empty() ? nullptr : &locales.front();
}

QStringList Character::animationNames() const {
    QStringList names;
    names.reserve(qsizetype(animations.size()));
    for (const auto& a : animations)
        names.append(a.name);
    return names;
}

int Character::animationIndex(const QString& name) const {
    for (std::size_t i = 0; i < animations.size(); ++i)
        if (animations[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const Animation* Character::animation(const QString& name) const {
    const int i = animationIndex(name);
    return i < 0 ? nullptr : &animations[std::size_t(i)];
}

QStringList Character::stateAnimations(const QString& state) const {
    for (const auto& s : states)
        if (s.name.compare(state, Qt::CaseInsensitive) == 0)
            return s.animations;
    return {};
}

std::vector<QRgb> Character::colourTable() const {
    std::vector<QRgb> table(256, qRgba(0, 0, 0, 255));
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i)
        table[i] = palette[i] | 0xFF000000u;
    table[transparentIndex] = 0;
    return table;
}

std::size_t Character::imageCount() const {
    return d->images.size();
}

namespace {
// A template so the private Store type need not be named here.
template <class Store> const ImageSlot& slotAt(const Store& s, std::size_t index) {
    if (index >= s.images.size())
        throw FormatError(s.sourceName.toStdString() + ": image index " + std::to_string(index) +
                          " out of range (" + std::to_string(s.images.size()) + " images)");
    return s.images[index];
}
} // namespace

const ImageEntry& Character::imageEntry(std::size_t index) const {
    return slotAt(*d, index).entry;
}

const Bitmap& Character::bitmap(std::size_t index) const {
    const ImageSlot& s = slotAt(*d, index);
    s.lastUse = ++d->useClock;
    if (s.bitmap)
        return *s.bitmap;
    const std::string what = d->sourceName.toStdString() + ": image " + std::to_string(index) +
                             " at offset " + detail::hexOffset(s.dataOffset);
    Bitmap b;
    b.width = s.entry.width;
    b.height = s.entry.height;
    b.pixels.resize(std::size_t(b.stride()) * b.height);
    const auto* file = reinterpret_cast<const std::uint8_t*>(d->file.constData());
    if (b.pixels.empty()) {
        // nothing to decode (an empty or one-byte image)
    } else if (s.emptyBlock) {
        std::fill(b.pixels.begin(), b.pixels.end(), transparentIndex);
    } else if (s.compressed) {
        const DecompressResult r =
            decompress({file + s.dataOffset, s.dataSize}, b.pixels, what, ToleratedExcess);
        if (r.written < b.pixels.size())
            throw FormatError(what +
                              ": compressed stream ends early: " + std::to_string(r.written) +
                              " of " + std::to_string(b.pixels.size()) + " bytes");
        auto warn = [&](const QString& text) {
            d->warnings.append(text);
            qCWarning(lcFormat).noquote() << text;
        };
        if (r.excess)
            warn(QString::fromStdString(what) +
                 QStringLiteral(": compressed stream decodes %1 bytes past the image; dropped")
                     .arg(r.excess));
        if (r.beforeStart)
            warn(QString::fromStdString(what) +
                 QStringLiteral(": compressed stream copies %1 bytes from before its start; "
                                "read as 0")
                     .arg(r.beforeStart));
    } else {
        std::memcpy(b.pixels.data(), file + s.dataOffset, b.pixels.size());
    }
    d->cachedBytes += b.pixels.size();
    s.bitmap = std::move(b);
    return *s.bitmap;
}

const QByteArray& Character::regionData(std::size_t index) const {
    const ImageSlot& s = slotAt(*d, index);
    if (s.region)
        return *s.region;
    QByteArray region;
    const auto* file = reinterpret_cast<const std::uint8_t*>(d->file.constData());
    if (!s.regionCompressed) {
        region = QByteArray(reinterpret_cast<const char*>(file + s.regionOffset),
                            qsizetype(s.regionSize));
    } else {
        const std::string what = d->sourceName.toStdString() + ": region of image " +
                                 std::to_string(index) + " at offset " +
                                 detail::hexOffset(s.regionOffset);
        region = QByteArray(qsizetype(s.regionUnpacked), '\0');
        auto* out = reinterpret_cast<std::uint8_t*>(region.data());
        const DecompressResult r = decompress({file + s.regionOffset, s.regionSize},
                                              {out, s.regionUnpacked}, what, ToleratedExcess);
        if (r.written < s.regionUnpacked)
            throw FormatError(what +
                              ": compressed stream ends early: " + std::to_string(r.written) +
                              " of " + std::to_string(s.regionUnpacked) + " bytes");
        if (r.excess || r.beforeStart) {
            const QString text = QString::fromStdString(what) +
                                 QStringLiteral(": compressed stream runs %1 bytes long and "
                                                "copies %2 bytes from before its start")
                                     .arg(r.excess)
                                     .arg(r.beforeStart);
            d->warnings.append(text);
            qCWarning(lcFormat).noquote() << text;
        }
    }
    s.region = std::move(region);
    return *s.region;
}

std::size_t Character::addImage(Bitmap bitmap, QByteArray regionData, std::uint8_t unknown) {
    if (bitmap.pixels.size() != std::size_t(bitmap.stride()) * bitmap.height)
        throw FormatError(d->sourceName.toStdString() + ": added image has " +
                          std::to_string(bitmap.pixels.size()) + " bytes of pixels, " +
                          std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height) +
                          " needs " + std::to_string(std::size_t(bitmap.stride()) * bitmap.height));
    ImageSlot s;
    s.entry.unknown = unknown;
    s.entry.width = bitmap.width;
    s.entry.height = bitmap.height;
    s.bitmap = std::move(bitmap);
    s.region = std::move(regionData);
    d->images.push_back(std::move(s));
    return d->images.size() - 1;
}

void Character::clearImageCache() const {
    for (auto& s : d->images) {
        if (s.fromFile) {
            s.bitmap.reset();
            s.region.reset();
        }
    }
    d->cachedBytes = 0;
}

void Character::trimImageCache(std::size_t maxBytes) const {
    if (d->cachedBytes <= maxBytes)
        return;
    std::vector<ImageSlot*> cached;
    for (auto& s : d->images)
        if (s.fromFile && s.bitmap)
            cached.push_back(&s);
    std::sort(cached.begin(), cached.end(),
              [](const ImageSlot* a, const ImageSlot* b) { return a->lastUse < b->lastUse; });
    // Trim to three quarters, so a frame or two later the sort is not needed again.
    for (ImageSlot* s : cached) {
        if (d->cachedBytes <= maxBytes / 4 * 3)
            break;
        d->cachedBytes -= s->bitmap->pixels.size();
        s->bitmap.reset();
    }
}

std::size_t Character::cachedImageBytes() const {
    return d->cachedBytes;
}

std::size_t Character::soundCount() const {
    return d->sounds.size();
}

const SoundEntry& Character::sound(std::size_t index) const {
    if (index >= d->sounds.size())
        throw FormatError(d->sourceName.toStdString() + ": sound index " + std::to_string(index) +
                          " out of range (" + std::to_string(d->sounds.size()) + " sounds)");
    return d->sounds[index];
}

Pcm Character::soundPcm(std::size_t index) const {
    DecodedSound decoded = decodeSoundTolerant(sound(index).data);
    d->soundsReported.resize(d->sounds.size());
    if (!d->soundsReported[index]) {
        d->soundsReported[index] = true;
        for (const QString& repair : decoded.repairs) {
            const QString text =
                QStringLiteral("%1: sound %2: %3").arg(d->sourceName).arg(index).arg(repair);
            d->warnings.append(text);
            qCWarning(lcFormat).noquote() << text;
        }
    }
    return std::move(decoded.pcm);
}

std::size_t Character::addSound(QByteArray riffWav, std::uint32_t checksum) {
    d->sounds.push_back(SoundEntry{std::move(riffWav), checksum});
    return d->sounds.size() - 1;
}

const QStringList& Character::warnings() const {
    return d->warnings;
}
QString Character::sourceName() const {
    return d->sourceName;
}

bool Character::operator==(const Character& o) const {
    if (!(minorVersion == o.minorVersion && majorVersion == o.majorVersion && guid == o.guid &&
          width == o.width && height == o.height && transparentIndex == o.transparentIndex &&
          flags == o.flags && animationSetMajor == o.animationSetMajor &&
          animationSetMinor == o.animationSetMinor && voice == o.voice && balloon == o.balloon &&
          palette == o.palette && trayIcon == o.trayIcon && states == o.states &&
          locales == o.locales && animations == o.animations))
        return false;
    if (imageCount() != o.imageCount() || soundCount() != o.soundCount())
        return false;
    for (std::size_t i = 0; i < imageCount(); ++i) {
        const ImageEntry &a = imageEntry(i), &b = o.imageEntry(i);
        if (a.unknown != b.unknown || a.width != b.width || a.height != b.height ||
            a.checksum != b.checksum || bitmap(i) != o.bitmap(i) ||
            regionData(i) != o.regionData(i))
            return false;
    }
    for (std::size_t i = 0; i < soundCount(); ++i)
        if (sound(i).data != o.sound(i).data || sound(i).checksum != o.sound(i).checksum)
            return false;
    return true;
}

} // namespace agent::format
