#pragma once
// Where each character was last left on the desktop, kept in the user's
// settings beside the engine's options, and brought back onto a screen that
// is still there.

#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

namespace agent::view {

struct ScreenArea {
    QRect geometry;  // the whole screen
    QRect available; // without the desktop's panels
};

// Where a window at `rect` goes on these screens: where it is when it lies
// wholly on them; otherwise the least move that puts it in the free area of
// the screen it overlaps most, or of the nearest screen.
QPoint placeOnScreens(const QRect& rect, const std::vector<ScreenArea>& screens);
std::vector<ScreenArea> currentScreens();

// A character's place by a key naming the character (its GUID).
std::optional<QPoint> savedPlace(const QString& key);
void savePlace(const QString& key, QPoint place);

} // namespace agent::view
