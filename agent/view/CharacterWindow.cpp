#include "CharacterWindow.h"

#include "agent/format/Compositor.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace agent::view {

namespace {

// The character stays above other windows, where it was put. A window manager
// that cannot keep a window above the others (XWayland's under Weston) also
// places utility windows where it likes, ignores later moves and draws a
// shadow around them; there the character is left unmanaged.
bool managerKeepsAbove() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return true;
    // xcb hands replies over to be freed with free().
    auto atom = [c](const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
            &std::free);
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_atom_t supported = atom("_NET_SUPPORTED"), above = atom("_NET_WM_STATE_ABOVE");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> list(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, 1024),
                               nullptr),
        &std::free);
    if (!list || list->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(list.get()));
    const int count = xcb_get_property_value_length(list.get()) / int(sizeof(xcb_atom_t));
    return above != XCB_ATOM_NONE && std::find(atoms, atoms + count, above) != atoms + count;
}

// Whether a compositing manager draws the windows (on X11 it owns the
// _NET_WM_CM_S0 selection; XWayland's window manager does too).
bool compositorRunning() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    static constexpr char name[] = "_NET_WM_CM_S0";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
        &std::free);
    if (!atom)
        return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

} // namespace

CharacterWindow::CharacterWindow(engine::CharacterAgent& agent, const engine::Options& options)
    : agent_(agent), options_(options) {
    // Decoded images stay for the next frames within this bound; the model trims
    // itself as it decodes, so nothing here needs to per frame.
    agent_.character().setImageCacheLimit(8 << 20);
    Qt::WindowFlags flags =
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
    if (!managerKeepsAbove())
        flags |= Qt::X11BypassWindowManagerHint;
    setWindowFlags(flags);
    // Transparent where the shape is: a compositor that ignores X11 shapes
    // (XWayland's) still shows only the character.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(agent.character().locale() ? agent.character().locale()->name : agent.id());
    setFocusPolicy(Qt::StrongFocus);
    updateScale();
    composited_ = compositorRunning();
    connect(&agent_, &engine::CharacterAgent::frameChanged, this, &CharacterWindow::refresh);
    connect(&agent_, &engine::CharacterAgent::visibleChanged, this, [this](bool visible) {
        if (visible) {
            composited_ = compositorRunning();
            refresh();
            show();
            raise();
        } else {
            hide();
        }
    });
    refresh();
}

void CharacterWindow::updateScale() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const double dpr = screen ? screen->devicePixelRatio() : 1.0;
    scale_ = std::max(1, static_cast<int>(std::floor(dpr)));
    const QSize size = agent_.character().size() * scale_;
    // Logical size such that one character pixel covers exactly scale_ device pixels.
    setFixedSize(QSize(static_cast<int>(std::ceil(size.width() / dpr)),
                       static_cast<int>(std::ceil(size.height() / dpr))));
}

void CharacterWindow::refresh() {
    const format::Frame* frame = agent_.currentFrame();
    const auto& character = agent_.character();
    if (!frame) {
        picture_ = QImage(character.size(), QImage::Format_ARGB32_Premultiplied);
        picture_.fill(Qt::transparent);
        shape_ = QRegion();
    } else {
        picture_ = format::composeFrame(character, *frame, agent_.mouth());
        shape_ = format::frameShape(character, *frame, agent_.mouth());
    }
    const double dpr = devicePixelRatioF();
    if (scale_ != 1 || dpr != 1.0) {
        // Mask in logical coordinates: scale the per-pixel shape by scale_/dpr.
        QRegion scaled;
        const double f = scale_ / dpr;
        for (const QRect& r : shape_)
            scaled += QRect(QPoint(int(std::floor(r.left() * f)), int(std::floor(r.top() * f))),
                            QPoint(int(std::ceil((r.right() + 1) * f)) - 1,
                                   int(std::ceil((r.bottom() + 1) * f)) - 1));
        shape_ = scaled;
    }
    // An empty mask would show the whole window; keep one pixel instead.
    const QRegion mask = shape_.isEmpty() ? QRegion(0, 0, 1, 1) : shape_;
    if (composited_ && isVisible()) {
        // X11 draws only inside the shape, and XWayland's compositor shows the
        // whole window as drawn: the new frame is drawn while the old shape
        // still lets it clear what the old frame left, then the shape shrinks.
        setMask(this->mask() | mask);
        repaint();
        setMask(mask);
        return;
    }
    setMask(mask);
    update();
}

void CharacterWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Only what the shape lets through: its region data may leave out pixels
    // of the images, and a compositor that ignores the shape would show them.
    p.setClipRegion(shape_);
    QImage image = picture_;
    image.setDevicePixelRatio(devicePixelRatioF() / scale_);
    p.drawImage(QPoint(0, 0), image);
}

void CharacterWindow::mousePressEvent(QMouseEvent* event) {
    agent_.dismissBalloon();
    // A click gives the character the keyboard, for the listening key.
    activateWindow();
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    } else if (event->button() == Qt::RightButton) {
        emit menuRequested(event->globalPosition().toPoint());
    }
}

void CharacterWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - dragOffset_);
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
}

void CharacterWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    dragging_ = false;
    int shift = 0;
    if (event->modifiers() & Qt::ShiftModifier)
        shift |= 1;
    if (event->modifiers() & Qt::ControlModifier)
        shift |= 2;
    if (event->modifiers() & Qt::AltModifier)
        shift |= 4;
    const int button = event->button() == Qt::LeftButton    ? 1
                       : event->button() == Qt::RightButton ? 2
                                                            : 4;
    emit doubleClicked(button, shift, event->globalPosition().toPoint());
}

void CharacterWindow::moveEvent(QMoveEvent*) {
    emit moved();
}

bool CharacterWindow::isListenKey(const QKeyEvent* event) const {
    const int key = options_.listeningKey ? options_.listeningKey : int(Qt::Key_ScrollLock);
    return !event->isAutoRepeat() && event->key() == (key & ~int(Qt::KeyboardModifierMask));
}

void CharacterWindow::keyPressEvent(QKeyEvent* event) {
    if (isListenKey(event))
        emit listenKeyPressed();
    else
        QWidget::keyPressEvent(event);
}

void CharacterWindow::keyReleaseEvent(QKeyEvent* event) {
    if (isListenKey(event))
        emit listenKeyReleased();
    else
        QWidget::keyReleaseEvent(event);
}

void CharacterWindow::closeEvent(QCloseEvent* event) {
    // Closed from the window manager: the character hides as from its menu, so
    // the engine, the window and the way back agree on what is shown.
    event->ignore();
    agent_.hide();
}

} // namespace agent::view
