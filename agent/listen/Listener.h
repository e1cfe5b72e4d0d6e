#pragma once

#include "agent/listen/Grammar.h"
#include "agent/listen/ListeningTone.h"
#include "agent/listen/Recognizer.h"
#include "agent/listen/VoiceActivity.h"

#include <QAudioDevice>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QAudioSource;
class QIODevice;
class QThread;

namespace agent::listen {

class RecognizerWorker;

// Captures the microphone through Qt Multimedia (16 kHz mono 16-bit) and hands
// utterances to a Recognizer on its own thread, so nothing blocks the GUI
// thread. Push-to-talk: start() when the listening key goes down, stop() when
// it comes up; recognition ends once the speaker has been silent a moment
// after the release, and at the latest releaseDelayMs after it. Hands-free
// mode (off by default) opens and closes utterances by voice activity. The
// utterance is decoded as soon as the speaker pauses, so that the answer is
// ready when the end comes.
class Listener : public QObject {
    Q_OBJECT
  public:
    enum class State {
        Preparing,    // the recogniser is loading
        Unavailable,  // it could not load (see failed())
        NoMicrophone, // a normal case: nothing to listen with
        Idle,         // ready, not listening
        Listening,
        Recognizing, // audio closed, decoding
    };
    Q_ENUM(State)

    struct Options {
        int releaseDelayMs = 2000; // the most recognition waits after the release
        int endSilenceMs = 500;    // silence after the release that ends it sooner
        // Silence after which the utterance is decoded while the end is
        // awaited: the answer stands if no more speech comes.
        int decodeAheadMs = 200;
        bool handsFree = false;
        // The listening tone plays at start(): it is filtered out of what the
        // microphone hears.
        bool listeningTone = false;
        VoiceActivityOptions vad;
        QAudioDevice device; // null: the default input
    };

    explicit Listener(RecognizerOptions recognizerOptions = {}, QObject* parent = nullptr);
    ~Listener() override;

    State state() const { return state_; }
    // Whether an input device exists now.
    static bool microphoneAvailable();

    // Takes effect for the next utterance.
    void setGrammar(const Grammar& grammar);
    void setOptions(const Options& options);
    const Options& options() const { return options_; }

    void start();  // key down / "Listen"
    void stop();   // key up
    void cancel(); // drop the utterance without recognising it

  signals:
    void stateChanged(agent::listen::Listener::State state);
    // Every finished utterance, accepted or rejected.
    void recognized(const agent::listen::Recognition& result);
    void failed(const QString& message);

  private:
    void setState(State s);
    void onReady(bool ok, const QString& error);
    bool openMicrophone();
    void closeMicrophone();
    void onAudio();
    void forward(std::vector<std::int16_t> chunk);
    void beginUtterance();
    void decodeAhead();
    void finishUtterance();
    void onResult(const Recognition& r);
    void refreshIdleState();

    Options options_;
    State state_ = State::Preparing;
    std::unique_ptr<QThread> thread_;
    std::unique_ptr<RecognizerWorker> worker_;
    std::unique_ptr<QAudioSource> source_;
    QIODevice* io_ = nullptr; // owned by source_
    ToneFilter toneFilter_;
    VoiceActivityDetector vad_;
    DecodeAhead ahead_{options_.decodeAheadMs};
    QTimer releaseTimer_;
    bool pendingStart_ = false;
    bool released_ = false;
    bool inUtterance_ = false;
    std::vector<std::int16_t> preRoll_; // hands-free: audio just before speech began
    qint64 stoppedAt_ = 0;
};

} // namespace agent::listen

Q_DECLARE_METATYPE(agent::listen::Recognition)
