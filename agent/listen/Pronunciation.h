#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace agent::listen {

// Maps espeak-ng's English phoneme names (as espeakPhonemeNames gives them) to
// the US English model's phone set (CMU ARPAbet without stress). Throws
// ListenError naming the phoneme when one has no counterpart, so a word never
// silently gets a wrong or empty pronunciation.
std::vector<std::string> mapEspeakToModelPhones(std::string_view espeakNames);

// Phones for a word missing from the pronouncing dictionary.
using Pronouncer = std::function<std::vector<std::string>(const std::string& word)>;

// The default Pronouncer: espeak-ng's US English phonemes, mapped.
std::vector<std::string> espeakPronunciation(const std::string& word);

} // namespace agent::listen
