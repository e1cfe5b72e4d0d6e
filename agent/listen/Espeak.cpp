#include "agent/listen/Espeak.h"

#include "agent/listen/ListenError.h"

#include "agent/speech/EspeakEngine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>

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

std::string espeakIpa(std::string_view text, const std::string& voice) {
    std::lock_guard lock(espeakMutex());
    ensureEspeakInitialized();
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK)
        throw ListenError("espeak-ng: no voice \"" + voice + "\"");
    std::string input(text);
    const void* p = input.c_str();
    std::string out;
    // Bit 1 selects IPA; bits 8-23 carry the separator between phonemes.
    const int mode = 2 | ('_' << 8);
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

void espeakSettle() {
    std::lock_guard lock(espeakMutex());
    espeak_Cancel();
}

std::vector<std::string> espeakEnglishAccents() {
    std::lock_guard lock(espeakMutex());
    ensureEspeakInitialized();
    espeak_VOICE spec{};
    spec.languages = "en";
    std::vector<std::string> accents;
    for (const espeak_VOICE* const* v = espeak_ListVoices(&spec); v && *v; ++v) {
        // languages: a priority byte, then a name, repeated; the first names the voice.
        // The identifier (e.g. "gmw/en-US") is what selects the voice: some
        // language names ("en-gb") are not accepted as voice names.
        const char* languages = (*v)->languages;
        const std::string id = (*v)->identifier ? (*v)->identifier : "";
        if (!languages || !languages[0] || id.empty() || id.rfind("mb/", 0) == 0 ||
            std::string_view(languages + 1).rfind("en", 0) != 0 ||
            std::find(accents.begin(), accents.end(), id) != accents.end())
            continue;
        if (std::string_view(languages + 1) == "en-us")
            accents.insert(accents.begin(), id);
        else
            accents.push_back(id);
    }
    return accents;
}

} // namespace agent::listen
