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
#include <set>
#include <utility>

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
    // Asks for `text` (0: asks for nothing) and waits for answer `id`, at most `ms`.
    std::shared_ptr<const Utterance> say(std::uint64_t id, const QString& text, int ms = 30'000) {
        if (!text.isNull())
            synth_.synthesize(id, text, {});
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop_, &QEventLoop::quit);
        guard.start(ms);
        while (results.count(id) == 0 && guard.isActive())
            loop_.exec();
        return results.count(id) != 0 ? results[id] : nullptr;
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
        return collector_.say(++id_, text);
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

// Speed and volume told to espeak-ng inline change the words after the tag, not before.
TEST_F(Synthesis, SpeedAndVolumeTagsTakeEffectWhereTheyStand) {
    const auto plain = say(QStringLiteral("one two three four five six seven eight"));
    const auto changed =
        say(QStringLiteral(R"(one two three four \Spd=80\\Vol=0\five six seven eight)"));
    ASSERT_TRUE(plain && changed);
    ASSERT_EQ(plain->words.size(), 8u);
    ASSERT_EQ(changed->words.size(), 8u) << "still paced for the balloon";
    const auto tail = [](const Utterance& u) { return u.durationMs - u.words[4].ms; };
    EXPECT_NEAR(double(changed->words[3].ms), double(plain->words[3].ms), 60.0);
    EXPECT_GT(double(tail(*changed)), 1.5 * double(tail(*plain)));
    EXPECT_GT(rms(*changed, 0, changed->words[4].ms), 500.0);
    EXPECT_LT(rms(*changed, changed->words[4].ms + 50, changed->durationMs), 5.0);
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
        EXPECT_GT(w.ms, std::exchange(last, w.ms));
    }
    ASSERT_EQ(words.join(u'|'), QStringLiteral("Hello|big|world,|$10|ok"));
    EXPECT_EQ(u->durationMs, std::int64_t(u->pcm.size()) * 1000 / u->sampleRate);
    ASSERT_EQ(u->bookmarks.size(), 2u);
    EXPECT_EQ(std::pair(u->bookmarks[0].id, u->bookmarks[0].ms), std::pair(42, u->words[4].ms));
    EXPECT_EQ(u->bookmarks[1].id, 7);
    EXPECT_GT(u->bookmarks[1].ms, u->words[4].ms);
    EXPECT_LE(u->bookmarks[1].ms, u->durationMs);
    const auto empty = say(QString(""));
    EXPECT_TRUE(empty && empty->words.empty() && empty->durationMs == 0) << "nothing to say";
}

TEST_F(Synthesis, MouthsMoveWithTheSoundAndStayClosedInPauses) {
    const auto u = say(QStringLiteral(R"(Wow, a big map. \Pau=600\ Hello)"));
    ASSERT_TRUE(u);
    ASSERT_GE(u->mouths.size(), 6u);
    ASSERT_EQ(u->words.size(), 5u);
    EXPECT_EQ(std::pair(u->mouths.front().mouth, u->mouths.back().mouth),
              std::pair(MouthType::Closed, MouthType::Closed));
    std::set<MouthType> seen;
    const std::int64_t pauseStart = u->words[3].ms + 400; // well after "map." has begun
    const std::int64_t pauseEnd = u->words[4].ms;
    EXPECT_LT(rms(*u, pauseEnd - 550, pauseEnd - 50), 50.0);
    for (std::size_t i = 0; i < u->mouths.size(); ++i) {
        const auto& [ms, mouth] = u->mouths[i];
        const std::int64_t until = i + 1 < u->mouths.size() ? u->mouths[i + 1].ms : u->durationMs;
        seen.insert(mouth);
        EXPECT_GE(until, ms);
        EXPECT_TRUE(i == 0 || mouth != u->mouths[i - 1].mouth);
        EXPECT_FALSE(mouth != MouthType::Closed && ms < pauseEnd - 100 && until > pauseStart)
            << "open in the pause at " << ms;
    }
    EXPECT_GE(seen.size(), 4u);
}

// Silence is counted, not stored; all pauses together last kMaxSilenceMs at most and
// the whole utterance kMaxUtteranceMs, however much the text asks for.
TEST_F(Synthesis, SilenceAndLengthAreBounded) {
    const auto paused = say(QStringLiteral(R"(left \Pau=60000\\Pau=60000\\Pau=60000\right)"));
    ASSERT_TRUE(paused);
    ASSERT_EQ(paused->words.size(), 2u);
    const std::int64_t gap = paused->words[1].ms - paused->words[0].ms;
    EXPECT_GT(gap, kMaxSilenceMs);
    EXPECT_LT(gap, kMaxSilenceMs + 2000);
    EXPECT_LT(paused->pcm.storedSize(), std::size_t(paused->sampleRate) * 2) << "two words";
    EXPECT_EQ(rms(*paused, paused->words[0].ms + 2000, paused->words[1].ms - 100), 0.0);
    const auto cut = say(QStringLiteral("one two three four five ").repeated(2000));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->durationMs, kMaxUtteranceMs);
    EXPECT_GT(rms(*cut, kMaxUtteranceMs - 10'000, kMaxUtteranceMs), 100.0) << "to the end";
}

// A cancelled request never arrives, from either synthesizer; reading pace puts words
// where the speed says.
TEST_F(Synthesis, CancelledRequestsNeverArriveAndReadingPaceFollowsTheSpeed) {
    ReadingPaceSynthesizer pace;
    Collector paced(pace);
    for (Synthesizer* s : {static_cast<Synthesizer*>(&synth_), static_cast<Synthesizer*>(&pace)}) {
        s->synthesize(100, kSentence, {});
        s->cancel(100);
    }
    EXPECT_EQ(collector_.say(100, QString(), 300), nullptr);
    EXPECT_EQ(paced.say(100, QString(), 300), nullptr);
    const auto u =
        paced.say(1, QStringLiteral(R"(\Spd=120\one two \Mrk=5\\Map="three"="3"\ \Pau=250\four)"));
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->pcm.empty());
    EXPECT_EQ(u->displayText, QStringLiteral("one two 3 four"));
    QString at; // words, then bookmarks, then the end
    for (const WordEvent& w : u->words)
        at += QString::number(w.ms) + u' ';
    for (const BookmarkEvent& b : u->bookmarks)
        at += QStringLiteral("#%1@%2 ").arg(b.id).arg(b.ms);
    EXPECT_EQ(at + QString::number(u->durationMs), QStringLiteral("0 500 1000 1750 #5@1000 2250"));
    EXPECT_GE(u->mouths.size(), 8u);
    EXPECT_EQ(u->mouths.back().mouth, MouthType::Closed);
}

TEST(EspeakSynthesizerLifetime, DestroyedWhileWorkingNeitherHangsNorDelivers) {
    bool delivered = false;
    {
        EspeakSynthesizer synth;
        QObject::connect(&synth, &Synthesizer::ready, [&] { delivered = true; });
        synth.synthesize(1, (kSentence + u' ').repeated(200), {});
        synth.synthesize(2, kSentence, {});
        QThread::msleep(30); // the worker is now inside espeak-ng
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}
