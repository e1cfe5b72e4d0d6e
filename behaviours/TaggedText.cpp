// Saying the main window's text: the tagged text and the double-click on the character.

#include "platform/toolkit/Runtime.h"
#include "windows/Forms.h"
#include "windows/FrmAnimation.h"
#include "windows/FrmSpeak.h"

namespace parlavox {

namespace {

const QString kCredits = QStringLiteral(
    "Parlavox was made by the Parlavox developers. It brings a character to your desktop to "
    "talk, sing and move. Thank you for listening!");
const QString kTongueTwisterInitials = QStringLiteral("bbabobbsftbbsbbabbobtmtbbb");
const QString kTongueTwister = QStringLiteral(
    "Betty Bought a Bit of Butter But She Found The Butter Bitter so Betty Bought a Better Bit "
    "of Butter to Make The Bitter Butter Better.");

} // namespace

QString FrmSpeak::TaggedText() {
    const int32_t speed = sldSpeed().value();
    const int32_t pitch = Slider1().value();
    const QString text = TextBox1().Text();
    // The text goes unchanged: a backslash the user typed opens a tag of their own.
    return QStringLiteral("\\Spd=") + QString::number(speed) + QStringLiteral("\\\\Pit=") +
           QString::number(pitch) + QStringLiteral("\\") + text;
}

void FrmSpeak::AgentControl_DblClick(const QString& /*CharacterID*/, short /*Button*/,
                                     short /*Shift*/, short /*X*/, short /*Y*/) {
    AgentCharacter->StopAll();
    Timer1_Timer();
    if (TextBox1().Text() == QStringLiteral("Credits"))
        AgentCharacter->Speak(kCredits);
    if (TextBox1().Text() == kTongueTwisterInitials)
        AgentCharacter->Speak(kTongueTwister);
    const int32_t speed = sldSpeed().value();
    const QString value = TextBox1().Text();
    if (speed == 150 && value == QStringLiteral("Show Me the Animations!"))
        frmAnimation().Show();
    AgentCharacter->Balloon().SetStyle(QVariant()); // the empty value: style 0
    AgentCharacter->Speak(TaggedText());
}

} // namespace parlavox
