#include "agent/listen/VoiceActivity.h"

#include <algorithm>
#include <cmath>

namespace agent::listen {

VoiceActivityDetector::VoiceActivityDetector(VoiceActivityOptions options)
    : options_(options), frameLen_(std::max(1, options.sampleRate * options.frameMs / 1000)),
      floorDb_(options.initialFloorDb) {}

void VoiceActivityDetector::reset() {
    *this = VoiceActivityDetector(options_);
}

VoiceActivityDetector::Event VoiceActivityDetector::feed(std::span<const std::int16_t> samples) {
    Event last = Event::None;
    for (auto s : samples) {
        energy_ += static_cast<double>(s) * s;
        if (++filled_ < frameLen_)
            continue;
        const double meanSquare = energy_ / filled_ / (32768.0 * 32768.0);
        const double db = 10.0 * std::log10(std::max(meanSquare, 1e-9));
        energy_ = 0;
        filled_ = 0;
        if (Event e = frame(db); e != Event::None)
            last = e;
    }
    return last;
}

VoiceActivityDetector::Event VoiceActivityDetector::frame(double db) {
    recent_.push_back(db);
    const auto window = static_cast<std::size_t>(
        std::max(1, options_.floorWindowMs / std::max(1, options_.frameMs)));
    if (recent_.size() > window)
        recent_.pop_front();
    const double quietest = *std::min_element(recent_.begin(), recent_.end());
    // Until a whole window has been seen, a quiet room is assumed.
    floorDb_ = recent_.size() < window ? std::min(options_.initialFloorDb, quietest) : quietest;
    const bool speech = db > std::max(floorDb_ + options_.aboveNoiseDb, options_.minSpeechDb);
    Event e = Event::None;
    ++frames_;
    if (speech) {
        lastSpeechEnd_ = frames_;
        ++speechFrames_;
        silentFrames_ = 0;
        if (!inSpeech_ && speechFrames_ * options_.frameMs >= options_.startMs) {
            inSpeech_ = true;
            heardSpeech_ = true;
            e = Event::SpeechStarted;
        }
    } else {
        ++silentFrames_;
        speechFrames_ = 0;
        if (inSpeech_ && silentFrames_ * options_.frameMs >= options_.hangoverMs) {
            inSpeech_ = false;
            e = Event::SpeechEnded;
        }
    }
    return e;
}

} // namespace agent::listen
