#pragma once
// 16-bit samples whose silent stretches are counted rather than stored, so a
// pause costs no memory however long it is. Readers see the zeros.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace agent::engine {

class SpeechAudio {
  public:
    SpeechAudio() = default;
    explicit SpeechAudio(std::vector<std::int16_t> samples);

    void append(const std::int16_t* samples, std::size_t count);
    void appendSilence(std::size_t count);
    // Keeps the first `count` samples.
    void truncate(std::size_t count);

    // Samples, silences included.
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Samples held in memory: the sound without its silences.
    std::size_t storedSize() const { return stored_.size(); }

    // Copies samples [from, from + count) to `out`; past the end reads as silence.
    void read(std::size_t from, std::int16_t* out, std::size_t count) const;
    // Samples [from, from + count) as a vector, clipped to the end.
    std::vector<std::int16_t> samples(std::size_t from = 0, std::size_t count = SIZE_MAX) const;

  private:
    static constexpr std::size_t kSilent = SIZE_MAX;
    struct Run {
        std::size_t start;  // first sample of the run
        std::size_t stored; // its first sample in stored_, or kSilent
        std::size_t length;
    };
    std::vector<std::int16_t> stored_;
    std::vector<Run> runs_; // in order, adjacent and non-empty
    std::size_t size_ = 0;
};

} // namespace agent::engine
