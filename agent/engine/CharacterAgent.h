#pragma once
// One character alive: its request queue, the animation it shows, its states
// and idling, its speech timeline, balloon and commands. Views observe it
// through its signals; it never draws or plays anything itself.

#include "AnimationPlayer.h"
#include "CharacterIndex.h"
#include "Clock.h"
#include "Options.h"
#include "Synthesizer.h"

#include "agent/format/Character.h"

#include <QLoggingCategory>
#include <QObject>

#include <deque>
#include <memory>
#include <optional>

namespace agent::engine {

Q_DECLARE_LOGGING_CATEGORY(lcRequest)
Q_DECLARE_LOGGING_CATEGORY(lcAnim)

struct Command {
    QString name;
    QString caption;
    QString voice;
    bool enabled = true;
    bool visible = true;
};

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

// The engine's idle schedule: a pause between rounds, three rounds of each
// level before the next.
struct IdleSchedule {
    std::int64_t gapMs = 3000;
    int roundsPerLevel = 3;
};

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

    QStringList animationNames() const;
    void setBalloonStyle(int style);
    int balloonStyle() const { return balloonStyle_; }
    void removeAllCommands();
    void addCommand(const QString& name, const QString& caption, const QString& voice);
    const std::vector<Command>& commands() const { return commands_; }

    // What views show.
    const QString& id() const { return id_; }
    const format::Character& character() const { return *character_; }
    bool visible() const { return visible_; }
    const format::Frame* currentFrame() const;
    std::optional<format::MouthType> mouth() const { return mouth_; }
    const BalloonState& balloon() const { return balloon_; }
    int balloonLines() const;
    int balloonCharsPerLine() const;
    bool busy() const { return current_.has_value() || !queue_.empty(); }
    std::size_t queuedRequests() const { return queue_.size(); }
    QString currentAnimationName() const;

    void setIdleSchedule(IdleSchedule schedule) { idle_ = schedule; }
    // A click or drag on the character puts a lingering balloon away.
    void dismissBalloon();

  signals:
    void frameChanged();
    void animationStarted(const QString& name);
    void visibleChanged(bool visible);
    void balloonChanged();
    void soundRequested(int soundIndex);
    void speechStarted(std::shared_ptr<const agent::engine::Utterance> utterance);
    void speechStopped();
    void bookmarkReached(int id);
    void commandsChanged();

  private:
    enum class Kind { Show, Hide, Play, Speak };
    struct Request {
        Kind kind;
        QString text; // animation name or tagged text
        int animation = -1;
    };
    // Why the player is running.
    enum class Purpose { None, Request, Return, SpeakingIntro, Idle, Exiting };

    void enqueue(Request request);
    void pump();
    void begin(const Request& request);
    void finishPlayer();
    void playAnimation(int index, Purpose purpose);
    bool playPendingReturn(Purpose then);
    void completeRequest();
    void startSpeaking();
    void advanceSpeech(std::int64_t now);
    void stopSpeech();
    void onSpeechReady(std::uint64_t requestId, std::shared_ptr<const Utterance> utterance);
    void onWake();
    void schedule(bool again);
    void setFrame(int animation, int frame);
    void setVisible(bool visible);
    void hideBalloon();
    int pickStateAnimation(const QString& state);
    int neutralAnimation() const;
    bool frameHasMouths() const;

    QString id_;
    std::shared_ptr<const format::Character> character_;
    CharacterIndex index_;
    Clock& clock_;
    Random& random_;
    Synthesizer* synthesizer_;
    const Options& options_;
    AnimationPlayer player_;
    Purpose purpose_ = Purpose::None;
    bool pumping_ = false;
    bool repump_ = false;

    std::deque<Request> queue_;
    std::optional<Request> current_;
    int pendingReturn_ = -1;
    int pendingPlay_ = -1; // the requested animation, waiting for a return animation

    bool visible_ = false;
    int frameAnimation_ = -1;
    int frameIndex_ = 0;
    std::optional<format::MouthType> mouth_;

    // Speech of the current Speak request.
    std::uint64_t speechRequest_ = 0;
    std::uint64_t nextSpeechRequest_ = 1;
    std::shared_ptr<const Utterance> utterance_;
    bool speakingFrameReady_ = false;
    bool speaking_ = false;
    std::int64_t speechStart_ = 0;
    std::size_t nextWord_ = 0, nextMouth_ = 0, nextBookmark_ = 0;

    int balloonStyle_ = 0;
    BalloonState balloon_;
    std::int64_t balloonHideAt_ = Never;

    IdleSchedule idle_;
    int idleRound_ = 0;
    std::int64_t quietSince_ = 0;

    std::vector<Command> commands_;
};

} // namespace agent::engine
