#include "agent/listen/Pronunciation.h"

#include "agent/listen/Espeak.h"
#include "agent/listen/ListenError.h"

#include <array>
#include <utility>

namespace agent::listen {

namespace {

struct Mapping {
    std::string_view espeak;
    std::string_view phones; // space separated
};

// espeak-ng en/en-us phoneme names; r-coloured and syllabic ones expand to two.
constexpr std::array kMap = {
    Mapping{"p", "P"},       Mapping{"b", "B"},       Mapping{"t", "T"},
    Mapping{"t#", "T"},      Mapping{"t2", "T"},      Mapping{"?", "T"},
    Mapping{"d", "D"},       Mapping{"d#", "D"},      Mapping{"k", "K"},
    Mapping{"x", "K"},       Mapping{"g", "G"},       Mapping{"f", "F"},
    Mapping{"v", "V"},       Mapping{"T", "TH"},      Mapping{"D", "DH"},
    Mapping{"s", "S"},       Mapping{"z", "Z"},       Mapping{"S", "SH"},
    Mapping{"Z", "ZH"},      Mapping{"h", "HH"},      Mapping{"tS", "CH"},
    Mapping{"dZ", "JH"},     Mapping{"m", "M"},       Mapping{"n", "N"},
    Mapping{"N", "NG"},      Mapping{"l", "L"},       Mapping{"r", "R"},
    Mapping{"w", "W"},       Mapping{"j", "Y"},       Mapping{"n-", "AH N"},
    Mapping{"m-", "AH M"},   Mapping{"l-", "AH L"},   Mapping{"r-", "ER"},
    Mapping{"a", "AE"},      Mapping{"aa", "AE"},     Mapping{"a#", "AH"},
    Mapping{"A:", "AA"},     Mapping{"A@", "AA R"},   Mapping{"aI", "AY"},
    Mapping{"aI@", "AY ER"}, Mapping{"aI3", "AY ER"}, Mapping{"aU", "AW"},
    Mapping{"aU@", "AW ER"}, Mapping{"E", "EH"},      Mapping{"e@", "EH R"},
    Mapping{"eI", "EY"},     Mapping{"I", "IH"},      Mapping{"I#", "IH"},
    Mapping{"I2", "IH"},     Mapping{"i", "IY"},      Mapping{"i:", "IY"},
    Mapping{"i@", "IY R"},   Mapping{"i@3", "IY R"},  Mapping{"0", "AA"},
    Mapping{"O", "AO"},      Mapping{"O:", "AO"},     Mapping{"O2", "AO"},
    Mapping{"O@", "AO R"},   Mapping{"o@", "AO R"},   Mapping{"OI", "OY"},
    Mapping{"oU", "OW"},     Mapping{"U", "UH"},      Mapping{"u:", "UW"},
    Mapping{"U@", "UH R"},   Mapping{"V", "AH"},      Mapping{"@", "AH"},
    Mapping{"@2", "AH"},     Mapping{"@5", "AH"},     Mapping{"@-", "AH"},
    Mapping{"@L", "AH L"},   Mapping{"3", "ER"},      Mapping{"3:", "ER"},
};

void appendPhones(std::vector<std::string>& out, std::string_view phones) {
    while (!phones.empty()) {
        auto sp = phones.find(' ');
        out.emplace_back(phones.substr(0, sp));
        if (sp == std::string_view::npos)
            break;
        phones.remove_prefix(sp + 1);
    }
}

bool isMarker(char c) {
    // Stress, length and syllable marks carry nothing the model's phones can show.
    return c == '\'' || c == ',' || c == '%' || c == '=' || c == ';' || c == ':' || c == '|';
}

} // namespace

std::vector<std::string> mapEspeakToModelPhones(std::string_view names) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= names.size()) {
        std::size_t end = names.find_first_of("_ ", pos);
        if (end == std::string_view::npos)
            end = names.size();
        std::string_view tok = names.substr(pos, end - pos);
        pos = end + 1;
        while (!tok.empty() && (tok.front() == '\'' || tok.front() == ',' || tok.front() == '%' ||
                                tok.front() == '='))
            tok.remove_prefix(1);
        bool onlyMarks = true;
        for (char c : tok)
            onlyMarks = onlyMarks && isMarker(c);
        if (onlyMarks)
            continue;
        // ';' after a consonant marks palatalisation: same phone for the model.
        if (tok.size() > 1 && tok.back() == ';')
            tok.remove_suffix(1);
        const Mapping* found = nullptr;
        for (const auto& m : kMap)
            if (m.espeak == tok)
                found = &m;
        if (!found)
            throw ListenError("no model phone for espeak-ng phoneme \"" + std::string(tok) +
                              "\" in \"" + std::string(names) + "\"");
        appendPhones(out, found->phones);
    }
    return out;
}

std::vector<std::string> espeakPronunciation(const std::string& word) {
    std::string names = espeakPhonemeNames(word, "en-us");
    std::vector<std::string> phones;
    try {
        phones = mapEspeakToModelPhones(names);
    } catch (const ListenError& e) {
        throw ListenError("cannot pronounce \"" + word + "\": " + e.what());
    }
    if (phones.empty())
        throw ListenError("cannot pronounce \"" + word + "\": espeak-ng gave no phonemes");
    return phones;
}

} // namespace agent::listen
