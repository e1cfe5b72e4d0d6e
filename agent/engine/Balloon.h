#pragma once
// The word balloon as a character shows it: its style, the text being said and
// how much of it is shown, and when a balloon left standing after speech goes.

#include "agent/format/Character.h"

#include <QString>

#include <cstdint>

namespace agent::engine {

// Balloon.Style bits; bits 16-23 characters per line, 24-31 lines.
enum BalloonStyleBit : int {
    BalloonOnBit = 0x1,
    SizeToTextBit = 0x2,
    AutoHideBit = 0x4,
    AutoPaceBit = 0x8
};

struct BalloonState {
    bool visible = false;
    QString text;     // the whole utterance's shown text
    int revealed = 0; // characters of text shown so far
};

class Balloon {
  public:
    // Starts with the style the character file asks for.
    explicit Balloon(const format::Character& character);

    int style() const { return style_; }
    void setStyle(int style) { style_ = style; }
    int lines() const;
    int charsPerLine() const;
    const BalloonState& state() const { return state_; }
    // When a lingering balloon goes away; Never while none lingers.
    std::int64_t hideAt() const { return hideAt_; }

    // Shows the text as speech starts: word by word with auto-pace, else whole.
    // False (and nothing changes) when the style has no balloon or there is no text.
    bool show(const QString& text);
    // Shows the text up to `end` (it never takes back what was shown).
    void reveal(int end);
    // Speech is over: all of it shows, and with auto-hide it lingers until `now` + a moment.
    void finish(std::int64_t now);
    // False when it was hidden already.
    bool hide();

  private:
    const format::Character& character_;
    int style_;
    BalloonState state_;
    std::int64_t hideAt_;
};

} // namespace agent::engine
