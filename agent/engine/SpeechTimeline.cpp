#include "SpeechTimeline.h"

#include <algorithm>

namespace agent::engine {

namespace {

// Where an utterance ends on the timeline: any synthesizer's is bounded.
std::int64_t endOf(const Utterance& u) {
    return std::clamp<std::int64_t>(u.durationMs, 0, kMaxUtteranceMs);
}

} // namespace

VoiceDefaults voiceFor(const format::Character& character, const Options& options) {
    VoiceDefaults voice;
    if (character.voice) {
        voice.speedWpm = static_cast<int>(character.voice->speed);
        voice.pitchHz = character.voice->pitch;
        if (character.voice->hasExtra)
            voice.langId = character.voice->langId;
        // A neutral voice keeps the default.
        if (character.voice->gender != kGenderNeutral)
            voice.gender = character.voice->gender;
    }
    voice.speedWpm = std::max(1, voice.speedWpm * options.speechSpeedPercent / 100);
    return voice;
}

SpeechTimeline::SpeechTimeline(Synthesizer* synthesizer, Balloon& balloon)
    : synthesizer_(synthesizer), balloon_(balloon) {
    if (synthesizer_)
        connect(synthesizer_, &Synthesizer::ready, this, &SpeechTimeline::accept);
}

bool SpeechTimeline::request(const QString& taggedText, const VoiceDefaults& voice) {
    utterance_.reset();
    requestId_ = nextRequestId_++;
    if (!synthesizer_) {
        state_ = State::Silent;
        return false;
    }
    state_ = State::AwaitingVoiceAndMouth;
    synthesizer_->synthesize(requestId_, taggedText, voice); // may answer at once
    return true;
}

void SpeechTimeline::accept(std::uint64_t requestId, std::shared_ptr<const Utterance> utterance) {
    const bool awaited = state_ == State::AwaitingVoiceAndMouth || state_ == State::AwaitingVoice;
    if (!awaited || requestId != requestId_ || !utterance)
        return; // stopped meanwhile
    utterance_ = std::move(utterance);
    state_ = state_ == State::AwaitingVoice ? State::Ready : State::AwaitingMouth;
    emit voiceArrived();
}

void SpeechTimeline::mouthReady() {
    if (state_ == State::AwaitingVoiceAndMouth)
        state_ = State::AwaitingVoice;
    else if (state_ == State::AwaitingMouth)
        state_ = State::Ready;
}

void SpeechTimeline::start(std::int64_t now, bool showBalloon) {
    state_ = State::Speaking;
    start_ = now;
    nextWord_ = nextMouth_ = nextBookmark_ = 0;
    const std::shared_ptr<const Utterance> utterance = utterance_;
    if (showBalloon && balloon_.show(utterance->displayText))
        emit balloonChanged();
    emit started(utterance);
    advance(now);
}

void SpeechTimeline::advance(std::int64_t now) {
    if (state_ != State::Speaking)
        return; // stopped by a receiver of started()
    const std::uint64_t saying = requestId_;
    // Held here: a receiver of a signal below may stop the speech.
    const std::shared_ptr<const Utterance> utterance = utterance_;
    const Utterance& u = *utterance;
    const std::int64_t t = now - start_;
    bool moved = false;
    while (nextMouth_ < u.mouths.size() && u.mouths[nextMouth_].ms <= t) {
        mouth_ = u.mouths[nextMouth_++].mouth;
        moved = true;
    }
    bool wordsShown = false;
    while (nextWord_ < u.words.size() && u.words[nextWord_].ms <= t) {
        const WordEvent& w = u.words[nextWord_++];
        balloon_.reveal(w.start + w.length);
        wordsShown = true;
    }
    while (nextBookmark_ < u.bookmarks.size() && u.bookmarks[nextBookmark_].ms <= t) {
        emit bookmarkReached(u.bookmarks[nextBookmark_++].id);
        if (requestId_ != saying)
            return; // whoever heard it stopped the speech
    }
    const bool ended = t >= endOf(u);
    if (ended) {
        state_ = State::Silent;
        mouth_.reset();
        utterance_.reset();
        balloon_.finish(now);
        emit finished();
    }
    if (moved || ended)
        emit mouthMoved();
    if ((wordsShown || ended) && balloon_.state().visible)
        emit balloonChanged();
}

void SpeechTimeline::stop() {
    if (synthesizer_ && requestId_)
        synthesizer_->cancel(requestId_);
    const bool speaking = state_ == State::Speaking;
    requestId_ = 0;
    state_ = State::Silent;
    utterance_.reset();
    if (speaking)
        emit stopped();
    if (mouth_) {
        mouth_.reset();
        emit mouthMoved();
    }
    if (balloon_.hide())
        emit balloonChanged();
}

std::int64_t SpeechTimeline::nextEventAt() const {
    if (state_ != State::Speaking)
        return Never;
    const Utterance& u = *utterance_;
    std::int64_t t = endOf(u);
    if (nextMouth_ < u.mouths.size())
        t = std::min(t, u.mouths[nextMouth_].ms);
    if (nextWord_ < u.words.size())
        t = std::min(t, u.words[nextWord_].ms);
    if (nextBookmark_ < u.bookmarks.size())
        t = std::min(t, u.bookmarks[nextBookmark_].ms);
    return start_ + t;
}

} // namespace agent::engine
