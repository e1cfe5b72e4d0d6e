#include "agent/listen/Pronunciation.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Recognizer.h"

#include <gtest/gtest.h>

using namespace agent::listen;
using Phones = std::vector<std::string>;

TEST(EspeakToModel, MapsConsonantsVowelsAndDropsStress) {
    EXPECT_EQ(mapEspeakToModelPhones("m_'3:_l_I_n"), (Phones{"M", "ER", "L", "IH", "N"}));
    EXPECT_EQ(mapEspeakToModelPhones("dZ_'i:_n_i"), (Phones{"JH", "IY", "N", "IY"}));
}

TEST(EspeakToModel, ExpandsRColouredVowelsAndSplitsWords) {
    EXPECT_EQ(mapEspeakToModelPhones("p_'A@_l_a#_v_,0_k_s"),
              (Phones{"P", "AA", "R", "L", "AH", "V", "AA", "K", "S"}));
    EXPECT_EQ(mapEspeakToModelPhones("S_'V_t 'V_p"), (Phones{"SH", "AH", "T", "AH", "P"}));
}

TEST(EspeakToModel, UnknownPhonemeIsAnErrorNamingIt) {
    try {
        mapEspeakToModelPhones("p_Q_t");
        FAIL() << "no error";
    } catch (const ListenError& e) {
        EXPECT_NE(std::string(e.what()).find("\"Q\""), std::string::npos) << e.what();
    }
}

TEST(EspeakPronunciation, GivesModelPhonesForUnknownWords) {
    // "Parlavox" is in no dictionary; espeak-ng's rules read it.
    Phones p = espeakPronunciation("parlavox");
    ASSERT_GE(p.size(), 7u);
    EXPECT_EQ(p.front(), "P");
    EXPECT_EQ(p.back(), "S");
    EXPECT_EQ(espeakPronunciation("zeedy"), (Phones{"Z", "IY", "D", "IY"}));
}

TEST(RecognizerGrammar, WordsMissingFromTheDictionaryGetGeneratedPronunciations) {
    Recognizer r;
    r.setGrammar(Grammar::build({{"A", "Sing"}, {"B", "Parlavox Zeedy"}}));
    const auto& gen = r.generatedPronunciations();
    ASSERT_EQ(gen.size(), 2u);
    EXPECT_EQ(gen[0].first, "parlavox");
    EXPECT_EQ(gen[1], (std::pair<std::string, std::string>{"zeedy", "Z IY D IY"}));
}

TEST(RecognizerGrammar, FailedPronunciationIsAnErrorNamingTheWord) {
    RecognizerOptions o;
    o.pronounce = [](const std::string&) { return Phones{"NOT_A_PHONE"}; };
    Recognizer r(o);
    try {
        r.setGrammar(Grammar::build({{"A", "Sing Zorblax"}}));
        FAIL() << "no error";
    } catch (const ListenError& e) {
        EXPECT_NE(std::string(e.what()).find("zorblax"), std::string::npos) << e.what();
    }
    o.pronounce = [](const std::string&) { return Phones{}; };
    Recognizer r2(o);
    EXPECT_THROW(r2.setGrammar(Grammar::build({{"A", "Zorblax"}})), ListenError);
}

TEST(RecognizerModel, MissingModelIsAnErrorNamingThePath) {
    RecognizerOptions o;
    o.modelDir = "/nonexistent/model";
    try {
        Recognizer r(o);
        FAIL() << "no error";
    } catch (const ListenError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/model"), std::string::npos);
    }
}
