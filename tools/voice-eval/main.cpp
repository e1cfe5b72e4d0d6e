// voice-eval: how well voice commands are recognised for voices the recogniser
// was never tuned on.
//
//   voice-eval [--cache DIR] [--jobs N] [--every N] [--folds K] [--snr DB]
//              [--max-false-accept PERCENT] [--conditions quiet,white,babble]
//              [--penalties LOG10,LOG10,...] [--word-penalty LOG10] [--us-only]
//              [--edge-db DB] [--no-rejection] [--heard FILE] [--list]
//
// Every English espeak-ng voice, plain and with every variant, speaks the
// program's voice commands, the engine's own phrases and a set of phrases
// outside the grammar (near misses that share words with commands, and
// unrelated sentences), at 120-220 words per minute and several pitches. Each
// recording is decoded clean and with white and babble noise at --snr dB, as
// much of it as the Listener decodes: up to a moment's silence after the last
// word, when it decodes ahead of the end.
//
// Renderings are kept in the cache (espeak-ng is run once per recording); the
// decoding runs in --jobs processes (at most 2), once for each garbage
// penalty in --penalties (the recogniser's one acceptance knob). Two sets of
// figures follow: the recogniser as shipped (its default penalty), and
// leave-voices-out folds: the penalty is calibrated on the voices of all other
// folds (the one recognising most whose false accepts stay within
// --max-false-accept in every noise condition) and counted on the fold's own
// voices only. Both are broken down by voice family and noise. --us-only
// listens for US English pronunciations alone, to see what the other accents'
// pronunciations change. --no-rejection takes every recording for the phrase
// it fits best: the commands recognised then are about the most that any way
// of rejecting could keep, and the false accepts mean nothing. There the
// penalties set only what a phone before or after a phrase costs.
// --heard writes what the shipped penalty heard in every recording, one per
// line, for looking into what a change did.
#include "agent/listen/Grammar.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Phrases.h"
#include "agent/listen/Recognizer.h"
#include "agent/listen/VoiceActivity.h"
#include "agent/listen/Wav.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace agent::listen;

namespace {

// What the program registers, and the name its character answers to.
const std::vector<VoiceCommand> kCommands = {
    {"ACO", "Advanced"},
    {"AGENTWORLD", "Say It"},
    {"MASS", "Change What to be Said"},
    {"READPAGE", "Random Animation"},
    {"SING", "Sing"},
    {"BYE", "Shut Up! & Quit"},
};
constexpr const char* kCharacterName = "Merlin";

// Phrases the recogniser must turn down. Near misses share words or sounds
// with a command; the others are what a person says to someone else.
const std::vector<std::string> kNearMisses = {
    "Sing a song",        "Say it again",    "Random number",     "Advanced settings",
    "Shut the door",      "Open the window", "Close the door",    "Hide and seek",
    "Change the channel", "Quit smoking",    "What should I say", "Animation",
};
const std::vector<std::string> kUnrelated = {
    "What time is it",        "Turn off the lights",          "How is the weather today",
    "Banana elephant purple", "Send a message to my brother", "Hello",
    "Play some music",        "Good morning everyone",        "Where are my keys",
    "Thank you very much",
};
// Sentences for the babble: several talkers at once.
const std::vector<std::string> kBabble = {
    "We were going to meet at the station but the train was late again this morning",
    "She said the report would be ready by Friday if nobody changed the numbers",
    "Could you pass me the salt and the pepper and maybe some of that bread as well",
    "The children played outside until it was dark and then came in for supper",
    "I think the meeting went rather well although nobody agreed on the budget",
    "After lunch we walked along the river and watched the boats go slowly by",
};
const std::vector<std::string> kBabbleVoices = {
    "en-us", "en-gb+f2", "en-029+m4", "en-gb-scotland+f4", "en-us-nyc+m2", "en-gb-x-rp+f1"};

constexpr int kRate = kSampleRate;
constexpr int kLeadMs = 300;  // key down before the first word
constexpr int kTrailMs = 500; // silence after the last word that ends listening

struct Voice {
    std::string name;   // what espeak-ng -v takes, e.g. "en-gb-x-rp+Andy"
    std::string accent; // the base voice
    std::string family; // for the tables
    int fold = 0;
};

struct Utterance {
    int voice = 0;
    int phrase = 0; // index into the phrase list
    int wpm = 0;
    int pitch = 0;
};

struct Phrases {
    std::vector<std::string> text;
    int inGrammar = 0; // the first inGrammar are in the grammar
};

enum Condition { Clean, White, Babble, kConditions };
const char* const kConditionNames[] = {"quiet", "white", "babble"};

struct Result {
    int utterance = 0;
    int condition = 0;
    double decodeMs = 0;    // at the shipped penalty
    std::vector<int> heard; // phrase index accepted at each penalty, or -1
    std::string words;      // what the shipped penalty heard, e.g. "[AY] open commands window"
};

// ---- running espeak-ng ----------------------------------------------------

std::string runOutput(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        throw std::runtime_error("cannot run " + command);
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// Runs espeak-ng without a shell: the texts are passed as they are.
bool renderWav(const Voice& v, const std::string& text, int wpm, int pitch, const fs::path& out) {
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const std::string s = std::to_string(wpm), p = std::to_string(pitch), w = out.string();
        execlp("espeak-ng", "espeak-ng", "-v", v.name.c_str(), "-s", s.c_str(), "-p", p.c_str(),
               "-w", w.c_str(), text.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && fs::exists(out) &&
           fs::file_size(out) > 100;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;)
        w.push_back(s);
    return w;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string variantFamily(const std::string& variant, const std::string& gender) {
    const std::string v = lower(variant);
    auto numbered = [&](const std::string& prefix) {
        return v.size() == prefix.size() + 1 && v.compare(0, prefix.size(), prefix) == 0 &&
               std::isdigit(static_cast<unsigned char>(v.back()));
    };
    if (numbered("m"))
        return "variants m1-m8";
    if (numbered("f"))
        return "variants f1-f5";
    if (v.rfind("klatt", 0) == 0)
        return "klatt";
    if (v.rfind("whisper", 0) == 0)
        return "whisper";
    return gender == "F" ? "named female" : "named male";
}

// Plain English voices (the ones that need MBROLA are left out: it is not
// installed), then every variant, each on one of the plain voices in turn.
std::vector<Voice> listVoices(int folds) {
    std::vector<std::string> accents;
    for (std::istringstream in(runOutput("espeak-ng --voices=en")); !in.eof();) {
        std::string line;
        std::getline(in, line);
        const auto w = words(line);
        if (w.size() >= 5 && w[4].rfind("gmw/", 0) == 0 &&
            std::find(accents.begin(), accents.end(), w[1]) == accents.end())
            accents.push_back(w[1]);
    }
    std::vector<Voice> voices;
    for (std::size_t i = 0; i < accents.size(); ++i)
        voices.push_back({accents[i], accents[i], "plain voices", 0});
    std::vector<std::pair<std::string, std::string>> variants; // name, gender
    for (std::istringstream in(runOutput("espeak-ng --voices=variant")); !in.eof();) {
        std::string line;
        std::getline(in, line);
        const auto w = words(line);
        // Pty Language Age/Gender VoiceName File: the file is the last field
        if (w.size() >= 5 && w[1] == "variant" && w.back().rfind("!v/", 0) == 0)
            variants.emplace_back(w.back().substr(3), w[2].substr(w[2].size() - 1));
    }
    std::sort(variants.begin(), variants.end());
    for (std::size_t i = 0; i < variants.size(); ++i) {
        const std::string& accent = accents[i % accents.size()];
        voices.push_back({accent + "+" + variants[i].first, accent,
                          variantFamily(variants[i].first, variants[i].second), 0});
    }
    // Whole voices go to folds round-robin within each family, so every fold
    // holds out some of each.
    std::map<std::string, int> seen;
    for (auto& v : voices)
        v.fold = seen[v.family]++ % folds;
    return voices;
}

// ---- audio -----------------------------------------------------------------

using Samples = std::vector<std::int16_t>;

Samples load(const fs::path& p) {
    return toRecognizerInput(readWav(p));
}

double activeRms(const Samples& s) {
    // The level of the speech itself: the loudest 10 ms frames that together
    // hold most of the energy, so pauses do not lower it.
    constexpr std::size_t kFrame = kRate / 100;
    std::vector<double> e;
    for (std::size_t i = 0; i + kFrame <= s.size(); i += kFrame) {
        double sum = 0;
        for (std::size_t j = i; j < i + kFrame; ++j)
            sum += static_cast<double>(s[j]) * s[j];
        e.push_back(sum / kFrame);
    }
    if (e.empty())
        return 0;
    const double peak = *std::max_element(e.begin(), e.end());
    double sum = 0;
    int n = 0;
    for (double x : e)
        if (x > peak * 1e-3) { // within 30 dB of the loudest frame
            sum += x;
            ++n;
        }
    return std::sqrt(sum / std::max(1, n));
}

Samples padded(const Samples& speech) {
    Samples out(kRate * kLeadMs / 1000, 0);
    out.insert(out.end(), speech.begin(), speech.end());
    out.insert(out.end(), kRate * kTrailMs / 1000, 0);
    return out;
}

// Speech plus noise at snrDb below the speech's active level, over the whole
// recording (the noise is there before the first word and after the last).
Samples mixed(const Samples& speech, const std::vector<double>& noise, double snrDb) {
    double sum = 0;
    for (double x : noise)
        sum += x * x;
    const double noiseRms = std::sqrt(sum / std::max<std::size_t>(1, noise.size()));
    const double gain =
        noiseRms > 0 ? activeRms(speech) / std::pow(10.0, snrDb / 20.0) / noiseRms : 0;
    Samples out(speech.size());
    for (std::size_t i = 0; i < speech.size(); ++i)
        out[i] = static_cast<std::int16_t>(
            std::clamp(speech[i] + gain * noise[i % noise.size()], -32768.0, 32767.0));
    return out;
}

std::vector<double> whiteNoise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> v(n);
    for (auto& x : v)
        x = g(rng);
    return v;
}

// Several talkers at once, each from a random point of its own sentence.
std::vector<double> babbleNoise(const std::vector<Samples>& talkers, std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<double> v(n, 0.0);
    for (const auto& t : talkers) {
        if (t.empty())
            continue;
        const std::size_t start = std::uniform_int_distribution<std::size_t>(0, t.size() - 1)(rng);
        const double level = 1.0 / std::max(1.0, activeRms(t));
        for (std::size_t i = 0; i < n; ++i)
            v[i] += level * t[(start + i) % t.size()];
    }
    return v;
}

// ---- decoding --------------------------------------------------------------

// What the Listener decodes of a recording heard in 100 ms pieces, the key
// released once the words are over: the utterance up to a moment's silence
// after the last word, decoded while the end is awaited.
Samples listened(const Samples& audio) {
    constexpr std::size_t kPiece = kRate / 10;
    const std::size_t released =
        audio.size() - std::min<std::size_t>(audio.size(), kRate * kTrailMs / 1000);
    const Listener::Options listening;
    VoiceActivityDetector vad(listening.vad);
    DecodeAhead ahead(listening.decodeAheadMs);
    std::size_t decodedTo = 0;
    for (std::size_t i = 0; i < audio.size(); i += kPiece) {
        const std::size_t end = std::min(audio.size(), i + kPiece);
        vad.feed(std::span(audio).subspan(i, end - i));
        if (end > released && vad.trailingSilenceMs() >= listening.endSilenceMs)
            break;
        if (ahead.due(vad))
            decodedTo = end;
    }
    if (!ahead.stands(vad))
        return audio;
    return Samples(audio.begin(), audio.begin() + static_cast<std::ptrdiff_t>(decodedTo));
}

Grammar engineGrammar() {
    return Grammar::build(kCommands, globalPhrases(kCharacterName));
}

int phraseIndex(const Phrases& phrases, const std::string& spoken) {
    for (int i = 0; i < phrases.inGrammar; ++i)
        if (normalizeForSpeech(phrases.text[static_cast<std::size_t>(i)]) == spoken)
            return i;
    return -1;
}

void decodeShare(const std::vector<Utterance>& utterances, const std::vector<fs::path>& files,
                 const std::vector<Samples>& babble, const Phrases& phrases, double snrDb,
                 const std::vector<bool>& conditions, const std::vector<double>& penalties,
                 std::size_t shipped, const RecognizerOptions& base, int job, int jobs,
                 const fs::path& out) {
    std::vector<std::unique_ptr<Recognizer>> recognizers;
    for (double penalty : penalties) {
        RecognizerOptions options = base;
        options.garbagePenalty = penalty;
        recognizers.push_back(std::make_unique<Recognizer>(options));
        recognizers.back()->setGrammar(engineGrammar());
    }
    std::ofstream os(out);
    for (std::size_t u = static_cast<std::size_t>(job); u < utterances.size();
         u += static_cast<std::size_t>(jobs)) {
        const Samples speech = padded(load(files[u]));
        for (int c = 0; c < kConditions; ++c) {
            if (!conditions[static_cast<std::size_t>(c)])
                continue;
            const auto seed = static_cast<unsigned>(u * kConditions + static_cast<std::size_t>(c));
            const Samples audio = listened(
                c == Clean   ? speech
                : c == White ? mixed(speech, whiteNoise(speech.size(), seed), snrDb)
                             : mixed(speech, babbleNoise(babble, speech.size(), seed), snrDb));
            std::vector<int> heard;
            double decodeMs = 0;
            std::string words;
            for (std::size_t k = 0; k < recognizers.size(); ++k) {
                const Recognition r = recognizers[k]->recognize(audio);
                heard.push_back(r.accepted ? phraseIndex(phrases, r.phrase->spoken) : -1);
                if (k == shipped) {
                    decodeMs = r.decodeTime.count() / 1000.0;
                    words = r.heard;
                }
            }
            os << u << ' ' << c << ' ' << decodeMs;
            for (int h : heard)
                os << ' ' << h;
            os << '\t' << words << '\n';
        }
    }
}

std::vector<Result> readResults(const fs::path& p, std::size_t penalties) {
    std::vector<Result> out;
    std::ifstream in(p);
    Result r;
    while (in >> r.utterance >> r.condition >> r.decodeMs) {
        r.heard.assign(penalties, -1);
        for (auto& h : r.heard)
            in >> h;
        std::getline(in, r.words);
        if (!r.words.empty() && r.words.front() == '\t')
            r.words.erase(0, 1);
        out.push_back(r);
    }
    return out;
}

// ---- figures ---------------------------------------------------------------

struct Tally {
    int in = 0, recognised = 0, wrong = 0, out = 0, falseAccepts = 0;
    void add(bool inGrammar, int phrase, int heard) {
        if (inGrammar) {
            ++in;
            recognised += heard == phrase;
            wrong += heard >= 0 && heard != phrase;
        } else {
            ++out;
            falseAccepts += heard >= 0;
        }
    }
    double recall() const { return 100.0 * recognised / std::max(1, in); }
    double falseAcceptRate() const { return 100.0 * falseAccepts / std::max(1, out); }
};

std::string cell(const Tally& t) {
    if (t.in == 0 && t.out == 0)
        return "     -      -   -"; // a condition left out with --conditions
    char buf[64];
    std::snprintf(buf, sizeof buf, "%5.1f%% %5.1f%% %3d", t.recall(), t.falseAcceptRate(), t.wrong);
    return buf;
}

void printTable(const std::string& title, const std::map<std::string, std::vector<Tally>>& rows,
                const std::vector<Tally>& total) {
    std::printf("\n%s\n%-22s", title.c_str(), "family (voices)");
    for (const char* c : kConditionNames)
        std::printf(" | %-7s rec    FA wrong", c);
    std::printf("\n");
    auto line = [](const std::string& name, const std::vector<Tally>& t) {
        std::printf("%-22s", name.c_str());
        for (const auto& x : t)
            std::printf(" | %s      ", cell(x).c_str());
        std::printf("\n");
    };
    for (const auto& [name, t] : rows)
        line(name, t);
    line("all", total);
}

// The penalty recognising the most in-grammar phrases whose false accepts on
// these results stay within maxFalseAcceptPercent in every condition (the
// goal holds per condition: pooled, quiet's few false accepts could hide a
// noisy condition's many); the strictest one when none does.
std::size_t calibrate(const std::vector<const Result*>& results, const std::vector<Utterance>& utt,
                      const Phrases& phrases, double maxFalseAcceptPercent) {
    const std::size_t penalties = results.empty() ? 1 : results.front()->heard.size();
    std::size_t chosen = 0;
    int chosenRecognised = -1;
    for (std::size_t k = 0; k < penalties; ++k) {
        std::vector<Tally> byCondition(kConditions);
        for (const Result* r : results) {
            const int phrase = utt[static_cast<std::size_t>(r->utterance)].phrase;
            byCondition[static_cast<std::size_t>(r->condition)].add(phrase < phrases.inGrammar,
                                                                    phrase, r->heard[k]);
        }
        int recognised = 0;
        bool within = true;
        for (const Tally& t : byCondition) {
            recognised += t.recognised;
            within = within && t.falseAcceptRate() <= maxFalseAcceptPercent;
        }
        if (within && recognised > chosenRecognised) {
            chosen = k;
            chosenRecognised = recognised;
        }
    }
    return chosen;
}

int usage() {
    std::cerr
        << "usage: voice-eval [--cache DIR] [--jobs N] [--every N] [--folds K] [--snr DB]\n"
           "                  [--max-false-accept PERCENT] [--conditions quiet,white,babble]\n"
           "                  [--penalties LOG10,LOG10,...] [--word-penalty LOG10] [--us-only]\n"
           "                  [--edge-db DB] [--no-rejection] [--heard FILE] [--list]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    fs::path cache = "voice-eval-cache";
    int jobs = 2, every = 1, folds = 4;
    double snrDb = 10.0, maxFalseAccept = 5.0;
    RecognizerOptions base;
    std::vector<double> penalties = {12, 13, kDefaultGarbagePenalty, 14, 16};
    bool listOnly = false;
    fs::path heardFile;
    std::vector<bool> conditions(kConditions, true);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        try {
            if (arg == "--cache")
                cache = value();
            else if (arg == "--jobs")
                jobs = std::clamp(std::stoi(value()), 1, 2);
            else if (arg == "--every")
                every = std::max(1, std::stoi(value()));
            else if (arg == "--folds")
                folds = std::max(2, std::stoi(value()));
            else if (arg == "--snr")
                snrDb = std::stod(value());
            else if (arg == "--max-false-accept")
                maxFalseAccept = std::stod(value());
            else if (arg == "--conditions") {
                const std::string list = "," + value() + ",";
                for (int c = 0; c < kConditions; ++c)
                    conditions[static_cast<std::size_t>(c)] =
                        list.find(std::string(",") + kConditionNames[c] + ",") != std::string::npos;
            } else if (arg == "--penalties") {
                penalties.clear();
                std::istringstream list(value());
                for (std::string item; std::getline(list, item, ',');)
                    penalties.push_back(std::stod(item));
            } else if (arg == "--word-penalty")
                base.wordPenalty = std::stod(value());
            else if (arg == "--us-only")
                base.pronounce = [](const std::string& word) {
                    auto all = espeakPronunciations(word);
                    all.resize(1);
                    return all;
                };
            else if (arg == "--edge-db")
                base.edgeBelowDb = std::stod(value());
            else if (arg == "--no-rejection")
                base.rejectOthers = false;
            else if (arg == "--heard")
                heardFile = value();
            else if (arg == "--list")
                listOnly = true;
            else
                return usage();
        } catch (const std::exception& e) {
            std::cerr << "voice-eval: " << arg << ": " << e.what() << '\n';
            return usage();
        }
    }

    if (std::find(penalties.begin(), penalties.end(), kDefaultGarbagePenalty) == penalties.end())
        penalties.push_back(kDefaultGarbagePenalty);
    std::sort(penalties.begin(), penalties.end());
    const auto shipped = static_cast<std::size_t>(
        std::find(penalties.begin(), penalties.end(), kDefaultGarbagePenalty) - penalties.begin());

    std::vector<Voice> voices;
    try {
        voices = listVoices(folds);
    } catch (const std::exception& e) {
        std::cerr << "voice-eval: " << e.what() << '\n';
        return 1;
    }
    if (every > 1) {
        // Variants take the accents in turn, so every n-th voice overall
        // would leave accents out (with 8 accents and --every 4, all but two),
        // and every n-th of each accent whole families (the variants are in
        // alphabetical order). A diagonal instead: every n-th voice of each
        // accent, offset by the accent's place, so each round of the accents
        // gives a different n-th of them. It does not depend on the order of
        // the list.
        std::map<std::string, std::size_t> accentIndex, voicesSeen;
        std::vector<Voice> some;
        for (const auto& v : voices) {
            const std::size_t accent =
                accentIndex.emplace(v.accent, accentIndex.size()).first->second;
            if ((accent + voicesSeen[v.accent]++) % static_cast<std::size_t>(every) == 0)
                some.push_back(v);
        }
        voices = std::move(some);
    }
    if (voices.empty()) {
        std::cerr << "voice-eval: espeak-ng lists no English voices\n";
        return 1;
    }
    if (listOnly) {
        for (const auto& v : voices)
            std::printf("%-28s %-16s fold %d\n", v.name.c_str(), v.family.c_str(), v.fold);
        return 0;
    }

    Phrases phrases;
    for (const auto& c : kCommands)
        phrases.text.push_back(c.voice);
    for (const auto& g : globalPhrases(kCharacterName))
        phrases.text.push_back(g.text);
    phrases.inGrammar = static_cast<int>(phrases.text.size());
    phrases.text.insert(phrases.text.end(), kNearMisses.begin(), kNearMisses.end());
    phrases.text.insert(phrases.text.end(), kUnrelated.begin(), kUnrelated.end());

    // Speeds and pitches rotate over the phrases, so each voice is heard at
    // several of each and each phrase at all of them.
    const int speeds[] = {120, 140, 160, 180, 200, 220};
    const int pitches[] = {25, 40, 50, 60, 75};
    std::vector<Utterance> utterances;
    std::vector<fs::path> files;
    std::error_code ec;
    fs::create_directories(cache / "speech", ec);
    int rendered = 0, failedVoices = 0;
    std::vector<Voice> kept;
    for (const auto& v : voices) {
        const int vi = static_cast<int>(kept.size());
        std::vector<Utterance> mine;
        std::vector<fs::path> mineFiles;
        bool ok = true;
        const std::size_t vhash = std::hash<std::string>{}(v.name);
        for (int p = 0; p < static_cast<int>(phrases.text.size()) && ok; ++p) {
            Utterance u{vi, p, speeds[(vhash + static_cast<std::size_t>(p) * 5) % 6],
                        pitches[(vhash / 7 + static_cast<std::size_t>(p) * 2) % 5]};
            const fs::path f = cache / "speech" /
                               (v.name + "-" + std::to_string(p) + "-" + std::to_string(u.wpm) +
                                "-" + std::to_string(u.pitch) + ".wav");
            if (!fs::exists(f)) {
                ok = renderWav(v, phrases.text[static_cast<std::size_t>(p)], u.wpm, u.pitch, f);
                rendered += ok;
            }
            mine.push_back(u);
            mineFiles.push_back(f);
        }
        if (!ok) {
            std::fprintf(stderr, "voice-eval: espeak-ng cannot speak with %s; left out\n",
                         v.name.c_str());
            ++failedVoices;
            continue;
        }
        kept.push_back(v);
        utterances.insert(utterances.end(), mine.begin(), mine.end());
        files.insert(files.end(), mineFiles.begin(), mineFiles.end());
    }
    voices = std::move(kept);
    std::vector<Samples> babble;
    for (std::size_t i = 0; i < kBabble.size(); ++i) {
        const fs::path f = cache / "speech" / ("babble-" + std::to_string(i) + ".wav");
        if (!fs::exists(f) && !renderWav({kBabbleVoices[i], "", "", 0}, kBabble[i], 170, 50, f)) {
            std::fprintf(stderr, "voice-eval: cannot render the babble\n");
            return 1;
        }
        babble.push_back(load(f));
    }
    std::printf("%zu voices, %zu recordings (%d rendered now), %d conditions, %d folds, "
                "noise at %g dB SNR\n",
                voices.size(), utterances.size(), rendered, kConditions, folds, snrDb);
    if (!base.rejectOthers)
        std::printf("No rejection: every recording is taken for the phrase it fits best, so "
                    "false accepts mean nothing here; a penalty is what a phone around a "
                    "phrase costs\n");
    std::fflush(stdout);

    // Decode in child processes, each with its own recogniser.
    std::vector<pid_t> children;
    for (int j = 0; j < jobs; ++j) {
        const pid_t pid = fork();
        if (pid < 0) {
            std::perror("voice-eval: fork");
            return 1;
        }
        if (pid == 0) {
            try {
                decodeShare(utterances, files, babble, phrases, snrDb, conditions, penalties,
                            shipped, base, j, jobs,
                            cache / ("results-" + std::to_string(j) + ".txt"));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "voice-eval: %s\n", e.what());
                _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    bool childFailed = false;
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        childFailed = childFailed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    if (childFailed)
        return 1;
    std::vector<Result> results;
    for (int j = 0; j < jobs; ++j) {
        auto part =
            readResults(cache / ("results-" + std::to_string(j) + ".txt"), penalties.size());
        results.insert(results.end(), part.begin(), part.end());
    }

    auto voiceOf = [&](const Result& r) -> const Voice& {
        return voices[static_cast<std::size_t>(
            utterances[static_cast<std::size_t>(r.utterance)].voice)];
    };
    auto isIn = [&](const Result& r) {
        return utterances[static_cast<std::size_t>(r.utterance)].phrase < phrases.inGrammar;
    };
    auto phraseOf = [&](const Result& r) {
        return utterances[static_cast<std::size_t>(r.utterance)].phrase;
    };

    if (!heardFile.empty()) {
        std::ofstream os(heardFile);
        for (const auto& r : results) {
            const auto& u = utterances[static_cast<std::size_t>(r.utterance)];
            const int heard = r.heard[shipped];
            os << voiceOf(r).name << '\t' << u.wpm << '\t' << u.pitch << '\t'
               << kConditionNames[r.condition] << '\t'
               << phrases.text[static_cast<std::size_t>(u.phrase)] << '\t'
               << (heard == phraseOf(r) ? "right"
                   : heard >= 0         ? "WRONG"
                                        : "rejected")
               << '\t' << r.words << '\n';
        }
        if (!os)
            std::fprintf(stderr, "voice-eval: cannot write %s\n", heardFile.c_str());
    }

    // As shipped.
    {
        std::map<std::string, std::vector<Tally>> rows;
        std::vector<Tally> total(kConditions);
        for (const auto& r : results) {
            auto& row = rows[voiceOf(r).family];
            row.resize(kConditions);
            row[static_cast<std::size_t>(r.condition)].add(isIn(r), phraseOf(r), r.heard[shipped]);
            total[static_cast<std::size_t>(r.condition)].add(isIn(r), phraseOf(r),
                                                             r.heard[shipped]);
        }
        printTable("As shipped (garbage penalty " +
                       std::to_string(penalties[shipped]).substr(0, 4) +
                       "): recognised, false accepts, wrong commands",
                   rows, total);
    }

    // The trade-off each penalty makes, over all voices.
    std::printf("\nEach penalty over all voices: recognised, false accepts\npenalty");
    for (const char* c : kConditionNames)
        std::printf(" | %-7s rec    FA", c);
    std::printf("\n");
    for (std::size_t k = 0; k < penalties.size(); ++k) {
        std::vector<Tally> total(kConditions);
        for (const auto& r : results)
            total[static_cast<std::size_t>(r.condition)].add(isIn(r), phraseOf(r), r.heard[k]);
        std::printf("%7g", penalties[k]);
        for (const auto& t : total)
            std::printf(" | %s", cell(t).substr(0, 14).c_str());
        std::printf("\n");
    }

    // Leave voices out.
    {
        std::map<std::string, std::vector<Tally>> rows;
        std::vector<Tally> total(kConditions);
        std::printf("\nGarbage penalty per fold (calibrated on the other folds' voices):");
        for (int f = 0; f < folds; ++f) {
            std::vector<const Result*> calibration;
            for (const auto& r : results)
                if (voiceOf(r).fold != f)
                    calibration.push_back(&r);
            const std::size_t k = calibrate(calibration, utterances, phrases, maxFalseAccept);
            std::printf(" %g", penalties[k]);
            for (const auto& r : results) {
                if (voiceOf(r).fold != f)
                    continue;
                const int heard = r.heard[k];
                auto& row = rows[voiceOf(r).family];
                row.resize(kConditions);
                row[static_cast<std::size_t>(r.condition)].add(isIn(r), phraseOf(r), heard);
                total[static_cast<std::size_t>(r.condition)].add(isIn(r), phraseOf(r), heard);
            }
        }
        std::printf("\n");
        printTable("Held-out voices (" + std::to_string(folds) +
                       " folds): recognised, false accepts, wrong commands",
                   rows, total);
    }

    // What went wrong in quiet as shipped, so a regression can be looked at.
    std::printf("\nMissed in quiet as shipped (voice, speed, pitch, phrase, heard instead):\n");
    std::map<int, int> accepted; // out-of-grammar phrase -> how often taken for a command
    int shown = 0;
    for (const auto& r : results) {
        const int heard = r.heard[shipped];
        if (r.condition != Clean || heard == phraseOf(r))
            continue;
        if (!isIn(r)) {
            accepted[phraseOf(r)] += heard >= 0;
            continue;
        }
        if (shown++ >= 40)
            continue;
        const auto& u = utterances[static_cast<std::size_t>(r.utterance)];
        std::printf("  %-26s %3d %2d  %-24s %s\n", voiceOf(r).name.c_str(), u.wpm, u.pitch,
                    phrases.text[static_cast<std::size_t>(u.phrase)].c_str(),
                    heard >= 0 ? phrases.text[static_cast<std::size_t>(heard)].c_str() : "-");
    }
    std::printf(
        "\nFalse accepts in quiet as shipped (phrase, voices that were taken for a command):\n");
    for (const auto& [phrase, count] : accepted)
        if (count > 0)
            std::printf("  %-30s %d\n", phrases.text[static_cast<std::size_t>(phrase)].c_str(),
                        count);

    std::vector<double> ms;
    for (const auto& r : results)
        ms.push_back(r.decodeMs);
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double x : ms)
        sum += x;
    std::printf("\nDecode time per recording: mean %.1f ms, 95th %.1f ms, max %.1f ms (%d jobs "
                "sharing the machine; bench/ListenBench measures the wait after the end)\n",
                sum / static_cast<double>(std::max<std::size_t>(1, ms.size())),
                ms.empty() ? 0.0 : ms[ms.size() * 95 / 100], ms.empty() ? 0.0 : ms.back(), jobs);
    (void)failedVoices;
    return 0;
}
