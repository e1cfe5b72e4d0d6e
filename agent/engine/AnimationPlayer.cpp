#include "AnimationPlayer.h"

namespace agent::engine {

namespace {
// Zero-duration frames pass at once; a ring of them must not spin forever.
constexpr int kMaxFramesPerInstant = 256;
} // namespace

AnimationPlayer::AnimationPlayer(const format::Character& character, Random& random)
    : character_(character), random_(random) {}

void AnimationPlayer::start(int animation, std::int64_t now) {
    animation_ = animation;
    frame_ = 0;
    exiting_ = false;
    const auto& frames = character_.animations[static_cast<std::size_t>(animation)].frames;
    finished_ = frames.empty();
    frameEnd_ = finished_ ? now : now + durationMs(frames[0]);
    advance(now); // skips leading zero-duration frames
}

void AnimationPlayer::exit() {
    if (animation_ < 0 || finished_)
        return;
    const auto& anim = character_.animations[static_cast<std::size_t>(animation_)];
    // Without exit branches an animation is cut where it stands.
    if (anim.transition != format::Transition::ExitBranches) {
        finished_ = true;
        return;
    }
    exiting_ = true;
}

void AnimationPlayer::clear() {
    animation_ = -1;
    finished_ = false;
    exiting_ = false;
}

int AnimationPlayer::nextFrame() const {
    const auto& frame = character_.animations[static_cast<std::size_t>(animation_)]
                            .frames[static_cast<std::size_t>(frame_)];
    if (exiting_)
        return frame.exitFrame >= 0 ? frame.exitFrame : frame_ + 1;
    if (!frame.branches.empty()) {
        // Probabilities are percentages; what they leave over goes to the next frame.
        const double r = random_.next() * 100.0;
        double sum = 0;
        for (const auto& branch : frame.branches) {
            sum += branch.probability;
            if (r < sum)
                return branch.frame;
        }
    }
    return frame_ + 1;
}

bool AnimationPlayer::advance(std::int64_t now) {
    if (animation_ < 0 || finished_)
        return false;
    const auto& frames = character_.animations[static_cast<std::size_t>(animation_)].frames;
    const int count = static_cast<int>(frames.size());
    bool changed = false;
    int instantSteps = 0; // frames passed without time passing
    int exitSteps = 0;
    while (frameEnd_ <= now) {
        const int next = nextFrame();
        const bool loopsOnItself = exiting_ && next == frame_;
        if (next < 0 || next >= count || loopsOnItself || instantSteps > kMaxFramesPerInstant ||
            (exiting_ && ++exitSteps > 2 * count)) {
            finished_ = true;
            return changed;
        }
        frame_ = next;
        changed = true;
        const std::int64_t duration = durationMs(frames[static_cast<std::size_t>(frame_)]);
        instantSteps = duration == 0 ? instantSteps + 1 : 0;
        // After a long stall, carry on from now rather than racing through the backlog.
        frameEnd_ = (now - frameEnd_ > 1000 ? now : frameEnd_) + duration;
    }
    return changed;
}

} // namespace agent::engine
