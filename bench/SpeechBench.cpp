// Speech speed: from synthesize() to the utterance (and so its first sample) being ready
// on the requesting thread, espeak-ng's real-time factor, and tag parsing; and how
// closely the pitch said follows the pitch asked for.

#include "PitchTracker.h"

#include "agent/speech/EspeakEngine.h"
#include "agent/speech/EspeakSynthesizer.h"
#include "agent/speech/SpeechScript.h"
#include "agent/speech/SpeechTags.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>

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
        benchmark::DoNotOptimize(u.get());
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

// Hostile text the size of a large paste: tags alone, repeated to 1 MB. The whole path
// from tagged text to the utterance is timed, so any step that grows faster than the
// text shows here; `audio_ms` is what the utterance would last.
QString repeatedTo1MB(const QString& unit) {
    QString text;
    text.reserve(1 << 20);
    while (text.size() < (1 << 20))
        text += unit;
    return text;
}

void sayHostile(benchmark::State& state, const QString& text) {
    EspeakEngine* engine = EspeakEngine::instance();
    if (engine == nullptr) {
        state.SkipWithError("espeak-ng is not available");
        return;
    }
    std::int64_t audioMs = 0;
    for (auto _ : state) {
        const auto u = engine->render(buildScript(parseSpeechTags(text), {}));
        audioMs = u->durationMs;
        benchmark::DoNotOptimize(u.get());
    }
    state.counters["audio_ms"] = static_cast<double>(audioMs);
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

// Voice switches with a space between: each one may start a new voice.
void BM_VoiceSwitches1MB(benchmark::State& state) {
    sayHostile(state, repeatedTo1MB(QStringLiteral(
                          R"(\Chr="Whisper"\ \Chr="Normal"\ \Pit=100\ \Pit=250\ )")));
}
// Words between tags that are dropped: the words join up into one text.
void BM_DroppedTags1MB(benchmark::State& state) {
    sayHostile(state, repeatedTo1MB(QStringLiteral(R"(a\X\)")));
}
void BM_Pauses1MB(benchmark::State& state) {
    sayHostile(state, repeatedTo1MB(QStringLiteral(R"(\Pau=60000\)")));
}
BENCHMARK(BM_VoiceSwitches1MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DroppedTags1MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Pauses1MB)->Unit(benchmark::kMillisecond)->Iterations(1);

// Pitch asked for in hertz against the median pitch of what is said, per requested
// value: the per-voice tables in Voices.cpp are judged by this (within 15 % is good).
void BM_PitchAccuracy(benchmark::State& state) {
    EspeakEngine* engine = EspeakEngine::instance();
    if (engine == nullptr) {
        state.SkipWithError("espeak-ng is not available");
        return;
    }
    const auto requested = static_cast<int>(state.range(0));
    const QString text = QStringLiteral(R"(\Pit=%1\)").arg(requested) +
                         QStringLiteral("Would you like me to read out the words you typed in "
                                        "the box below?");
    double measured = 0;
    for (auto _ : state) {
        const auto u = engine->render(buildScript(parseSpeechTags(text), {}));
        measured = speechtest::medianPitch(u->pcm.samples(), u->sampleRate);
    }
    state.counters["measured_hz"] = measured;
    state.counters["error_percent"] = 100.0 * (measured - requested) / requested;
}
BENCHMARK(BM_PitchAccuracy)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Arg(70)
    ->Arg(80)
    ->Arg(90)
    ->Arg(100)
    ->Arg(110)
    ->Arg(120)
    ->Arg(135)
    ->Arg(150)
    ->Arg(165)
    ->Arg(180)
    ->Arg(200)
    ->Arg(220)
    ->Arg(240)
    ->Arg(260)
    ->Arg(280)
    ->Arg(300);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
