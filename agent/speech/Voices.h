#pragma once
// Which espeak-ng voice variant says a given pitch, and with which pitch setting.
// espeak-ng's pitch setting (0-100) is not hertz and each variant spans its own
// band, so the mapping comes from measured tables.

#include <QString>

#include <optional>

namespace agent::speech {

enum class VoiceVariant { Male, Female, Whisper, WhisperFemale };

// Pitches the voices reach (hertz); requests outside are clamped.
inline constexpr int kMinPitchHz = 60;
inline constexpr int kMaxPitchHz = 300;
// Speeds espeak-ng can say (words per minute).
inline constexpr int kMinSpeedWpm = 80;
inline constexpr int kMaxSpeedWpm = 450;

// The voice that best reaches `hz` for a character of this gender (kGenderFemale...).
VoiceVariant variantForPitch(int hz, int gender);
// The pitch setting (0-100) giving a median fundamental closest to `hz` on `variant`.
int pitchSetting(VoiceVariant variant, double hz);
// The measured median fundamental of `variant` at a pitch setting.
double measuredPitchHz(VoiceVariant variant, int setting);
// The espeak-ng language for a Windows language ID as character files store
// it (0x0409 is "en-us"); English where espeak-ng has no such language.
QString languageForLangId(unsigned langId);
// The language ID that languageForLangId() turns into `language`, if any.
std::optional<unsigned> langIdForLanguage(const QString& language);
// espeak-ng voice name: the language with the variant appended ("en+f3").
QString espeakVoiceName(const QString& language, VoiceVariant variant);

} // namespace agent::speech
