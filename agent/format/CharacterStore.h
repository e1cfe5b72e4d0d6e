#pragma once

// Internal: what Character keeps behind its public fields.

#include "Character.h"

#include <optional>

namespace agent::format {

struct Locator {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Where an image's data lives in the file, or its in-memory pixels.
struct ImageSlot {
    ImageEntry entry;
    bool fromFile = false;
    bool compressed = false;
    bool emptyBlock = false;    // a pixel block too short to hold anything: all transparent
    std::size_t dataOffset = 0; // pixel stream in the file
    std::size_t dataSize = 0;
    bool regionCompressed = false;
    std::size_t regionOffset = 0;
    std::size_t regionSize = 0;     // bytes in the file
    std::size_t regionUnpacked = 0; // bytes after decompression
    mutable std::optional<Bitmap> bitmap;
    mutable std::optional<QByteArray> region;
    mutable std::uint64_t lastUse = 0; // Store::useClock at the last bitmap() call
};

struct Character::Store {
    QByteArray file; // keeps the bytes lazily decoded images point into
    QString sourceName;
    std::vector<ImageSlot> images;
    std::vector<SoundEntry> sounds;
    mutable std::vector<bool> soundsReported; // whose repairs are in warnings already
    mutable QStringList warnings;
    mutable std::uint64_t useClock = 0;
    mutable std::size_t cachedBytes = 0; // decoded pixels of images from the file
};

} // namespace agent::format
