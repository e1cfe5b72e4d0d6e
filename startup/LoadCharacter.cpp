// The main window's load: the character comes to life here.

#include "windows/Forms.h"
#include "windows/FrmAnimation.h"
#include "windows/FrmSpeak.h"
#include "windows/FrmSplash.h"

#include <stdexcept>

namespace parlavox {

void FrmSpeak::Form_Load() {
    RandomIndex = 0;
    AgentControl().SetConnected(true);
    const QString path = frmSplash().Dlg().FileName();
    AgentControl().Characters().Load(QStringLiteral("Merlin"), QVariant(path));
    AgentCharacter = AgentControl().Characters().Item(QStringLiteral("Merlin"));
    if (!AgentCharacter)
        throw std::runtime_error("the character \"Merlin\" is not loaded");
    Play();
    Hide();
    InitPopupMenuCmds();

    toolkit::ListBox& list = frmAnimation().AnimationListBox();
    list.Clear();
    for (const QString& name : AgentCharacter->AnimationNames())
        list.AddItem(name);
    frmAnimation().Label2().setText(QString::number(list.ListCount()) +
                                    QStringLiteral(" animations"));
}

void FrmSpeak::Play() {
    // Showing is best effort: a character that cannot be shown stays hidden and
    // start-up goes on.
    try {
        AgentCharacter->Show();
    } catch (const std::exception&) {
    }
}

} // namespace parlavox
