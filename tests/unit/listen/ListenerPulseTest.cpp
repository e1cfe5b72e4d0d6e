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

bool waitForState(Listener& l, Listener::State s) {
    QSignalSpy spy(&l, &Listener::stateChanged);
    while (l.state() != s)
        if (!spy.wait(30000))
            return false;
    return true;
}

// Plays the phrase into the null sink. The event loop keeps running meanwhile,
// as it would in the engine, so the Listener takes in audio while it plays.
bool play(const std::string& text) {
    QTemporaryDir dir;
    const QString path = dir.filePath("said.wav");
    writeWav(path.toStdString(), PcmAudio{16000, 1, listentest::render(text, "en-us", 160)});
    QProcess p;
    QSignalSpy finished(&p, &QProcess::finished);
    p.start("paplay", {"-d", "t", path});
    return finished.wait(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// What the Listener makes of `text`: push to talk, or hands-free.
Recognition hear(const std::string& text, Listener::Options options) {
    Listener l;
    EXPECT_TRUE(waitForState(l, Listener::State::Idle));
    l.setGrammar(Grammar::build(listentest::kCommands, globalPhrases("Merlin")));
    l.setOptions(options);
    QSignalSpy results(&l, &Listener::recognized);
    if (!options.handsFree)
        l.start();
    EXPECT_EQ(l.state(), Listener::State::Listening);
    EXPECT_TRUE(play(text));
    if (!options.handsFree)
        l.stop(); // the key comes up as the phrase ends
    if (results.count() == 0 && !results.wait(30000)) {
        ADD_FAILURE() << "no result for \"" << text << "\"";
        return {};
    }
    EXPECT_EQ(l.state(), options.handsFree ? Listener::State::Listening : Listener::State::Idle)
        << "hands-free still listens for the next";
    return results.at(0).at(0).value<Recognition>();
}

} // namespace

TEST(ListenerThroughPulseAudio, PushToTalkHearsShutUpAndQuitAsBye) {
    ASSERT_TRUE(Listener::microphoneAvailable());
    Listener::Options o;
    o.releaseDelayMs = 2000;
    o.endSilenceMs = 500;
    const Recognition r = hear("Shut up and quit", o);
    ASSERT_TRUE(r.accepted) << "heard " << r.heard;
    EXPECT_EQ(r.phrase->commandName, "BYE");
    EXPECT_EQ(r.phrase->shown, "Shut Up! & Quit");
}

TEST(ListenerThroughPulseAudio, OutOfGrammarSpeechIsRejected) {
    const Recognition r = hear("What time is it", {});
    EXPECT_FALSE(r.accepted) << "taken for " << r.phrase->shown;
    EXPECT_GT(r.audioSeconds, 0.5) << "it did record the sentence";
}

TEST(ListenerThroughPulseAudio, HandsFreeOpensAndClosesTheUtteranceByVoice) {
    Listener::Options o;
    o.handsFree = true;
    const Recognition r = hear("Random animation", o);
    ASSERT_TRUE(r.accepted) << "heard " << r.heard << " in " << r.audioSeconds << " s";
    EXPECT_EQ(r.phrase->commandName, "READPAGE");
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
