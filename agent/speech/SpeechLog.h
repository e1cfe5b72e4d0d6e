#pragma once
// The speech side's logging category: `agent.speech`, off unless QT_LOGGING_RULES enables it.

#include <QLoggingCategory>

namespace agent::speech {
const QLoggingCategory& lcSpeech();
} // namespace agent::speech
