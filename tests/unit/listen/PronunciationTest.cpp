#include "agent/listen/Pronunciation.h"
#include "agent/listen/Espeak.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Recognizer.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace agent::listen;

// Stress marks and ties dropped, words split, accent vowels to their nearest
// model phones, r-coloured and syllabic ones expanded.
TEST(IpaToModel, MapsPhonemesAndNamesTheOneItDoesNotKnow) {
    const std::pair<const char*, Phones> cases[] = {
        {"m_ˈɜː_l_ɪ_n", {"M", "ER", "L", "IH", "N"}},
        {"ɐ_d_v_ˈæ_n_s_t", {"AH", "D", "V", "AE", "N", "S", "T"}},
        {"k_ə_m_ˈɑː_n_d_z", {"K", "AH", "M", "AA", "N", "D", "Z"}},
        {"ˈə\u200dʊ_p_ə_n w_ˈɪ_n_d_o\u200dʊ",
         {"AH", "UW", "P", "AH", "N", "W", "IH", "N", "D", "OW"}},
        {"h_ˈaɪ_d ˈɔɪ_d", {"HH", "AY", "D", "OY", "D"}},
        {"p_ˈɑːɹ_l_ɚ s_ˈɪ_ŋ_ɡ_l̩", {"P", "AA", "R", "L", "ER", "S", "IH", "NG", "G", "AH", "L"}},
        {"tʃ_ˈeɪ_n_dʒ  θ_ð", {"CH", "EY", "N", "JH", "TH", "DH"}},
    };
    for (const auto& [ipa, phones] : cases)
        EXPECT_EQ(mapIpaToModelPhones(ipa), phones) << ipa;
    try {
        mapIpaToModelPhones("p_ʘ_t");
        FAIL() << "no error";
    } catch (const ListenError& e) {
        EXPECT_NE(std::string(e.what()).find("\"ʘ\""), std::string::npos) << e.what();
    }
}

// US English first; the British "a" of advanced and commands follows.
TEST(EspeakPronunciations, UsEnglishFirstThenOtherAccentsWithoutRepeats) {
    const std::pair<const char*, Phones> cases[] = {
        {"advanced", {"AH", "D", "V", "AA", "N", "S", "T"}},
        {"commands", {"K", "AH", "M", "AA", "N", "D", "Z"}},
        {"open", {"AH", "UW", "P", "AH", "N"}},
    };
    for (const auto& [word, british] : cases) {
        const auto all = espeakPronunciations(word);
        ASSERT_GE(all.size(), 2u) << word;
        EXPECT_NE(all.front(), british) << word;
        EXPECT_NE(std::find(all.begin(), all.end(), british), all.end()) << word;
        for (auto it = all.begin(); it != all.end(); ++it)
            EXPECT_EQ(std::find(it + 1, all.end(), *it), all.end()) << word << " repeats";
    }
    EXPECT_EQ(espeakPronunciations("sing"), (std::vector<Phones>{{"S", "IH", "NG"}}));
}

// Working out a grammar's pronunciations leaves speech whole: espeak-ng
// once cut the next phrase spoken after them to its first syllable.
TEST(EspeakPronunciations, SpeechAfterwardsIsWhole) {
    for (const char* word :
         {"advanced", "say",    "it",        "change", "what",  "to",   "be",
          "said",     "random", "animation", "sing",   "shut",  "up",   "and",
          "quit",     "open",   "commands",  "window", "close", "hide", "merlin"})
        espeakPronunciations(word);
    const std::size_t first = listentest::render("Random animation", "en", 150).size();
    const std::size_t second = listentest::render("Random animation", "en", 150).size();
    EXPECT_GT(first, second * 9 / 10) << second << " samples the second time";
}

TEST(RecognizerGrammar, GeneratedPronunciationsJoinTheDictionarysOrNameTheWordThatHasNone) {
    RecognizerOptions o;
    o.pronounce = [](const std::string& word) -> std::vector<Phones> {
        if (word == "sing")
            return {{"S", "IH", "NG"}, {"S", "AA", "NG"}};
        if (word == "zorblax")
            return {{"Z", "AO", "R", "B", "L", "AE", "K", "S"}};
        throw ListenError("cannot pronounce \"" + word + "\"");
    };
    Recognizer r(o);
    // The dictionary's own "S IH NG" stays the only plain "sing"; a word the
    // pronouncer cannot say is fine when the dictionary has it.
    r.setGrammar(Grammar::build({{"A", "Sing Zorblax"}, {"B", "Hello"}}));
    using Entry = std::pair<std::string, std::string>;
    EXPECT_EQ(r.generatedPronunciations(),
              (std::vector<Entry>{{"sing(2)", "S AA NG"}, {"zorblax", "Z AO R B L AE K S"}}));

    for (const auto& bad :
         {std::vector<Phones>{{"NOT_A_PHONE"}}, std::vector<Phones>{{}}, std::vector<Phones>{}}) {
        o.pronounce = [bad](const std::string&) { return bad; };
        Recognizer r2(o);
        try {
            r2.setGrammar(Grammar::build({{"A", "Quuxle"}}));
            FAIL() << "no error";
        } catch (const ListenError& e) {
            EXPECT_NE(std::string(e.what()).find("quuxle"), std::string::npos) << e.what();
        }
    }
}

// Every phoneme the English accents use has a model phone: a gap would drop
// an accent's pronunciation of every word that has it.
TEST(IpaToModel, EveryAccentPhonemeOfEveryFortiethDictionaryWordMaps) {
    std::ifstream dict(defaultModelDir() / "cmudict-en-us.dict");
    ASSERT_TRUE(dict) << "no pronouncing dictionary";
    std::string text;
    int line = 0;
    for (std::string entry; std::getline(dict, entry);)
        if (++line % 40 == 0 &&
            entry.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == entry.find(' '))
            text += entry.substr(0, entry.find(' ')) + ' ';
    ASSERT_GT(text.size(), 10000u);
    for (const auto& accent : espeakEnglishAccents())
        EXPECT_NO_THROW(mapIpaToModelPhones(espeakIpa(text, accent))) << accent;
}
