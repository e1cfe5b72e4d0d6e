// One Speak on a manual clock: the voice and a mouth frame arriving in either
// order, the timeline's events at their times and its bound, and stopping.

#include "EngineFixture.h"

#include "agent/engine/SpeechTimeline.h"

#include <QSignalSpy>

using namespace agent::engine;
using namespace agent::engine::testing;
using State = SpeechTimeline::State;

struct SpeechTimelineTest : ::testing::Test {
    std::shared_ptr<agent::format::Character> character = makeCharacter();
    Balloon balloon{*character};
    InstantSynthesizer synth; // mouths Wide1 (1) at 0, Narrow (6) at 100, Closed (0) at 450
    SpeechTimeline speech{&synth, balloon};
    ManualClock clock;
    QStringList events;

    void log(const QString& what) { events << QString::number(clock.now()) + ' ' + what; }
    void SetUp() override {
        QObject::connect(&speech, &SpeechTimeline::started, [this] { log("started"); });
        QObject::connect(&speech, &SpeechTimeline::bookmarkReached,
                         [this](int id) { log(QStringLiteral("bookmark %1").arg(id)); });
        QObject::connect(&speech, &SpeechTimeline::stopped, [this] { log("stopped"); });
        QObject::connect(&speech, &SpeechTimeline::finished, [this] { log("finished"); });
        QObject::connect(&speech, &SpeechTimeline::mouthMoved, [this] {
            log(QStringLiteral("mouth %1").arg(speech.mouth() ? int(*speech.mouth()) : -1));
        });
        QObject::connect(&speech, &SpeechTimeline::balloonChanged, [this] {
            const BalloonState& b = balloon.state();
            log(QStringLiteral("balloon %1").arg(b.visible ? b.revealed : -1));
        });
    }
    // Says the fixture's utterance, woken only when the timeline asks to be.
    void say() {
        ASSERT_TRUE(speech.request("Hi", {}));
        speech.mouthReady();
        speech.start(clock.now(), true);
        while (speech.state() == State::Speaking && clock.now() < kMaxUtteranceMs) {
            clock.advanceTo(speech.nextEventAt());
            speech.advance(clock.now());
        }
    }
};

TEST_F(SpeechTimelineTest, SaysEachEventAtItsTimeAndEndsWithinTheBound) {
    for (const std::int64_t duration : {std::int64_t{500}, std::int64_t{365} * 24 * 3600 * 1000}) {
        const QString end = QString::number(std::min(duration, kMaxUtteranceMs));
        synth.durationMs = duration;
        say();
        EXPECT_EQ(events,
                  (QStringList{"0 balloon 0", "0 started", "0 mouth 1", "0 balloon 5",
                               "100 mouth 6", "200 bookmark 7", "300 balloon 11", "450 mouth 0",
                               end + " finished", end + " mouth -1", end + " balloon 11"}));
        EXPECT_EQ(balloon.hideAt(), end.toLongLong() + 1500) << "lingers a moment";
        balloon.hide();
        clock = ManualClock();
        events.clear();
    }
    // Stopped by whoever hears the bookmark, in the middle of the timeline.
    QObject::connect(&speech, &SpeechTimeline::bookmarkReached, [this] { speech.stop(); });
    say();
    EXPECT_EQ(events.mid(5),
              (QStringList{"200 bookmark 7", "200 stopped", "200 mouth -1", "200 balloon -1"}));
}

// say() has the voice come first; here the mouth frame does.
TEST_F(SpeechTimelineTest, WaitsForTheVoiceAndDropsAnswersNoLongerAwaited) {
    struct Later : InstantSynthesizer {
        void synthesize(std::uint64_t, const QString&, const VoiceDefaults&) override {}
        void answer(std::uint64_t id) { emit ready(id, std::make_shared<Utterance>()); }
    } later;
    SpeechTimeline timeline(&later, balloon);
    QSignalSpy arrived(&timeline, &SpeechTimeline::voiceArrived);
    timeline.request("one", {}); // request 1
    timeline.stop();
    timeline.request("two", {}); // request 2
    timeline.mouthReady();
    later.answer(1);
    EXPECT_EQ(timeline.state(), State::AwaitingVoice) << "request 1 was stopped";
    later.answer(2);
    EXPECT_EQ(timeline.state(), State::Ready);
    EXPECT_EQ(arrived.count(), 1);
    EXPECT_FALSE(SpeechTimeline(nullptr, balloon).request("Hi", {})) << "nothing to say it with";
}

TEST(SpeechVoice, IsTheCharactersOwnAtTheUsersSpeed) {
    const auto voice = [](std::uint32_t speed, bool extra, std::uint16_t gender, int percent) {
        agent::format::Character c;
        if (speed)
            c.voice = agent::format::VoiceInfo{{}, {}, speed, 120, extra, 0x407, {}, gender, 0, {}};
        Options options;
        options.speechSpeedPercent = percent;
        const VoiceDefaults v = voiceFor(c, options);
        return QString::asprintf("%d %d %u %d", v.speedWpm, v.pitchHz, v.langId, v.gender);
    };
    EXPECT_EQ(voice(0, false, 0, 100), "150 110 0 2") << "no voice: the defaults";
    EXPECT_EQ(voice(160, true, kGenderFemale, 50), "80 120 1031 1") << "German, female, half speed";
    EXPECT_EQ(voice(160, false, kGenderNeutral, 100), "160 120 0 2")
        << "no language without the extra data; a neutral voice keeps the default gender";
    EXPECT_EQ(voice(1, true, kGenderMale, 10), "1 120 1031 2") << "never slower than 1 wpm";
}
