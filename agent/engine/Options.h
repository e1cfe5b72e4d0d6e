#pragma once
// The user's choices in the engine's options window; every character obeys them.

#include <QString>

namespace agent::engine {

struct Options {
    bool showBalloon = true;
    QString balloonFont; // empty: the character's own
    bool speechAudio = true;
    bool soundEffects = true;
    int speechSpeedPercent = 100; // scales every character's speaking speed
    bool listeningEnabled = true;
    int listeningKey = 0; // Qt::Key; 0 means the default
    bool showListeningTip = true;
    bool listeningTone = true;
    int listenAfterReleaseMs = 2000;
    bool handsFree = false;
    bool operator==(const Options&) const = default;
};

// The user's choices as kept between runs, under the engine's own name in the
// user's settings; values out of range come back clamped.
Options loadOptions();
void saveOptions(const Options& options);

} // namespace agent::engine
