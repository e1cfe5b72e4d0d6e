#pragma once

// The character's tray icon as a picture: the stored AND mask and colour
// bitmap composed into one image with transparency.

#include "Character.h"

#include <QImage>

namespace agent::format {

// ARGB32 image of the colour bitmap, transparent where the mask bit is 1.
// Throws FormatError naming the bitmap and what is wrong when either bitmap
// cannot be read.
QImage decodeTrayIcon(const TrayIcon& icon);

} // namespace agent::format
