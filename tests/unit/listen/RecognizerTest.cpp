// The recogniser on espeak-ng renderings: the six Voice texts must be recognised,
// out-of-grammar sentences and noise rejected. The sweep over voices, speeds and
// noise, with its rates and decode time, is bench/ListenBench.
#include "agent/listen/Recognizer.h"
#include "agent/listen/Grammar.h"
#include "agent/listen/Phrases.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace agent::listen;
using namespace listentest;

TEST(Recognizer, CommandsRecognisedOutOfGrammarAndNoiseRejected) {
    Recognizer rec;
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    int missed = 0;
    unsigned seed = 1;
    for (const char* voice : {"en-us", "en+f3"})
        for (const auto& c : kCommands) {
            const Recognition r = rec.recognize(withNoise(render(c.voice, voice, 160), 20, seed++));
            EXPECT_TRUE(!r.accepted || r.phrase->commandName == c.name)
                << voice << " " << c.voice << " taken for " << r.heard;
            missed += r.accepted ? 0 : 1;
        }
    EXPECT_LE(missed, 2) << "of 12";
    // Unrelated sentences, and near misses that begin like a phrase.
    for (const char* text :
         {"What time is it", "Banana elephant purple", "Send a message to my brother",
          "Singing in the rain", "Open the window", "Random number", "Advanced settings",
          "Sing a song", "Say it again", "Hide and seek"})
        EXPECT_FALSE(rec.recognize(render(text, "en-us", 160)).accepted) << text;
    // Noise makes the garbage cheaper: there a sentence is more easily
    // stretched into a phrase. Steady noise is taken out first and leaves less
    // to stretch over than noise that comes and goes (here the same noise,
    // swelling three times a second).
    const Samples sing = render("Sing", "en-us", 160);
    EXPECT_EQ(rec.recognize(sing).garbagePenalty, kDefaultGarbagePenalty);
    const Samples steady = withNoise(sing, 10, 5);
    Samples wavering = sing;
    for (std::size_t i = 0; i < sing.size(); ++i) {
        const double swell = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 3.0 * i / 16000.0);
        wavering[i] = static_cast<std::int16_t>(
            std::clamp(sing[i] + 1.57 * swell * (steady[i] - sing[i]), -32768.0, 32767.0));
    }
    const double inSteadyNoise = rec.recognize(steady).garbagePenalty;
    EXPECT_LT(inSteadyNoise, kDefaultGarbagePenalty);
    EXPECT_LT(rec.recognize(wavering).garbagePenalty, inSteadyNoise);
    const std::pair<const char*, Samples> noises[] = {{"white", whiteNoise(1.5, -20, 12)},
                                                      {"brown", brownNoise(1.5, -15, 14)},
                                                      {"hum", hum(1.5, -25)},
                                                      {"silence", Samples(24000, 0)}};
    for (const auto& [name, noise] : noises) {
        const Recognition r = rec.recognize(noise);
        EXPECT_FALSE(r.accepted) << name << " taken for " << r.heard;
    }
}

TEST(Recognizer, TheGrammarDecidesWhatIsAccepted) {
    // What a recording is taken for, or what was heard instead.
    const auto taken = [](const Recognition& r) {
        return r.accepted ? r.phrase->shown : "(none) " + r.heard;
    };
    Recognizer rec;
    const Samples bye = render("Shut up and quit", "en-us", 160);
    EXPECT_FALSE(rec.recognize(bye).accepted) << "no grammar yet";
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    EXPECT_FALSE(rec.recognize({}).accepted);
    EXPECT_EQ(taken(rec.recognize(bye)), "Shut Up! & Quit") << "after an empty utterance";
    EXPECT_EQ(taken(rec.recognize(render("Open commands window", "en-us", 160))),
              "Open Commands Window");
    // Without SING, "Sing" is not taken for Sing (in quiet, where phones
    // around a phrase are dear, the nearest phrase may stretch over it: here
    // "Say It"). A fresh recogniser: its noise normalisation follows what it
    // has heard.
    Recognizer fresh;
    fresh.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    const Samples sing = render("Sing", "en-us", 160);
    ASSERT_EQ(taken(fresh.recognize(sing)), "Sing");
    std::vector<VoiceCommand> without = kCommands;
    std::erase_if(without, [](const VoiceCommand& c) { return c.name == "SING"; });
    fresh.setGrammar(Grammar::build(without, globalPhrases("Merlin")));
    EXPECT_NE(taken(fresh.recognize(sing)), "Sing");
    // A word in no dictionary is said as espeak-ng's rules read it.
    rec.setGrammar(Grammar::build({{"HELLO", "Parlavox"}, {"SING", "Sing"}}));
    EXPECT_EQ(taken(rec.recognize(render("Parlavox", "en-us", 160))), "Parlavox");
}

// Without rejection, a sentence is taken for the phrase it fits best, however
// much is left over around it, and a command is still itself.
TEST(Recognizer, WithoutRejectionEverythingIsTakenForAPhrase) {
    RecognizerOptions options;
    options.rejectOthers = false;
    Recognizer rec(options);
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    for (const char* text : {"Say it again", "Sing a song", "Where are my keys"}) {
        const Recognition r = rec.recognize(render(text, "en-us", 160));
        EXPECT_TRUE(r.accepted) << text << " heard as " << r.heard;
    }
    const Recognition bye = rec.recognize(render("Shut up and quit", "en-us", 160));
    ASSERT_TRUE(bye.accepted);
    EXPECT_EQ(bye.phrase->shown, "Shut Up! & Quit");
}

// In quiet, a command in an accent the model does not know keeps its first
// and last sounds: the decoder would otherwise split them off as phones
// around the phrase, as loud as it, and the phrase be rejected.
TEST(Recognizer, AccentedCommandsKeepTheirEdgesInQuiet) {
    Recognizer rec;
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    const struct {
        const char* voice;
        int wpm;
        const char* text;
    } cases[] = {
        {"en-gb-x-gbcwmd+john", 120, "Shut Up! & Quit"},
        {"en-029+grandma", 120, "Shut Up! & Quit"},
        {"en-029+Lee", 160, "Hide Merlin"},
    };
    for (const auto& c : cases) {
        const Recognition r = rec.recognize(render(c.text, c.voice, c.wpm));
        EXPECT_EQ(r.accepted ? r.phrase->shown : "(none) " + r.heard, c.text) << c.voice;
    }
}

// A second of steady room noise either side of the phrase is left out of what is
// decoded, and the answer is the same whether the audio comes at once, in
// pieces, or is decoded ahead of the end with the audio kept for finish().
TEST(Recognizer, RoomNoiseAroundThePhraseIsLeftOutFedAtOnceOrInPieces) {
    Recognizer rec;
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    Samples s = render("Random animation", "en", 150);
    s.insert(s.begin(), 16000, 0);
    s.insert(s.end(), 16000, 0);
    s = withNoise(s, 20, 9);
    const Recognition whole = rec.recognize(s);
    EXPECT_LT(whole.frames, int(s.size() / 160) - 150) << "of " << s.size() / 160;
    rec.begin();
    for (std::size_t i = 0; i < s.size(); i += 1600)
        rec.feed(std::span(s).subspan(i, std::min<std::size_t>(1600, s.size() - i)));
    const Recognition ahead = rec.recognizeSoFar();
    const Recognition pieces = rec.finish();
    EXPECT_TRUE(whole.accepted);
    for (const Recognition& r : {ahead, pieces})
        EXPECT_EQ(std::tuple(whole.accepted, whole.heard, whole.frames),
                  std::tuple(r.accepted, r.heard, r.frames));
}

// People talking quieter around a command do not lose it; as loud as the
// command, they do. The same audio gets the same answer whatever was decoded
// before it.
TEST(Recognizer, QuieterTalkersAroundACommandAndTheSameAnswerEachTime) {
    Recognizer rec;
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    Samples talker =
        render("We were going to meet at the station but the train was late", "en+m3", 170);
    for (const auto& [text, voice] :
         {std::pair{"She said the report would be ready by Friday", "en+f2"},
          std::pair{"After lunch we walked along the river and watched the boats", "en-us"}}) {
        const Samples other = render(text, voice, 180);
        for (std::size_t i = 0; i < talker.size(); ++i)
            talker[i] = static_cast<std::int16_t>(talker[i] / 2 + other[i % other.size()] / 2);
    }
    const auto inTalk = [&](const char* text, double belowDb) {
        Samples s = render(text, "en-us", 160);
        s.insert(s.begin(), 8000, 0);
        s.insert(s.end(), 8000, 0);
        return withTalker(s, talker, belowDb);
    };
    const struct {
        const char* text;
        double talkerBelowDb;
        const char* taken; // or "" when nothing may be
    } cases[] = {
        {"Random animation", 15, "Random Animation"},
        {"Open commands window", 15, "Open Commands Window"},
        {"Random animation", 0, ""},
        {"Sing", 0, ""},
    };
    for (const auto& c : cases) {
        const Samples audio = inTalk(c.text, c.talkerBelowDb);
        const Recognition first = rec.recognize(audio);
        EXPECT_EQ(first.accepted ? first.phrase->shown : "", c.taken)
            << c.text << " with a talker " << c.talkerBelowDb << " dB below: heard " << first.heard;
        rec.recognize(whiteNoise(1.0, -10, 3)); // loud noise between the two
        const Recognition again = rec.recognize(audio);
        EXPECT_EQ(std::tuple(first.accepted, first.heard), std::tuple(again.accepted, again.heard))
            << c.text;
    }
}
