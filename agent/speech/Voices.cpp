#include "agent/speech/Voices.h"

#include "agent/speech/Utterance.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace agent::speech {

namespace {

// Median fundamental (Hz) at pitch settings 0, 10, ..., 100, measured on espeak-ng 1.51
// through this engine's own path (150 wpm, normal range) over three English sentences
// with an autocorrelation tracker.
constexpr std::array<double, 11> kMaleHz = {66, 71, 77, 83, 91, 100, 111, 123, 137, 152, 170};
constexpr std::array<double, 11> kFemaleHz = {144, 153, 163, 176, 190, 207,
                                              226, 248, 274, 304, 334};

const std::array<double, 11>& table(VoiceVariant variant) {
    return variant == VoiceVariant::Female || variant == VoiceVariant::WhisperFemale ? kFemaleHz
                                                                                     : kMaleHz;
}

// The male voice is preferred up to here, the female one from kFemaleLowest up.
constexpr int kMaleHighest = 160;
constexpr int kFemaleLowest = 150;

} // namespace

VoiceVariant variantForPitch(int hz, int gender) {
    if (gender == kGenderFemale)
        return hz >= kFemaleLowest ? VoiceVariant::Female : VoiceVariant::Male;
    return hz <= kMaleHighest ? VoiceVariant::Male : VoiceVariant::Female;
}

double measuredPitchHz(VoiceVariant variant, int setting) {
    const auto& hz = table(variant);
    const double s = std::clamp(setting, 0, 100) / 10.0;
    const int i = std::min(9, static_cast<int>(s));
    // Pitch grows geometrically with the setting: interpolate the logarithm.
    const double t = s - i;
    return std::exp(std::log(hz[i]) * (1 - t) + std::log(hz[i + 1]) * t);
}

int pitchSetting(VoiceVariant variant, double hz) {
    int best = 0;
    double bestError = 1e9;
    for (int s = 0; s <= 100; ++s) {
        const double error = std::abs(std::log(measuredPitchHz(variant, s) / hz));
        if (error < bestError) {
            bestError = error;
            best = s;
        }
    }
    return best;
}

QString espeakVoiceName(const QString& language, VoiceVariant variant) {
    switch (variant) {
    case VoiceVariant::Male:
        return language;
    case VoiceVariant::Female:
        return language + QStringLiteral("+f3");
    case VoiceVariant::Whisper:
        return language + QStringLiteral("+whisper");
    case VoiceVariant::WhisperFemale:
        return language + QStringLiteral("+whisperf");
    }
    return language;
}

namespace {

struct Language {
    unsigned langId;
    const char* name;
};
// Full IDs where a country matters, sought first.
constexpr Language kCountries[] = {
    {0x0409, "en-us"}, {0x0809, "en-gb"}, {0x0416, "pt-br"},
    {0x0816, "pt"},    {0x0C04, "yue"}, // Hong Kong
};
// Then the primary language, the ID's low ten bits.
constexpr Language kPrimaries[] = {
    {0x01, "ar"}, {0x04, "cmn"}, {0x05, "cs"}, {0x06, "da"}, {0x07, "de"}, {0x08, "el"},
    {0x09, "en"}, {0x0A, "es"},  {0x0B, "fi"}, {0x0C, "fr"}, {0x0D, "he"}, {0x0E, "hu"},
    {0x10, "it"}, {0x11, "ja"},  {0x12, "ko"}, {0x13, "nl"}, {0x14, "nb"}, {0x15, "pl"},
    {0x16, "pt"}, {0x19, "ru"},  {0x1D, "sv"}, {0x1E, "th"}, {0x1F, "tr"},
};

} // namespace

QString languageForLangId(unsigned langId) {
    for (const Language& l : kCountries)
        if (l.langId == langId)
            return QString::fromLatin1(l.name);
    for (const Language& l : kPrimaries)
        if (l.langId == (langId & 0x3FF))
            return QString::fromLatin1(l.name);
    return QStringLiteral("en");
}

std::optional<unsigned> langIdForLanguage(const QString& language) {
    for (const Language& l : kCountries)
        if (language == QLatin1String(l.name))
            return l.langId;
    for (const Language& l : kPrimaries)
        if (language == QLatin1String(l.name))
            return l.langId;
    return std::nullopt;
}

} // namespace agent::speech
