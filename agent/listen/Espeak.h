#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace agent::listen {

// espeak-ng keeps global state and is not re-entrant: listening shares the
// speech side's process-wide lock.
std::mutex& espeakMutex();

// Starts espeak-ng through the speech engine, which owns it, and returns its
// sample rate; with or without espeakMutex() held. Throws ListenError when its
// data cannot be loaded.
int ensureEspeakInitialized();

// espeak-ng's own phoneme names for the text in the given voice, phonemes
// separated by '_', words by ' ' (e.g. "p_'A@_l_a#_v_,0_k_s"). Takes the lock.
std::string espeakPhonemeNames(std::string_view text, const char* voice = "en-us");

} // namespace agent::listen
