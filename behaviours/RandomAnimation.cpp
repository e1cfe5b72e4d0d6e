// Now and then the character plays one of its own animations, picked at random.

#include "platform/toolkit/Runtime.h"
#include "windows/Forms.h"
#include "windows/FrmAnimation.h"
#include "windows/FrmSpeak.h"

namespace parlavox {

void FrmSpeak::Timer1_Timer() {
    toolkit::Randomize();
    toolkit::ListBox& list = frmAnimation().AnimationListBox();
    const int16_t n = toolkit::CInt(list.ListCount());
    const float r = toolkit::Rnd();
    // The product is exact in double precision; rounding halves to even makes
    // "nothing" and the last entry each half as likely as the others.
    RandomIndex = toolkit::CInt(static_cast<double>(r) * n);
    if (RandomIndex == 0)
        return;
    AgentCharacter->Play(list.List(RandomIndex - 1));
}

} // namespace parlavox
