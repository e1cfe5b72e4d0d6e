#pragma once
// What the engine asks of speech: tagged text in, a timed utterance out. The
// engine plays the audio (if any) and drives the balloon's words and the mouth
// from the utterance's timeline; it never parses tags itself.

#include "agent/format/Character.h"
#include "agent/speech/SpeechAudio.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace agent::speech {

// Genders as character files store them (the speech API's own numbers).
inline constexpr int kGenderNeutral = 0;
inline constexpr int kGenderFemale = 1;
inline constexpr int kGenderMale = 2;

// Bounds on one utterance. A Speak holds the character's queue until it has been said,
// and its audio stays in memory while it plays. Five minutes is far more than a
// balloon of a few lines takes to say, and keeps a runaway paste to about 13 MB of
// samples at espeak-ng's 22 kHz. Silence costs no memory but holds the queue just the
// same, so all the pauses of one utterance together get two minutes.
inline constexpr std::int64_t kMaxUtteranceMs = 5 * 60 * 1000;
inline constexpr std::int64_t kMaxSilenceMs = 2 * 60 * 1000;

// The character's own voice settings: the defaults every Speak starts from.
struct VoiceDefaults {
    int speedWpm = 150;
    int pitchHz = 110;
    QString language = QStringLiteral("en");
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

// A speech sound as the synthesizer names it (espeak-ng mnemonics): for tools and logs.
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
    void ready(std::uint64_t requestId, std::shared_ptr<const agent::speech::Utterance> utterance);
};

} // namespace agent::speech
