#pragma once
// The voice of last resort: no audio, but words, mouths and bookmarks timed at the
// requested speed, so the balloon and the mouth still move when espeak-ng is missing.

#include "agent/speech/SpeechScript.h"
#include "agent/speech/Utterance.h"

#include <set>

namespace agent::speech {

// A silent utterance for a script: each word takes 60000/speed ms.
std::shared_ptr<Utterance> readingPaceUtterance(const SpeechScript& script);

class ReadingPaceSynthesizer final : public Synthesizer {
    Q_OBJECT
  public:
    using Synthesizer::Synthesizer;
    void synthesize(std::uint64_t requestId, const QString& taggedText,
                    const VoiceDefaults& voice) override;
    void cancel(std::uint64_t requestId) override;

  private:
    std::set<std::uint64_t> pending_;
    QString lastStatement_;
};

} // namespace agent::speech
