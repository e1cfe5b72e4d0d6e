#include "agent/engine/SpeechAudio.h"

#include <algorithm>

namespace agent::engine {

SpeechAudio::SpeechAudio(std::vector<std::int16_t> samples) : stored_(std::move(samples)) {
    size_ = stored_.size();
    if (size_ > 0)
        runs_.push_back({0, 0, size_});
}

void SpeechAudio::append(const std::int16_t* samples, std::size_t count) {
    if (count == 0)
        return;
    if (runs_.empty() || runs_.back().stored == kSilent)
        runs_.push_back({size_, stored_.size(), 0});
    stored_.insert(stored_.end(), samples, samples + count);
    runs_.back().length += count;
    size_ += count;
}

void SpeechAudio::appendSilence(std::size_t count) {
    if (count == 0)
        return;
    if (runs_.empty() || runs_.back().stored != kSilent)
        runs_.push_back({size_, kSilent, 0});
    runs_.back().length += count;
    size_ += count;
}

void SpeechAudio::truncate(std::size_t count) {
    if (count >= size_)
        return;
    while (!runs_.empty() && runs_.back().start >= count)
        runs_.pop_back();
    if (!runs_.empty())
        runs_.back().length = count - runs_.back().start;
    // What is stored ends with the last run that has sound.
    std::size_t keep = 0;
    for (auto r = runs_.rbegin(); r != runs_.rend(); ++r) {
        if (r->stored != kSilent) {
            keep = r->stored + r->length;
            break;
        }
    }
    stored_.resize(keep);
    size_ = count;
}

void SpeechAudio::read(std::size_t from, std::int16_t* out, std::size_t count) const {
    // The run holding `from`: the last one starting at or before it.
    auto run = std::upper_bound(runs_.begin(), runs_.end(), from,
                                [](std::size_t at, const Run& r) { return at < r.start; });
    if (run != runs_.begin())
        --run;
    while (count > 0) {
        if (run == runs_.end() || from >= size_) {
            std::fill(out, out + count, std::int16_t{0});
            return;
        }
        const std::size_t offset = from - run->start;
        const std::size_t n = std::min(count, run->length - offset);
        if (run->stored == kSilent)
            std::fill(out, out + n, std::int16_t{0});
        else
            std::copy_n(stored_.begin() + static_cast<std::ptrdiff_t>(run->stored + offset), n,
                        out);
        out += n;
        from += n;
        count -= n;
        ++run;
    }
}

std::vector<std::int16_t> SpeechAudio::samples(std::size_t from, std::size_t count) const {
    from = std::min(from, size_);
    std::vector<std::int16_t> out(std::min(count, size_ - from));
    read(from, out.data(), out.size());
    return out;
}

} // namespace agent::engine
