#pragma once
// The process's one espeak-ng instance. espeak-ng keeps global state and is not
// re-entrant, so every use goes through here, one at a time.

#include "agent/speech/SpeechScript.h"
#include "agent/speech/Utterance.h"

#include <functional>
#include <memory>
#include <mutex>

namespace agent::speech {

// espeak-ng's state is global and not re-entrant: every user in the process,
// speech and listening alike, holds this lock while it calls espeak-ng.
std::mutex& espeakMutex();

class EspeakEngine {
  public:
    // The engine, initialised on first use by whoever asks first (speech or
    // listening); nullptr when espeak-ng cannot start (no data files, say). Later
    // calls give the same answer. Callers may hold espeakMutex().
    static EspeakEngine* instance();

    // Says the script; `cancelled` is polled while synthesizing and ends it early.
    // Safe to call from any thread; calls are serialised.
    std::shared_ptr<Utterance> render(const SpeechScript& script,
                                      const std::function<bool()>& cancelled = {});

    int sampleRate() const { return sampleRate_; }

    EspeakEngine(const EspeakEngine&) = delete;
    EspeakEngine& operator=(const EspeakEngine&) = delete;
    ~EspeakEngine();

  private:
    explicit EspeakEngine(int sampleRate) : sampleRate_(sampleRate) {}
    int sampleRate_;
};

} // namespace agent::speech
