// agent-listen on WAV files: the engine's recogniser from the command line.
#include "agent/listen/Wav.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct PipeCloser {
    void operator()(FILE* f) const { pclose(f); }
};

// Runs the tool; returns its standard output and sets the exit status.
std::string run(const std::string& args, int& status) {
    const std::string cmd = std::string(AGENT_LISTEN_BIN) + " " + args + " 2>/dev/null";
    std::unique_ptr<FILE, PipeCloser> p(popen(cmd.c_str(), "r"));
    std::string out;
    std::array<char, 256> buf{};
    while (p && fgets(buf.data(), buf.size(), p.get()))
        out += buf.data();
    status = p ? pclose(p.release()) : -1;
    return out;
}

// Stereo at 22050 Hz, so the tool has to mix down and resample.
std::filesystem::path writeStereo(const std::string& text, const char* name) {
    auto mono = agent::listen::resample(listentest::render(text, "en-us", 160), 16000, 22050);
    agent::listen::PcmAudio a{22050, 2, {}};
    for (auto v : mono) {
        a.samples.push_back(v);
        a.samples.push_back(v);
    }
    auto path = std::filesystem::temp_directory_path() / name;
    agent::listen::writeWav(path, a);
    return path;
}

const std::string kPhrases =
    "--phrase Advanced --phrase 'Say It' --phrase 'Change What to be Said' "
    "--phrase 'Random Animation' --phrase Sing --phrase 'Shut Up! & Quit'";

} // namespace

TEST(AgentListenTool, PrintsTheRecognisedPhraseAsGivenOrNone) {
    for (const auto& [said, printed] : {std::pair{"Shut up and quit", "Shut Up! & Quit\n"},
                                        std::pair{"What time is it", "(none)\n"}}) {
        auto wav = writeStereo(said, "parlavox-tool.wav");
        int status = 0;
        EXPECT_EQ(run(kPhrases + " " + wav.string(), status), printed);
        EXPECT_EQ(status, 0);
        std::filesystem::remove(wav);
    }
}

TEST(AgentListenTool, BadUseAndBadFilesFail) {
    int status = 0;
    EXPECT_EQ(run("/nonexistent.wav", status), ""); // no phrase
    EXPECT_NE(status, 0);
    EXPECT_EQ(run("--phrase Sing /nonexistent/x.wav", status), "");
    EXPECT_NE(status, 0);
}
