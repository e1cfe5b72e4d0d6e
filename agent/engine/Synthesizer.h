#pragma once
// What the engine asks of a voice: tagged text in, a timed utterance out. The
// engine drives the balloon's words, the mouth and bookmarks from the
// utterance's timeline and hands its audio to whoever plays it; it never parses
// tags itself. The speech library implements it.

#include "agent/engine/SpeechAudio.h"
#include "agent/format/Character.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace agent::engine {

// Genders as character files store them (the speech API's own numbers).
inline constexpr int kGenderNeutral = 0;
inline constexpr int kGenderFemale = 1;
inline constexpr int kGenderMale = 2;

// Bounds on one utterance. A Speak holds the character's queue until it has been said,
// and its audio stays in memory while it plays. Five minutes is far more than a
// balloon of a few lines takes to say, and keeps a runaway paste to about 13 MB of
// samples at 22 kHz.
inline constexpr std::int64_t kMaxUtteranceMs = 5 * 60 * 1000;

// The character's own voice settings: the defaults every Speak starts from.
struct VoiceDefaults {
    int speedWpm = 150;
    int pitchHz = 110;
    // A Windows language ID as character files store it (0x0409 US English); 0 when
    // the file names none. The synthesizer picks its voice for it.
    unsigned langId = 0;
    int gender = kGenderMale;
};

struct WordEvent {
    std::int64_t ms = 0; // from the utterance's start
    int start = 0;       // position in displayText
    int length = 0;
};

struct MouthEvent {
    std::int64_t ms = 0;
    format::MouthType mouth = format::MouthType::Closed;
};

struct BookmarkEvent {
    std::int64_t ms = 0;
    int id = 0;
};

// A speech sound as the synthesizer names it: for tools and logs.
struct PhonemeEvent {
    std::int64_t ms = 0;
    QString name;
};

struct Utterance {
    QString displayText; // the balloon's text: tags removed, \Map\'s shown text
    std::vector<WordEvent> words;
    std::vector<MouthEvent> mouths;
    std::vector<BookmarkEvent> bookmarks;
    int sampleRate = 0;          // 0 when there is no audio
    SpeechAudio pcm;             // mono; pauses are counted, not stored
    std::int64_t durationMs = 0; // the whole utterance, pauses included; at most kMaxUtteranceMs
    std::vector<PhonemeEvent> phonemes; // what the mouths were made from
};

// Turns tagged text into utterances, off the GUI thread where it takes time.
// Results arrive on the thread that made the request, through ready().
class Synthesizer : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // Starts work on one request; a later cancel() of the same id drops its result.
    virtual void synthesize(std::uint64_t requestId, const QString& taggedText,
                            const VoiceDefaults& voice) = 0;
    virtual void cancel(std::uint64_t requestId) = 0;

  signals:
    void ready(std::uint64_t requestId, std::shared_ptr<const agent::engine::Utterance> utterance);
};

} // namespace agent::engine
