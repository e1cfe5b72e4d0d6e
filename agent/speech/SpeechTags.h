#pragma once
// Speech output tags: `\Word\` or `\Word=value\` inside the text given to Speak.
// Parsing never fails: anything that is not a well-formed tag of the table is
// dropped (and logged), the rest is text.

#include <QString>

#include <cstdint>
#include <vector>

namespace agent::speech {

enum class VoiceCharacter { Normal, Monotone, Whisper };
enum class ReadingContext { Unknown, Address, Email };

struct SpeechItem {
    // \Map\ arrives as Text whose spoken and shown texts differ.
    enum class Kind { Text, Chr, Ctx, Emp, Lst, Mrk, Pau, Pit, Rst, Spd, Vol };
    Kind kind = Kind::Text;
    QString spoken;         // Text: what is said
    QString shown;          // Text: what the balloon shows (differs from spoken for \Map\)
    std::int64_t value = 0; // Mrk, Pau, Pit, Spd, Vol: the number as written (saturated)
    VoiceCharacter character = VoiceCharacter::Normal; // Chr
    ReadingContext context = ReadingContext::Unknown;  // Ctx

    bool operator==(const SpeechItem&) const = default;
};

struct ParsedSpeech {
    std::vector<SpeechItem> items; // in text order; adjacent text merged
    int droppedTags = 0;           // malformed or unknown tags left out
    bool hasLst() const;
    QString displayText() const; // the shown text of all items
};

ParsedSpeech parseSpeechTags(const QString& taggedText);

} // namespace agent::speech
