#pragma once
// The speech library implements the engine's synthesizer contract; these are the
// contract's names as speech uses them.

#include "agent/engine/Synthesizer.h"

#include <cstdint>

namespace agent::speech {

using engine::BookmarkEvent;
using engine::kGenderFemale;
using engine::kGenderMale;
using engine::kGenderNeutral;
using engine::kMaxUtteranceMs;
using engine::MouthEvent;
using engine::PhonemeEvent;
using engine::SpeechAudio;
using engine::Synthesizer;
using engine::Utterance;
using engine::VoiceDefaults;
using engine::WordEvent;

// Silence costs no memory but holds the character's queue just the same, so all
// the pauses of one utterance together get two minutes.
inline constexpr std::int64_t kMaxSilenceMs = 2 * 60 * 1000;

} // namespace agent::speech
