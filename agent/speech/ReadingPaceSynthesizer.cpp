#include "agent/speech/ReadingPaceSynthesizer.h"

#include "agent/speech/SpeechLog.h"

#include <QTimer>

#include <array>

namespace agent::speech {

namespace {

using format::MouthType;

void addMouth(Utterance& u, std::int64_t ms, MouthType mouth) {
    if (u.mouths.empty() || u.mouths.back().mouth != mouth)
        u.mouths.push_back({ms, mouth});
}

} // namespace

std::shared_ptr<Utterance> readingPaceUtterance(const SpeechScript& script) {
    // Open and round shapes in turn look like talking without claiming to be phonemes.
    static constexpr std::array<MouthType, 5> cycle = {
        MouthType::Wide2, MouthType::Medium, MouthType::Wide3, MouthType::Narrow, MouthType::Wide1};
    constexpr std::int64_t mouthStepMs = 100;
    auto u = std::make_shared<Utterance>();
    u->displayText = script.displayText;
    u->mouths.push_back({0, MouthType::Closed});
    std::int64_t t = 0;
    int speed = 150;
    std::size_t cycleAt = 0;
    for (const ScriptSegment& segment : script.segments) {
        for (const ScriptPiece& piece : segment.pieces) {
            if (t >= kMaxUtteranceMs)
                break;
            if (piece.kind == ScriptPiece::Kind::Control) {
                if (piece.control == 'S')
                    speed = std::max(1, piece.value);
                continue;
            }
            if (piece.kind == ScriptPiece::Kind::Mark) {
                u->bookmarks.push_back({t, piece.value});
                continue;
            }
            const QString& s = piece.spoken;
            qsizetype i = 0;
            while (i < s.size() && t < kMaxUtteranceMs) {
                while (i < s.size() && s[i].isSpace())
                    ++i;
                qsizetype end = i;
                while (end < s.size() && !s[end].isSpace())
                    ++end;
                if (end == i)
                    break;
                const int start = piece.shownStart[i];
                const int length = piece.shownEnd[end - 1] - start;
                const bool repeat = !u->words.empty() && u->words.back().start == start &&
                                    u->words.back().length == length;
                if (length > 0 && !repeat)
                    u->words.push_back({t, start, length});
                const std::int64_t wordMs = 60000 / speed;
                const std::int64_t closeAt = t + wordMs * 85 / 100;
                for (std::int64_t m = t; m < closeAt; m += mouthStepMs)
                    addMouth(*u, m, cycle[cycleAt++ % cycle.size()]);
                addMouth(*u, closeAt, MouthType::Closed);
                t += wordMs;
                i = end;
            }
        }
        t += segment.pauseAfterMs;
    }
    u->durationMs = std::min(t, kMaxUtteranceMs);
    return u;
}

void ReadingPaceSynthesizer::synthesize(std::uint64_t requestId, const QString& taggedText,
                                        const VoiceDefaults& voice) {
    qCInfo(lcSpeech).noquote() << "reading pace: request" << requestId << taggedText.left(200);
    pending_.insert(requestId);
    // Results always arrive later, never inside the caller's synthesize(); a request
    // cancelled before then is never said, so it is not the last statement either.
    QTimer::singleShot(0, this, [this, requestId, taggedText, voice] {
        if (pending_.erase(requestId) == 0)
            return;
        emit ready(requestId, readingPaceUtterance(
                                  buildScript(statementToSay(taggedText, lastStatement_), voice)));
    });
}

void ReadingPaceSynthesizer::cancel(std::uint64_t requestId) {
    pending_.erase(requestId);
}

} // namespace agent::speech
