#pragma once
// Speech with espeak-ng on a worker thread of its own. Requests are done in order;
// each result comes back through ready() on the thread that owns this object.

#include "agent/speech/Utterance.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

class QThread;

namespace agent::speech {

class EspeakEngine;

class EspeakSynthesizer final : public Synthesizer {
    Q_OBJECT
  public:
    // Without espeak-ng (see available()), results are silent reading-pace utterances.
    explicit EspeakSynthesizer(QObject* parent = nullptr);
    ~EspeakSynthesizer() override;

    // Whether espeak-ng started; the first call starts it.
    static bool available();

    void synthesize(std::uint64_t requestId, const QString& taggedText,
                    const VoiceDefaults& voice) override;
    void cancel(std::uint64_t requestId) override;

  private:
    bool dropped(std::uint64_t requestId);
    void deliver(std::uint64_t requestId, std::shared_ptr<const Utterance> utterance);

    EspeakEngine* engine_;
    std::unique_ptr<QThread> thread_;
    QObject* worker_ = nullptr; // lives on thread_; deleted when it finishes
    QString lastStatement_;     // worker thread only

    std::mutex mutex_; // guards the two sets
    std::set<std::uint64_t> pending_;
    std::set<std::uint64_t> cancelled_;
    std::atomic<bool> closing_{false};
};

// The best synthesizer this machine has: espeak-ng, else reading pace.
std::unique_ptr<Synthesizer> createSynthesizer();

} // namespace agent::speech
