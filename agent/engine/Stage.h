#pragma once
// The animation a character is playing and why, and the frame on show. One whose transition asks
// for a return animation leaves it owed: it plays before the next animation starts (unless a Play
// asks for that very one), and the next follows it. Only what is played on request or for idling
// may loop; everything else plays one pass.

#include "AnimationPlayer.h"
#include "CharacterIndex.h"

#include <cstdint>
#include <optional>

namespace agent::engine {

class Stage {
  public:
    enum class Purpose { None, ShowOrHide, Play, Return, SpeakingIntro, Idle, Exiting };

    Stage(const format::Character& character, const CharacterIndex& index, Random& random);

    // Starts `animation`, or the owed return animation with `animation` to follow;
    // gives the one started.
    int start(int animation, Purpose purpose, std::int64_t now);
    // StopAll: what plays walks out by its exit branches; gives it, if any.
    std::optional<int> stop();
    // A request came: idling ends by its exit branches.
    void endIdling();
    // A request waits: what was played on request ends after this pass.
    void makeWay();
    // Moves to the frame showing at `now`; true when the frame changed.
    bool advance(std::int64_t now) { return player_.advance(now); }

    struct Finished {
        int animation;
        Purpose purpose;
        std::optional<int> next; // started after a return animation
    };
    // Clears away the finished animation; after a return animation, starts what it
    // made way for.
    Finished finish(std::int64_t now);

    // The frame on show: the one an animation moved to or the one put up by hand
    // (show()). False when it was on show already.
    bool show(int animation, int frame);
    const format::Frame* shownFrame() const;
    QString shownAnimationName() const;

    bool active() const { return player_.active(); }
    bool finished() const { return player_.finished(); }
    Purpose purpose() const { return purpose_; }
    int animation() const { return player_.animation(); }
    int frame() const { return player_.frame(); }
    std::int64_t deadline() const { return player_.deadline(); }

  private:
    void play(int animation, Purpose purpose, std::int64_t now);
    void oweReturnOf(int animation);

    const format::Character& character_;
    const CharacterIndex& index_;
    AnimationPlayer player_;
    Purpose purpose_ = Purpose::None;
    struct Next {
        int animation;
        Purpose purpose;
    };
    std::optional<int> owedReturn_;
    std::optional<Next> afterReturn_;   // while a return animation plays
    std::optional<int> shownAnimation_; // none before the character has a frame
    int shownFrame_ = 0;
};

} // namespace agent::engine
