#pragma once

// Frames to pictures: images drawn last to first at their offsets, the
// transparent index left clear, into an ARGB32 image of the character's size.

#include "Character.h"

#include <QImage>
#include <QRegion>

#include <optional>

namespace agent::format {

// Composites `frame`. With a mouth type, that overlay (if the frame has it) is
// drawn over the top image, or replaces it when the overlay says so.
// Throws FormatError if an image fails to decode.
QImage composeFrame(const Character& character, const Frame& frame,
                    std::optional<MouthType> mouth = std::nullopt);

// The frame's shape in character coordinates: each image's region data where
// present, else its non-transparent pixels, moved to the image's offset.
QRegion frameShape(const Character& character, const Frame& frame,
                   std::optional<MouthType> mouth = std::nullopt);

// One image as an 8-bit indexed QImage with the character's colour table
// (the transparent index has alpha 0).
QImage indexedImage(const Character& character, std::size_t imageIndex);

} // namespace agent::format
