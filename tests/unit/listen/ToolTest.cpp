// agent-listen on WAV files: the engine's recogniser from the command line.
#include "agent/listen/Wav.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Runs the tool; returns its standard output, with "failed" after it when it exits non-zero.
std::string run(const std::string& args) {
    FILE* p = popen((std::string(AGENT_LISTEN_BIN) + " " + args + " 2>/dev/null").c_str(), "r");
    std::string out;
    std::array<char, 256> buf{};
    while (p && fgets(buf.data(), buf.size(), p))
        out += buf.data();
    return p && pclose(p) == 0 ? out : out + "failed";
}

} // namespace

// Stereo at 22050 Hz, so the tool has to mix down and resample; the phrase is printed
// as given, or "(none)"; bad use and bad files fail.
TEST(AgentListenTool, PrintsTheRecognisedPhraseAsGivenOrNone) {
    const auto path = std::filesystem::temp_directory_path() / "parlavox-tool.wav";
    for (const auto& [said, printed] : {std::pair{"Shut up and quit", "Shut Up! & Quit\n"},
                                        std::pair{"What time is it", "(none)\n"}}) {
        agent::listen::PcmAudio a{22050, 2, {}};
        for (auto v : agent::listen::resample(listentest::render(said, "en-us", 160), 16000, 22050))
            a.samples.insert(a.samples.end(), {v, v});
        agent::listen::writeWav(path, a);
        EXPECT_EQ(run("--phrase Advanced --phrase 'Say It' --phrase 'Random Animation' "
                      "--phrase Sing --phrase 'Shut Up! & Quit' " +
                      path.string()),
                  printed);
    }
    std::filesystem::remove(path);
    EXPECT_EQ(run(path.string()), "failed"); // no phrase
    EXPECT_EQ(run("--phrase Sing /nonexistent/x.wav"), "failed");
}
