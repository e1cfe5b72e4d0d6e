#include "agent/speech/SpeechLog.h"

namespace agent::speech {
// Warnings and above only by default; everything speech logs is info or debug, so the
// category stays quiet until QT_LOGGING_RULES="agent.speech=true".
Q_LOGGING_CATEGORY(lcSpeechCategory, "agent.speech", QtWarningMsg)

const QLoggingCategory& lcSpeech() {
    return lcSpeechCategory();
}
} // namespace agent::speech
