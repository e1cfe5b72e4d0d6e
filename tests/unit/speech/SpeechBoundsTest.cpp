// What one Speak may cost: silence counted rather than stored, all pauses and the
// whole utterance bounded, and hostile text handled in time linear in its size.

#include "agent/engine/SpeechAudio.h"
#include "agent/speech/ReadingPaceSynthesizer.h"
#include "agent/speech/SpeechScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace agent::speech;

TEST(SpeechAudio, ReadsAsThePlainSamplesItStandsFor) {
    std::mt19937 rng(5);
    SpeechAudio audio;
    std::vector<std::int16_t> plain; // sound is never zero here, silence always is
    for (int op = 0; op < 500; ++op) {
        const std::size_t n = rng() % 40;
        if (const unsigned kind = rng() % 3; kind == 0) {
            std::vector<std::int16_t> sound(n);
            for (std::size_t i = 0; i < n; ++i) // each its place, so a shifted read shows
                sound[i] = static_cast<std::int16_t>(1 + (plain.size() + i) % 2000);
            audio.append(sound.data(), n);
            plain.insert(plain.end(), sound.begin(), sound.end());
        } else if (kind == 1) {
            audio.appendSilence(n);
            plain.insert(plain.end(), n, 0);
        } else {
            const std::size_t keep = rng() % (plain.size() + 5);
            audio.truncate(keep);
            plain.resize(std::min(keep, plain.size()));
        }
        ASSERT_EQ(audio.samples(), plain);
        EXPECT_EQ(audio.storedSize(),
                  plain.size() - std::size_t(std::count(plain.begin(), plain.end(), 0)));
        const std::size_t from = rng() % (plain.size() + 3);
        std::vector<std::int16_t> got(rng() % 50, 7);
        audio.read(from, got.data(), got.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], from + i < plain.size() ? plain[from + i] : 0) << from + i;
    }
}

// Text a user could paste, megabytes of it: a script and a reading-pace timeline
// come out with pauses and length within their bounds (bench/SpeechBench times it).
TEST(HostileText, MegabytesAreSaidWithinBounds) {
    const struct {
        const char* unit;
        int megabytes;
        std::size_t segments;
        std::int64_t silenceMs, durationMs;
    } cases[] = {
        {R"(\Chr="Whisper"\ \Chr="Normal"\ \Pit=100\ \Pit=250\ )", 1, 0, 0, 0},
        {R"(\Mrk=1\\Pit=250\\Pit=100\)", 1, 1, 0, 0},
        {R"(a\X\)", 4, 1, 0, 400}, // one long word
        {R"(\Pau=60000\)", 1, 1, kMaxSilenceMs, kMaxSilenceMs},
        {R"(word \Pau=2000\)", 1, kMaxSilenceMs / 2000 + 1, kMaxSilenceMs, kMaxUtteranceMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        const QString unit = QString::fromUtf8(c.unit);
        QString text;
        while (text.size() < c.megabytes << 20)
            text += unit;
        const SpeechScript script = buildScript(parseSpeechTags(text), {});
        const auto u = readingPaceUtterance(script);
        std::int64_t silenceMs = 0;
        for (const ScriptSegment& s : script.segments)
            silenceMs += s.pauseAfterMs;
        EXPECT_EQ(std::tuple(script.segments.size(), silenceMs, u->durationMs),
                  std::tuple(c.segments, c.silenceMs, c.durationMs));
    }
}
