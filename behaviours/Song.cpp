// The song: nine lines in a monotone voice, a pitch tag before every syllable.

#include "windows/FrmSpeak.h"

#include <array>

namespace parlavox {

namespace {

struct SongLine {
    int speedOffset;
    QString text; // begins with the two backslashes that close the speed tag and open a pitch tag
};

QString pit(int pitch) {
    return QString::number(pitch);
}

std::array<SongLine, 9> songLines() {
    return {{
        {60, QStringLiteral("\\\\pit=") + pit(120) + QStringLiteral("\\Dai \\pit=") + pit(100) +
                 QStringLiteral("\\zee, \\pit=") + pit(80) + QStringLiteral("\\Dai \\pit=") +
                 pit(60) + QStringLiteral("\\zee")},
        {120, QStringLiteral("\\\\pit=") + pit(68) + QStringLiteral("\\Give \\pit=") + pit(74) +
                  QStringLiteral("\\me \\pit=") + pit(80) + QStringLiteral("\\your \\pit=") +
                  pit(68) + QStringLiteral("\\an, \\pit=") + pit(80) +
                  QStringLiteral("\\ser \\pit=") + pit(60) + QStringLiteral("\\true.")},
        {50, QStringLiteral("\\\\pit=92\\I'm \\pit=120\\half\\pit=100\\cray \\pit=80\\zee,")},
        {115,
         QStringLiteral("\\\\pit=68\\All \\pit=74\\for \\pit=80\\the \\pit=80\\love \\pit=100\\of "
                        "\\pit=92\\you.")},
        {80, QStringLiteral("\\\\pit=100\\It \\pit=112\\won't \\pit=110\\be \\pit=92\\a "
                            "\\pit=120\\sty-\\pit=100\\lish \\pit=92\\mare\\pit=80\\rege.")},
        {100, QStringLiteral("\\\\pit=92\\I \\pit=100\\can't \\pit=80\\a \\pit=68\\ford, "
                             "\\pit=80\\a \\pit=68\\care- \\pit=60\\ridge.")},
        {100, QStringLiteral("\\\\pit=60\\But \\pit=80\\you'll \\pit=100\\look \\pit=92\\sweet,")},
        {90, QStringLiteral("\\\\pit=60\\Up \\pit=80\\on \\pit=100\\the \\pit=92\\seat.")},
        {100, QStringLiteral("\\\\pit=100\\Of \\pit=112\\a \\pit=120\\by \\pit=100\\sic "
                             "\\pit=80\\cull \\pit=92\\built, \\pit=60\\for \\pit=80\\two.")},
    }};
}

} // namespace

void FrmSpeak::Command1_Click() {
    const int32_t S = sldSpeed().value(); // read once: moving it mid-song changes nothing
    AgentCharacter->Balloon().SetStyle(QVariant());
    const QString prefix = QStringLiteral("\\chr=\"monotone\"\\\\spd=");
    for (const SongLine& line : songLines())
        AgentCharacter->Speak(prefix + QString::number(S + line.speedOffset) + line.text);
}

} // namespace parlavox
