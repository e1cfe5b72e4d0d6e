#include "Stage.h"

namespace agent::engine {

Stage::Stage(const format::Character& character, const CharacterIndex& index, Random& random)
    : character_(character), index_(index), player_(character, random) {}

int Stage::start(int animation, Purpose purpose, std::int64_t now) {
    // Showing and hiding leave what is owed for later; a Play of the return animation
    // itself settles it.
    const bool playsOwed = purpose == Purpose::Play && owedReturn_ == animation;
    if (owedReturn_ && purpose != Purpose::ShowOrHide && !playsOwed) {
        const int back = *std::exchange(owedReturn_, std::nullopt);
        play(back, Purpose::Return, now);
        afterReturn_ = Next{animation, purpose};
        return back;
    }
    if (purpose == Purpose::Play)
        owedReturn_.reset();
    play(animation, purpose, now);
    return animation;
}

void Stage::play(int animation, Purpose purpose, std::int64_t now) {
    purpose_ = purpose;
    player_.start(animation, now);
    // The others lead somewhere (back to the neutral pose, to a mouth, on or off
    // the screen), so a looping one cannot hold the queue forever.
    if (purpose != Purpose::Play && purpose != Purpose::Idle)
        player_.leave();
}

std::optional<int> Stage::stop() {
    afterReturn_.reset();
    if (!player_.active() || purpose_ == Purpose::Exiting)
        return std::nullopt;
    // An animation that has exit branches walks them back to its neutral pose.
    const int playing = player_.animation();
    if (character_.animations[std::size_t(playing)].transition ==
        format::Transition::ReturnAnimation)
        oweReturnOf(playing);
    player_.exit();
    purpose_ = Purpose::Exiting;
    return playing;
}

void Stage::endIdling() {
    if (purpose_ == Purpose::Idle && player_.active()) {
        player_.exit();
        purpose_ = Purpose::Exiting;
    }
}

void Stage::makeWay() {
    // A looping animation would hold the queue forever.
    if (purpose_ == Purpose::Play)
        player_.leave();
}

Stage::Finished Stage::finish(std::int64_t now) {
    const Finished finished{player_.animation(), std::exchange(purpose_, Purpose::None), {}};
    player_.clear();
    if (finished.purpose == Purpose::Return) {
        owedReturn_.reset();
        if (const std::optional<Next> next = std::exchange(afterReturn_, std::nullopt)) {
            play(next->animation, next->purpose, now);
            return {finished.animation, finished.purpose, next->animation};
        }
        return finished;
    }
    if (character_.animations[std::size_t(finished.animation)].transition ==
            format::Transition::ReturnAnimation &&
        finished.purpose != Purpose::Exiting)
        oweReturnOf(finished.animation);
    return finished;
}

bool Stage::show(int animation, int frame) {
    if (animation == shownAnimation_ && frame == shownFrame_)
        return false;
    shownAnimation_ = animation;
    shownFrame_ = frame;
    return true;
}

const format::Frame* Stage::shownFrame() const {
    if (!shownAnimation_)
        return nullptr;
    const auto& frames = character_.animations[std::size_t(*shownAnimation_)].frames;
    if (shownFrame_ < 0 || std::size_t(shownFrame_) >= frames.size())
        return nullptr;
    return &frames[std::size_t(shownFrame_)];
}

QString Stage::shownAnimationName() const {
    return shownAnimation_ ? character_.animations[std::size_t(*shownAnimation_)].name : QString();
}

void Stage::oweReturnOf(int animation) {
    // A return animation the file names but lacks settles what was owed.
    const int back = index_.returnOf(animation);
    owedReturn_ = back >= 0 ? std::optional(back) : std::nullopt;
}

} // namespace agent::engine
