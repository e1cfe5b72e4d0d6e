#include "agent/view/ListeningTip.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace agent::view {

namespace {
constexpr int kGap = 4; // between the character and the tip
}

ListeningTip::ListeningTip(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      label_(new QLabel(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setObjectName("ListeningTip");
    // Tooltip colours, so it looks like the rest of the desktop's tips.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    label_->setForegroundRole(QPalette::ToolTipText);
    label_->setAlignment(Qt::AlignCenter);
    label_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(label_);
    setStyleSheet("#ListeningTip { border: 1px solid palette(shadow); }");
    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
    label_->setText(textFor(state_, name_, heard_));
}

void ListeningTip::setCharacterName(const QString& name) {
    name_ = name;
    label_->setText(textFor(state_, name_, heard_));
    // The title carries the text too, for screen readers and window lists.
    setWindowTitle(label_->text());
    adjustSize();
}

QString ListeningTip::text() const {
    return label_->text();
}

void ListeningTip::setLinger(int ms) {
    linger_ = std::max(0, ms);
}

QString ListeningTip::textFor(State state, const QString& name, const QString& heard) {
    const QString who = name.isEmpty() ? QStringLiteral("The character") : name;
    switch (state) {
    case State::NotListening:
        return QStringLiteral("%1 is not listening").arg(who);
    case State::Preparing:
        return QStringLiteral("%1 is preparing to listen").arg(who);
    case State::Listening:
        return QStringLiteral("-- %1 is listening --").arg(who);
    case State::Heard:
        return QStringLiteral("Heard \"%1\"").arg(heard);
    case State::NotUnderstood:
        return QStringLiteral("Didn't understand your request");
    case State::NoMicrophone:
        return QStringLiteral("%1 cannot listen: no microphone was found").arg(who);
    }
    return {};
}

void ListeningTip::showState(State state, const QString& heard) {
    state_ = state;
    heard_ = heard;
    label_->setText(textFor(state_, name_, heard_));
    // The title carries the text too, for screen readers and window lists.
    setWindowTitle(label_->text());
    adjustSize();
    if (character_.isValid())
        move(positionFor(size(), character_, screen_));
    const bool passing = state != State::Listening && state != State::Preparing;
    if (passing && linger_ > 0)
        hideTimer_.start(linger_);
    else
        hideTimer_.stop();
    show();
    raise();
}

void ListeningTip::placeBy(const QRect& character, const QRect& screen) {
    character_ = character;
    screen_ = screen;
    adjustSize();
    move(positionFor(size(), character_, screen_));
}

QPoint ListeningTip::positionFor(const QSize& tip, const QRect& character, const QRect& screen) {
    int x = character.center().x() - tip.width() / 2;
    int y = character.bottom() + 1 + kGap;
    if (screen.isValid()) {
        if (y + tip.height() > screen.bottom() + 1)
            y = character.top() - kGap - tip.height();
        x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - tip.width()));
        y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - tip.height()));
    }
    return {x, y};
}

} // namespace agent::view
