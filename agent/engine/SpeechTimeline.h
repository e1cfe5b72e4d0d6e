#pragma once
// One Speak on the clock: asks the synthesizer for the utterance, waits for it and
// for a frame with mouths to say it with, then walks its timeline until it ends:
// the mouth, the words the balloon shows, bookmarks. It leaves animations and the
// queue to the agent and tells it what happens through its signals.

#include "Balloon.h"
#include "Clock.h"
#include "Options.h"
#include "Synthesizer.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

namespace agent::engine {

// The voice a Speak starts from: the character's own, at the user's speed.
VoiceDefaults voiceFor(const format::Character& character, const Options& options);

class SpeechTimeline : public QObject {
    Q_OBJECT
  public:
    enum class State {
        Silent,
        AwaitingVoiceAndMouth, // asked for the utterance; no mouth frame yet
        AwaitingVoice,         // on a mouth frame
        AwaitingMouth,         // the utterance is here
        Ready,                 // both: speaking can start
        Speaking,
    };

    SpeechTimeline(Synthesizer* synthesizer, Balloon& balloon);

    // Asks for the utterance; false (and Silent) without a synthesizer.
    bool request(const QString& taggedText, const VoiceDefaults& voice);
    // The character shows a frame with mouths now.
    void mouthReady();
    // Starts saying the utterance at `now`, in the balloon too if `showBalloon`.
    void start(std::int64_t now, bool showBalloon);
    // Moves along to `now`: the mouth, the words shown, bookmarks, the end.
    void advance(std::int64_t now);
    // Drops the request, whatever its state, and puts the balloon away.
    void stop();

    State state() const { return state_; }
    std::optional<format::MouthType> mouth() const { return mouth_; }
    // When the next mouth, word, bookmark or the end is due; Never unless speaking.
    std::int64_t nextEventAt() const;

  signals:
    void voiceArrived(); // the utterance awaited
    void started(std::shared_ptr<const agent::engine::Utterance> utterance);
    void bookmarkReached(int id);
    // Speech under way was cut short: its sound must fall silent now. Speech
    // said to the end sends finished() alone, so its sound plays out even
    // when the sound server started it late.
    void stopped();
    void finished();
    void mouthMoved();
    void balloonChanged();

  private:
    void accept(std::uint64_t requestId, std::shared_ptr<const Utterance> utterance);

    Synthesizer* synthesizer_;
    Balloon& balloon_;
    State state_ = State::Silent;
    std::uint64_t requestId_ = 0;
    std::uint64_t nextRequestId_ = 1;
    std::shared_ptr<const Utterance> utterance_;
    std::optional<format::MouthType> mouth_;
    std::int64_t start_ = 0;
    std::size_t nextWord_ = 0, nextMouth_ = 0, nextBookmark_ = 0;
};

} // namespace agent::engine
