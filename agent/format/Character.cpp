#include "ByteReader.h"
#include "CharacterStore.h"
#include "Compression.h"
#include "Limits.h"

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

std::optional<QRegion> parseRegion(const QByteArray& rgnData, QSize imageSize, QString* why) {
    auto refuse = [why](const QString& reason) -> std::optional<QRegion> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (rgnData.size() < 32)
        return refuse(
            QStringLiteral("%1 bytes cannot hold its 32-byte header").arg(rgnData.size()));
    const auto* p = reinterpret_cast<const std::uint8_t*>(rgnData.constData());
    auto u32 = [p](std::size_t at) {
        return std::uint32_t(p[at]) | std::uint32_t(p[at + 1]) << 8 |
               std::uint32_t(p[at + 2]) << 16 | std::uint32_t(p[at + 3]) << 24;
    };
    // Coordinates are signed 32-bit; all arithmetic on them is 64-bit.
    auto s32 = [&u32](std::size_t at) { return std::int64_t(std::int32_t(u32(at))); };
    const std::size_t count = u32(8);
    if (count > (std::size_t(rgnData.size()) - 32) / 16)
        return refuse(
            QStringLiteral("%1 rectangles cannot fit in %2 bytes").arg(count).arg(rgnData.size()));
    const std::int64_t width = std::max(0, imageSize.width()),
                       height = std::max(0, imageSize.height());
    QList<QRect> rects;
    rects.reserve(qsizetype(count));
    std::int64_t bandTop = INT64_MIN, bandBottom = INT64_MIN, lastRight = INT64_MIN;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 32 + i * 16;
        const std::int64_t left = s32(at), top = s32(at + 4), right = s32(at + 8),
                           bottom = s32(at + 12);
        if (right <= left || bottom <= top)
            continue; // covers nothing
        if (top == bandTop && bottom == bandBottom) {
            if (left <= lastRight)
                return refuse(
                    QStringLiteral("rectangle %1 overlaps or touches the one before it").arg(i));
        } else if (top < bandBottom) {
            return refuse(QStringLiteral("rectangle %1 (rows %2 to %3) is out of order after "
                                         "rows %4 to %5")
                              .arg(i)
                              .arg(top)
                              .arg(bottom)
                              .arg(bandTop)
                              .arg(bandBottom));
        } else {
            bandTop = top;
            bandBottom = bottom;
        }
        lastRight = right;
        // Clipping keeps the order: a band clips as a whole, gaps stay gaps.
        const std::int64_t l = std::clamp<std::int64_t>(left, 0, width),
                           r = std::clamp<std::int64_t>(right, 0, width),
                           t = std::clamp<std::int64_t>(top, 0, height),
                           b = std::clamp<std::int64_t>(bottom, 0, height);
        if (r > l && b > t)
            rects.append(QRect(int(l), int(t), int(r - l), int(b - t)));
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

void Character::Store::warn(const QString& text) {
    warnings.append(text);
    qCWarning(lcFormat).noquote() << text;
}

QByteArray sharedSlice(const QByteArray& whole, std::size_t offset, std::size_t size) {
    QByteArray shared = whole; // data_ptr() is not const; neither call detaches
    QByteArray::DataPointer slice = shared.data_ptr();
    slice.ptr += offset;
    slice.size = qsizetype(size);
    return QByteArray(std::move(slice));
}

namespace {

// Templates so the private Store type need not be named here.
template <class Store> void checkIndex(const Store& s, std::size_t index) {
    if (index >= s.images.size())
        throw FormatError(s.sourceName.toStdString() + ": image index " + std::to_string(index) +
                          " out of range (" + std::to_string(s.images.size()) + " images)");
}

// The slot that holds the image's data: its own, or the first entry with the same block.
template <class Store> ImageSlot& dataSlot(Store& s, std::size_t index) {
    checkIndex(s, index);
    ImageSlot& slot = s.images[s.images[index].sameAs];
    slot.lastUse = ++s.useClock;
    return slot;
}

// Drops the least recently used decoded images from the file, never `keep`,
// until the cache holds at most maxBytes (three quarters of it, so the sort is rare).
template <class Store> void trimTo(Store& s, std::size_t maxBytes, const ImageSlot* keep) {
    if (s.cachedBytes <= maxBytes)
        return;
    std::vector<ImageSlot*> cached;
    for (auto& slot : s.images)
        if (slot.fromFile && &slot != keep &&
            (slot.bitmap || (slot.regionCompressed && slot.region)))
            cached.push_back(&slot);
    std::sort(cached.begin(), cached.end(),
              [](const ImageSlot* a, const ImageSlot* b) { return a->lastUse < b->lastUse; });
    for (ImageSlot* slot : cached) {
        if (s.cachedBytes <= maxBytes / 4 * 3)
            break;
        if (slot->bitmap) {
            s.cachedBytes -= slot->bitmap->pixels.size();
            slot->bitmap.reset();
        }
        if (slot->regionCompressed && slot->region) {
            s.cachedBytes -= std::size_t(slot->region->size());
            slot->region.reset();
        }
    }
}

template <class Store> void cacheAdd(Store& s, const ImageSlot& slot, std::size_t bytes) {
    if (s.cachedBytes + bytes > s.cacheLimit)
        trimTo(s, s.cacheLimit > bytes ? s.cacheLimit - bytes : 0, &slot);
    s.cachedBytes += bytes;
}

} // namespace

const ImageEntry& Character::imageEntry(std::size_t index) const {
    checkIndex(*d, index);
    return d->images[index].entry;
}

std::shared_ptr<const Bitmap> Character::usableBitmap(std::size_t index) const {
    ImageSlot& s = dataSlot(*d, index);
    if (s.bitmap || !s.unusable.empty())
        return s.bitmap;
    const std::string what = d->sourceName.toStdString() + ": image " + std::to_string(index) +
                             " at offset " + detail::hexOffset(s.dataOffset);
    const std::size_t size = limits::imageBytes(s.entry.width, s.entry.height);
    auto b = std::make_shared<Bitmap>();
    b->width = s.entry.width;
    b->height = s.entry.height;
    const auto* file = reinterpret_cast<const std::uint8_t*>(d->file.constData());
    if (size == 0) {
        // nothing to decode (an empty or one-byte image)
    } else if (s.emptyBlock) {
        b->pixels.assign(size, transparentIndex);
    } else if (s.compressed) {
        // Not zero-filled first: decompress writes every byte or fails, and a
        // stream that fails early costs only what it wrote.
        std::uint8_t* buffer = d->scratch.get(size);
        DecompressResult r;
        try {
            r = decompress({file + s.dataOffset, s.dataSize}, {buffer, size}, what,
                           ToleratedExcess);
            if (r.written < size)
                throw FormatError(what +
                                  ": compressed stream ends early: " + std::to_string(r.written) +
                                  " of " + std::to_string(size) + " bytes");
        } catch (const FormatError& e) {
            s.unusable = e.what();
            d->warn(QString::fromStdString(s.unusable) +
                    QStringLiteral("; frames are drawn without it"));
            return nullptr;
        }
        b->pixels.assign(buffer, buffer + size);
        if (!s.repairsReported) {
            s.repairsReported = true;
            if (r.excess)
                d->warn(QString::fromStdString(what) +
                        QStringLiteral(": compressed stream decodes %1 bytes past the image; "
                                       "dropped")
                            .arg(r.excess));
            if (r.beforeStart)
                d->warn(QString::fromStdString(what) +
                        QStringLiteral(": compressed stream copies %1 bytes from before its "
                                       "start; read as 0")
                            .arg(r.beforeStart));
        }
    } else {
        b->pixels.assign(file + s.dataOffset, file + s.dataOffset + size);
    }
    if (s.fromFile)
        cacheAdd(*d, s, size);
    s.bitmap = std::move(b);
    return s.bitmap;
}

const Bitmap& Character::bitmap(std::size_t index) const {
    if (const std::shared_ptr<const Bitmap> b = usableBitmap(index))
        return *b; // the slot keeps it alive
    throw FormatError(d->images[d->images[index].sameAs].unusable);
}

const QByteArray& Character::regionData(std::size_t index) const {
    ImageSlot& s = dataSlot(*d, index);
    if (s.region)
        return *s.region;
    if (!s.regionUnusable.empty())
        throw FormatError(s.regionUnusable);
    if (!s.regionCompressed) {
        s.region = sharedSlice(d->file, s.regionOffset, s.regionSize);
        return *s.region;
    }
    const std::string what = d->sourceName.toStdString() + ": region of image " +
                             std::to_string(index) + " at offset " +
                             detail::hexOffset(s.regionOffset);
    QByteArray region(qsizetype(s.regionUnpacked), Qt::Uninitialized);
    const auto* file = reinterpret_cast<const std::uint8_t*>(d->file.constData());
    auto* out = reinterpret_cast<std::uint8_t*>(region.data());
    DecompressResult r;
    try {
        r = decompress({file + s.regionOffset, s.regionSize}, {out, s.regionUnpacked}, what,
                       ToleratedExcess);
        if (r.written < s.regionUnpacked)
            throw FormatError(what +
                              ": compressed stream ends early: " + std::to_string(r.written) +
                              " of " + std::to_string(s.regionUnpacked) + " bytes");
    } catch (const FormatError& e) {
        s.regionUnusable = e.what();
        throw;
    }
    if ((r.excess || r.beforeStart) && !s.regionWarned) {
        s.regionWarned = true;
        d->warn(QString::fromStdString(what) +
                QStringLiteral(": compressed stream runs %1 bytes long and copies %2 bytes from "
                               "before its start")
                    .arg(r.excess)
                    .arg(r.beforeStart));
    }
    cacheAdd(*d, s, s.regionUnpacked);
    s.region = std::move(region);
    return *s.region;
}

std::optional<QRegion> Character::usableRegion(std::size_t index) const {
    checkIndex(*d, index);
    ImageSlot& s = d->images[d->images[index].sameAs];
    if (!s.regionUnusable.empty() && s.regionWarned)
        return std::nullopt;
    QString why;
    std::optional<QRegion> region;
    try {
        const QByteArray& bytes = regionData(index);
        if (bytes.isEmpty())
            return std::nullopt;
        region = parseRegion(bytes, QSize(s.entry.width, s.entry.height), &why);
        if (!region)
            s.regionUnusable = d->sourceName.toStdString() + ": region of image " +
                               std::to_string(index) + ": " + why.toStdString();
    } catch (const FormatError&) {
        // regionData() has recorded why
    }
    if (!region && !s.regionWarned) {
        s.regionWarned = true;
        d->warn(QString::fromStdString(s.regionUnusable) +
                QStringLiteral("; the window shape comes from its pixels"));
    }
    return region;
}

std::size_t Character::addImage(Bitmap bitmap, QByteArray regionData, std::uint8_t unknown) {
    if (bitmap.pixels.size() != limits::imageBytes(bitmap.width, bitmap.height))
        throw FormatError(d->sourceName.toStdString() + ": added image has " +
                          std::to_string(bitmap.pixels.size()) + " bytes of pixels, " +
                          std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height) +
                          " needs " +
                          std::to_string(limits::imageBytes(bitmap.width, bitmap.height)));
    ImageSlot s;
    s.sameAs = d->images.size();
    s.entry.unknown = unknown;
    s.entry.width = bitmap.width;
    s.entry.height = bitmap.height;
    s.bitmap = std::make_shared<const Bitmap>(std::move(bitmap));
    s.region = std::move(regionData);
    d->images.push_back(std::move(s));
    return d->images.size() - 1;
}

void Character::clearImageCache() const {
    trimTo(*d, 0, nullptr);
}

void Character::trimImageCache(std::size_t maxBytes) const {
    trimTo(*d, maxBytes, nullptr);
}

std::size_t Character::cachedImageBytes() const {
    return d->cachedBytes;
}

std::size_t Character::imageCacheLimit() const {
    return d->cacheLimit;
}

void Character::setImageCacheLimit(std::size_t maxBytes) const {
    d->cacheLimit = maxBytes;
    trimTo(*d, maxBytes, nullptr);
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
        for (const QString& repair : decoded.repairs)
            d->warn(QStringLiteral("%1: sound %2: %3").arg(d->sourceName).arg(index).arg(repair));
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
