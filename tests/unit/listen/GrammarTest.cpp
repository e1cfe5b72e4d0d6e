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
    using Named = std::pair<GlobalAction, std::string>;
    std::vector<Named> named;
    for (const auto& p : globalPhrases("Merlin"))
        named.emplace_back(p.action, p.text);
    for (const Named& want : {Named{GlobalAction::OpenCommandsWindow, "Open Commands Window"},
                              Named{GlobalAction::HideCharacter, "Hide Merlin"},
                              Named{GlobalAction::CallCharacter, "Merlin"}})
        EXPECT_NE(std::find(named.begin(), named.end(), want), named.end()) << want.second;
    for (const auto& p : globalPhrases(""))
        EXPECT_NE(p.action, GlobalAction::CallCharacter) << p.text;
    EXPECT_EQ(globalPhrases("").size() + 2, named.size());
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
    ASSERT_EQ(g.phrases().size(), 4u);
    EXPECT_EQ(g.phrases()[0].commandName, "SING");
    EXPECT_EQ(g.phrases()[1].spoken, "shut up and quit");
    EXPECT_EQ(g.phrases()[1].shown, "Shut Up! & Quit");
    EXPECT_EQ(g.phrases()[1].kind, Phrase::Kind::Command);
    EXPECT_EQ(g.phrases()[3].kind, Phrase::Kind::Global);
    EXPECT_EQ(g.phrases()[3].action, GlobalAction::HideCharacter);
    ASSERT_NE(g.find("say it"), nullptr);
    EXPECT_EQ(g.find("say it")->commandName, "READPAGE");
    EXPECT_EQ(g.find("say"), nullptr);
    EXPECT_EQ(g.find("Say It"), nullptr);
}

// The words in first-use order, and every phrase an alternative of the JSGF rule.
TEST(Grammar, WordsAndJsgfFollowThePhrases) {
    Grammar g = Grammar::build({{"A", "Say It"}, {"B", "Change What to be Said"}, {"C", "Sing"}});
    EXPECT_EQ(g.words(), (std::vector<std::string>{"say", "it", "change", "what", "to", "be",
                                                   "said", "sing"}));
    const std::string j = g.jsgf();
    EXPECT_EQ(j.rfind("#JSGF V1.0;", 0), 0u);
    EXPECT_NE(j.find("public <phrase> = say it\n    | change what to be said\n    | sing;"),
              std::string::npos)
        << j;
    EXPECT_NE(g, Grammar::build({{"A", "Say It"}}));
    EXPECT_EQ(g, Grammar::build({{"A", "Say It"}, {"B", "Change What to be Said"}, {"C", "Sing"}}));
    EXPECT_TRUE(Grammar().empty());
}
