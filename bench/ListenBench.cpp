// The recogniser's accuracy and speed on espeak-ng renderings: the six Voice
// texts in four voices, two speeds, clean and with noise (PARLAVOX_LISTEN_SNR
// in dB, default 20), sentences outside the grammar and noise alone. Counters:
// in-grammar accuracy, misrecognitions, false acceptance of out-of-grammar
// speech and of noise, and decode time. PARLAVOX_LISTEN_GARBAGE_PENALTY tries
// another penalty without rebuilding.

#include "Speech.h"

#include "agent/listen/Grammar.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Phrases.h"
#include "agent/listen/Recognizer.h"
#include "agent/listen/VoiceActivity.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

using namespace agent::listen;

namespace {

const std::vector<std::string> kOutOfGrammar = {
    "What time is it",
    "Open the window please",
    "Turn off the lights",
    "How is the weather today",
    "Banana elephant purple",
    "Send a message to my brother",
    "Hello",
    "Singing in the rain",
};

void BM_RecognizerAccuracy(benchmark::State& state) {
    RecognizerOptions options;
    if (const char* p = std::getenv("PARLAVOX_LISTEN_GARBAGE_PENALTY"))
        options.garbagePenalty = std::atof(p);
    const char* snrText = std::getenv("PARLAVOX_LISTEN_SNR");
    const double snrs[] = {-1, snrText ? std::atof(snrText) : 20.0}; // -1: clean
    Recognizer rec(options);
    rec.setGrammar(Grammar::build(listentest::kCommands, globalPhrases("Merlin")));
    int in = 0, correct = 0, wrong = 0, out = 0, accepted = 0, noiseAccepted = 0;
    double decodeMs = 0, maxDecodeMs = 0, audioSeconds = 0;
    const auto recognise = [&](const listentest::Samples& s) {
        const Recognition r = rec.recognize(s);
        const double ms = r.decodeTime.count() / 1000.0;
        decodeMs += ms;
        maxDecodeMs = std::max(maxDecodeMs, ms);
        audioSeconds += r.audioSeconds;
        return r;
    };
    unsigned seed = 1;
    for (auto _ : state) {
        for (const char* voice : {"en-us", "en", "en+f3", "en+m3"})
            for (int wpm : {140, 180})
                for (double snr : snrs) {
                    const auto noisy = [&](listentest::Samples s) {
                        return snr < 0 ? s : listentest::withNoise(s, snr, seed++);
                    };
                    for (const auto& c : listentest::kCommands) {
                        const Recognition r =
                            recognise(noisy(listentest::render(c.voice, voice, wpm)));
                        ++in;
                        correct += r.accepted && r.phrase->commandName == c.name;
                        wrong += r.accepted && r.phrase->commandName != c.name;
                        if (!r.accepted)
                            std::printf("  missed %s/%d/%g \"%s\" (heard %s)\n", voice, wpm, snr,
                                        c.voice.c_str(), r.heard.c_str());
                    }
                    if (wpm == 180)
                        for (const auto& text : kOutOfGrammar) {
                            ++out;
                            accepted +=
                                recognise(noisy(listentest::render(text, voice, 160))).accepted;
                        }
                }
        for (const auto& noise :
             {listentest::whiteNoise(1.5, -40, 11), listentest::whiteNoise(1.5, -20, 12),
              listentest::brownNoise(1.5, -30, 13), listentest::brownNoise(1.5, -15, 14),
              listentest::hum(1.5, -25), listentest::Samples(24000, 0)})
            noiseAccepted += recognise(noise).accepted;
    }
    state.counters["accuracy_percent"] = 100.0 * correct / std::max(1, in);
    state.counters["misrecognised"] = wrong;
    state.counters["false_accept_percent"] = 100.0 * accepted / std::max(1, out);
    state.counters["noise_accepted"] = noiseAccepted;
    state.counters["decode_max_ms"] = maxDecodeMs;
    state.counters["real_time_factor"] = decodeMs / 1000.0 / std::max(1e-9, audioSeconds);
}
BENCHMARK(BM_RecognizerAccuracy)->Unit(benchmark::kSecond)->Iterations(1);

// From the end of an utterance to the answer, on the Listener's schedule.
// Audio arrives in 100 ms pieces, at the pace of speech once the speaker has
// paused, and the key is released as the words end. After decodeAheadMs of
// silence the utterance is decoded on another thread while the end
// (endSilenceMs of silence) is awaited; that answer stands unless more speech
// came. Voices and speeds none of the calibration used, clean and in white
// noise at 10 dB. Counters: the wait after the end (mean, worst), the longest
// decoding ahead, and how many answers differ from decoding at the end.
void BM_EndOfUtteranceToAnswer(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kPiece = kSampleRate / 10;
    const Listener::Options listening;
    Recognizer rec;
    rec.setGrammar(Grammar::build(listentest::kCommands, globalPhrases("Merlin")));
    std::vector<listentest::Samples> utterances;
    unsigned seed = 1;
    for (const char* voice : {"en-gb-x-rp", "en-us+Andy", "en-029+klatt4", "en-us-nyc+f5"})
        for (int wpm : {120, 200})
            for (const auto& c : listentest::kCommands) {
                listentest::Samples s = listentest::render(c.voice, voice, wpm);
                s.resize(s.size() + kSampleRate, 0); // the silence that ends it
                utterances.push_back(s);
                // In steady noise the audio is cleaned before decoding.
                utterances.push_back(listentest::withNoise(s, 10, seed++));
            }
    double sumMs = 0, worstMs = 0, aheadWorstMs = 0;
    int n = 0, differing = 0, decodedAhead = 0;
    for (auto _ : state) {
        for (const auto& s : utterances) {
            VoiceActivityDetector vad(listening.vad);
            DecodeAhead ahead(listening.decodeAheadMs);
            std::future<Recognition> early;
            Clock::time_point pieceDue;        // once decoding ahead, audio comes in real time
            std::vector<std::int16_t> waiting; // fed once the decoder is free
            const std::size_t released = s.size() - kSampleRate; // the key, as the words end
            std::size_t end = 0;
            rec.begin();
            for (std::size_t i = 0; i < s.size(); i += kPiece) {
                const auto piece = std::span(s).subspan(i, std::min(kPiece, s.size() - i));
                end = i + piece.size();
                if (early.valid()) {
                    pieceDue += std::chrono::milliseconds(100);
                    std::this_thread::sleep_until(pieceDue);
                    waiting.insert(waiting.end(), piece.begin(), piece.end());
                } else {
                    rec.feed(piece);
                }
                vad.feed(piece);
                if (end > released && vad.trailingSilenceMs() >= listening.endSilenceMs)
                    break;
                if (ahead.due(vad)) {
                    if (early.valid()) { // the speaker went on: decode again
                        early.get();
                        rec.feed(waiting);
                        waiting.clear();
                    } else {
                        pieceDue = Clock::now();
                    }
                    early = std::async(std::launch::async, [&rec] { return rec.recognizeSoFar(); });
                }
            }
            const Clock::time_point ended = std::max(Clock::now(), pieceDue);
            Recognition r;
            if (early.valid())
                r = early.get();
            if (ahead.stands(vad)) {
                ++decodedAhead;
                aheadWorstMs = std::max(aheadWorstMs, r.decodeTime.count() / 1000.0);
            } else {
                rec.feed(waiting);
                r = rec.finish();
            }
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - ended).count();
            sumMs += ms;
            worstMs = std::max(worstMs, ms);
            ++n;
            const Recognition atEnd = rec.recognize(std::span(s).first(end));
            differing += r.heard != atEnd.heard || r.accepted != atEnd.accepted;
        }
    }
    state.counters["answer_mean_ms"] = sumMs / std::max(1, n);
    state.counters["answer_worst_ms"] = worstMs;
    state.counters["decoded_ahead"] = decodedAhead;
    state.counters["decode_ahead_worst_ms"] = aheadWorstMs;
    state.counters["differing_from_end"] = differing;
}
BENCHMARK(BM_EndOfUtteranceToAnswer)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
