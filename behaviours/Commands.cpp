// The six commands of the character's pop-up menu and voice, and what each does.

#include "platform/toolkit/Runtime.h"
#include "windows/FrmSpeak.h"

#include <array>

namespace parlavox {

namespace {

struct CommandEntry {
    const char* name;
    const char* caption;
    const char* voice;
};

constexpr std::array<CommandEntry, 6> kCommands{{
    {"ACO", "Advanced Character Options", "Advanced"},
    {"AGENTWORLD", "Say It", "Say It"},
    {"MASS", "Change What to be Said", "Change What to be Said"},
    {"READPAGE", "Random Animation", "Random Animation"},
    {"SING", "Sing", "Sing"},
    {"BYE", "Shut Up and Quit", "Shut Up! & Quit"},
}};

} // namespace

void FrmSpeak::InitPopupMenuCmds() {
    agentctl::Commands& commands = AgentCharacter->Commands();
    commands.RemoveAll();
    for (const CommandEntry& c : kCommands)
        commands.Add(QString::fromUtf8(c.name), QString::fromUtf8(c.caption),
                     QString::fromUtf8(c.voice));
}

void FrmSpeak::AgentControl_Command(const agentctl::UserInput& UserInput) {
    const QString name = UserInput.Name;
    if (name == QStringLiteral("ACO")) {
        AgentControl().PropertySheet().SetVisible(true);
    } else if (name == QStringLiteral("AGENTWORLD")) {
        AgentCharacter->Speak(TaggedText());
    } else if (name == QStringLiteral("MASS")) {
        Show();
    } else if (name == QStringLiteral("READPAGE")) {
        Timer1_Timer();
    } else if (name == QStringLiteral("SING")) {
        Command1_Click();
    } else if (name == QStringLiteral("BYE")) {
        AgentCharacter->StopAll();
        toolkit::End();
    }
    // Any other name is ignored.
}

} // namespace parlavox
