// Fuzzes the speech-tag parser and the script built from it: any text must parse,
// every spoken character must point inside the balloon's text, and the silence and
// length of what is said stay within their bounds.
//
// An input starting with byte 0x01 takes the program's own shape: "\Spd=n\\Pit=n\"
// followed by what the user typed (any bytes, invalid UTF-8 included), repeated:
//   0x01, repeat count - 1 (mod 16), speed (int16 LE), pitch (int16 LE), user text.
// Repetition lets short inputs reach the sizes at which a quadratic step shows as a
// timeout. Any other input is tagged text as it stands.

#include "Fuzzing.h"

#include "agent/speech/ReadingPaceSynthesizer.h"
#include "agent/speech/SpeechScript.h"
#include "agent/speech/SpeechTags.h"

using namespace agent::speech;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto utf8 = [data, size](std::size_t from) {
        return QString::fromUtf8(reinterpret_cast<const char*>(data) + from,
                                 qsizetype(size - from));
    };
    const bool programShape = size >= 6 && data[0] == 0x01;
    const int speed = programShape ? std::int16_t(data[2] | data[3] << 8) : 0;
    const int pitch = programShape ? std::int16_t(data[4] | data[5] << 8) : 0;
    const QString typed = programShape ? utf8(6).repeated(1 + data[1] % 16) : QString();
    const ParsedSpeech parsed = parseSpeechTags(
        programShape ? QStringLiteral("\\Spd=%1\\\\Pit=%2\\").arg(speed).arg(pitch) + typed
                     : utf8(0));
    if (programShape) {
        check(parsed.items.size() >= 2);
        check(parsed.items[0].kind == SpeechItem::Kind::Spd && parsed.items[0].value == speed);
        check(parsed.items[1].kind == SpeechItem::Kind::Pit && parsed.items[1].value == pitch);
        // Text without a backslash has no tags of its own: it shows exactly as typed.
        if (!typed.contains(u'\\'))
            check(parsed.displayText() == typed && parsed.droppedTags == 0);
    }
    VoiceDefaults voice;
    voice.gender = size % 2 == 0 ? 1 : 2;
    const SpeechScript script = buildScript(parsed, voice);
    check(script.displayText == parsed.displayText());
    const int shown = static_cast<int>(script.displayText.size());
    std::int64_t silenceMs = 0;
    for (const ScriptSegment& segment : script.segments) {
        check(segment.pauseAfterMs >= 0);
        silenceMs += segment.pauseAfterMs;
        for (const ScriptPiece& piece : segment.pieces) {
            if (piece.kind == ScriptPiece::Kind::Control) {
                check(piece.value >= 0 && piece.value <= 450);
                continue;
            }
            if (piece.kind != ScriptPiece::Kind::Text)
                continue;
            check(piece.shownStart.size() == static_cast<std::size_t>(piece.spoken.size()));
            check(piece.shownEnd.size() == piece.shownStart.size());
            for (std::size_t i = 0; i < piece.shownStart.size(); ++i) {
                check(piece.shownStart[i] >= 0 && piece.shownStart[i] <= piece.shownEnd[i]);
                check(piece.shownEnd[i] <= shown);
            }
        }
    }
    check(silenceMs <= kMaxSilenceMs);

    // Timed as the voice of last resort times it: bounded, in order, inside the text.
    const auto u = readingPaceUtterance(script);
    check(u->durationMs >= 0 && u->durationMs <= kMaxUtteranceMs);
    std::int64_t last = 0;
    for (const WordEvent& w : u->words) {
        check(w.ms >= last && w.start >= 0 && w.length > 0 && w.start + w.length <= shown);
        last = w.ms;
    }
    return 0;
}
