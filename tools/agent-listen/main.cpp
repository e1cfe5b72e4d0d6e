// agent-listen: runs the engine's recogniser on a WAV file.
//   agent-listen --phrase TEXT [--phrase TEXT ...] [--name NAME] [--garbage-penalty X]
//                [--word-penalty X] [--verbose] FILE.wav
// Prints the recognised phrase as given, or "(none)" when it rejects.
#include "agent/listen/Grammar.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Recognizer.h"
#include "agent/listen/Wav.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr
        << "usage: agent-listen --phrase TEXT [--phrase TEXT ...] [--name NAME]\n"
           "                    [--garbage-penalty X] [--word-penalty X] [--verbose] FILE.wav\n"
           "  --name NAME   also listen for the engine's own phrases for character NAME\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace agent::listen;
    std::vector<VoiceCommand> commands;
    std::string file;
    std::string name;
    bool withGlobals = false;
    bool verbose = false;
    RecognizerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--phrase") {
            const char* v = value();
            if (!v)
                return usage();
            commands.push_back({v, v});
        } else if (arg == "--name") {
            const char* v = value();
            if (!v)
                return usage();
            name = v;
            withGlobals = true;
        } else if (arg == "--garbage-penalty") {
            const char* v = value();
            if (!v)
                return usage();
            options.garbagePenalty = std::strtod(v, nullptr);
        } else if (arg == "--word-penalty") {
            const char* v = value();
            if (!v)
                return usage();
            options.wordPenalty = std::strtod(v, nullptr);
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            return usage();
        } else if (file.empty()) {
            file = arg;
        } else {
            return usage();
        }
    }
    if (file.empty() || commands.empty())
        return usage();
    try {
        Grammar grammar = Grammar::build(commands, withGlobals ? globalPhrases(name)
                                                               : std::vector<GlobalPhrase>{});
        Recognizer recognizer(options);
        recognizer.setGrammar(grammar);
        if (verbose)
            for (const auto& [word, phones] : recognizer.generatedPronunciations())
                std::cerr << "generated: " << word << " = " << phones << '\n';
        const auto audio = toRecognizerInput(readWav(file));
        const Recognition r = recognizer.recognize(audio);
        if (verbose)
            std::cerr << "heard: " << r.heard << " frames " << r.frames << " audio "
                      << r.audioSeconds << " s decode " << r.decodeTime.count() / 1000.0 << " ms\n";
        std::cout << (r.accepted ? r.phrase->shown : std::string("(none)")) << '\n';
    } catch (const ListenError& e) {
        std::cerr << "agent-listen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
