#pragma once

// The in-memory model of a character file (signature C3 AB CD AB).
//
// Character::open() reads the tables only (header, character info, locales,
// states, animations, image and sound tables); image pixels are decompressed on
// first use and cached. The same class is the writer's input, so a character
// can also be assembled in memory (see Writer.h and tools/acstool build).
//
// Everything here runs on one thread (the GUI thread); nothing is locked.

#include "FormatError.h"
#include "Sound.h"

#include <QByteArray>
#include <QRegion>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace agent::format {

// Character flags (the voice / balloon blocks are present exactly when the
// "on" bit is set).
enum CharacterFlag : std::uint32_t {
    VoiceOff = 0x10,
    VoiceOn = 0x20,
    BalloonOff = 0x100,
    BalloonOn = 0x200,
    BalloonSizeToText = 0x10000,
    BalloonAutoHideOff = 0x20000,
    BalloonAutoPaceOff = 0x40000,
    StandardAnimationSet = 0x100000,
};

struct Guid {
    std::array<std::uint8_t, 16> bytes{}; // as stored (Data1..3 little-endian)
    QString toString() const;             // "{C3B28D02-B254-11D0-B464-0080C7F5EE85}"
    static std::optional<Guid> fromString(const QString& text);
    bool operator==(const Guid&) const = default;
};

struct LocalizedInfo {
    std::uint16_t langId = 0;
    QString name;
    QString description;
    QString extraData;
    bool operator==(const LocalizedInfo&) const = default;
};

struct VoiceInfo {
    Guid engine;
    Guid mode;
    std::uint32_t speed = 0;
    std::uint16_t pitch = 0;
    // The rest is present in the file only when hasExtra is set.
    bool hasExtra = false;
    std::uint16_t langId = 0;
    QString dialect;
    std::uint16_t gender = 0;
    std::uint16_t age = 0;
    QString style;
    bool operator==(const VoiceInfo&) const = default;
};

struct BalloonInfo {
    std::uint8_t lines = 0;
    std::uint8_t charsPerLine = 0;
    QRgb foreground = 0; // opaque qRgb()
    QRgb background = 0;
    QRgb border = 0;
    QString fontName;
    std::int32_t fontHeight = 0; // logical units; negative = character height
    std::int32_t fontWeight = 0; // 400 normal, 700 bold
    bool italic = false;
    std::uint8_t fontFlags = 0; // observed 0; kept for round trips
    bool operator==(const BalloonInfo&) const = default;
};

// The tray icon as stored: two packed DIBs (BITMAPINFOHEADER, colour table,
// one pixel array, height not doubled), the 1-bit AND mask and the colour
// image of the same size. decodeTrayIcon() (TrayIcon.h) makes a picture of them.
struct TrayIcon {
    QByteArray monochrome;
    QByteArray colour;
    bool operator==(const TrayIcon&) const = default;
};

struct State {
    QString name;
    QStringList animations;
    bool operator==(const State&) const = default;
};

enum class Transition : std::uint8_t { ReturnAnimation = 0, ExitBranches = 1, None = 2 };

enum class MouthType : std::uint8_t {
    Closed = 0,
    Wide1 = 1,
    Wide2 = 2,
    Wide3 = 3,
    Wide4 = 4,
    Medium = 5,
    Narrow = 6,
};
inline constexpr int MouthTypeCount = 7;

struct FrameImage {
    std::uint32_t image = 0; // index into Character::images()
    std::int16_t x = 0;      // offset from the frame's top left
    std::int16_t y = 0;
    bool operator==(const FrameImage&) const = default;
};

struct Branch {
    std::uint16_t frame = 0;       // 0-based target frame
    std::uint16_t probability = 0; // percent
    bool operator==(const Branch&) const = default;
};

struct MouthOverlay {
    MouthType type = MouthType::Closed;
    bool replaceTopImage = false; // else drawn over the frame's top image
    std::uint16_t image = 0;      // index into Character::images()
    std::uint8_t unknown = 0;
    std::int16_t x = 0; // offset of the overlay image in the frame
    std::int16_t y = 0;
    std::uint16_t width = 0; // in real files: centre of the mouth region
    std::uint16_t height = 0;
    std::optional<QByteArray> region; // raw RGNDATA when present
    bool operator==(const MouthOverlay&) const = default;
};

inline constexpr std::uint16_t NoSound = 0xFFFF;

struct Frame {
    std::vector<FrameImage> images; // drawn last to first (images[0] on top)
    std::uint16_t sound = NoSound;  // index into Character::sounds() or NoSound
    std::uint16_t duration = 0;     // 1/100 s
    std::int16_t exitFrame = -1;    // negative: no exit branch
    std::vector<Branch> branches;
    std::vector<MouthOverlay> overlays;

    const MouthOverlay* overlay(MouthType type) const; // nullptr when absent
    bool operator==(const Frame&) const = default;
};

struct Animation {
    QString name;       // as listed in the animation table (original case)
    QString storedName; // as stored with the animation; builders set name.toUpper()
    Transition transition = Transition::None;
    QString returnAnimation;
    std::vector<Frame> frames;
    bool operator==(const Animation&) const = default;
};

// One decoded image: 8-bit palette indices, rows bottom-up, each padded to a
// multiple of 4 bytes, exactly as stored in the file.
struct Bitmap {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint8_t> pixels; // stride() * height bytes; empty for an empty image

    int stride() const { return (width + 3) & ~3; }
    // Row y counted from the top.
    const std::uint8_t* scanLine(int y) const {
        return pixels.data() + std::size_t(height - 1 - y) * std::size_t(stride());
    }
    std::uint8_t* scanLine(int y) {
        return pixels.data() + std::size_t(height - 1 - y) * std::size_t(stride());
    }
    bool isEmpty() const { return pixels.empty(); }
    bool operator==(const Bitmap&) const = default;
};

// An image table entry. Its pixels are decoded lazily through Character::bitmap().
struct ImageEntry {
    std::uint8_t unknown = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t checksum = 0; // the table's second field; kept for round trips
};

struct SoundEntry {
    QByteArray data; // a complete RIFF WAV file (shares the file's buffer)
    std::uint32_t checksum = 0;
};

// Parses RGNDATA into a region in image coordinates (top-down), clipped to an
// image of `imageSize`. The header's own size field is unreliable, so the
// rectangle count alone is trusted. The rectangles must be banded as every
// real region is (sorted by top, then left; one height per top; apart within
// a band): anything else is damage, refused in linear time with the reason
// in *why, rather than handed to QRegion, which assumes that order.
std::optional<QRegion> parseRegion(const QByteArray& rgnData, QSize imageSize,
                                   QString* why = nullptr);
QByteArray makeRegionData(const QRegion& region);

class Character {
  public:
    Character();
    ~Character();
    Character(Character&&) noexcept;
    Character& operator=(Character&&) noexcept;
    Character(const Character&);
    Character& operator=(const Character&);

    // Reads the tables; throws FormatError naming the file, structure and offset.
    static Character open(const QString& path);
    // sourceName is used in messages only.
    static Character fromBytes(QByteArray data, const QString& sourceName);

    // --- character info (public so builders and tests can fill it) ---
    std::uint16_t minorVersion = 1;
    std::uint16_t majorVersion = 2;
    Guid guid;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t transparentIndex = 0;
    std::uint32_t flags = 0;
    std::uint16_t animationSetMajor = 2;
    std::uint16_t animationSetMinor = 0;
    std::optional<VoiceInfo> voice;     // present iff flags & VoiceOn
    std::optional<BalloonInfo> balloon; // present iff flags & BalloonOn
    std::vector<QRgb> palette;          // opaque colours, as stored
    std::optional<TrayIcon> trayIcon;
    std::vector<State> states;
    std::vector<LocalizedInfo> locales;
    std::vector<Animation> animations; // file order

    QSize size() const { return QSize(width, height); }
    // The locale matching langId, else its primary language, else English, else the first.
    const LocalizedInfo* locale(std::uint16_t langId = 0x0409) const;
    QStringList animationNames() const;                      // file order
    const Animation* animation(const QString& name) const;   // case-insensitive; nullptr if absent
    int animationIndex(const QString& name) const;           // case-insensitive; -1 if absent
    QStringList stateAnimations(const QString& state) const; // case-insensitive state name
    // Palette as ARGB with the transparent index at alpha 0.
    std::vector<QRgb> colourTable() const;

    // --- images ---
    // Table entries that share one block in the file share its decoded pixels
    // and region. Decoded images from the file are cached up to
    // imageCacheLimit() bytes (pixels and decompressed regions together); past
    // it the least recently used are dropped, and decoded again when asked for.
    std::size_t imageCount() const;
    const ImageEntry& imageEntry(std::size_t index) const;
    // Decodes on first use and caches; throws FormatError if the image is
    // unusable (a bad stream, a size beyond limits::maxImageBytes). Tolerated
    // faults add to warnings(). The reference stays valid until the next call
    // that decodes an image, clearImageCache(), trimImageCache() or the
    // Character's destruction (moving it keeps it valid).
    const Bitmap& bitmap(std::size_t index) const;
    // The same pixels for drawing: nullptr when the image is unusable. Never
    // throws for an index in range. The first failure adds one warning (also
    // logged) and is remembered: an unusable image is never decoded again.
    std::shared_ptr<const Bitmap> usableBitmap(std::size_t index) const;
    // The image's raw RGNDATA (decompressed on first use); empty when absent.
    // Throws FormatError if it cannot be decompressed. Valid like bitmap().
    const QByteArray& regionData(std::size_t index) const;
    // The region for a window shape, clipped to the image: nullopt when the
    // image has none or it is damaged. Never throws for an index in range; the
    // first damage adds one warning, and the shape then comes from the pixels.
    std::optional<QRegion> usableRegion(std::size_t index) const;
    // Appends an in-memory image; returns its index.
    std::size_t addImage(Bitmap bitmap, QByteArray regionData = {}, std::uint8_t unknown = 0);
    // Drops every cached decoded image that came from the file.
    void clearImageCache() const;
    // Drops the least recently used decoded images from the file until they
    // take at most maxBytes; references from bitmap() to them end.
    void trimImageCache(std::size_t maxBytes) const;
    std::size_t cachedImageBytes() const;
    std::size_t imageCacheLimit() const;
    void setImageCacheLimit(std::size_t maxBytes) const;

    // --- sounds ---
    std::size_t soundCount() const;
    const SoundEntry& sound(std::size_t index) const;
    // The sound's samples as far as they decode (decodeSoundTolerant; none when
    // nothing does). The first decode adds its repairs to warnings().
    Pcm soundPcm(std::size_t index) const;
    std::size_t addSound(QByteArray riffWav, std::uint32_t checksum = 0);

    // Tolerated faults, one line each, naming the structure; grows as images decode.
    const QStringList& warnings() const;
    QString sourceName() const;

    // Model equality: every field, every image's pixels and region, every sound.
    bool operator==(const Character& other) const;

  private:
    struct Store;
    std::unique_ptr<Store> d;
    friend class Reader;
};

} // namespace agent::format
