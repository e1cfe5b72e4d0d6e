#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace agent::listen {

using Phones = std::vector<std::string>;

// Maps espeak-ng's IPA, as espeakIpa() gives it, to the US English model's
// phone set (CMU ARPAbet without stress). Accent vowels go to the model phones
// nearest in sound, so "əʊ" does not become US "OW". Throws ListenError naming
// the phoneme when one has no counterpart: a word never silently gets a wrong
// or empty pronunciation.
Phones mapIpaToModelPhones(std::string_view ipa);

// Every pronunciation of a word worth listening for, the usual one first.
using Pronouncer = std::function<std::vector<Phones>(const std::string& word)>;

// The default Pronouncer: the word as each of espeak-ng's English accents says
// it, US English first, mapped to the model's phones, repeats dropped. An
// accent whose phonemes the model cannot show is skipped; throws ListenError
// when none can.
std::vector<Phones> espeakPronunciations(const std::string& word);

} // namespace agent::listen
