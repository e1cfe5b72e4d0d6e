#include "Options.h"

#include <QSettings>

#include <algorithm>

namespace agent::engine {

namespace {
QSettings settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("parlavox"),
                     QStringLiteral("character-engine"));
}
} // namespace

Options loadOptions() {
    QSettings s = settings();
    Options o;
    o.showBalloon = s.value("output/balloon", o.showBalloon).toBool();
    o.balloonFont = s.value("output/balloonFont", o.balloonFont).toString();
    o.speechAudio = s.value("output/speechAudio", o.speechAudio).toBool();
    o.speechSpeedPercent =
        std::clamp(s.value("output/speedPercent", o.speechSpeedPercent).toInt(), 25, 400);
    o.soundEffects = s.value("output/soundEffects", o.soundEffects).toBool();
    o.listeningEnabled = s.value("input/enabled", o.listeningEnabled).toBool();
    o.listeningKey = s.value("input/key", o.listeningKey).toInt();
    o.showListeningTip = s.value("input/tip", o.showListeningTip).toBool();
    o.listeningTone = s.value("input/tone", o.listeningTone).toBool();
    o.listenAfterReleaseMs =
        std::clamp(s.value("input/afterReleaseMs", o.listenAfterReleaseMs).toInt(), 0, 10000);
    o.handsFree = s.value("input/handsFree", o.handsFree).toBool();
    return o;
}

void saveOptions(const Options& o) {
    QSettings s = settings();
    s.setValue("output/balloon", o.showBalloon);
    s.setValue("output/balloonFont", o.balloonFont);
    s.setValue("output/speechAudio", o.speechAudio);
    s.setValue("output/speedPercent", o.speechSpeedPercent);
    s.setValue("output/soundEffects", o.soundEffects);
    s.setValue("input/enabled", o.listeningEnabled);
    s.setValue("input/key", o.listeningKey);
    s.setValue("input/tip", o.showListeningTip);
    s.setValue("input/tone", o.listeningTone);
    s.setValue("input/afterReleaseMs", o.listenAfterReleaseMs);
    s.setValue("input/handsFree", o.handsFree);
}

} // namespace agent::engine
