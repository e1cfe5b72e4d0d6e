#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace agent::listen {

// espeak-ng keeps global state and is not re-entrant: listening shares the
// speech side's process-wide lock.
std::mutex& espeakMutex();

// Starts espeak-ng through the speech engine, which owns it, and returns its
// sample rate; with or without espeakMutex() held. Throws ListenError when its
// data cannot be loaded.
int ensureEspeakInitialized();

// espeak-ng's phonemes for the text in the given voice, in IPA (UTF-8), one
// phoneme per '_'-separated token, words separated by ' ' (e.g. "k_l_ˈəʊ_s").
// Takes the lock; throws ListenError when the voice is unknown.
std::string espeakIpa(std::string_view text, const std::string& voice);

// Empties espeak-ng's queue after espeakIpa(): translating many words in
// several voices left it so that the next synthesis came out cut to its
// first tenth of a second. Called once a word's accents are done; the same
// call at the end of each espeakIpa() did not help. Takes the lock.
void espeakSettle();

// The English accents espeak-ng has, as voice identifiers that espeakIpa()
// takes (e.g. "gmw/en-US", "gmw/en-GB-x-rp"), US English first. Voices that
// need MBROLA are left out.
std::vector<std::string> espeakEnglishAccents();

} // namespace agent::listen
