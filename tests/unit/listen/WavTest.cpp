#include "agent/listen/Wav.h"
#include "agent/listen/ListenError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

using namespace agent::listen;

namespace {

std::vector<std::int16_t> sine(double hz, int rate, double seconds, double amp) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(amp * std::sin(2 * std::numbers::pi * hz * i / rate));
    return s;
}

double rmsOf(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// Zero crossings per second / 2 = frequency of a clean sine.
double frequency(const std::vector<std::int16_t>& s, int rate) {
    int crossings = 0;
    for (std::size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
    return crossings / 2.0 / (static_cast<double>(s.size()) / rate);
}

std::filesystem::path tempFile(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

} // namespace

TEST(Resample, KeepsFrequencyAndLevelBelowNyquist) {
    auto in = sine(1000, 22050, 1.0, 10000);
    auto out = resample(in, 22050, 16000);
    ASSERT_NEAR(static_cast<double>(out.size()), 16000, 2);
    EXPECT_NEAR(frequency(out, 16000), 1000, 5);
    EXPECT_NEAR(rmsOf(out, 1000, 15000), 10000 / std::sqrt(2.0), 150);
}

TEST(Resample, FiltersOutWhatCannotBeRepresented) {
    // 10 kHz is above 16 kHz's Nyquist frequency: it must not fold down to 6 kHz.
    auto out = resample(sine(10000, 44100, 1.0, 10000), 44100, 16000);
    EXPECT_LT(rmsOf(out, 1000, 15000), 300);
}

TEST(Resample, UpsamplesToo) {
    auto out = resample(sine(440, 8000, 1.0, 8000), 8000, 16000);
    ASSERT_NEAR(static_cast<double>(out.size()), 16000, 2);
    EXPECT_NEAR(frequency(out, 16000), 440, 5);
}

TEST(Wav, RoundTripsSixteenBitStereoAndMixesToMono) {
    PcmAudio a{16000, 2, {1000, 3000, -2000, -4000, 0, 10}};
    auto path = tempFile("parlavox-listen-wav-test.wav");
    writeWav(path, a);
    PcmAudio b = readWav(path);
    std::filesystem::remove(path);
    EXPECT_EQ(b.sampleRate, 16000);
    EXPECT_EQ(b.channels, 2);
    EXPECT_EQ(b.samples, a.samples);
    EXPECT_EQ(toMono(b), (std::vector<std::int16_t>{2000, -3000, 5}));
    EXPECT_EQ(toRecognizerInput(b), (std::vector<std::int16_t>{2000, -3000, 5}));
}

TEST(Wav, RejectsWhatIsNotWaveAudio) {
    auto path = tempFile("parlavox-listen-bad.wav");
    { std::ofstream(path, std::ios::binary) << "RIFF\x10\0\0\0WAVEjunk"; }
    EXPECT_THROW(readWav(path), ListenError);
    { std::ofstream(path, std::ios::binary) << "hello, world"; }
    EXPECT_THROW(readWav(path), ListenError);
    std::filesystem::remove(path);
    try {
        readWav("/nonexistent/x.wav");
        FAIL();
    } catch (const ListenError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/x.wav"), std::string::npos);
    }
}
