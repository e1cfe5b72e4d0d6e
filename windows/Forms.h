#pragma once
// The program's three windows, one instance each, created on first reference.

namespace parlavox {

class FrmSplash;
class FrmSpeak;
class FrmAnimation;

FrmSplash& frmSplash();
FrmSpeak& frmSpeak();
FrmAnimation& frmAnimation();

// Destroys every window and the character with it (end of a run, or between tests).
void UnloadAllForms();

} // namespace parlavox
