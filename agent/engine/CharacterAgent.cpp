#include "CharacterAgent.h"

#include <algorithm>
#include <stdexcept>

namespace agent::engine {

Q_LOGGING_CATEGORY(lcRequest, "agent.request", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAnim, "agent.anim", QtWarningMsg)

namespace {

// Passes of the queue per event: requests that complete at once (a Show while
// shown, an animation without frames) go on in the next event, not all in one.
constexpr int kPassesPerEvent = 64;

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

CharacterAgent::CharacterAgent(QString id, std::shared_ptr<const format::Character> character,
                               Clock& clock, Random& random, Synthesizer* synthesizer,
                               const Options& options)
    : id_(std::move(id)), character_(std::move(character)), index_(*character_), clock_(clock),
      random_(random), options_(options), stage_(*character_, index_, random_),
      balloon_(*character_), speech_(synthesizer, balloon_) {
    connect(&speech_, &SpeechTimeline::voiceArrived, this, &CharacterAgent::pump);
    connect(&speech_, &SpeechTimeline::started, this, [this](std::shared_ptr<const Utterance> u) {
        qCInfo(lcAnim).noquote() << "speak" << u->durationMs << "ms";
        emit speechStarted(u);
    });
    connect(&speech_, &SpeechTimeline::bookmarkReached, this, &CharacterAgent::bookmarkReached);
    connect(&speech_, &SpeechTimeline::stopped, this, &CharacterAgent::speechStopped);
    connect(&speech_, &SpeechTimeline::finished, this, &CharacterAgent::completeRequest);
    connect(&speech_, &SpeechTimeline::mouthMoved, this, &CharacterAgent::frameChanged);
    connect(&speech_, &SpeechTimeline::balloonChanged, this, &CharacterAgent::balloonChanged);
    if (index_.neutral() >= 0)
        setFrame(index_.neutral(), 0);
}

CharacterAgent::~CharacterAgent() {
    clock_.wakeAt(Never, nullptr);
}

void CharacterAgent::show() {
    qCInfo(lcRequest).noquote() << "Show";
    enqueue({Request::Kind::Show, {}});
}

void CharacterAgent::hide() {
    qCInfo(lcRequest).noquote() << "Hide";
    enqueue({Request::Kind::Hide, {}});
}

void CharacterAgent::play(const QString& animation) {
    qCInfo(lcRequest).noquote() << "Play" << quoted(animation);
    const int index = index_.animation(animation);
    if (index < 0)
        throw std::invalid_argument(QStringLiteral("the character \"%1\" has no animation \"%2\"")
                                        .arg(id_, animation)
                                        .toStdString());
    enqueue({Request::Kind::Play, animation, index});
}

void CharacterAgent::speak(const QString& taggedText) {
    qCInfo(lcRequest).noquote() << "Speak" << quoted(taggedText);
    enqueue({Request::Kind::Speak, taggedText});
}

void CharacterAgent::stopAll() {
    qCInfo(lcRequest).noquote() << "StopAll";
    queue_.dropWaiting();
    if (queue_.currentIs(Request::Kind::Speak))
        speech_.stop();
    if (queue_.currentIs(Request::Kind::Hide))
        setVisible(false);
    queue_.complete();
    if (const std::optional<int> exiting = stage_.stop())
        qCInfo(lcAnim).noquote() << "exit" << animation(*exiting).name;
    idling_.restart();
    idling_.quiet(clock_.now());
    pump();
}

void CharacterAgent::enqueue(Request request) {
    queue_.push(std::move(request));
    idling_.restart();
    stage_.endIdling();
    pump();
}

void CharacterAgent::setBalloonStyle(int style) {
    qCInfo(lcRequest).noquote() << "Balloon.Style" << style;
    balloon_.setStyle(style);
    if (!(style & BalloonOnBit))
        hideBalloon();
}

void CharacterAgent::removeAllCommands() {
    qCInfo(lcRequest).noquote() << "Commands.RemoveAll";
    commands_.clear();
    emit commandsChanged();
}

void CharacterAgent::addCommand(const QString& name, const QString& caption, const QString& voice) {
    qCInfo(lcRequest).noquote() << "Commands.Add" << quoted(name) << quoted(caption)
                                << quoted(voice);
    commands_.add(name, caption, voice);
    emit commandsChanged();
}

void CharacterAgent::pump() {
    if (pump_ != Pump::Resting) {
        pump_ = Pump::Again;
        return;
    }
    // Each pass either waits for something or makes progress, so this ends.
    int pass = 0;
    for (; pass < kPassesPerEvent; ++pass) {
        pump_ = Pump::Running;
        const std::int64_t now = clock_.now();
        if (stage_.active()) {
            if (queue_.waiting() > 0)
                stage_.makeWay();
            if (stage_.advance(now))
                setFrame(stage_.animation(), stage_.frame());
            if (stage_.active())
                break;
        }
        if (stage_.finished()) {
            finishAnimation();
            continue;
        }
        if (const Request* current = queue_.current()) {
            // Only a Speak waits on something other than the player.
            if (current->kind != Request::Kind::Speak)
                break;
            if (speech_.state() == SpeechTimeline::State::Speaking) {
                speech_.advance(now);
                if (speech_.state() == SpeechTimeline::State::Speaking)
                    break;
            } else if (speech_.state() == SpeechTimeline::State::Ready) {
                speech_.start(clock_.now(), options_.showBalloon);
            } else if (pump_ != Pump::Again) {
                break; // waiting for the voice
            }
            continue;
        }
        if (queue_.startNext()) {
            begin(Request(*queue_.current()));
            continue;
        }
        // Idle: after a quiet spell, the next round of the current level.
        if (visible_ && now >= idling_.dueAt()) {
            const int level = idling_.beginRound(now);
            int index = -1;
            for (int l = level; l >= 1 && index < 0; --l)
                index = index_.pick(QStringLiteral("IdlingLevel%1").arg(l), random_);
            if (index >= 0) {
                qCInfo(lcAnim).noquote() << "idle level" << level << animation(index).name;
                playAnimation(index, Purpose::Idle);
                continue;
            }
        }
        if (pump_ != Pump::Again)
            break;
    }
    pump_ = Pump::Resting;
    schedule(pass == kPassesPerEvent);
}

void CharacterAgent::begin(const Request& request) {
    switch (request.kind) {
    case Request::Kind::Show: {
        const int showing = visible_ ? -1 : index_.pick(QStringLiteral("Showing"), random_);
        if (showing >= 0)
            setFrame(showing, 0); // the window appears with the first frame
        setVisible(true);
        if (showing >= 0)
            playAnimation(showing, Purpose::ShowOrHide);
        else
            completeRequest();
        return;
    }
    case Request::Kind::Hide: {
        hideBalloon();
        const int hiding = visible_ ? index_.pick(QStringLiteral("Hiding"), random_) : -1;
        if (hiding >= 0) {
            playAnimation(hiding, Purpose::ShowOrHide);
            return;
        }
        setVisible(false);
        completeRequest();
        return;
    }
    case Request::Kind::Play:
        playAnimation(request.animation, Purpose::Play);
        return;
    case Request::Kind::Speak:
        if (!speech_.request(request.text, voiceFor(*character_, options_))) {
            completeRequest(); // no voice at all: nothing to say it with
            return;
        }
        // Speech needs a frame with mouths; a Speaking animation leads there.
        if (const format::Frame* f = stage_.shownFrame(); f && !f->overlays.empty()) {
            speech_.mouthReady();
        } else if (const int speaking = index_.pick(QStringLiteral("Speaking"), random_);
                   speaking >= 0) {
            playAnimation(speaking, Purpose::SpeakingIntro);
        } else {
            speech_.mouthReady();
        }
        return;
    }
}

void CharacterAgent::finishAnimation() {
    const Stage::Finished finished = stage_.finish(clock_.now());
    qCInfo(lcAnim).noquote() << "done" << animation(finished.animation).name;
    if (finished.next)
        announce(*finished.next); // what the return animation made way for
    if (finished.purpose == Purpose::Play || finished.purpose == Purpose::ShowOrHide) {
        if (queue_.currentIs(Request::Kind::Hide))
            setVisible(false);
        completeRequest();
    } else if (finished.purpose == Purpose::SpeakingIntro) {
        speech_.mouthReady();
    } else if (finished.purpose == Purpose::Idle || finished.purpose == Purpose::Exiting) {
        idling_.quiet(clock_.now());
    }
}

void CharacterAgent::announce(int index) {
    qCInfo(lcAnim).noquote() << "play" << animation(index).name;
    emit animationStarted(animation(index).name);
    setFrame(index, stage_.frame());
}

void CharacterAgent::completeRequest() {
    queue_.complete();
    idling_.quiet(clock_.now());
}

void CharacterAgent::schedule(bool again) {
    std::int64_t next = again ? clock_.now() : std::min(stage_.deadline(), balloon_.hideAt());
    next = std::min(next, speech_.nextEventAt());
    if (!queue_.busy() && !stage_.active() && visible_)
        next = std::min(next, idling_.dueAt());
    clock_.wakeAt(next, [this] {
        if (clock_.now() >= balloon_.hideAt())
            hideBalloon();
        pump();
    });
}

void CharacterAgent::setFrame(int animation, int frame) {
    if (!stage_.show(animation, frame))
        return;
    emit frameChanged();
    const format::Frame* f = stage_.shownFrame();
    if (f && f->sound != format::NoSound && options_.soundEffects && visible_)
        emit soundRequested(f->sound);
}

void CharacterAgent::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    idling_.quiet(clock_.now());
    if (!visible)
        hideBalloon();
    emit visibleChanged(visible);
}

void CharacterAgent::hideBalloon() {
    if (balloon_.hide())
        emit balloonChanged();
}

void CharacterAgent::dismissBalloon() {
    if (speech_.state() != SpeechTimeline::State::Speaking)
        hideBalloon();
}

} // namespace agent::engine
