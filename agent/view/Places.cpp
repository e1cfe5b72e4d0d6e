#include "Places.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace agent::view {

namespace {

QSettings settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("parlavox"),
                     QStringLiteral("character-engine"));
}

qint64 area(const QRect& r) {
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

qint64 distance(QPoint a, QPoint b) {
    const QPoint d = a - b;
    return qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
}

} // namespace

QPoint placeOnScreens(const QRect& rect, const std::vector<ScreenArea>& screens) {
    if (screens.empty())
        return rect.topLeft();
    QRegion desktop;
    for (const ScreenArea& s : screens)
        desktop += s.geometry;
    if ((QRegion(rect) - desktop).isEmpty())
        return rect.topLeft();
    const auto best = std::min_element(
        screens.begin(), screens.end(), [&rect](const ScreenArea& a, const ScreenArea& b) {
            const qint64 overlapA = area(a.geometry & rect), overlapB = area(b.geometry & rect);
            if (overlapA != overlapB)
                return overlapA > overlapB;
            return distance(a.geometry.center(), rect.center()) <
                   distance(b.geometry.center(), rect.center());
        });
    const QRect room = best->available.isEmpty() ? best->geometry : best->available;
    // A window larger than the room keeps its top left corner in it.
    return {
        std::clamp(rect.x(), room.left(), std::max(room.left(), room.right() + 1 - rect.width())),
        std::clamp(rect.y(), room.top(), std::max(room.top(), room.bottom() + 1 - rect.height()))};
}

std::vector<ScreenArea> currentScreens() {
    std::vector<ScreenArea> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens.push_back({s->geometry(), s->availableGeometry()});
    return screens;
}

std::optional<QPoint> savedPlace(const QString& key) {
    const QVariant place = settings().value(QStringLiteral("places/") + key);
    if (!place.canConvert<QPoint>() || place.isNull())
        return std::nullopt;
    return place.toPoint();
}

void savePlace(const QString& key, QPoint place) {
    settings().setValue(QStringLiteral("places/") + key, place);
}

} // namespace agent::view
