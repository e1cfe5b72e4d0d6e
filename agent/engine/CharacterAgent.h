#pragma once
// One character alive: it carries out its requests in order, plays its states'
// animations and idles, and speaks with the mouth and balloon in step with the
// voice. The queue, the speech timeline, the balloon, the commands and idling
// each keep their own state; this class drives them on the clock. Views observe
// it through its signals; it never draws or plays anything itself.

#include "Balloon.h"
#include "CharacterIndex.h"
#include "Clock.h"
#include "CommandList.h"
#include "Idling.h"
#include "Options.h"
#include "RequestQueue.h"
#include "SpeechTimeline.h"
#include "Stage.h"
#include "Synthesizer.h"

#include "agent/format/Character.h"

#include <QLoggingCategory>
#include <QObject>

#include <memory>
#include <optional>

namespace agent::engine {

Q_DECLARE_LOGGING_CATEGORY(lcRequest)
Q_DECLARE_LOGGING_CATEGORY(lcAnim)

class CharacterAgent : public QObject {
    Q_OBJECT
  public:
    CharacterAgent(QString id, std::shared_ptr<const format::Character> character, Clock& clock,
                   Random& random, Synthesizer* synthesizer, const Options& options);
    ~CharacterAgent() override;

    // Requests: queued, carried out in order; they return at once.
    void show();
    void hide();
    void play(const QString& animation); // throws if the character has no such animation
    void speak(const QString& taggedText);
    void stopAll();

    QStringList animationNames() const { return character_->animationNames(); }
    void setBalloonStyle(int style);
    int balloonStyle() const { return balloon_.style(); }
    void removeAllCommands();
    void addCommand(const QString& name, const QString& caption, const QString& voice);
    const std::vector<Command>& commands() const { return commands_.all(); }

    // What views show.
    const QString& id() const { return id_; }
    const format::Character& character() const { return *character_; }
    bool visible() const { return visible_; }
    const format::Frame* currentFrame() const { return stage_.shownFrame(); }
    std::optional<format::MouthType> mouth() const { return speech_.mouth(); }
    const BalloonState& balloon() const { return balloon_.state(); }
    int balloonLines() const { return balloon_.lines(); }
    int balloonCharsPerLine() const { return balloon_.charsPerLine(); }
    bool busy() const { return queue_.busy(); }
    std::size_t queuedRequests() const { return queue_.waiting(); }
    QString currentAnimationName() const { return stage_.shownAnimationName(); }

    void setIdleSchedule(IdleSchedule schedule) { idling_.setSchedule(schedule); }
    // A click or drag on the character puts a lingering balloon away.
    void dismissBalloon();

  signals:
    void frameChanged();
    void animationStarted(const QString& name);
    void visibleChanged(bool visible);
    void balloonChanged();
    void soundRequested(int soundIndex);
    void speechStarted(std::shared_ptr<const agent::engine::Utterance> utterance);
    void speechStopped(); // cut short: its sound must fall silent now
    void bookmarkReached(int id);
    void commandsChanged();

  private:
    using Purpose = Stage::Purpose;
    // Signals emitted while the queue is driven may lead straight back to it; the
    // pass under way then goes round again instead of nesting.
    enum class Pump { Resting, Running, Again };

    void enqueue(Request request);
    void pump();
    void begin(const Request& request);
    void finishAnimation();
    void playAnimation(int index, Purpose purpose) {
        announce(stage_.start(index, purpose, clock_.now()));
    }
    void announce(int index);
    void completeRequest();
    void schedule(bool again);
    void setFrame(int animation, int frame);
    void setVisible(bool visible);
    void hideBalloon();
    const format::Animation& animation(int index) const {
        return character_->animations[static_cast<std::size_t>(index)];
    }

    QString id_;
    std::shared_ptr<const format::Character> character_;
    CharacterIndex index_;
    Clock& clock_;
    Random& random_;
    const Options& options_;
    Pump pump_ = Pump::Resting;
    RequestQueue queue_;
    Stage stage_;
    Balloon balloon_;
    SpeechTimeline speech_; // drives the balloon's words
    CommandList commands_;
    Idling idling_;
    bool visible_ = false;
};

} // namespace agent::engine
