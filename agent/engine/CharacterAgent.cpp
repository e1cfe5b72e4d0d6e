#include "CharacterAgent.h"

#include <algorithm>
#include <stdexcept>

namespace agent::engine {

Q_LOGGING_CATEGORY(lcRequest, "agent.request", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAnim, "agent.anim", QtWarningMsg)

namespace {

constexpr std::int64_t kBalloonLingerMs = 1500;
// Passes of the queue per event: requests that complete at once (a Show while
// shown, an animation without frames) go on in the next event, not all in one.
constexpr int kPassesPerEvent = 64;

// Where an utterance ends on the timeline: any synthesizer's is bounded.
std::int64_t speechEnd(const Utterance& u) {
    return std::clamp<std::int64_t>(u.durationMs, 0, kMaxUtteranceMs);
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

int defaultBalloonStyle(const format::Character& c) {
    if (!(c.flags & format::BalloonOn) || !c.balloon)
        return 0;
    int style = BalloonOnBit;
    if (c.flags & format::BalloonSizeToText)
        style |= SizeToTextBit;
    if (!(c.flags & format::BalloonAutoHideOff))
        style |= AutoHideBit;
    if (!(c.flags & format::BalloonAutoPaceOff))
        style |= AutoPaceBit;
    return style;
}

} // namespace

CharacterAgent::CharacterAgent(QString id, std::shared_ptr<const format::Character> character,
                               Clock& clock, Random& random, Synthesizer* synthesizer,
                               const Options& options)
    : id_(std::move(id)), character_(std::move(character)), index_(*character_), clock_(clock),
      random_(random), synthesizer_(synthesizer), options_(options), player_(*character_, random_),
      balloonStyle_(defaultBalloonStyle(*character_)) {
    if (synthesizer_)
        connect(synthesizer_, &Synthesizer::ready, this, &CharacterAgent::onSpeechReady);
    const int neutral = neutralAnimation();
    if (neutral >= 0)
        setFrame(neutral, 0);
}

CharacterAgent::~CharacterAgent() {
    clock_.wakeAt(Never, nullptr);
}

// --- requests ---------------------------------------------------------------

void CharacterAgent::show() {
    qCInfo(lcRequest).noquote() << "Show";
    enqueue({Kind::Show, {}});
}

void CharacterAgent::hide() {
    qCInfo(lcRequest).noquote() << "Hide";
    enqueue({Kind::Hide, {}});
}

void CharacterAgent::play(const QString& animation) {
    qCInfo(lcRequest).noquote() << "Play" << quoted(animation);
    const int index = index_.animation(animation);
    if (index < 0)
        throw std::invalid_argument(QStringLiteral("the character \"%1\" has no animation \"%2\"")
                                        .arg(id_, animation)
                                        .toStdString());
    enqueue({Kind::Play, animation, index});
}

void CharacterAgent::speak(const QString& taggedText) {
    qCInfo(lcRequest).noquote() << "Speak" << quoted(taggedText);
    enqueue({Kind::Speak, taggedText});
}

void CharacterAgent::stopAll() {
    qCInfo(lcRequest).noquote() << "StopAll";
    queue_.clear();
    if (current_ && current_->kind == Kind::Speak)
        stopSpeech();
    if (current_ && current_->kind == Kind::Hide)
        setVisible(false);
    current_.reset();
    pendingPlay_ = -1;
    if (player_.active() && purpose_ != Purpose::Exiting) {
        // An animation that has exit branches walks them back to its neutral pose.
        const auto& anim = character_->animations[static_cast<std::size_t>(player_.animation())];
        if (anim.transition == format::Transition::ReturnAnimation)
            pendingReturn_ = index_.returnOf(player_.animation());
        player_.exit();
        purpose_ = Purpose::Exiting;
        qCInfo(lcAnim).noquote() << "exit" << anim.name;
    }
    idleRound_ = 0;
    quietSince_ = clock_.now();
    pump();
}

void CharacterAgent::enqueue(Request request) {
    queue_.push_back(std::move(request));
    idleRound_ = 0;
    // Any request ends idling; the idle animation leaves by its exit branches.
    if (purpose_ == Purpose::Idle && player_.active()) {
        player_.exit();
        purpose_ = Purpose::Exiting;
    }
    pump();
}

QStringList CharacterAgent::animationNames() const {
    return character_->animationNames();
}

void CharacterAgent::setBalloonStyle(int style) {
    qCInfo(lcRequest).noquote() << "Balloon.Style" << style;
    balloonStyle_ = style;
    if (!(style & BalloonOnBit))
        hideBalloon();
}

int CharacterAgent::balloonLines() const {
    const int fromStyle = (balloonStyle_ >> 24) & 0xFF;
    if (fromStyle > 0)
        return fromStyle;
    return character_->balloon && character_->balloon->lines ? character_->balloon->lines : 2;
}

int CharacterAgent::balloonCharsPerLine() const {
    const int fromStyle = (balloonStyle_ >> 16) & 0xFF;
    if (fromStyle > 0)
        return fromStyle;
    return character_->balloon && character_->balloon->charsPerLine
               ? character_->balloon->charsPerLine
               : 32;
}

void CharacterAgent::removeAllCommands() {
    qCInfo(lcRequest).noquote() << "Commands.RemoveAll";
    commands_.clear();
    emit commandsChanged();
}

void CharacterAgent::addCommand(const QString& name, const QString& caption, const QString& voice) {
    qCInfo(lcRequest).noquote() << "Commands.Add" << quoted(name) << quoted(caption)
                                << quoted(voice);
    commands_.push_back({name, caption, voice});
    emit commandsChanged();
}

// --- the queue ----------------------------------------------------------------

void CharacterAgent::pump() {
    // Signals emitted below may lead straight back here; the running pass
    // picks up whatever changed instead of nesting.
    if (pumping_) {
        repump_ = true;
        return;
    }
    pumping_ = true;
    // Each pass either waits for something or makes progress, so this ends.
    int pass = 0;
    for (; pass < kPassesPerEvent; ++pass) {
        repump_ = false;
        const std::int64_t now = clock_.now();
        if (player_.active()) {
            // A looping animation would hold the queue forever; with a request
            // waiting it ends after this pass.
            if (purpose_ == Purpose::Request && !queue_.empty())
                player_.leave();
            if (player_.advance(now))
                setFrame(player_.animation(), player_.frame());
            if (player_.active())
                break;
        }
        if (player_.finished()) {
            finishPlayer();
            continue;
        }
        if (current_) {
            if (current_->kind != Kind::Speak)
                break; // waiting on nothing can't happen; a finished player completed it
            if (speaking_) {
                advanceSpeech(now);
                if (speaking_)
                    break;
                continue;
            }
            if (speakingFrameReady_ && utterance_) {
                startSpeaking();
                continue;
            }
            if (!repump_)
                break; // waiting for the voice
            continue;
        }
        if (!queue_.empty()) {
            current_ = queue_.front();
            queue_.pop_front();
            begin(*current_);
            continue;
        }
        // Idle: after a quiet spell, the next round of the current level.
        if (visible_ && now >= quietSince_ + idle_.gapMs) {
            const int level = std::min(idleRound_ / std::max(1, idle_.roundsPerLevel) + 1, 3);
            int index = -1;
            for (int l = level; l >= 1 && index < 0; --l)
                index = pickStateAnimation(QStringLiteral("IdlingLevel%1").arg(l));
            ++idleRound_;
            quietSince_ = now;
            if (index >= 0) {
                qCInfo(lcAnim).noquote()
                    << "idle level" << level << character_->animations[std::size_t(index)].name;
                if (!playPendingReturn(Purpose::Idle))
                    playAnimation(index, Purpose::Idle);
                else
                    pendingPlay_ = index;
                continue;
            }
        }
        if (!repump_)
            break;
    }
    pumping_ = false;
    schedule(pass == kPassesPerEvent);
}

void CharacterAgent::begin(const Request& request) {
    switch (request.kind) {
    case Kind::Show: {
        if (visible_) {
            completeRequest();
            return;
        }
        const int showing = pickStateAnimation(QStringLiteral("Showing"));
        if (showing >= 0)
            setFrame(showing, 0); // the window appears with the first frame
        setVisible(true);
        if (showing >= 0)
            playAnimation(showing, Purpose::Request);
        else
            completeRequest();
        return;
    }
    case Kind::Hide: {
        hideBalloon();
        if (!visible_) {
            completeRequest();
            return;
        }
        const int hiding = pickStateAnimation(QStringLiteral("Hiding"));
        if (hiding >= 0) {
            playAnimation(hiding, Purpose::Request);
        } else {
            setVisible(false);
            completeRequest();
        }
        return;
    }
    case Kind::Play:
        if (request.animation != pendingReturn_ && playPendingReturn(Purpose::Request)) {
            pendingPlay_ = request.animation;
            return;
        }
        pendingReturn_ = -1;
        playAnimation(request.animation, Purpose::Request);
        return;
    case Kind::Speak:
        utterance_.reset();
        speaking_ = false;
        speechRequest_ = nextSpeechRequest_++;
        if (!synthesizer_) {
            completeRequest(); // no voice at all: nothing to say it with
            return;
        }
        {
            VoiceDefaults voice;
            if (character_->voice) {
                voice.speedWpm = static_cast<int>(character_->voice->speed);
                voice.pitchHz = character_->voice->pitch;
                if (character_->voice->hasExtra)
                    voice.langId = character_->voice->langId;
                // A neutral voice keeps the default.
                if (character_->voice->gender != kGenderNeutral)
                    voice.gender = character_->voice->gender;
            }
            voice.speedWpm = std::max(1, voice.speedWpm * options_.speechSpeedPercent / 100);
            synthesizer_->synthesize(speechRequest_, request.text, voice);
        }
        // Speech needs a frame with mouths; a Speaking animation leads there.
        speakingFrameReady_ = frameHasMouths();
        if (!speakingFrameReady_) {
            const int speaking = pickStateAnimation(QStringLiteral("Speaking"));
            if (speaking >= 0 && !playPendingReturn(Purpose::SpeakingIntro))
                playAnimation(speaking, Purpose::SpeakingIntro);
            else if (speaking >= 0)
                pendingPlay_ = speaking;
            else
                speakingFrameReady_ = true;
        }
        return;
    }
}

void CharacterAgent::finishPlayer() {
    const int finished = player_.animation();
    const Purpose purpose = purpose_;
    const auto& anim = character_->animations[static_cast<std::size_t>(finished)];
    player_.clear();
    purpose_ = Purpose::None;
    qCInfo(lcAnim).noquote() << "done" << anim.name;

    if (purpose == Purpose::Return) {
        pendingReturn_ = -1;
        const int next = std::exchange(pendingPlay_, -1);
        // Carry on with what the return animation was clearing the way for.
        if (next >= 0) {
            const bool forIdle = !current_;
            const bool forSpeech = current_ && current_->kind == Kind::Speak;
            playAnimation(next, forIdle ? Purpose::Idle
                                        : (forSpeech ? Purpose::SpeakingIntro : Purpose::Request));
        }
        return;
    }
    if (anim.transition == format::Transition::ReturnAnimation && purpose != Purpose::Exiting)
        pendingReturn_ = index_.returnOf(finished);

    switch (purpose) {
    case Purpose::Request:
        if (current_ && current_->kind == Kind::Hide)
            setVisible(false);
        completeRequest();
        break;
    case Purpose::SpeakingIntro:
        speakingFrameReady_ = true;
        break;
    case Purpose::Idle:
    case Purpose::Exiting:
        quietSince_ = clock_.now();
        break;
    case Purpose::None:
    case Purpose::Return:
        break;
    }
}

void CharacterAgent::playAnimation(int index, Purpose purpose) {
    purpose_ = purpose;
    qCInfo(lcAnim).noquote() << "play" << character_->animations[std::size_t(index)].name;
    player_.start(index, clock_.now());
    // Only a played or an idle animation may loop while nothing else waits. The others
    // lead somewhere (back to the neutral pose, to a mouth, on or off the screen) and
    // play one pass, so a looping one cannot hold the queue forever.
    const bool mayLoop = purpose == Purpose::Idle ||
                         (purpose == Purpose::Request && current_ && current_->kind == Kind::Play);
    if (!mayLoop)
        player_.leave();
    emit animationStarted(character_->animations[std::size_t(index)].name);
    setFrame(index, player_.frame());
}

bool CharacterAgent::playPendingReturn(Purpose then) {
    Q_UNUSED(then);
    if (pendingReturn_ < 0)
        return false;
    const int index = pendingReturn_;
    pendingReturn_ = -1;
    playAnimation(index, Purpose::Return);
    return true;
}

void CharacterAgent::completeRequest() {
    current_.reset();
    quietSince_ = clock_.now();
}

// --- speech -------------------------------------------------------------------

void CharacterAgent::onSpeechReady(std::uint64_t requestId,
                                   std::shared_ptr<const Utterance> utterance) {
    if (requestId != speechRequest_ || !current_ || current_->kind != Kind::Speak)
        return; // stopped meanwhile
    utterance_ = std::move(utterance);
    pump();
}

void CharacterAgent::startSpeaking() {
    speaking_ = true;
    speechStart_ = clock_.now();
    nextWord_ = nextMouth_ = nextBookmark_ = 0;
    if (options_.showBalloon && (balloonStyle_ & BalloonOnBit) &&
        !utterance_->displayText.isEmpty()) {
        balloon_.visible = true;
        balloon_.text = utterance_->displayText;
        balloon_.revealed = (balloonStyle_ & AutoPaceBit) ? 0 : int(balloon_.text.size());
        balloonHideAt_ = Never;
        emit balloonChanged();
    }
    qCInfo(lcAnim).noquote() << "speak" << utterance_->durationMs << "ms";
    emit speechStarted(utterance_);
    advanceSpeech(speechStart_);
}

void CharacterAgent::advanceSpeech(std::int64_t now) {
    const std::int64_t t = now - speechStart_;
    const auto& u = *utterance_;
    const std::int64_t end = speechEnd(u);
    bool mouthMoved = false;
    while (nextMouth_ < u.mouths.size() && u.mouths[nextMouth_].ms <= t) {
        mouth_ = u.mouths[nextMouth_++].mouth;
        mouthMoved = true;
    }
    bool wordsShown = false;
    while (nextWord_ < u.words.size() && u.words[nextWord_].ms <= t) {
        const auto& w = u.words[nextWord_++];
        balloon_.revealed = std::max(balloon_.revealed, w.start + w.length);
        wordsShown = true;
    }
    while (nextBookmark_ < u.bookmarks.size() && u.bookmarks[nextBookmark_].ms <= t)
        emit bookmarkReached(u.bookmarks[nextBookmark_++].id);
    if (t >= end) {
        speaking_ = false;
        mouth_.reset();
        mouthMoved = true;
        balloon_.revealed = int(balloon_.text.size());
        wordsShown = true;
        if (balloon_.visible && (balloonStyle_ & AutoHideBit))
            balloonHideAt_ = now + kBalloonLingerMs;
        utterance_.reset();
        emit speechStopped();
        completeRequest();
    }
    if (mouthMoved)
        emit frameChanged();
    if (wordsShown && balloon_.visible)
        emit balloonChanged();
}

void CharacterAgent::stopSpeech() {
    if (synthesizer_ && speechRequest_)
        synthesizer_->cancel(speechRequest_);
    speechRequest_ = 0;
    utterance_.reset();
    if (speaking_) {
        speaking_ = false;
        emit speechStopped();
    }
    if (mouth_) {
        mouth_.reset();
        emit frameChanged();
    }
    hideBalloon();
}

// --- time ---------------------------------------------------------------------

void CharacterAgent::onWake() {
    const std::int64_t now = clock_.now();
    if (now >= balloonHideAt_)
        hideBalloon();
    pump();
}

void CharacterAgent::schedule(bool again) {
    std::int64_t next = again ? clock_.now() : std::min(player_.deadline(), balloonHideAt_);
    if (speaking_ && utterance_) {
        const auto& u = *utterance_;
        std::int64_t t = speechEnd(u);
        if (nextMouth_ < u.mouths.size())
            t = std::min(t, u.mouths[nextMouth_].ms);
        if (nextWord_ < u.words.size())
            t = std::min(t, u.words[nextWord_].ms);
        if (nextBookmark_ < u.bookmarks.size())
            t = std::min(t, u.bookmarks[nextBookmark_].ms);
        next = std::min(next, speechStart_ + t);
    }
    if (!current_ && queue_.empty() && !player_.active() && visible_)
        next = std::min(next, quietSince_ + idle_.gapMs);
    clock_.wakeAt(next, [this] { onWake(); });
}

// --- what is shown ------------------------------------------------------------

const format::Frame* CharacterAgent::currentFrame() const {
    if (frameAnimation_ < 0)
        return nullptr;
    const auto& frames = character_->animations[std::size_t(frameAnimation_)].frames;
    if (frameIndex_ < 0 || std::size_t(frameIndex_) >= frames.size())
        return nullptr;
    return &frames[std::size_t(frameIndex_)];
}

QString CharacterAgent::currentAnimationName() const {
    return frameAnimation_ < 0 ? QString()
                               : character_->animations[std::size_t(frameAnimation_)].name;
}

void CharacterAgent::setFrame(int animation, int frame) {
    if (animation == frameAnimation_ && frame == frameIndex_)
        return;
    frameAnimation_ = animation;
    frameIndex_ = frame;
    emit frameChanged();
    const format::Frame* f = currentFrame();
    if (f && f->sound != format::NoSound && options_.soundEffects && visible_)
        emit soundRequested(f->sound);
}

void CharacterAgent::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    quietSince_ = clock_.now();
    if (!visible)
        hideBalloon();
    emit visibleChanged(visible);
}

void CharacterAgent::hideBalloon() {
    balloonHideAt_ = Never;
    if (!balloon_.visible)
        return;
    balloon_.visible = false;
    emit balloonChanged();
}

void CharacterAgent::dismissBalloon() {
    if (!speaking_)
        hideBalloon();
}

int CharacterAgent::pickStateAnimation(const QString& state) {
    const std::vector<int>& indices = index_.state(state);
    if (indices.empty())
        return -1;
    return indices[std::size_t(random_.below(int(indices.size())))];
}

int CharacterAgent::neutralAnimation() const {
    for (const char* name : {"RestPose", "Idle1_1"})
        if (int i = index_.animation(QString::fromLatin1(name)); i >= 0)
            return i;
    for (const char* state : {"IdlingLevel1", "Speaking", "Showing"})
        if (const auto& indices = index_.state(QString::fromLatin1(state)); !indices.empty())
            return indices.front();
    for (std::size_t i = 0; i < character_->animations.size(); ++i)
        if (!character_->animations[i].frames.empty())
            return int(i);
    return -1;
}

bool CharacterAgent::frameHasMouths() const {
    const format::Frame* f = currentFrame();
    return f && !f->overlays.empty();
}

} // namespace agent::engine
