#include "agent/listen/Grammar.h"
#include "agent/listen/Phrases.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace agent::listen;

TEST(Normalize, DropsPunctuationReadsAmpersandFoldsCaseKeepsInnerApostrophes) {
    const std::pair<const char*, const char*> cases[] = {{"Shut Up! & Quit", "shut up and quit"},
                                                         {"  Say   It... ", "say it"},
                                                         {"Rock&Roll", "rock and roll"},
                                                         {"Don't Stop", "don't stop"},
                                                         {"'Sing'", "sing"},
                                                         {"!?-", ""},
                                                         {"", ""}};
    for (const auto& [shown, spoken] : cases)
        EXPECT_EQ(normalizeForSpeech(shown), spoken) << shown;
}

TEST(GlobalPhrases, NameTheCharacterOrLeaveTheNamePhrasesOut) {
    std::string phrases;
    for (const char* name : {"Merlin", ""})
        for (const auto& p : globalPhrases(name))
            phrases += p.text + '|';
    EXPECT_EQ(phrases, "Open Commands Window|Close Commands Window|Hide|Hide Merlin|Merlin|"
                       "Open Commands Window|Close Commands Window|Hide|");
}

// One phrase per speakable command, the first of those that sound the same, then the
// globals; found by their exact spoken words.
TEST(Grammar, BuildsOnePhrasePerSpeakableCommandThenGlobals) {
    Grammar g = Grammar::build({{"SING", "Sing"},
                                {"B", "???"},
                                {"C", "sing!"},
                                {"BYE", "Shut Up! & Quit"},
                                {"READPAGE", "Say It"}},
                               {{GlobalAction::HideCharacter, "Hide"}});
    std::string phrases;
    for (const Phrase& p : g.phrases())
        phrases += p.commandName + ':' + p.spoken + ':' + p.shown + ':' +
                   std::to_string(int(p.kind == Phrase::Kind::Global)) + '|';
    EXPECT_EQ(phrases,
              "SING:sing:Sing:0|BYE:shut up and quit:Shut Up! & Quit:0|READPAGE:say it:Say It:0|"
              ":hide:Hide:1|");
    EXPECT_EQ(g.phrases().back().action, GlobalAction::HideCharacter);
    EXPECT_EQ(g.find("say it"), &g.phrases()[2]);
    EXPECT_EQ(g.find("say"), nullptr);
    EXPECT_EQ(g.find("Say It"), nullptr);
}

// The words in first-use order, and every phrase an alternative of the JSGF rule.
TEST(Grammar, WordsAndJsgfFollowThePhrases) {
    Grammar g = Grammar::build({{"A", "Say It"}, {"B", "Change What to be Said"}, {"C", "Sing"}});
    EXPECT_EQ(g.words(), (std::vector<std::string>{"say", "it", "change", "what", "to", "be",
                                                   "said", "sing"}));
    EXPECT_NE(g.jsgf().find("public <phrase> = say it\n    | change what to be said\n    | sing;"),
              std::string::npos);
    EXPECT_NE(g, Grammar::build({{"A", "Say It"}}));
    EXPECT_EQ(g, Grammar::build({{"A", "Say It"}, {"B", "Change What to be Said"}, {"C", "Sing"}}));
    EXPECT_TRUE(Grammar().empty());
}
