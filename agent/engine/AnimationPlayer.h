#pragma once
// Plays one animation of a character frame by frame: durations in 1/100 s,
// branches taken with their probabilities, exit branches followed when the
// animation must end early. It only computes; the caller owns time.

#include "Clock.h"

#include "agent/format/Character.h"

#include <cstdint>

namespace agent::engine {

class AnimationPlayer {
  public:
    AnimationPlayer(const format::Character& character, Random& random);

    // Starts `animation` at `now` on its first frame.
    void start(int animation, std::int64_t now);
    // From here on follow exit branches (or the frames in order) to the end.
    void exit();
    // Ends the animation after its current pass: no branch back is taken any
    // more; where one would have been, it leaves by the frame's exit branch
    // (if it uses them) or runs on to its end. An animation that never
    // branches back plays as it would have.
    void leave();
    void clear();

    // Moves to the frame showing at `now`; true when the frame changed.
    bool advance(std::int64_t now);

    bool active() const { return animation_ >= 0 && !finished_; }
    bool finished() const { return finished_; }
    bool exiting() const { return exiting_; }
    int animation() const { return animation_; }
    int frame() const { return frame_; }
    // When the current frame ends, or Never once finished.
    std::int64_t deadline() const { return finished_ || animation_ < 0 ? Never : frameEnd_; }

  private:
    int nextFrame();
    static std::int64_t durationMs(const format::Frame& frame) { return frame.duration * 10; }

    const format::Character& character_;
    Random& random_;
    int animation_ = -1;
    int frame_ = 0;
    bool exiting_ = false;
    bool leaving_ = false;
    bool finished_ = false;
    int leaveSteps_ = 0; // frames passed since leaving or exiting began
    std::int64_t frameEnd_ = 0;
};

} // namespace agent::engine
