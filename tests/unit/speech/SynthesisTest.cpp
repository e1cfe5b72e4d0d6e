// Synthesis measured on its own output: each tag takes effect, words, mouths, marks.
// How closely pitch follows the request is measured in bench/SpeechBench.

#include "PitchTracker.h"

#include "agent/speech/EspeakSynthesizer.h"
#include "agent/speech/ReadingPaceSynthesizer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

using namespace agent::speech;
using agent::format::MouthType;

namespace {

// Runs requests through a synthesizer and waits for their results.
class Collector {
  public:
    explicit Collector(Synthesizer& synth) : synth_(synth) {
        QObject::connect(&synth, &Synthesizer::ready, &context_,
                         [this](std::uint64_t id, std::shared_ptr<const Utterance> u) {
                             results_[id] = std::move(u);
                             loop_.quit();
                         });
    }
    void request(std::uint64_t id, const QString& text, const VoiceDefaults& voice = {}) {
        synth_.synthesize(id, text, voice);
    }
    // Waits until `id` is ready (at most 30 s, so a lost result fails instead of hanging).
    std::shared_ptr<const Utterance> wait(std::uint64_t id) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop_, &QEventLoop::quit);
        guard.start(30'000);
        while (results_.count(id) == 0 && guard.isActive())
            loop_.exec();
        return results_.count(id) != 0 ? results_[id] : nullptr;
    }
    // Drains whatever arrives in the next `ms`.
    void settle(int ms) {
        QTimer::singleShot(ms, &loop_, &QEventLoop::quit);
        loop_.exec();
    }
    const std::map<std::uint64_t, std::shared_ptr<const Utterance>>& results() const {
        return results_;
    }

  private:
    Synthesizer& synth_;
    QObject context_;
    QEventLoop loop_;
    std::map<std::uint64_t, std::shared_ptr<const Utterance>> results_;
};

class Synthesis : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(EspeakSynthesizer::available()); }

    std::shared_ptr<const Utterance> say(const QString& text, const VoiceDefaults& voice = {}) {
        collector_.request(++id_, text, voice);
        auto u = collector_.wait(id_);
        EXPECT_NE(u, nullptr) << "no result for " << text.toStdString();
        return u;
    }

    EspeakSynthesizer synth_;
    Collector collector_{synth_};
    std::uint64_t id_ = 0;
};

std::vector<std::int16_t> slice(const Utterance& u, std::int64_t fromMs, std::int64_t toMs) {
    const auto at = [&](std::int64_t ms) {
        return static_cast<std::size_t>(std::max<std::int64_t>(0, ms * u.sampleRate / 1000));
    };
    return u.pcm.samples(at(fromMs), at(toMs) - std::min(at(fromMs), at(toMs)));
}

double rms(const std::vector<std::int16_t>& pcm) {
    double e = 0;
    for (std::int16_t s : pcm)
        e += double(s) * s;
    return pcm.empty() ? 0.0 : std::sqrt(e / pcm.size());
}

double medianF0(const Utterance& u) {
    return speechtest::medianPitch(u.pcm.samples(), u.sampleRate);
}

QString wordText(const Utterance& u, const WordEvent& w) {
    return u.displayText.mid(w.start, w.length);
}

const QString kSentence =
    QStringLiteral("The quick brown fox jumps over the lazy dog, and then it runs away.");

} // namespace

// The tags espeak-ng is told about inline take effect: the second text's measure
// over the first's must fall in [low, high]. The variants, emphasis and reading
// contexts are what the script asks for (SpeechScriptTest).
TEST_F(Synthesis, ProsodyTagsChangeTheSoundByTheirMeasure) {
    const auto spread = [](const Utterance& u) { // p90/p10 of the pitch, less one
        const auto f0 = speechtest::voiced(speechtest::trackPitch(u.pcm.samples(), u.sampleRate));
        return speechtest::percentile(f0, 0.9) / speechtest::percentile(f0, 0.1) - 1;
    };
    const auto duration = [](const Utterance& u) { return double(u.durationMs); };
    const auto loudness = [](const Utterance& u) { return rms(u.pcm.samples()); };
    const struct {
        const char* first;
        const char* second;
        std::function<double(const Utterance&)> measure;
        double low, high;
    } cases[] = {
        {R"(\Pit=90\)", R"(\Pit=180\)", medianF0, 1.75, 2.25},
        {R"(\Spd=200\)", R"(\Spd=100\)", duration, 1.7, 2.3},
        {R"(\Vol=65535\)", R"(\Vol=16384\)", loudness, 0.15, 0.35},
        {R"(\Vol=65535\)", R"(\Vol=0\)", loudness, 0, 0.01},
        {"", R"(\Chr="Monotone"\)", spread, 0, 0.5},
    };
    for (const auto& c : cases) {
        const auto a = say(QString::fromUtf8(c.first) + kSentence);
        const auto b = say(QString::fromUtf8(c.second) + kSentence);
        ASSERT_TRUE(a && b);
        const double ratio = c.measure(*b) / c.measure(*a);
        EXPECT_TRUE(ratio >= c.low && ratio <= c.high) << c.second << ": " << ratio;
        EXPECT_EQ(a->words.size(), b->words.size()) << c.second << ": still paced for the balloon";
    }
}

TEST_F(Synthesis, TheSongLineFallsWordByWord) {
    const auto u = say(QStringLiteral(
        R"(\chr="monotone"\\spd=210\\pit=120\Dai \pit=100\zee, \pit=80\Dai \pit=60\zee)"));
    ASSERT_TRUE(u);
    ASSERT_EQ(u->words.size(), 4u);
    std::vector<double> medians;
    for (std::size_t i = 0; i < u->words.size(); ++i) {
        const std::int64_t end = i + 1 < u->words.size() ? u->words[i + 1].ms : u->durationMs;
        medians.push_back(speechtest::medianPitch(slice(*u, u->words[i].ms, end), u->sampleRate));
    }
    for (std::size_t i = 1; i < medians.size(); ++i)
        EXPECT_LT(medians[i], medians[i - 1] * 0.97)
            << "word " << i << ": " << medians[i - 1] << " Hz then " << medians[i] << " Hz";
    EXPECT_NEAR(medians.front() / medians.back(), 2.0, 0.4);
}

TEST_F(Synthesis, SpeedChangesMidSentence) {
    const auto plain = say(QStringLiteral("one two three four five six seven eight"));
    const auto slowEnd = say(QStringLiteral(R"(one two three four \Spd=80\five six seven eight)"));
    ASSERT_TRUE(plain && slowEnd);
    ASSERT_EQ(plain->words.size(), 8u);
    ASSERT_EQ(slowEnd->words.size(), 8u);
    // The first words keep their pace; the rest slows down.
    EXPECT_NEAR(double(slowEnd->words[3].ms), double(plain->words[3].ms), 60.0);
    const auto tail = [](const Utterance& u) { return u.durationMs - u.words[4].ms; };
    EXPECT_GT(double(tail(*slowEnd)), 1.5 * tail(*plain));
}

TEST_F(Synthesis, WordsPointIntoTheDisplayedText) {
    const auto u = say(
        QStringLiteral(R"(\Spd=150\Hello \Pit=80\big \Foo\world, \Map="ten dollars"="$10"\ ok)"));
    ASSERT_TRUE(u);
    EXPECT_EQ(u->displayText, QStringLiteral("Hello big world, $10 ok"));
    QStringList words;
    std::int64_t last = -1;
    for (const WordEvent& w : u->words) {
        words << wordText(*u, w);
        EXPECT_GT(w.ms, last);
        EXPECT_LT(w.ms, u->durationMs);
        last = w.ms;
    }
    EXPECT_EQ(words.join(u'|'), QStringLiteral("Hello|big|world,|$10|ok"));
    EXPECT_EQ(u->sampleRate, 22050);
    EXPECT_EQ(u->durationMs, std::int64_t(u->pcm.size()) * 1000 / u->sampleRate);
}

TEST_F(Synthesis, MouthsFollowTheSoundAndCloseInPauses) {
    const auto u = say(QStringLiteral(R"(Wow, a big map. \Pau=600\ Hello)"));
    ASSERT_TRUE(u);
    ASSERT_GE(u->mouths.size(), 6u);
    EXPECT_EQ(u->mouths.front().mouth, MouthType::Closed);
    EXPECT_EQ(u->mouths.back().mouth, MouthType::Closed);
    std::set<MouthType> seen;
    for (std::size_t i = 0; i < u->mouths.size(); ++i) {
        seen.insert(u->mouths[i].mouth);
        if (i > 0) {
            EXPECT_GE(u->mouths[i].ms, u->mouths[i - 1].ms);
            EXPECT_NE(u->mouths[i].mouth, u->mouths[i - 1].mouth);
        }
        EXPECT_LE(u->mouths[i].ms, u->durationMs);
    }
    EXPECT_GE(seen.size(), 4u);
    // Mouths open while there is sound, on average, and stay closed through the pause.
    ASSERT_EQ(u->words.size(), 5u);
    const std::int64_t pauseStart = u->words[3].ms + 400; // well after "map." has begun
    const std::int64_t pauseEnd = u->words[4].ms;
    EXPECT_LT(rms(slice(*u, pauseEnd - 550, pauseEnd - 50)), 50.0);
    double energy[2] = {}; // closed, open
    std::int64_t ms[2] = {};
    std::size_t next = 0;
    for (std::int64_t t = 0; t + 10 <= u->durationMs; t += 10) {
        while (next < u->mouths.size() && u->mouths[next].ms <= t)
            ++next;
        const bool open = next > 0 && u->mouths[next - 1].mouth != MouthType::Closed;
        if (t > pauseStart && t + 100 < pauseEnd) {
            EXPECT_FALSE(open) << "in the pause at " << t;
        }
        energy[open] += rms(slice(*u, t, t + 10));
        ms[open] += 10;
    }
    ASSERT_TRUE(ms[0] > 0 && ms[1] > 0);
    EXPECT_GT(energy[1] / ms[1], 3 * energy[0] / ms[0]);
}

TEST_F(Synthesis, BookmarksArriveWithTheirWord) {
    const auto u = say(QStringLiteral(R"(one two \Mrk=42\three \Mrk=7\)"));
    ASSERT_TRUE(u);
    ASSERT_EQ(u->bookmarks.size(), 2u);
    ASSERT_EQ(u->words.size(), 3u);
    EXPECT_EQ(u->bookmarks[0].id, 42);
    EXPECT_EQ(u->bookmarks[0].ms, u->words[2].ms);
    EXPECT_EQ(u->bookmarks[1].id, 7);
    EXPECT_GT(u->bookmarks[1].ms, u->words[2].ms);
    EXPECT_LE(u->bookmarks[1].ms, u->durationMs);
}

// A pause adds its silence. Silence is counted, not stored; all pauses together last kMaxSilenceMs
// at most and the whole utterance kMaxUtteranceMs, however much the text asks for.
TEST_F(Synthesis, SilenceAndLengthAreBounded) {
    const auto plain = say(QStringLiteral("left right"));
    const auto brief = say(QStringLiteral(R"(left \Pau=800\right)"));
    const auto paused = say(QStringLiteral(R"(left \Pau=60000\\Pau=60000\\Pau=60000\right)"));
    ASSERT_TRUE(plain && brief && paused);
    EXPECT_GT(brief->durationMs - plain->durationMs, 700);
    ASSERT_EQ(paused->words.size(), 2u);
    const std::int64_t gap = paused->words[1].ms - paused->words[0].ms;
    EXPECT_GT(gap, kMaxSilenceMs);
    EXPECT_LT(gap, kMaxSilenceMs + 2000);
    EXPECT_LT(paused->pcm.storedSize(), std::size_t(paused->sampleRate) * 2) << "two words";
    EXPECT_EQ(rms(slice(*paused, paused->words[0].ms + 2000, paused->words[1].ms - 100)), 0.0);

    QString endless;
    for (int i = 0; i < 2000; ++i)
        endless += QStringLiteral("one two three four five ");
    const auto cut = say(endless);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->durationMs, kMaxUtteranceMs);
    EXPECT_GT(rms(slice(*cut, kMaxUtteranceMs - 10'000, kMaxUtteranceMs)), 100.0) << "to the end";
}

TEST_F(Synthesis, ResetReturnsToTheCharacterVoice) {
    VoiceDefaults voice;
    voice.pitchHz = 100;
    const auto u =
        say(QStringLiteral(R"(\Pit=200\\Spd=250\one two three \Rst\four five six)"), voice);
    ASSERT_TRUE(u);
    ASSERT_EQ(u->words.size(), 6u);
    const double before = speechtest::medianPitch(slice(*u, u->words[0].ms, u->words[3].ms), 22050);
    const double after = speechtest::medianPitch(slice(*u, u->words[3].ms, u->durationMs), 22050);
    EXPECT_NEAR(before / 200, 1.0, 0.15);
    EXPECT_NEAR(after / 100, 1.0, 0.2);
    EXPECT_GT(u->durationMs - u->words[3].ms, 1.3 * (u->words[3].ms - u->words[0].ms));
}

TEST_F(Synthesis, MalformedTagsAreNeitherSpokenNorShown) {
    const auto u = say(QStringLiteral(R"(\Bad\Hello \Spd=fast\there\)"));
    ASSERT_TRUE(u);
    EXPECT_EQ(u->displayText, QStringLiteral("Hello there"));
    EXPECT_EQ(u->words.size(), 2u);
    EXPECT_FALSE(u->pcm.empty());
    const auto empty = say(QString());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->words.empty());
    EXPECT_EQ(empty->durationMs, 0);
}

TEST_F(Synthesis, CancelledRequestsNeverArrive) {
    collector_.request(100, kSentence);
    synth_.cancel(100);
    collector_.request(101, QStringLiteral("after"));
    ASSERT_NE(collector_.wait(101), nullptr);
    collector_.settle(200);
    EXPECT_EQ(collector_.results().count(100), 0u);
}

TEST(ReadingPace, WordsAtTheRequestedSpeed) {
    ReadingPaceSynthesizer synth;
    Collector collector(synth);
    collector.request(1,
                      QStringLiteral(R"(\Spd=120\one two \Mrk=5\\Map="three"="3"\ \Pau=250\four)"));
    const auto u = collector.wait(1);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->sampleRate, 0);
    EXPECT_TRUE(u->pcm.empty());
    EXPECT_EQ(u->displayText, QStringLiteral("one two 3 four"));
    ASSERT_EQ(u->words.size(), 4u);
    const std::int64_t expected[] = {0, 500, 1000, 1750};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(u->words[i].ms, expected[i]) << i;
    EXPECT_EQ(wordText(*u, u->words[2]), QStringLiteral("3"));
    ASSERT_EQ(u->bookmarks.size(), 1u);
    EXPECT_EQ(u->bookmarks[0].ms, 1000);
    EXPECT_EQ(u->durationMs, 2250);
    EXPECT_GE(u->mouths.size(), 8u);
    EXPECT_EQ(u->mouths.back().mouth, MouthType::Closed);

    collector.request(2, QStringLiteral("dropped"));
    synth.cancel(2);
    collector.request(3, QStringLiteral(R"(\Lst\)"));
    const auto again = collector.wait(3);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->displayText, u->displayText);
    EXPECT_EQ(collector.results().count(2), 0u);
}

TEST(EspeakSynthesizerLifetime, DestroyedWhileWorkingNeitherHangsNorDelivers) {
    bool delivered = false;
    {
        EspeakSynthesizer synth;
        QObject::connect(&synth, &Synthesizer::ready, [&] { delivered = true; });
        QString longText;
        for (int i = 0; i < 200; ++i)
            longText += kSentence + u' ';
        synth.synthesize(1, longText, {});
        synth.synthesize(2, kSentence, {});
        QThread::msleep(30); // the worker is now inside espeak-ng
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}
