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
    leaving_ = false;
    leaveSteps_ = 0;
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
    if (!exiting_)
        leaveSteps_ = 0;
    exiting_ = true;
}

void AnimationPlayer::leave() {
    if (animation_ < 0 || finished_ || leaving_ || exiting_)
        return;
    leaving_ = true;
    leaveSteps_ = 0;
}

void AnimationPlayer::clear() {
    animation_ = -1;
    finished_ = false;
    exiting_ = false;
    leaving_ = false;
}

int AnimationPlayer::nextFrame() {
    const auto& anim = character_.animations[static_cast<std::size_t>(animation_)];
    const auto& frame = anim.frames[static_cast<std::size_t>(frame_)];
    if (exiting_)
        return frame.exitFrame >= 0 ? frame.exitFrame : frame_ + 1;
    int next = frame_ + 1;
    if (!frame.branches.empty()) {
        // Probabilities are percentages; what they leave over goes to the next frame.
        const double r = random_.next() * 100.0;
        double sum = 0;
        for (const auto& branch : frame.branches) {
            sum += branch.probability;
            if (r < sum) {
                next = branch.frame;
                break;
            }
        }
    }
    if (leaving_ && next <= frame_) {
        // The pass is over: go out instead of round again.
        if (anim.transition != format::Transition::ExitBranches)
            return frame_ + 1;
        exiting_ = true;
        return frame.exitFrame >= 0 ? frame.exitFrame : frame_ + 1;
    }
    return next;
}

bool AnimationPlayer::advance(std::int64_t now) {
    if (animation_ < 0 || finished_)
        return false;
    const auto& frames = character_.animations[static_cast<std::size_t>(animation_)].frames;
    const int count = static_cast<int>(frames.size());
    bool changed = false;
    int instantSteps = 0; // frames passed without time passing
    while (frameEnd_ <= now) {
        const int next = nextFrame();
        const bool loopsOnItself = exiting_ && next == frame_;
        // Exit branches may form a cycle; on the way out the walk is bounded.
        const bool outOfSteps = (exiting_ || leaving_) && ++leaveSteps_ > 2 * count;
        if (next < 0 || next >= count || loopsOnItself || instantSteps > kMaxFramesPerInstant ||
            outOfSteps) {
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
