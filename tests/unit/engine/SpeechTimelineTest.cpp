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
    // The character's own voice at the user's speed. (The font is named because GCC 12
    // warns of a left-out member that has no default.)
    character->voice->speed = 160;
    EXPECT_EQ(voiceFor(*character, {.balloonFont = {}, .speechSpeedPercent = 50}).speedWpm, 80);
}
