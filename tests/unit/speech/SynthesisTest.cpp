// Synthesis measured on its own output: tags take effect, words, mouths, marks, bounds.
// How closely pitch follows the request is measured in bench/SpeechBench.

#include "agent/speech/EspeakSynthesizer.h"
#include "agent/speech/ReadingPaceSynthesizer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
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
                             results[id] = std::move(u);
                             loop_.quit();
                         });
    }
    // Asks for `text` and waits for it, at most 30 s so that a lost result fails.
    std::shared_ptr<const Utterance> say(std::uint64_t id, const QString& text,
                                         const VoiceDefaults& voice = {}) {
        synth_.synthesize(id, text, voice);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop_, &QEventLoop::quit);
        guard.start(30'000);
        while (results.count(id) == 0 && guard.isActive())
            loop_.exec();
        return results.count(id) != 0 ? results[id] : nullptr;
    }
    void settle(int ms) {
        QTimer::singleShot(ms, &loop_, &QEventLoop::quit);
        loop_.exec();
    }
    std::map<std::uint64_t, std::shared_ptr<const Utterance>> results;

  private:
    Synthesizer& synth_;
    QObject context_;
    QEventLoop loop_;
};

class Synthesis : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(EspeakSynthesizer::available()); }
    std::shared_ptr<const Utterance> say(const QString& text) {
        auto u = collector_.say(++id_, text);
        EXPECT_NE(u, nullptr) << "no result for " << text.toStdString();
        return u;
    }
    EspeakSynthesizer synth_;
    Collector collector_{synth_};
    std::uint64_t id_ = 0;
};

double rms(const Utterance& u, std::int64_t fromMs, std::int64_t toMs) {
    const auto at = [&](std::int64_t ms) { return std::size_t(ms * u.sampleRate / 1000); };
    double e = 0;
    const auto pcm = u.pcm.samples(at(fromMs), at(toMs) - at(fromMs));
    for (std::int16_t s : pcm)
        e += double(s) * s;
    return pcm.empty() ? 0.0 : std::sqrt(e / double(pcm.size()));
}

const QString kSentence =
    QStringLiteral("The quick brown fox jumps over the lazy dog, and then it runs away.");

} // namespace

// Speed and volume told to espeak-ng inline change the sound by their measure, and a
// change mid-sentence leaves the words before it alone.
TEST_F(Synthesis, SpeedAndVolumeTagsTakeEffectWhereTheyStand) {
    const struct {
        const char *first, *second;
        bool loudness; // else duration
        double low, high;
    } cases[] = {
        {R"(\Spd=200\)", R"(\Spd=100\)", false, 1.7, 2.3},
        {R"(\Vol=65535\)", R"(\Vol=16384\)", true, 0.15, 0.35},
        {R"(\Vol=65535\)", R"(\Vol=0\)", true, 0, 0.01},
    };
    const auto measure = [](const Utterance& u, bool loudness) {
        return loudness ? rms(u, 0, u.durationMs) : double(u.durationMs);
    };
    for (const auto& c : cases) {
        const auto a = say(QString::fromUtf8(c.first) + kSentence);
        const auto b = say(QString::fromUtf8(c.second) + kSentence);
        ASSERT_TRUE(a && b);
        const double ratio = measure(*b, c.loudness) / measure(*a, c.loudness);
        EXPECT_TRUE(ratio >= c.low && ratio <= c.high) << c.second << ": " << ratio;
        EXPECT_EQ(a->words.size(), b->words.size()) << c.second << ": still paced for the balloon";
    }
    const auto plain = say(QStringLiteral("one two three four five six seven eight"));
    const auto slowEnd = say(QStringLiteral(R"(one two three four \Spd=80\five six seven eight)"));
    ASSERT_TRUE(plain && slowEnd);
    ASSERT_EQ(plain->words.size(), 8u);
    ASSERT_EQ(slowEnd->words.size(), 8u);
    EXPECT_NEAR(double(slowEnd->words[3].ms), double(plain->words[3].ms), 60.0);
    const auto tail = [](const Utterance& u) { return u.durationMs - u.words[4].ms; };
    EXPECT_GT(double(tail(*slowEnd)), 1.5 * double(tail(*plain)));
}

// Words and marks point into the text the balloon shows, which has no tags, good or bad.
TEST_F(Synthesis, WordsAndMarksPointIntoTheDisplayedText) {
    const auto u = say(QStringLiteral(
        R"(\Bad\Hello \Pit=80\big \Spd=fast\world, \Map="ten dollars"="$10"\ \Mrk=42\ok \Mrk=7\)"));
    ASSERT_TRUE(u);
    EXPECT_EQ(u->displayText, QStringLiteral("Hello big world, $10 ok "));
    QStringList words;
    std::int64_t last = -1;
    for (const WordEvent& w : u->words) {
        words << u->displayText.mid(w.start, w.length);
        EXPECT_GT(w.ms, last);
        last = w.ms;
    }
    EXPECT_EQ(words.join(u'|'), QStringLiteral("Hello|big|world,|$10|ok"));
    EXPECT_EQ(u->durationMs, std::int64_t(u->pcm.size()) * 1000 / u->sampleRate);
    ASSERT_EQ(u->bookmarks.size(), 2u);
    ASSERT_EQ(u->words.size(), 5u);
    EXPECT_EQ(u->bookmarks[0].id, 42);
    EXPECT_EQ(u->bookmarks[0].ms, u->words[4].ms);
    EXPECT_EQ(u->bookmarks[1].id, 7);
    EXPECT_GT(u->bookmarks[1].ms, u->words[4].ms);
    EXPECT_LE(u->bookmarks[1].ms, u->durationMs);
    const auto empty = say(QString());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->words.empty());
    EXPECT_EQ(empty->durationMs, 0);
}

TEST_F(Synthesis, MouthsOpenWithTheSoundAndCloseInPauses) {
    const auto u = say(QStringLiteral(R"(Wow, a big map. \Pau=600\ Hello)"));
    ASSERT_TRUE(u);
    ASSERT_GE(u->mouths.size(), 6u);
    ASSERT_EQ(u->words.size(), 5u);
    EXPECT_EQ(u->mouths.front().mouth, MouthType::Closed);
    EXPECT_EQ(u->mouths.back().mouth, MouthType::Closed);
    std::set<MouthType> seen;
    for (std::size_t i = 1; i < u->mouths.size(); ++i) {
        seen.insert(u->mouths[i].mouth);
        EXPECT_GE(u->mouths[i].ms, u->mouths[i - 1].ms);
        EXPECT_NE(u->mouths[i].mouth, u->mouths[i - 1].mouth);
    }
    EXPECT_GE(seen.size(), 4u);
    const std::int64_t pauseStart = u->words[3].ms + 400; // well after "map." has begun
    const std::int64_t pauseEnd = u->words[4].ms;
    EXPECT_LT(rms(*u, pauseEnd - 550, pauseEnd - 50), 50.0);
    double energy[2] = {}; // closed, open
    std::int64_t ms[2] = {};
    std::size_t next = 0;
    for (std::int64_t t = 0; t + 10 <= u->durationMs; t += 10) {
        while (next < u->mouths.size() && u->mouths[next].ms <= t)
            ++next;
        const bool open = next > 0 && u->mouths[next - 1].mouth != MouthType::Closed;
        EXPECT_FALSE(open && t > pauseStart && t + 100 < pauseEnd) << "in the pause at " << t;
        energy[open] += rms(*u, t, t + 10);
        ms[open] += 10;
    }
    ASSERT_TRUE(ms[0] > 0 && ms[1] > 0);
    EXPECT_GT(energy[1] / double(ms[1]), 3 * energy[0] / double(ms[0]));
}

// Silence is counted, not stored; all pauses together last kMaxSilenceMs at most and
// the whole utterance kMaxUtteranceMs, however much the text asks for.
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
    EXPECT_EQ(rms(*paused, paused->words[0].ms + 2000, paused->words[1].ms - 100), 0.0);
    QString endless;
    for (int i = 0; i < 2000; ++i)
        endless += QStringLiteral("one two three four five ");
    const auto cut = say(endless);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->durationMs, kMaxUtteranceMs);
    EXPECT_GT(rms(*cut, kMaxUtteranceMs - 10'000, kMaxUtteranceMs), 100.0) << "to the end";
}

TEST_F(Synthesis, CancelledRequestsNeverArrive) {
    synth_.synthesize(100, kSentence, {});
    synth_.cancel(100);
    ASSERT_NE(collector_.say(101, QStringLiteral("after")), nullptr);
    collector_.settle(200);
    EXPECT_EQ(collector_.results.count(100), 0u);
}

TEST(ReadingPace, WordsAtTheRequestedSpeed) {
    ReadingPaceSynthesizer synth;
    Collector collector(synth);
    const auto u = collector.say(
        1, QStringLiteral(R"(\Spd=120\one two \Mrk=5\\Map="three"="3"\ \Pau=250\four)"));
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->pcm.empty());
    EXPECT_EQ(u->displayText, QStringLiteral("one two 3 four"));
    ASSERT_EQ(u->words.size(), 4u);
    const std::int64_t expected[] = {0, 500, 1000, 1750};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(u->words[i].ms, expected[i]) << i;
    ASSERT_EQ(u->bookmarks.size(), 1u);
    EXPECT_EQ(u->bookmarks[0].ms, 1000);
    EXPECT_EQ(u->durationMs, 2250);
    EXPECT_GE(u->mouths.size(), 8u);
    EXPECT_EQ(u->mouths.back().mouth, MouthType::Closed);
    synth.synthesize(2, QStringLiteral("dropped"), {});
    synth.cancel(2);
    const auto again = collector.say(3, QStringLiteral(R"(\Lst\)"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->displayText, u->displayText);
    EXPECT_EQ(collector.results.count(2), 0u);
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
