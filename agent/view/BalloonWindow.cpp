#include "BalloonWindow.h"

#include <QBitmap>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTransform>

#include <cmath>

namespace agent::view {

namespace {
constexpr int kPadding = 8;
constexpr int kTail = 14;
constexpr int kRadius = 10;
} // namespace

BalloonWindow::BalloonWindow(engine::CharacterAgent& agent, QWidget& character,
                             const engine::Options& options)
    : agent_(agent), character_(character), options_(options) {
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Transparent outside the outline, for compositors that ignore X11 shapes.
    setAttribute(Qt::WA_TranslucentBackground);
    const auto& c = agent.character();
    foreground_ = Qt::black;
    background_ = QColor(255, 255, 225);
    border_ = Qt::black;
    if (c.balloon) {
        const auto& b = *c.balloon;
        if (!b.fontName.isEmpty())
            font_.setFamily(options.balloonFont.isEmpty() ? b.fontName : options.balloonFont);
        // Heights are in pixels; negative means the character height.
        font_.setPixelSize(std::max(8, std::abs(b.fontHeight ? b.fontHeight : 13)));
        font_.setBold(b.fontWeight >= 600);
        font_.setItalic(b.italic);
        foreground_ = QColor::fromRgb(b.foreground);
        background_ = QColor::fromRgb(b.background);
        border_ = QColor::fromRgb(b.border);
    } else {
        font_.setPixelSize(13);
    }
    connect(&agent_, &engine::CharacterAgent::balloonChanged, this, &BalloonWindow::refresh);
    connect(&agent_, &engine::CharacterAgent::visibleChanged, this, &BalloonWindow::refresh);
}

QStringList BalloonWindow::wrap(const QString& text, int width) {
    QStringList lines;
    width = std::max(1, width);
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            QString rest = word;
            // A word longer than a line is cut.
            while (rest.size() > width) {
                if (!line.isEmpty())
                    lines << line;
                lines << rest.left(width);
                rest = rest.mid(width);
                line.clear();
            }
            if (line.isEmpty())
                line = rest;
            else if (line.size() + 1 + rest.size() <= width)
                line += QLatin1Char(' ') + rest;
            else {
                lines << line;
                line = rest;
            }
        }
        lines << line;
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void BalloonWindow::refresh() {
    const auto& b = agent_.balloon();
    if (!options_.balloonFont.isEmpty() && font_.family() != options_.balloonFont)
        font_.setFamily(options_.balloonFont);
    if (!b.visible || !agent_.visible()) {
        hide();
        return;
    }
    const int perLine = agent_.balloonCharsPerLine();
    const int maxLines = agent_.balloonLines();
    const QStringList all = wrap(b.text.left(b.revealed), perLine);
    // Auto-pace scrolls: the newest lines stay in view.
    lines_ = all.mid(std::max<qsizetype>(0, all.size() - maxLines));

    const QFontMetrics fm(font_);
    const bool sizeToText = agent_.balloonStyle() & engine::SizeToTextBit;
    int textWidth = fm.horizontalAdvance(QString(perLine, QLatin1Char('x')));
    int lineCount = maxLines;
    if (sizeToText) {
        const QStringList whole = wrap(b.text, perLine);
        textWidth = 0;
        for (const QString& l : whole)
            textWidth = std::max(textWidth, fm.horizontalAdvance(l));
        lineCount = std::min<int>(maxLines, std::max<int>(1, whole.size()));
    }
    body_ = QSize(textWidth + 2 * kPadding, lineCount * fm.lineSpacing() + 2 * kPadding);
    // Drawn at one pixel per character pixel and scaled by a whole factor on
    // dense screens, like the character, so its shape is the picture's.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const double dpr = screen ? screen->devicePixelRatio() : 1.0;
    scale_ = std::max(1, int(std::floor(dpr)));
    const QSize pixels(body_.width() + 1, body_.height() + kTail + 1);
    setFixedSize(int(std::ceil(pixels.width() * scale_ / dpr)),
                 int(std::ceil(pixels.height() * scale_ / dpr)));
    place();
    tailX_ = int(tailX_ * dpr / scale_);
    draw(pixels);
    const QRegion shape(QBitmap::fromImage(picture_.createAlphaMask()));
    setMask(QTransform::fromScale(scale_ / dpr, scale_ / dpr).map(shape));
    show();
    raise();
    update();
}

void BalloonWindow::draw(QSize pixels) {
    picture_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    picture_.fill(Qt::transparent);
    QPainter p(&picture_);
    // No antialiasing on the outline: a pixel is the balloon's or the desktop's.
    p.setPen(QPen(border_, 1));
    p.setBrush(background_);
    p.drawPath(outline());
    p.setFont(font_);
    p.setPen(foreground_);
    const QFontMetrics fm(font_);
    int y = (above_ ? 0 : kTail) + kPadding + fm.ascent();
    for (const QString& line : lines_) {
        p.drawText(kPadding, y, line);
        y += fm.lineSpacing();
    }
}

void BalloonWindow::place() {
    const QRect target = character_.frameGeometry();
    const QScreen* screen =
        character_.screen() ? character_.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    // Above the character when there is room, else below.
    above_ = target.top() - height() >= room.top();
    int x = target.center().x() - width() / 2;
    x = std::clamp(x, room.left(), std::max(room.left(), room.right() - width()));
    const int y = above_ ? target.top() - height() : target.bottom() + 1;
    tailX_ = std::clamp(target.center().x() - x, kRadius + kTail, width() - kRadius - kTail);
    move(x, y);
}

QPainterPath BalloonWindow::outline() const {
    QPainterPath path;
    const QRectF body(0.5, above_ ? 0.5 : kTail + 0.5, body_.width() - 1, body_.height() - 1);
    path.addRoundedRect(body, kRadius, kRadius);
    QPainterPath tail;
    if (above_) {
        tail.moveTo(tailX_ - kTail / 2.0, body.bottom() - 1);
        tail.lineTo(tailX_, body.bottom() + kTail);
        tail.lineTo(tailX_ + kTail / 2.0, body.bottom() - 1);
    } else {
        tail.moveTo(tailX_ - kTail / 2.0, body.top() + 1);
        tail.lineTo(tailX_, body.top() - kTail);
        tail.lineTo(tailX_ + kTail / 2.0, body.top() + 1);
    }
    tail.closeSubpath();
    return path.united(tail);
}

void BalloonWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    QImage image = picture_;
    image.setDevicePixelRatio(devicePixelRatioF() / scale_);
    p.drawImage(QPoint(0, 0), image);
}

void BalloonWindow::mousePressEvent(QMouseEvent*) {
    agent_.dismissBalloon();
}

} // namespace agent::view
