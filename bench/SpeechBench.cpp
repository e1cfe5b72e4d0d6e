// Speech speed: from synthesize() to the utterance (and so its first sample) being ready
// on the requesting thread, espeak-ng's real-time factor, and tag parsing.

#include "agent/speech/EspeakEngine.h"
#include "agent/speech/EspeakSynthesizer.h"
#include "agent/speech/SpeechScript.h"
#include "agent/speech/SpeechTags.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

using namespace agent::speech;

namespace {

const QString kShort = QStringLiteral(R"(\Spd=150\\Pit=110\Hello there!)");
const QString kLong = QStringLiteral(
    R"(\Spd=170\\Pit=120\Welcome to the desktop. I can read what you type, sing a song, )"
    R"(and tell you the time. \Emp\Double-click me and I will say it again, at the speed and )"
    R"(pitch of the sliders. \Pau=200\ Right-click me for everything else.)");

// From synthesize() to ready() arriving through the event loop: what the engine waits
// before it can hand the first sample to the audio output.
void speakToFirstSample(benchmark::State& state, const QString& text) {
    EspeakSynthesizer synth;
    QEventLoop loop;
    std::int64_t durationMs = 0;
    QObject::connect(&synth, &Synthesizer::ready, &loop,
                     [&](std::uint64_t, std::shared_ptr<const Utterance> u) {
                         durationMs = u->durationMs;
                         loop.quit();
                     });
    std::uint64_t id = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        synth.synthesize(++id, text, {});
        loop.exec();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["audio_ms"] = static_cast<double>(durationMs);
}

void BM_SpeakToFirstSample_Short(benchmark::State& state) {
    speakToFirstSample(state, kShort);
}
void BM_SpeakToFirstSample_Long(benchmark::State& state) {
    speakToFirstSample(state, kLong);
}
BENCHMARK(BM_SpeakToFirstSample_Short)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpeakToFirstSample_Long)->UseManualTime()->Unit(benchmark::kMillisecond);

// Synthesis time over the audio's duration (below 1: faster than real time).
void BM_RealTimeFactor(benchmark::State& state) {
    EspeakEngine* engine = EspeakEngine::instance();
    if (engine == nullptr) {
        state.SkipWithError("espeak-ng is not available");
        return;
    }
    const SpeechScript script = buildScript(parseSpeechTags(kLong), {});
    double audioMs = 0;
    double synthMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const auto u = engine->render(script);
        synthMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        audioMs += static_cast<double>(u->durationMs);
        benchmark::DoNotOptimize(u->pcm.data());
    }
    state.counters["rtf"] = audioMs > 0 ? synthMs / audioMs : 0.0;
}
BENCHMARK(BM_RealTimeFactor)->Unit(benchmark::kMillisecond);

void BM_ParseTags100k(benchmark::State& state) {
    QString text;
    while (text.size() < 100'000)
        text += kLong + QStringLiteral(R"( \Bogus\ \Map="a"="b"\ )");
    for (auto _ : state)
        benchmark::DoNotOptimize(parseSpeechTags(text).items.size());
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_ParseTags100k)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
