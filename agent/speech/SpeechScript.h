#pragma once
// Tagged text turned into what a synthesizer says: runs of one voice variant
// ("segments"), each a sequence of prosody changes, text and bookmarks. Every
// spoken character knows which part of the balloon's text it stands for, so word
// events can be mapped back to the balloon.

#include "agent/speech/SpeechTags.h"
#include "agent/speech/Utterance.h"
#include "agent/speech/Voices.h"

#include <QString>

#include <vector>

namespace agent::speech {

struct ScriptPiece {
    enum class Kind { Control, Text, Mark };
    Kind kind = Kind::Text;
    // Control: an espeak-ng prosody letter ('S' speed wpm, 'P' pitch 0-100, 'R' pitch
    // range 0-100, 'A' amplitude 0-200) and its value; Mark: the bookmark id.
    char control = 0;
    int value = 0;
    // Text: what is said, and per UTF-16 unit the balloon span [shownStart, shownEnd) it
    // stands for.
    QString spoken;
    std::vector<int> shownStart;
    std::vector<int> shownEnd;
};

struct ScriptSegment {
    VoiceVariant variant = VoiceVariant::Male;
    QString voiceName;
    std::vector<ScriptPiece> pieces;
    int pauseAfterMs = 0; // silence after the segment's speech (\Pau\)
    bool hasSpeech() const;
};

struct SpeechScript {
    QString displayText;
    std::vector<ScriptSegment> segments;
};

// Default amplitude of espeak-ng, what \Vol=65535\ means.
inline constexpr int kFullAmplitude = 100;
inline constexpr int kNormalRange = 50;

SpeechScript buildScript(const ParsedSpeech& parsed, const VoiceDefaults& voice);

// Applies \Lst\: the statement to say (the previous one when the text asks for it),
// remembering it as the last statement otherwise.
ParsedSpeech statementToSay(const QString& taggedText, QString& lastStatement);

// How a reading context says one whitespace-free token ("a@b.com" -> "a at b dot com").
QString readToken(const QString& token, ReadingContext context);

} // namespace agent::speech
