#include "CharacterWindow.h"

#include "agent/format/Compositor.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace agent::view {

CharacterWindow::CharacterWindow(engine::CharacterAgent& agent, const engine::Options& options)
    : agent_(agent), options_(options) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(agent.character().locale() ? agent.character().locale()->name : agent.id());
    setFocusPolicy(Qt::StrongFocus);
    updateScale();
    connect(&agent_, &engine::CharacterAgent::frameChanged, this, &CharacterWindow::refresh);
    connect(&agent_, &engine::CharacterAgent::visibleChanged, this, [this](bool visible) {
        if (visible) {
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

namespace {
constexpr std::size_t ImageCacheBytes = 8 << 20;
} // namespace

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
        // Decoded images are kept for the next frames, within a bound: a large
        // character would otherwise end up holding every image it has.
        character.trimImageCache(ImageCacheBytes);
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
    setMask(shape_.isEmpty() ? QRegion(0, 0, 1, 1) : shape_);
    update();
}

void CharacterWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
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
