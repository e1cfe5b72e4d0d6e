// Fuzzes the speech-tag parser and the script built from it: any text must parse,
// and every spoken character must point inside the balloon's text.

#include "agent/speech/SpeechScript.h"
#include "agent/speech/SpeechTags.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace agent::speech;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ParsedSpeech parsed = parseSpeechTags(text);
    VoiceDefaults voice;
    voice.gender = size % 2 == 0 ? 1 : 2;
    const SpeechScript script = buildScript(parsed, voice);
    check(script.displayText == parsed.displayText());
    const int shown = static_cast<int>(script.displayText.size());
    for (const ScriptSegment& segment : script.segments) {
        check(segment.pauseAfterMs >= 0 && segment.pauseAfterMs <= 60'000);
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
    return 0;
}
