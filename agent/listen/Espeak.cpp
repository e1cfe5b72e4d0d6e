#include "agent/listen/Espeak.h"

#include "agent/listen/ListenError.h"

#include "agent/speech/EspeakEngine.h"

#include <espeak-ng/speak_lib.h>

namespace agent::listen {

std::mutex& espeakMutex() {
    return speech::espeakMutex();
}

int ensureEspeakInitialized() {
    const speech::EspeakEngine* engine = speech::EspeakEngine::instance();
    if (engine == nullptr)
        throw ListenError("espeak-ng: cannot load its data (espeak-ng-data)");
    return engine->sampleRate();
}

std::string espeakPhonemeNames(std::string_view text, const char* voice) {
    std::lock_guard lock(espeakMutex());
    ensureEspeakInitialized();
    if (espeak_SetVoiceByName(voice) != EE_OK)
        throw ListenError(std::string("espeak-ng: no voice \"") + voice + "\"");
    std::string input(text);
    const void* p = input.c_str();
    std::string out;
    // Bits 8-23 carry the separator; bit 1 clear selects espeak's ASCII names.
    const int mode = '_' << 8;
    while (p) {
        const char* ph = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, mode);
        if (!ph)
            break;
        if (!out.empty() && *ph)
            out += ' ';
        out += ph;
    }
    return out;
}

} // namespace agent::listen
