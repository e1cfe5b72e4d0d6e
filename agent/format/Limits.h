#pragma once

// What a character file may ask of us. Real characters stay far inside each
// bound (the largest frame seen is 1280x720, the largest image 1.13 frames, a
// frame draws at most 6 images holding 2.2 frames' worth of pixels, a region
// has at most about 1500 rectangles). Past a bound a file is damaged or made
// to hurt: the reader refuses it, or warns and leaves the part out, so that
// no frame takes more than a few tens of milliseconds to compose.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace agent::format::limits {

// Every frame is composed at the character's size: at most a 1920x1200 screen.
inline constexpr std::size_t MaxFramePixels = std::size_t(1920) * 1200;

// The unit the other bounds count in: the frame's pixels, but at least 256x256
// so that a tiny character may still have a few larger images.
inline constexpr std::size_t framePixels(std::uint16_t width, std::uint16_t height) {
    return std::max<std::size_t>(std::size_t(width) * height, std::size_t(1) << 16);
}

// One image's pixel buffer.
inline constexpr std::size_t maxImageBytes(std::uint16_t width, std::uint16_t height) {
    return 4 * framePixels(width, height);
}

// What one frame composes: its images and a mouth overlay, counted and by the
// size of their pixel buffers together.
inline constexpr std::size_t MaxFrameImages = 64;
inline constexpr std::size_t maxFrameBytes(std::uint16_t width, std::uint16_t height) {
    return 4 * framePixels(width, height);
}

// A window shape with more rectangles than this is simplified to each row's
// outer bounds: masks that intricate cost the window system dearly and show
// nothing a person could tell apart.
inline constexpr int MaxShapeRects = 16384;

// Bytes an image's pixel buffer needs: rows padded to 4 bytes.
inline constexpr std::size_t imageBytes(std::uint16_t width, std::uint16_t height) {
    return std::size_t((width + 3) & ~3) * height;
}

// The most rectangles an image's region can need: every other pixel of every row.
inline constexpr std::size_t maxRegionBytes(std::uint16_t width, std::uint16_t height) {
    return 32 + 16 * std::size_t(height) * ((std::size_t(width) + 1) / 2);
}

} // namespace agent::format::limits
