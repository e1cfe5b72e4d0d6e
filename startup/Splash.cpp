// The start-up window's handlers: the version line, then the choice of the
// character file that brings up the main window.

#include "platform/toolkit/Runtime.h"
#include "windows/Forms.h"
#include "windows/FrmAnimation.h"
#include "windows/FrmSpeak.h"
#include "windows/FrmSplash.h"

namespace parlavox {

void FrmSplash::Form_Load() {
    Version().setText(QStringLiteral("Version ") + QString::number(toolkit::AppMajor()) +
                      QStringLiteral(".") + QString::number(toolkit::AppMinor()));
    Dlg().Flags = 4; // hide the read-only check box
}

void FrmSplash::Timer1_Timer() {
    // First: the timer never ticks again, not even while the dialog is open.
    Timer1().SetEnabled(false);
    const QString windowsDir = frmAnimation().GetWindowsDir();
    Dlg().InitDir = windowsDir + QStringLiteral("agent\\chars");
    Dlg().Filter = QStringLiteral("Agent Characters (*.acs)|*.acs");
    Dlg().FilterIndex = 1;
    Dlg().ShowOpen(&Window());

    if (Dlg().FileName() != QString()) {
        // The first touch of the main window loads it, which brings up the character.
        frmSpeak().TextBox1().SetText(QStringLiteral("Hello there!"));
        frmSpeak().sldSpeed().setValue(150);
        frmSpeak().Slider1().setValue(150);
        frmSpeak().Label4().setText(Dlg().FileTitle());
        Hide();
    } else {
        toolkit::MsgBox(QStringLiteral("No agent character loaded; Parlavox will now close."), 16);
        toolkit::End();
    }
}

} // namespace parlavox
