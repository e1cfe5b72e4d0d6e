#include "Balloon.h"

#include "Clock.h"

#include <algorithm>

namespace agent::engine {

namespace {

constexpr std::int64_t kLingerMs = 1500;

int defaultStyle(const format::Character& c) {
    if (!(c.flags & format::BalloonOn) || !c.balloon)
        return 0;
    int style = BalloonOnBit;
    if (c.flags & format::BalloonSizeToText)
        style |= SizeToTextBit;
    if (!(c.flags & format::BalloonAutoHideOff))
        style |= AutoHideBit;
    if (!(c.flags & format::BalloonAutoPaceOff))
        style |= AutoPaceBit;
    return style;
}

} // namespace

Balloon::Balloon(const format::Character& character)
    : character_(character), style_(defaultStyle(character)), hideAt_(Never) {}

int Balloon::lines() const {
    const int fromStyle = (style_ >> 24) & 0xFF;
    if (fromStyle > 0)
        return fromStyle;
    return character_.balloon && character_.balloon->lines ? character_.balloon->lines : 2;
}

int Balloon::charsPerLine() const {
    const int fromStyle = (style_ >> 16) & 0xFF;
    if (fromStyle > 0)
        return fromStyle;
    return character_.balloon && character_.balloon->charsPerLine ? character_.balloon->charsPerLine
                                                                  : 32;
}

bool Balloon::show(const QString& text) {
    if (!(style_ & BalloonOnBit) || text.isEmpty())
        return false;
    state_.visible = true;
    state_.text = text;
    state_.revealed = (style_ & AutoPaceBit) ? 0 : int(text.size());
    hideAt_ = Never;
    return true;
}

void Balloon::reveal(int end) {
    state_.revealed = std::max(state_.revealed, end);
}

void Balloon::finish(std::int64_t now) {
    state_.revealed = int(state_.text.size());
    if (state_.visible && (style_ & AutoHideBit))
        hideAt_ = now + kLingerMs;
}

bool Balloon::hide() {
    hideAt_ = Never;
    if (!state_.visible)
        return false;
    state_.visible = false;
    return true;
}

} // namespace agent::engine
