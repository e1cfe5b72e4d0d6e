#pragma once

// Internal: what Character keeps behind its public fields.

#include "Character.h"

#include <optional>
#include <string>

namespace agent::format {

struct Locator {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Where an image's data lives in the file, or its in-memory pixels. A table
// entry whose block another entry already uses points at that entry's slot
// (sameAs), so the block is decoded and cached once.
struct ImageSlot {
    ImageEntry entry;
    std::size_t sameAs = 0; // the slot holding this entry's data (its own index if first)
    bool fromFile = false;
    bool compressed = false;
    bool emptyBlock = false;    // a pixel block too short to hold anything: all transparent
    std::size_t dataOffset = 0; // pixel stream in the file
    std::size_t dataSize = 0;
    bool regionCompressed = false;
    std::size_t regionOffset = 0;
    std::size_t regionSize = 0;     // bytes in the file
    std::size_t regionUnpacked = 0; // bytes after decompression
    std::string unusable;           // why the pixels cannot be had; empty while they can
    std::string regionUnusable;     // the same for the region
    bool regionWarned = false;      // a damaged region's warning is given
    bool repairsReported = false;   // tolerated stream faults are in warnings already
    std::shared_ptr<const Bitmap> bitmap;
    std::optional<QByteArray> region;
    std::uint64_t lastUse = 0; // Store::useClock at the last use
};

// Where compressed pixels are decoded before they are copied out: reused, so
// its pages stay warm, and never larger than the largest image decoded. Not
// zero-filled. A copy of a character starts with none.
class ScratchSpace {
  public:
    ScratchSpace() = default;
    ScratchSpace(const ScratchSpace&) {}
    ScratchSpace& operator=(const ScratchSpace&) { return *this; }
    ScratchSpace(ScratchSpace&&) noexcept = default;
    ScratchSpace& operator=(ScratchSpace&&) noexcept = default;

    std::uint8_t* get(std::size_t size) {
        if (size > m_size) {
            m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            m_size = size;
        }
        return m_buffer.get();
    }

  private:
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_size = 0;
};

struct Character::Store {
    QByteArray file; // keeps the bytes lazily decoded images point into
    QString sourceName;
    std::vector<ImageSlot> images;
    std::vector<SoundEntry> sounds;
    std::vector<bool> soundsReported; // whose repairs are in warnings already
    QStringList warnings;
    std::uint64_t useClock = 0;
    std::size_t cachedBytes = 0; // decoded pixels and regions of images from the file
    // Several times what any real character needs (alice's 667 frames decode to 24 MB).
    std::size_t cacheLimit = std::size_t(64) << 20;

    ScratchSpace scratch;

    void warn(const QString& text);
};

// A QByteArray over bytes [offset, offset + size) of `whole` that shares its
// buffer instead of copying, and keeps it alive. Like fromRawData(), it is not
// '\0'-terminated.
QByteArray sharedSlice(const QByteArray& whole, std::size_t offset, std::size_t size);

} // namespace agent::format
