#include "agent/listen/Wav.h"
#include "agent/listen/ListenError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace agent::listen;

TEST(Wav, RoundTripsSixteenBitStereoAndMixesToMono) {
    PcmAudio a{16000, 2, {1000, 3000, -2000, -4000, 0, 10}};
    auto path = std::filesystem::temp_directory_path() / "parlavox-listen-wav-test.wav";
    writeWav(path, a);
    PcmAudio b = readWav(path);
    std::filesystem::remove(path);
    EXPECT_EQ(std::tuple(b.sampleRate, b.channels, b.samples), std::tuple(16000, 2, a.samples));
    EXPECT_EQ(toMono(b), (std::vector<std::int16_t>{2000, -3000, 5}));
    EXPECT_EQ(toRecognizerInput(b), (std::vector<std::int16_t>{2000, -3000, 5}));
}

namespace {

// A RIFF WAVE file around `data`, as sound editors write it.
std::string wavFile(int tag, int bits, const std::string& data) {
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += char(v >> (8 * i));
        return s;
    };
    const int rate = 16000, align = bits / 8;
    std::string fmt =
        le(tag, 2) + le(1, 2) + le(rate, 4) + le(rate * align, 4) + le(align, 2) + le(bits, 2);
    std::string body = "WAVEfmt " + le(16, 4) + fmt + "data" + le(data.size(), 4) + data;
    return "RIFF" + le(body.size(), 4) + body;
}

} // namespace

TEST(Wav, ReadsRecordingFormatsAndNamesTheFileItRefuses) {
    // Chunk sizes libsndfile went round in are fuzz/corpus/wav/2a69a0f6..., run by make test.
    const std::string halfFloat("\x00\x00\x00\x3f", 4), twoFloat("\x00\x00\x00\x40", 4);
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::int16_t> samples; // empty: refused
    } cases[] = {
        {"8-bit", wavFile(1, 8, "\x80\xc0"), {0, 16384}},
        {"24-bit", wavFile(1, 24, std::string("\x00\x00\x40", 3)), {16384}},
        {"float, past full scale clipped", wavFile(3, 32, halfFloat + twoFloat), {16384, 32767}},
        {"ADPCM is a character codec, not a recording's", wavFile(2, 4, "\x00\x00"), {}},
        {"no fmt chunk", "RIFF\x10\0\0\0WAVEjunk", {}},
        {"not WAVE at all", "hello, world", {}},
    };
    auto path = std::filesystem::temp_directory_path() / "parlavox-listen-formats.wav";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        { std::ofstream(path, std::ios::binary) << c.bytes; }
        if (c.samples.empty())
            EXPECT_THROW(readWav(path), ListenError);
        else
            EXPECT_EQ(readWav(path).samples, c.samples);
    }
    std::filesystem::remove(path);
    for (const char* bad : {"/nonexistent/x.wav", "/tmp"}) {
        try {
            readWav(bad);
            ADD_FAILURE() << bad << " was read";
        } catch (const ListenError& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}
