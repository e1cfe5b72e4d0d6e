#include "agent/listen/Grammar.h"
#include "agent/listen/Phrases.h"

#include <gtest/gtest.h>

using namespace agent::listen;

TEST(Normalize, DropsPunctuationReadsAmpersandAndFoldsCase) {
    EXPECT_EQ(normalizeForSpeech("Shut Up! & Quit"), "shut up and quit");
    EXPECT_EQ(normalizeForSpeech("Change What to be Said"), "change what to be said");
    EXPECT_EQ(normalizeForSpeech("  Say   It... "), "say it");
    EXPECT_EQ(normalizeForSpeech("Rock&Roll"), "rock and roll");
}

TEST(Normalize, KeepsInnerApostrophesOnly) {
    EXPECT_EQ(normalizeForSpeech("Don't Stop"), "don't stop");
    EXPECT_EQ(normalizeForSpeech("'Sing'"), "sing");
}

TEST(Normalize, NothingSpeakableGivesEmpty) {
    EXPECT_EQ(normalizeForSpeech("!?-"), "");
    EXPECT_EQ(normalizeForSpeech(""), "");
}

TEST(GlobalPhrases, CoverCommandsWindowHideAndName) {
    auto phrases = globalPhrases("Merlin");
    auto has = [&](GlobalAction a, const std::string& text) {
        for (const auto& p : phrases)
            if (p.action == a && p.text == text)
                return true;
        return false;
    };
    EXPECT_TRUE(has(GlobalAction::OpenCommandsWindow, "Open Commands Window"));
    EXPECT_TRUE(has(GlobalAction::CloseCommandsWindow, "Close Commands Window"));
    EXPECT_TRUE(has(GlobalAction::HideCharacter, "Hide Merlin"));
    EXPECT_TRUE(has(GlobalAction::CallCharacter, "Merlin"));
}

TEST(GlobalPhrases, NamelessCharacterHasNoNamePhrases) {
    for (const auto& p : globalPhrases(""))
        EXPECT_NE(p.action, GlobalAction::CallCharacter) << p.text;
    EXPECT_EQ(globalPhrases("").size() + 2, globalPhrases("Hanz").size());
}

TEST(Grammar, BuildsOnePhrasePerCommandThenGlobals) {
    Grammar g = Grammar::build({{"SING", "Sing"}, {"BYE", "Shut Up! & Quit"}},
                               {{GlobalAction::HideCharacter, "Hide"}});
    ASSERT_EQ(g.phrases().size(), 3u);
    EXPECT_EQ(g.phrases()[0].commandName, "SING");
    EXPECT_EQ(g.phrases()[1].spoken, "shut up and quit");
    EXPECT_EQ(g.phrases()[1].shown, "Shut Up! & Quit");
    EXPECT_EQ(g.phrases()[1].kind, Phrase::Kind::Command);
    EXPECT_EQ(g.phrases()[2].kind, Phrase::Kind::Global);
    EXPECT_EQ(g.phrases()[2].action, GlobalAction::HideCharacter);
}

TEST(Grammar, SkipsUnspeakableAndKeepsFirstOfSameSounding) {
    Grammar g = Grammar::build({{"A", "Sing"}, {"B", "???"}, {"C", "sing!"}});
    ASSERT_EQ(g.phrases().size(), 1u);
    EXPECT_EQ(g.phrases()[0].commandName, "A");
}

TEST(Grammar, FindsByExactSpokenWords) {
    Grammar g = Grammar::build({{"MASS", "Change What to be Said"}, {"READPAGE", "Say It"}});
    ASSERT_NE(g.find("say it"), nullptr);
    EXPECT_EQ(g.find("say it")->commandName, "READPAGE");
    EXPECT_EQ(g.find("say"), nullptr);
    EXPECT_EQ(g.find("Say It"), nullptr);
}

TEST(Grammar, WordsAreDistinctInFirstUseOrder) {
    Grammar g = Grammar::build({{"A", "Say It"}, {"B", "Change What to be Said"}});
    EXPECT_EQ(g.words(),
              (std::vector<std::string>{"say", "it", "change", "what", "to", "be", "said"}));
}

TEST(Grammar, JsgfListsEveryPhraseAsAnAlternative) {
    Grammar g = Grammar::build({{"A", "Say It"}, {"B", "Sing"}});
    const std::string j = g.jsgf();
    EXPECT_EQ(j.rfind("#JSGF V1.0;", 0), 0u);
    EXPECT_NE(j.find("public <phrase> = say it\n    | sing;"), std::string::npos) << j;
}

TEST(Grammar, RebuiltGrammarDiffersWhenCommandsChange) {
    auto before = Grammar::build({{"A", "Sing"}});
    auto after = Grammar::build({{"A", "Sing"}, {"B", "Say It"}});
    EXPECT_NE(before, after);
    EXPECT_EQ(before, Grammar::build({{"A", "Sing"}}));
    EXPECT_TRUE(Grammar().empty());
}
