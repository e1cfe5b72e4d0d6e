// End to end through a private PulseAudio server: a null sink whose monitor is
// remapped into a virtual microphone. Rendered speech is played into the sink
// while the Listener records from the microphone and recognises it.
#include "agent/listen/Grammar.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Phrases.h"
#include "agent/listen/Wav.h"

#include "PulseServer.h"
#include "Speech.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace agent::listen;

namespace {

// Plays the audio into the null sink. The event loop keeps running meanwhile,
// as it would in the engine, so the Listener takes in audio while it plays.
bool play(const listentest::Samples& audio) {
    QTemporaryDir dir;
    const QString path = dir.filePath("said.wav");
    writeWav(path.toStdString(), PcmAudio{16000, 1, audio});
    QProcess p;
    QSignalSpy finished(&p, &QProcess::finished);
    p.start("paplay", {"-d", "t", path});
    return finished.wait(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Waits for the recogniser to load, then listens for the six commands.
void prepare(Listener& l, const Listener::Options& o) {
    QSignalSpy ready(&l, &Listener::stateChanged);
    ASSERT_TRUE(l.state() != Listener::State::Preparing || ready.wait(60000));
    l.setGrammar(Grammar::build(listentest::kCommands, globalPhrases("Merlin")));
    l.setOptions(o);
}

} // namespace

// Hands-free: the voice opens and closes the utterance, and it listens on for the
// next. Push to talk and rejection through the sound server are e2e's "listen" and
// "listen-menu".
TEST(ListenerThroughPulseAudio, HandsFreeOpensAndClosesTheUtteranceByVoice) {
    ASSERT_TRUE(Listener::microphoneAvailable());
    Listener l;
    Listener::Options o;
    o.handsFree = true;
    prepare(l, o);
    QSignalSpy results(&l, &Listener::recognized);
    EXPECT_EQ(l.state(), Listener::State::Listening);
    EXPECT_TRUE(play(listentest::render("Random animation", "en-us", 160)));
    ASSERT_TRUE(results.count() > 0 || results.wait(30000)) << "no result";
    EXPECT_EQ(l.state(), Listener::State::Listening);
    const Recognition r = results.at(0).at(0).value<Recognition>();
    ASSERT_TRUE(r.accepted) << "heard " << r.heard << " in " << r.audioSeconds << " s";
    EXPECT_EQ(r.phrase->commandName, "READPAGE");
}

// Push to talk: "Sing", the key released, a pause long enough to decode what
// was said so far, then the speaker goes on until listening ends at the latest
// moment after the release. The answer is the whole utterance, not the "sing"
// decoded in the pause.
TEST(ListenerThroughPulseAudio, SpeechAfterAPauseOverridesWhatThePauseDecoded) {
    ASSERT_TRUE(Listener::microphoneAvailable());
    Listener l;
    Listener::Options o;
    o.releaseDelayMs = 1000;
    o.endSilenceMs = 1500; // only the release delay ends it
    prepare(l, o);
    QSignalSpy results(&l, &Listener::recognized);
    // render() leaves 200 ms of silence at each end: 400 ms between the parts.
    const listentest::Samples sing = listentest::render("Sing", "en-us", 160);
    const listentest::Samples more =
        listentest::render("and then a long story about the weather and the garden", "en-us", 160);
    l.start();
    EXPECT_TRUE(play(sing));
    l.stop();
    EXPECT_TRUE(play(more));
    ASSERT_TRUE(results.count() > 0 || results.wait(30000)) << "no result";
    const Recognition r = results.at(0).at(0).value<Recognition>();
    EXPECT_GT(r.audioSeconds, static_cast<double>(sing.size()) / 16000 + 0.4)
        << "heard " << r.heard;
    EXPECT_FALSE(r.accepted && r.phrase->commandName == "SING") << "heard " << r.heard;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    // Before Qt first talks to PulseAudio; ended after the application.
    speechtest::PulseServer pulse;
    if (!pulse.running() || !pulse.addMicrophone()) {
        std::fprintf(stderr, "private PulseAudio server: %s\n", pulse.log().c_str());
        return 1;
    }
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
