#include "agent/listen/Pronunciation.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Recognizer.h"

#include <gtest/gtest.h>

using namespace agent::listen;
using Phones = std::vector<std::string>;

// Consonants, vowels, r-coloured vowels expanded, stress dropped, words split.
TEST(EspeakToModel, MapsPhonemesAndNamesTheOneItDoesNotKnow) {
    const std::pair<const char*, Phones> cases[] = {
        {"m_'3:_l_I_n", {"M", "ER", "L", "IH", "N"}},
        {"dZ_'i:_n_i", {"JH", "IY", "N", "IY"}},
        {"p_'A@_l_a#_v_,0_k_s", {"P", "AA", "R", "L", "AH", "V", "AA", "K", "S"}},
        {"S_'V_t 'V_p", {"SH", "AH", "T", "AH", "P"}},
    };
    for (const auto& [espeak, phones] : cases)
        EXPECT_EQ(mapEspeakToModelPhones(espeak), phones) << espeak;
    try {
        mapEspeakToModelPhones("p_Q_t");
        FAIL() << "no error";
    } catch (const ListenError& e) {
        EXPECT_NE(std::string(e.what()).find("\"Q\""), std::string::npos) << e.what();
    }
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
