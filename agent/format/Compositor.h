#pragma once

// Frames to pictures: images drawn last to first at their offsets, the
// transparent index left clear, into an ARGB32 image of the character's size.
// The work per frame is bounded (limits.h): at most MaxFrameImages images
// holding at most maxFrameBytes of pixels are drawn, the top ones first.

#include "Character.h"

#include <QImage>
#include <QRegion>

#include <optional>

namespace agent::format {

// Composites `frame`. With a mouth type, that overlay (if the frame has it) is
// drawn over the top image, or replaces it when the overlay says so. An
// unusable image is left out (Character::usableBitmap() warns once); throws
// FormatError only for an image index out of range.
QImage composeFrame(const Character& character, const Frame& frame,
                    std::optional<MouthType> mouth = std::nullopt);

// The frame's shape in character coordinates: each image's region data where
// present and sound, else its non-transparent pixels, moved to the image's
// offset. Linear in the frame's and its images' pixels.
QRegion frameShape(const Character& character, const Frame& frame,
                   std::optional<MouthType> mouth = std::nullopt);

// How many of the frame's images (the first, topmost) fit the bounds together
// with its largest mouth overlay: every one, in any real frame. The reader
// keeps only these, so a loaded frame draws all its images with any mouth.
std::size_t drawableImages(const Character& character, const Frame& frame);

// One image as an 8-bit indexed QImage with the character's colour table
// (the transparent index has alpha 0). Throws FormatError if it is unusable.
QImage indexedImage(const Character& character, std::size_t imageIndex);

} // namespace agent::format
