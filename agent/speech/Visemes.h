#pragma once
// Lip-sync: which of the character's seven mouths shows a given speech sound.

#include "agent/format/Character.h"

#include <QString>

namespace agent::speech {

// `phoneme` is an espeak-ng phoneme mnemonic ("aI", "p", "_:"); stress marks are ignored.
format::MouthType mouthForPhoneme(const QString& phoneme);

} // namespace agent::speech
