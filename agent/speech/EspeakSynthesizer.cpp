#include "agent/speech/EspeakSynthesizer.h"

#include "agent/speech/EspeakEngine.h"
#include "agent/speech/ReadingPaceSynthesizer.h"
#include "agent/speech/SpeechLog.h"
#include "agent/speech/SpeechScript.h"

#include <QThread>

namespace agent::speech {

bool EspeakSynthesizer::available() {
    return EspeakEngine::instance() != nullptr;
}

EspeakSynthesizer::EspeakSynthesizer(QObject* parent)
    : Synthesizer(parent), engine_(EspeakEngine::instance()), thread_(std::make_unique<QThread>()) {
    thread_->setObjectName(QStringLiteral("speech"));
    worker_ = new QObject;
    worker_->moveToThread(thread_.get());
    // Qt's idiom for an object living on a worker thread: it goes with the thread.
    connect(thread_.get(), &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
}

EspeakSynthesizer::~EspeakSynthesizer() {
    closing_ = true; // ends a synthesis in progress at its next buffer
    thread_->quit();
    thread_->wait();
}

void EspeakSynthesizer::synthesize(std::uint64_t requestId, const QString& taggedText,
                                   const VoiceDefaults& voice) {
    qCInfo(lcSpeech).noquote() << "request" << requestId << taggedText.left(200);
    {
        std::lock_guard lock(mutex_);
        pending_.insert(requestId);
    }
    QMetaObject::invokeMethod(
        worker_,
        [this, requestId, taggedText, voice] {
            if (dropped(requestId) || closing_) {
                std::lock_guard lock(mutex_);
                pending_.erase(requestId);
                cancelled_.erase(requestId);
                return;
            }
            const SpeechScript script =
                buildScript(statementToSay(taggedText, lastStatement_), voice);
            std::shared_ptr<const Utterance> utterance =
                engine_ != nullptr
                    ? engine_->render(script,
                                      [this, requestId] { return closing_ || dropped(requestId); })
                    : readingPaceUtterance(script);
            QMetaObject::invokeMethod(
                this, [this, requestId, utterance] { deliver(requestId, utterance); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void EspeakSynthesizer::cancel(std::uint64_t requestId) {
    std::lock_guard lock(mutex_);
    if (pending_.count(requestId) != 0)
        cancelled_.insert(requestId);
}

bool EspeakSynthesizer::dropped(std::uint64_t requestId) {
    std::lock_guard lock(mutex_);
    return cancelled_.count(requestId) != 0;
}

void EspeakSynthesizer::deliver(std::uint64_t requestId,
                                std::shared_ptr<const Utterance> utterance) {
    {
        std::lock_guard lock(mutex_);
        pending_.erase(requestId);
        if (cancelled_.erase(requestId) != 0)
            return;
    }
    qCInfo(lcSpeech) << "ready" << requestId << utterance->durationMs << "ms,"
                     << utterance->words.size() << "words";
    emit ready(requestId, std::move(utterance));
}

std::unique_ptr<Synthesizer> createSynthesizer() {
    if (EspeakSynthesizer::available())
        return std::make_unique<EspeakSynthesizer>();
    qCInfo(lcSpeech) << "espeak-ng is not available: speaking silently at reading pace";
    return std::make_unique<ReadingPaceSynthesizer>();
}

} // namespace agent::speech
