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

QString languageForLangId(unsigned langId) {
    // Full IDs first where a country matters, then primary languages.
    switch (langId) {
    case 0x0409:
        return QStringLiteral("en-us");
    case 0x0809:
        return QStringLiteral("en-gb");
    case 0x0416:
        return QStringLiteral("pt-br");
    case 0x0816:
        return QStringLiteral("pt");
    case 0x0C04: // Hong Kong
        return QStringLiteral("yue");
    }
    switch (langId & 0x3FF) {
    case 0x01:
        return QStringLiteral("ar");
    case 0x04:
        return QStringLiteral("cmn");
    case 0x05:
        return QStringLiteral("cs");
    case 0x06:
        return QStringLiteral("da");
    case 0x07:
        return QStringLiteral("de");
    case 0x08:
        return QStringLiteral("el");
    case 0x0A:
        return QStringLiteral("es");
    case 0x0B:
        return QStringLiteral("fi");
    case 0x0C:
        return QStringLiteral("fr");
    case 0x0D:
        return QStringLiteral("he");
    case 0x0E:
        return QStringLiteral("hu");
    case 0x10:
        return QStringLiteral("it");
    case 0x11:
        return QStringLiteral("ja");
    case 0x12:
        return QStringLiteral("ko");
    case 0x13:
        return QStringLiteral("nl");
    case 0x14:
        return QStringLiteral("nb");
    case 0x15:
        return QStringLiteral("pl");
    case 0x16:
        return QStringLiteral("pt");
    case 0x19:
        return QStringLiteral("ru");
    case 0x1D:
        return QStringLiteral("sv");
    case 0x1E:
        return QStringLiteral("th");
    case 0x1F:
        return QStringLiteral("tr");
    }
    return QStringLiteral("en");
}

} // namespace agent::speech
