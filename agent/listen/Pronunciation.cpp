#include "agent/listen/Pronunciation.h"

#include "agent/listen/Espeak.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Logging.h"

#include <algorithm>
#include <array>

namespace agent::listen {

namespace {

struct Mapping {
    std::string_view ipa;
    std::string_view phones; // space separated
};

// Every phoneme espeak-ng's English accents use. R-coloured and syllabic ones
// expand to two phones; the non-rhotic accents' centring diphthongs keep no R,
// since that is what the speaker says.
// clang-format off
constexpr std::array kMap = {
    // Consonants.
    Mapping{"p", "P"}, Mapping{"b", "B"}, Mapping{"t", "T"}, Mapping{"t̪", "T"}, Mapping{"th", "T"},
    Mapping{"ɾ", "T"}, Mapping{"ʔ", "T"}, Mapping{"d", "D"}, Mapping{"k", "K"}, Mapping{"x", "K"},
    Mapping{"ɡ", "G"}, Mapping{"g", "G"}, Mapping{"f", "F"}, Mapping{"v", "V"}, Mapping{"θ", "TH"},
    Mapping{"ð", "DH"}, Mapping{"s", "S"}, Mapping{"z", "Z"}, Mapping{"ʃ", "SH"}, Mapping{"ʒ", "ZH"},
    Mapping{"h", "HH"}, Mapping{"tʃ", "CH"}, Mapping{"dʒ", "JH"}, Mapping{"m", "M"},
    Mapping{"n", "N"}, Mapping{"nʲ", "N"}, Mapping{"ŋ", "NG"}, Mapping{"l", "L"}, Mapping{"ɹ", "R"},
    Mapping{"r", "R"}, Mapping{"w", "W"}, Mapping{"ʍ", "W"}, Mapping{"j", "Y"},
    Mapping{"n̩", "AH N"}, Mapping{"m̩", "AH M"}, Mapping{"l̩", "AH L"}, Mapping{"əl", "AH L"},
    // Monophthongs.
    Mapping{"ɐ", "AH"}, Mapping{"ə", "AH"}, Mapping{"ʌ", "AH"}, Mapping{"ᵻ", "IH"},
    Mapping{"ɪ", "IH"}, Mapping{"i", "IY"}, Mapping{"iː", "IY"}, Mapping{"ʊ", "UH"},
    Mapping{"u", "UW"}, Mapping{"uː", "UW"}, Mapping{"ʉ", "UW"}, Mapping{"ʉː", "UW"},
    Mapping{"ɛ", "EH"}, Mapping{"e", "EH"}, Mapping{"eː", "EY"}, Mapping{"æ", "AE"},
    Mapping{"a", "AA"}, Mapping{"aː", "AA"}, Mapping{"a:", "AA"}, Mapping{"aa", "AA"},
    Mapping{"ɑ", "AA"}, Mapping{"ɑː", "AA"}, Mapping{"ɒ", "AA"}, Mapping{"ɔ", "AO"},
    Mapping{"ɔː", "AO"}, Mapping{"o", "OW"}, Mapping{"oː", "OW"}, Mapping{"ɜ", "ER"},
    Mapping{"ɜː", "ER"}, Mapping{"ɚ", "ER"}, Mapping{"əɹ", "ER"},
    // Diphthongs.
    Mapping{"eɪ", "EY"}, Mapping{"ei", "EY"}, Mapping{"eʲ", "EY"}, Mapping{"aɪ", "AY"},
    Mapping{"ɔɪ", "OY"}, Mapping{"oɪ", "OY"}, Mapping{"əɪ", "ER"}, Mapping{"aʊ", "AW"},
    Mapping{"æʊ", "AW"}, Mapping{"oʊ", "OW"}, Mapping{"əʊ", "AH UW"}, Mapping{"əu", "AH UW"},
    Mapping{"ʌʊ", "AH UW"}, Mapping{"ʌʉ", "AH UW"}, Mapping{"iə", "IY AH"}, Mapping{"eə", "EH AH"},
    Mapping{"ɛə", "EH AH"}, Mapping{"ʊə", "UH AH"}, Mapping{"ɑə", "AA"}, Mapping{"oə", "AO"},
    Mapping{"ɔə", "AO"}, Mapping{"aɪə", "AY AH"},
    // R-coloured.
    Mapping{"ɑːɹ", "AA R"}, Mapping{"ɔːɹ", "AO R"}, Mapping{"oːɹ", "AO R"}, Mapping{"ʊɹ", "UH R"},
    Mapping{"ʉɹ", "UH R"}, Mapping{"ɛɹ", "EH R"}, Mapping{"ɪɹ", "IH R"}, Mapping{"ʌɹ", "AH R"},
    Mapping{"aɪɚ", "AY ER"},
};
// clang-format on

void appendPhones(Phones& out, std::string_view phones) {
    while (!phones.empty()) {
        auto sp = phones.find(' ');
        out.emplace_back(phones.substr(0, sp));
        if (sp == std::string_view::npos)
            break;
        phones.remove_prefix(sp + 1);
    }
}

// Stress marks and the tie that joins a diphthong carry nothing the model's
// phones can show.
std::string withoutMarks(std::string_view token) {
    static constexpr std::array<std::string_view, 3> kMarks = {"ˈ", "ˌ", "\u200d"};
    std::string out(token);
    for (auto mark : kMarks)
        for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark))
            out.erase(at, mark.size());
    return out;
}

} // namespace

Phones mapIpaToModelPhones(std::string_view ipa) {
    Phones out;
    std::size_t pos = 0;
    while (pos <= ipa.size()) {
        std::size_t end = ipa.find_first_of("_ ", pos);
        if (end == std::string_view::npos)
            end = ipa.size();
        const std::string token = withoutMarks(ipa.substr(pos, end - pos));
        pos = end + 1;
        if (token.empty())
            continue;
        const auto found = std::find_if(kMap.begin(), kMap.end(),
                                        [&](const Mapping& m) { return m.ipa == token; });
        if (found == kMap.end())
            throw ListenError("no model phone for espeak-ng phoneme \"" + token + "\" in \"" +
                              std::string(ipa) + "\"");
        appendPhones(out, found->phones);
    }
    return out;
}

std::vector<Phones> espeakPronunciations(const std::string& word) {
    std::vector<Phones> all;
    std::string problem = "espeak-ng gave no phonemes";
    for (const auto& accent : espeakEnglishAccents()) {
        try {
            Phones phones = mapIpaToModelPhones(espeakIpa(word, accent));
            if (!phones.empty() && std::find(all.begin(), all.end(), phones) == all.end())
                all.push_back(std::move(phones));
        } catch (const ListenError& e) {
            qCDebug(lcListen) << "no" << accent.c_str() << "pronunciation of" << word.c_str() << ":"
                              << e.what();
            problem = e.what();
        }
    }
    espeakSettle();
    if (all.empty())
        throw ListenError("cannot pronounce \"" + word + "\": " + problem);
    return all;
}

} // namespace agent::listen
