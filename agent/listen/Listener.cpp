#include "agent/listen/Listener.h"

#include "agent/listen/Logging.h"

#include <QAudioFormat>
#include <QAudioSource>
#include <QDateTime>
#include <QMediaDevices>
#include <QThread>

#include <cstring>
#include <exception>
#include <optional>

namespace agent::listen {

// Owns the Recognizer and lives on the listening thread.
class RecognizerWorker : public QObject {
  public:
    std::unique_ptr<Recognizer> recognizer;
    std::optional<Recognition> ahead; // decoded before the end was certain
};

namespace {
constexpr qint64 kPreRollMs = 300;
// The listening tone lasts 120 ms; the rest allows for the sound system's
// delay and the room's echo.
constexpr qint64 kToneFilterMs = 1000;
} // namespace

Listener::Listener(RecognizerOptions recognizerOptions, QObject* parent)
    : QObject(parent), thread_(std::make_unique<QThread>()),
      worker_(std::make_unique<RecognizerWorker>()) {
    qRegisterMetaType<Recognition>();
    vad_ = VoiceActivityDetector(options_.vad);
    releaseTimer_.setSingleShot(true);
    connect(&releaseTimer_, &QTimer::timeout, this, &Listener::finishUtterance);
    thread_->setObjectName("agent.listen");
    worker_->moveToThread(thread_.get());
    thread_->start();
    // Loading the model and dictionary takes a moment: off the GUI thread.
    QMetaObject::invokeMethod(worker_.get(), [this, opts = std::move(recognizerOptions)] {
        QString error;
        try {
            worker_->recognizer = std::make_unique<Recognizer>(opts);
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
        }
        const bool ok = error.isEmpty();
        QMetaObject::invokeMethod(
            this, [this, ok, error] { onReady(ok, error); }, Qt::QueuedConnection);
    });
}

Listener::~Listener() {
    closeMicrophone();
    thread_->quit();
    thread_->wait();
    // The worker's thread has ended, so deleting it here is safe.
    worker_.reset();
}

bool Listener::microphoneAvailable() {
    return !QMediaDevices::defaultAudioInput().isNull();
}

void Listener::setState(State s) {
    if (s == state_)
        return;
    state_ = s;
    qCDebug(lcListen) << "state" << s;
    emit stateChanged(s);
}

void Listener::onReady(bool ok, const QString& error) {
    if (!ok) {
        qCInfo(lcListen) << "recogniser unavailable:" << error;
        setState(State::Unavailable);
        emit failed(error);
        return;
    }
    refreshIdleState();
    if (options_.handsFree || pendingStart_) {
        pendingStart_ = false;
        start();
    }
}

void Listener::refreshIdleState() {
    setState(microphoneAvailable() || !options_.device.isNull() ? State::Idle
                                                                : State::NoMicrophone);
}

void Listener::setGrammar(const Grammar& grammar) {
    QMetaObject::invokeMethod(worker_.get(), [this, grammar] {
        if (!worker_->recognizer)
            return;
        try {
            worker_->recognizer->setGrammar(grammar);
        } catch (const std::exception& e) {
            const QString msg = QString::fromStdString(e.what());
            QMetaObject::invokeMethod(
                this, [this, msg] { emit failed(msg); }, Qt::QueuedConnection);
        }
    });
}

void Listener::setOptions(const Options& options) {
    const bool wasHandsFree = options_.handsFree;
    options_ = options;
    vad_ = VoiceActivityDetector(options_.vad);
    ahead_ = DecodeAhead(options_.decodeAheadMs);
    if (options_.handsFree && !wasHandsFree && state_ == State::Idle)
        start();
    else if (!options_.handsFree && wasHandsFree && state_ == State::Listening)
        cancel();
}

bool Listener::openMicrophone() {
    if (source_)
        return true;
    QAudioDevice device =
        options_.device.isNull() ? QMediaDevices::defaultAudioInput() : options_.device;
    if (device.isNull()) {
        qCInfo(lcListen) << "no microphone";
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    source_ = std::make_unique<QAudioSource>(device, format);
    // Small buffers keep the end of speech close to the end of capture.
    source_->setBufferSize(kSampleRate * 2 / 10);
    io_ = source_->start();
    if (!io_ || source_->error() != QAudio::NoError) {
        qCInfo(lcListen) << "cannot open microphone" << device.description() << source_->error();
        closeMicrophone();
        return false;
    }
    connect(io_, &QIODevice::readyRead, this, &Listener::onAudio);
    connect(source_.get(), &QAudioSource::stateChanged, this, [this](QAudio::State s) {
        if (s == QAudio::StoppedState && source_ && source_->error() != QAudio::NoError) {
            qCInfo(lcListen) << "microphone lost" << source_->error();
            closeMicrophone();
            inUtterance_ = false;
            releaseTimer_.stop();
            setState(State::NoMicrophone);
        }
    });
    qCDebug(lcListen) << "microphone open:" << device.description();
    return true;
}

void Listener::closeMicrophone() {
    if (!source_)
        return;
    if (io_)
        disconnect(io_, nullptr, this, nullptr);
    disconnect(source_.get(), nullptr, this, nullptr);
    source_->stop();
    io_ = nullptr;
    source_.reset();
}

void Listener::start() {
    switch (state_) {
    case State::Preparing:
        pendingStart_ = true;
        return;
    case State::Unavailable:
    case State::Recognizing:
        return;
    case State::Listening:
        // Key pressed again during the after-release wait: keep listening.
        released_ = false;
        releaseTimer_.stop();
        return;
    case State::Idle:
    case State::NoMicrophone:
        break;
    }
    if (!openMicrophone()) {
        // Re-announce so the tip can say there is nothing to listen with.
        state_ = State::Idle;
        setState(State::NoMicrophone);
        return;
    }
    toneFilter_.arm(options_.listeningTone ? kSampleRate * kToneFilterMs / 1000 : 0, kSampleRate);
    vad_.reset();
    preRoll_.clear();
    released_ = false;
    if (!options_.handsFree)
        beginUtterance();
    setState(State::Listening);
}

void Listener::beginUtterance() {
    inUtterance_ = true;
    ahead_.reset();
    std::vector<std::int16_t> pre = std::move(preRoll_);
    preRoll_.clear();
    QMetaObject::invokeMethod(worker_.get(), [this, pre = std::move(pre)] {
        if (!worker_->recognizer)
            return;
        worker_->ahead.reset();
        worker_->recognizer->begin();
        worker_->recognizer->feed(pre);
    });
}

void Listener::stop() {
    if (state_ == State::Preparing) {
        pendingStart_ = false;
        return;
    }
    if (state_ != State::Listening || options_.handsFree || released_)
        return;
    released_ = true;
    stoppedAt_ = QDateTime::currentMSecsSinceEpoch();
    releaseTimer_.start(options_.releaseDelayMs);
    if (options_.releaseDelayMs <= 0)
        finishUtterance();
}

void Listener::cancel() {
    releaseTimer_.stop();
    closeMicrophone();
    inUtterance_ = false;
    pendingStart_ = false;
    if (state_ == State::Listening)
        refreshIdleState();
}

namespace {
std::vector<std::int16_t> readSamples(QIODevice* io) {
    const QByteArray bytes = io->readAll();
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(bytes.size()) / sizeof(std::int16_t));
    // A wake-up with nothing to read leaves both pointers null: no copy.
    if (!chunk.empty())
        std::memcpy(chunk.data(), bytes.constData(), chunk.size() * sizeof(std::int16_t));
    return chunk;
}
} // namespace

void Listener::forward(std::vector<std::int16_t> chunk) {
    QMetaObject::invokeMethod(worker_.get(), [this, chunk = std::move(chunk)] {
        if (worker_->recognizer)
            worker_->recognizer->feed(chunk);
    });
}

void Listener::onAudio() {
    if (!io_)
        return;
    std::vector<std::int16_t> chunk = readSamples(io_);
    if (chunk.empty())
        return;
    toneFilter_.apply(chunk);
    const auto event = vad_.feed(chunk);
    if (event != VoiceActivityDetector::Event::None)
        qCDebug(lcListen) << (event == VoiceActivityDetector::Event::SpeechStarted
                                  ? "speech started"
                                  : "speech ended")
                          << "noise floor" << vad_.noiseFloorDb() << "dB";
    if (options_.handsFree && !inUtterance_) {
        preRoll_.insert(preRoll_.end(), chunk.begin(), chunk.end());
        const auto keep = static_cast<std::size_t>(kSampleRate * kPreRollMs / 1000);
        if (preRoll_.size() > keep)
            preRoll_.erase(preRoll_.begin(),
                           preRoll_.begin() + static_cast<std::ptrdiff_t>(preRoll_.size() - keep));
        if (event == VoiceActivityDetector::Event::SpeechStarted)
            beginUtterance();
        return;
    }
    if (!inUtterance_)
        return;
    forward(std::move(chunk));
    if (options_.handsFree ? event == VoiceActivityDetector::Event::SpeechEnded
                           : released_ && vad_.trailingSilenceMs() >= options_.endSilenceMs)
        finishUtterance();
    else if (ahead_.due(vad_))
        decodeAhead();
}

// The speaker has paused: decoding now, while the end is awaited, has the
// answer ready when it comes, unless they go on.
void Listener::decodeAhead() {
    QMetaObject::invokeMethod(worker_.get(), [this] {
        if (!worker_->recognizer)
            return;
        try {
            worker_->ahead = worker_->recognizer->recognizeSoFar();
        } catch (const std::exception& e) {
            worker_->ahead.reset();
            qCInfo(lcListen) << "recognition failed:" << e.what();
        }
    });
}

void Listener::finishUtterance() {
    if (!inUtterance_)
        return;
    releaseTimer_.stop();
    // What is already captured still belongs to the utterance.
    if (io_) {
        std::vector<std::int16_t> rest = readSamples(io_);
        toneFilter_.apply(rest);
        vad_.feed(rest);
        forward(std::move(rest));
    }
    const bool aheadStands = ahead_.stands(vad_);
    inUtterance_ = false;
    if (!options_.handsFree)
        closeMicrophone();
    setState(State::Recognizing);
    QMetaObject::invokeMethod(worker_.get(), [this, aheadStands] {
        if (!worker_->recognizer)
            return;
        Recognition r;
        try {
            if (aheadStands && worker_->ahead) {
                r = *worker_->ahead; // only silence came after it
                worker_->recognizer->begin();
            } else {
                r = worker_->recognizer->finish();
            }
        } catch (const std::exception& e) {
            qCInfo(lcListen) << "recognition failed:" << e.what();
        }
        worker_->ahead.reset();
        QMetaObject::invokeMethod(
            this, [this, r] { onResult(r); }, Qt::QueuedConnection);
    });
}

void Listener::onResult(const Recognition& r) {
    if (stoppedAt_ > 0)
        qCInfo(lcListen) << "answer" << QDateTime::currentMSecsSinceEpoch() - stoppedAt_
                         << "ms after the key was released";
    stoppedAt_ = 0;
    if (options_.handsFree && source_) {
        vad_.reset();
        setState(State::Listening);
    } else {
        refreshIdleState();
    }
    emit recognized(r);
}

} // namespace agent::listen
