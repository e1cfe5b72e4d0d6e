#include "agent/speech/EspeakEngine.h"

#include "agent/speech/SpeechLog.h"
#include "agent/speech/Visemes.h"

#include <espeak-ng/speak_lib.h>

#include <cstring>
#include <mutex>

namespace agent::speech {

std::mutex& espeakMutex() {
    static std::mutex mutex;
    return mutex;
}

namespace {

struct RawEvent {
    espeak_EVENT_TYPE type;
    int position; // 1-based character (code point) in the input
    int ms;       // from the start of this call's audio
    QString phoneme;
};

// What the callback fills during one espeak_Synth call. One call at a time runs
// (engineMutex), so a single pointer suffices.
struct Collector {
    SpeechAudio* pcm = nullptr;
    std::size_t maxSamples = 0; // the utterance's bound: synthesis stops there
    std::vector<RawEvent> events;
    const std::function<bool()>* cancelled = nullptr;
};
Collector* current = nullptr;

int onSynth(short* wav, int samples, espeak_EVENT* events) {
    if (current == nullptr)
        return 1;
    if (wav != nullptr && samples > 0)
        current->pcm->append(wav, static_cast<std::size_t>(samples));
    for (espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_WORD) {
            qCDebug(lcSpeech) << "espeak word at" << e->text_position << "length" << e->length
                              << "ms" << e->audio_position;
            if (e->length <= 0) // espeak-ng sometimes reports empty words around pauses
                continue;
            current->events.push_back({e->type, e->text_position, e->audio_position, {}});
        } else if (e->type == espeakEVENT_PHONEME) {
            const std::size_t n = strnlen(e->id.string, sizeof(e->id.string));
            current->events.push_back({e->type, e->text_position, e->audio_position,
                                       QString::fromLatin1(e->id.string, static_cast<int>(n))});
        }
    }
    const bool stop = current->pcm->size() >= current->maxSamples ||
                      (*current->cancelled && (*current->cancelled)());
    return stop ? 1 : 0;
}

// One segment as espeak-ng input: UTF-16 units with what each stands for.
struct Input {
    QString text;
    std::vector<bool> control;   // part of an inline control sequence
    std::vector<int> shownStart; // balloon span of each unit
    std::vector<int> shownEnd;
    std::vector<std::pair<qsizetype, int>> marks; // unit position, bookmark id
    std::vector<qsizetype> unitOfCodePoint;       // espeak-ng counts code points

    explicit Input(const ScriptSegment& segment) {
        for (const ScriptPiece& piece : segment.pieces) {
            switch (piece.kind) {
            case ScriptPiece::Kind::Control: {
                // Two pieces: "\x01" followed by digits would read as one longer escape.
                const QString command = QStringLiteral("\x01") + QString::number(piece.value) +
                                        QLatin1Char(piece.control);
                text += command;
                control.insert(control.end(), command.size(), true);
                shownStart.insert(shownStart.end(), command.size(), -1);
                shownEnd.insert(shownEnd.end(), command.size(), -1);
                break;
            }
            case ScriptPiece::Kind::Text:
                text += piece.spoken;
                control.insert(control.end(), piece.spoken.size(), false);
                shownStart.insert(shownStart.end(), piece.shownStart.begin(),
                                  piece.shownStart.end());
                shownEnd.insert(shownEnd.end(), piece.shownEnd.begin(), piece.shownEnd.end());
                break;
            case ScriptPiece::Kind::Mark:
                marks.emplace_back(text.size(), piece.value);
                break;
            }
        }
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!text[i].isLowSurrogate())
                unitOfCodePoint.push_back(i);
        }
    }

    bool isGap(qsizetype i) const { return control[i] || text[i].isSpace(); }

    // The spoken word a word event points at, as units [start, end). espeak-ng reports
    // a word that follows a control sequence at the sequence's start, so gaps are skipped.
    std::pair<qsizetype, qsizetype> wordAt(int position) const {
        const qsizetype cp = position - 1;
        if (cp < 0 || cp >= static_cast<qsizetype>(unitOfCodePoint.size()))
            return {-1, -1};
        qsizetype start = unitOfCodePoint[cp];
        while (start < text.size() && isGap(start))
            ++start;
        qsizetype end = start;
        while (end < text.size() && !isGap(end))
            ++end;
        return start < end ? std::pair{start, end} : std::pair<qsizetype, qsizetype>{-1, -1};
    }
};

std::int64_t samplesToMs(std::size_t samples, int rate) {
    return static_cast<std::int64_t>(samples) * 1000 / rate;
}

void addMouth(Utterance& u, std::int64_t ms, format::MouthType mouth) {
    if (!u.mouths.empty() && u.mouths.back().mouth == mouth)
        return;
    if (!u.mouths.empty() && u.mouths.back().ms == ms)
        u.mouths.back().mouth = mouth;
    else
        u.mouths.push_back({ms, mouth});
}

bool selectVoice(const QString& name) {
    if (espeak_SetVoiceByName(name.toUtf8().constData()) == EE_OK)
        return true;
    // An unknown language: keep the variant, speak English.
    const qsizetype plus = name.indexOf(u'+');
    const QString fallback = QStringLiteral("en") + (plus >= 0 ? name.mid(plus) : QString());
    qCInfo(lcSpeech) << "no espeak-ng voice" << name << "- using" << fallback;
    return espeak_SetVoiceByName(fallback.toUtf8().constData()) == EE_OK;
}

} // namespace

EspeakEngine* EspeakEngine::instance() {
    // The one place espeak-ng starts, for speech and listening alike. A function-local
    // static runs once and holds back other threads meanwhile, so callers may already
    // hold espeakMutex(): nothing else calls espeak-ng before it has started.
    static const std::unique_ptr<EspeakEngine> engine = [] {
        // DONT_EXIT: espeak-ng would otherwise end the process when its data is missing.
        const int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 100, nullptr,
                              espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0) {
            qCInfo(lcSpeech) << "espeak-ng did not start (" << rate << ")";
            return std::unique_ptr<EspeakEngine>();
        }
        espeak_SetSynthCallback(onSynth);
        return std::unique_ptr<EspeakEngine>(new EspeakEngine(rate));
    }();
    return engine.get();
}

EspeakEngine::~EspeakEngine() {
    espeak_Terminate();
}

std::shared_ptr<Utterance> EspeakEngine::render(const SpeechScript& script,
                                                const std::function<bool()>& cancelled) {
    auto u = std::make_shared<Utterance>();
    u->displayText = script.displayText;
    u->sampleRate = sampleRate_;
    u->mouths.push_back({0, format::MouthType::Closed});

    const auto maxSamples = static_cast<std::size_t>(kMaxUtteranceMs * sampleRate_ / 1000);
    std::lock_guard lock(espeakMutex());
    for (const ScriptSegment& segment : script.segments) {
        if ((cancelled && cancelled()) || u->pcm.size() >= maxSamples)
            break;
        const std::int64_t segmentStart = samplesToMs(u->pcm.size(), sampleRate_);
        const Input input(segment);
        Collector collector;
        collector.pcm = &u->pcm;
        collector.cancelled = &cancelled;
        collector.maxSamples = maxSamples;
        if (segment.hasSpeech() && selectVoice(segment.voiceName)) {
            const QByteArray utf8 = input.text.toUtf8();
            current = &collector;
            const espeak_ERROR error =
                espeak_Synth(utf8.constData(), static_cast<std::size_t>(utf8.size()) + 1, 0,
                             POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
            current = nullptr;
            if (error != EE_OK)
                qCInfo(lcSpeech) << "espeak-ng failed on a segment:" << error;
            u->pcm.truncate(maxSamples);
        }
        const std::int64_t speechEnd = samplesToMs(u->pcm.size(), sampleRate_);

        std::vector<std::pair<qsizetype, std::int64_t>> wordStarts; // unit, ms
        for (const RawEvent& e : collector.events) {
            const std::int64_t ms = std::min(speechEnd, segmentStart + e.ms);
            if (e.type == espeakEVENT_PHONEME) {
                u->phonemes.push_back({ms, e.phoneme});
                addMouth(*u, ms, mouthForPhoneme(e.phoneme));
                continue;
            }
            const auto [start, end] = input.wordAt(e.position);
            if (start < 0)
                continue;
            wordStarts.emplace_back(start, ms);
            const int shownStart = input.shownStart[start];
            const int shownEnd = input.shownEnd[end - 1];
            if (shownStart < 0 || shownEnd <= shownStart)
                continue;
            // Several spoken words of one \Map\ show as one balloon word.
            if (!u->words.empty() && u->words.back().start == shownStart &&
                u->words.back().length == shownEnd - shownStart)
                continue;
            u->words.push_back({ms, shownStart, shownEnd - shownStart});
        }
        for (const auto& [at, id] : input.marks) {
            std::int64_t ms = speechEnd;
            for (const auto& [unit, wordMs] : wordStarts) {
                if (unit >= at) {
                    ms = wordMs;
                    break;
                }
            }
            u->bookmarks.push_back({ms, id});
        }
        addMouth(*u, speechEnd, format::MouthType::Closed);
        const auto pause = static_cast<std::size_t>(segment.pauseAfterMs) * sampleRate_ / 1000;
        u->pcm.appendSilence(std::min(pause, maxSamples - u->pcm.size()));
    }
    if (u->pcm.size() >= maxSamples)
        qCInfo(lcSpeech) << "the utterance is cut at its bound of" << kMaxUtteranceMs << "ms";
    u->durationMs = samplesToMs(u->pcm.size(), sampleRate_);
    std::stable_sort(u->bookmarks.begin(), u->bookmarks.end(),
                     [](const BookmarkEvent& a, const BookmarkEvent& b) { return a.ms < b.ms; });
    return u;
}

} // namespace agent::speech
