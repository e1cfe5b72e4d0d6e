// The recogniser on espeak-ng renderings: the six Voice texts must be recognised,
// out-of-grammar sentences and noise rejected. The full sweep over voices, speeds
// and noise, with its rates and decode time, is bench/ListenBench.
#include "agent/listen/Recognizer.h"
#include "agent/listen/Grammar.h"
#include "agent/listen/Phrases.h"

#include "Speech.h"

#include <gtest/gtest.h>

using namespace agent::listen;
using listentest::kCommands;
using listentest::Samples;

namespace {

Grammar engineGrammar() {
    return Grammar::build(kCommands, globalPhrases("Merlin"));
}

} // namespace

TEST(Recognizer, CommandsRecognisedOutOfGrammarAndNoiseRejected) {
    Recognizer rec;
    rec.setGrammar(engineGrammar());
    int missed = 0;
    unsigned seed = 1;
    for (const char* voice : {"en-us", "en+f3"})
        for (double snr : {-1.0, 20.0}) // -1: clean
            for (const auto& c : kCommands) {
                Samples s = listentest::render(c.voice, voice, 160);
                if (snr >= 0)
                    s = listentest::withNoise(s, snr, seed++);
                const Recognition r = rec.recognize(s);
                if (r.accepted) {
                    EXPECT_EQ(r.phrase->commandName, c.name)
                        << voice << " " << snr << " \"" << c.voice << "\"";
                }
                missed += r.accepted ? 0 : 1;
            }
    EXPECT_LE(missed, 3) << "of 24";
    int accepted = 0;
    for (const char* text : {"What time is it", "Open the window please", "Turn off the lights",
                             "How is the weather today", "Banana elephant purple",
                             "Send a message to my brother", "Hello", "Singing in the rain"})
        accepted += rec.recognize(listentest::render(text, "en-us", 160)).accepted ? 1 : 0;
    EXPECT_LE(accepted, 1) << "of 8 out-of-grammar sentences";
    for (const Samples& noise :
         {listentest::whiteNoise(1.5, -20, 12), listentest::brownNoise(1.5, -15, 14),
          listentest::hum(1.5, -25), Samples(24000, 0)})
        EXPECT_FALSE(rec.recognize(noise).accepted);
}

TEST(Recognizer, TheGrammarDecidesWhatIsAccepted) {
    Recognizer rec;
    const Samples bye = listentest::render("Shut up and quit", "en-us", 160);
    EXPECT_FALSE(rec.recognize(bye).accepted) << "no grammar yet";
    rec.setGrammar(engineGrammar());
    EXPECT_FALSE(rec.recognize({}).accepted);
    Recognition r = rec.recognize(bye); // still works after an empty utterance
    ASSERT_TRUE(r.accepted) << r.heard;
    EXPECT_EQ(r.phrase->commandName, "BYE");
    EXPECT_GT(r.frames, 0);
    EXPECT_NEAR(r.audioSeconds, static_cast<double>(bye.size()) / 16000, 1e-9);

    r = rec.recognize(listentest::render("Open commands window", "en-us", 160));
    ASSERT_TRUE(r.accepted) << r.heard;
    EXPECT_EQ(r.phrase->kind, Phrase::Kind::Global);
    EXPECT_EQ(r.phrase->action, GlobalAction::OpenCommandsWindow);

    // A fresh recogniser: its noise normalisation follows what it has heard.
    Recognizer fresh;
    fresh.setGrammar(engineGrammar());
    const Samples sing = listentest::render("Sing", "en-us", 160);
    ASSERT_TRUE(fresh.recognize(sing).accepted);
    std::vector<VoiceCommand> without = kCommands;
    std::erase_if(without, [](const VoiceCommand& c) { return c.name == "SING"; });
    fresh.setGrammar(Grammar::build(without, globalPhrases("Merlin")));
    r = fresh.recognize(sing);
    EXPECT_FALSE(r.accepted) << "taken for " << r.phrase->shown;

    // A word in no dictionary is said as espeak-ng's rules read it.
    rec.setGrammar(Grammar::build({{"HELLO", "Parlavox"}, {"SING", "Sing"}}));
    r = rec.recognize(listentest::render("Parlavox", "en-us", 160));
    ASSERT_TRUE(r.accepted) << r.heard;
    EXPECT_EQ(r.phrase->commandName, "HELLO");
}

TEST(Recognizer, FeedingInPiecesEqualsFeedingAtOnce) {
    Recognizer rec;
    rec.setGrammar(engineGrammar());
    const Samples s =
        listentest::withNoise(listentest::render("Random animation", "en", 150), 20, 9);
    Recognition whole = rec.recognize(s);
    rec.begin();
    for (std::size_t i = 0; i < s.size(); i += 1600)
        rec.feed(std::span(s).subspan(i, std::min<std::size_t>(1600, s.size() - i)));
    Recognition pieces = rec.finish();
    EXPECT_EQ(whole.accepted, pieces.accepted);
    EXPECT_EQ(whole.heard, pieces.heard);
    EXPECT_EQ(whole.frames, pieces.frames);
}
