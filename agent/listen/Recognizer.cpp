#include "agent/listen/Recognizer.h"

#include "agent/listen/Denoise.h"
#include "agent/listen/ListenError.h"
#include "agent/listen/Logging.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string_view>

namespace agent::listen {

std::filesystem::path defaultModelDir() {
    return PARLAVOX_PS_MODEL_DIR;
}

namespace {

struct DecoderDeleter {
    void operator()(ps_decoder_t* p) const { ps_free(p); }
};
struct ConfigDeleter {
    void operator()(cmd_ln_t* c) const { cmd_ln_free_r(c); }
};
struct CkdDeleter {
    void operator()(char* p) const { ckd_free(p); }
};
using DecoderPtr = std::unique_ptr<ps_decoder_t, DecoderDeleter>;
using ConfigPtr = std::unique_ptr<cmd_ln_t, ConfigDeleter>;

// In noise the acoustic evidence against a phrase shrinks, and a sentence
// with no phrase in it is stretched into one: there garbage costs less, one
// grammar search for each background. Steady noise is taken out before
// decoding and leaves less to stretch over: in voice-eval's white noise the
// cut of 3 cost 2.7 points of commands. Among other talkers, whose syllables
// are voiced and nearly as loud as the phrase, a voiced edge says nothing: the
// rule cost 7 points of commands in voice-eval's babble, and without it the
// cut of 4 took 3.4 % of sentences for commands where 3 took 5.2 %.
// In quiet, phones before or after a phrase cost more than garbage phones
// (edgeSurcharge): there they are mostly a piece of the phrase's own first or
// last sound in an accent the model does not know ("[AO] hide", "window
// [L]"), split off and then rejected as a loud edge. Made dearer, the phrase
// stretches over them; a sentence that goes on past a phrase still comes out
// as garbage. On voice-eval's 107 voices in quiet a surcharge of 8 raised the
// commands recognised from 79.8 to 82.1 %, false accepts from 3.0 to 3.4 %
// (5 and 14 gave less, or more false accepts, on a quarter of the voices). In
// noise the edges hold the noise around a command, and there the same
// surcharge gained nothing at equal false accepts.
struct Search {
    const char* name;
    double penaltyCut;
    double edgeSurcharge;
    bool voicedEdgesReject; // see judge()
};
enum Background { Quiet, SteadyNoise, Noise };
constexpr std::array<Search, 3> kSearches = {Search{"phrases", 0.0, 8.0, true},
                                             Search{"phrases-in-steady-noise", 2.0, 0.0, true},
                                             Search{"phrases-in-noise", 4.0, 0.0, false}};
// Noisy: the loudest tenth of the frames less than this above the quietest
// tenth. espeak-ng recordings measured 26-41 dB in quiet, 11-15 dB in white
// noise at 10 dB and 13-22 dB in babble at 10 dB.
constexpr double kNoisyBelowDb = 24.0;
constexpr double kNoiseFloor = 60.0; // RMS in sample steps: about -55 dBFS
// Dictionary words standing for one phone each: the garbage competitor.
constexpr const char* kGarbagePrefix = "garbage_";
constexpr int kSyllableFrames = 10; // 100 ms
constexpr int kPauseFrames = 15;    // 150 ms: between two sounds, not within a word; or a click
constexpr double kVoicedEdgeBelowDb = 8.0;
constexpr std::array kPhones = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH",
                                "EH", "ER", "EY", "F",  "G",  "HH", "IH", "IY", "JH", "K",
                                "L",  "M",  "N",  "NG", "OW", "OY", "P",  "R",  "S",  "SH",
                                "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};

void requireFile(const std::filesystem::path& p) {
    std::error_code ec;
    if (!std::filesystem::exists(p, ec))
        throw ListenError("speech recognition model missing: " + p.string());
}

ConfigPtr makeConfig(std::vector<std::string> args) {
    // pocketsphinx logs to stderr unless told otherwise; our category decides.
    if (!lcListen().isDebugEnabled()) {
        args.emplace_back("-logfn");
        args.emplace_back("/dev/null");
    }
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (auto& a : args)
        argv.push_back(a.data());
    ConfigPtr config(
        cmd_ln_parse_r(nullptr, ps_args(), static_cast<int32>(argv.size()), argv.data(), TRUE));
    if (!config)
        throw ListenError("pocketsphinx: bad configuration");
    return config;
}

std::string garbageWord(const char* phone) {
    std::string w = kGarbagePrefix;
    w += phone;
    return w;
}

// JSGF weights are plain decimals: 10^-log10Penalty, written out in full.
std::string decimal(double log10Penalty) {
    std::array<char, 128> buf{};
    const int digits = std::clamp(static_cast<int>(log10Penalty) + 6, 6, 100);
    std::snprintf(buf.data(), buf.size(), "%.*f", digits, std::pow(10.0, -log10Penalty));
    return buf.data();
}

// The dictionary's name for a word's n-th pronunciation (from 0): "word",
// "word(2)", "word(3)"...
std::string entryName(const std::string& word, std::size_t n) {
    return n == 0 ? word : word + "(" + std::to_string(n + 1) + ")";
}

std::string joined(const std::vector<std::string>& phones) {
    std::string s;
    for (const auto& p : phones) {
        if (!s.empty())
            s += ' ';
        s += p;
    }
    return s;
}

// Mean power of each 10 ms frame (the decoder's frame), in dB.
std::vector<double> frameLevels(std::span<const std::int16_t> audio) {
    constexpr std::size_t kFrame = kSampleRate / 100;
    std::vector<double> db(audio.size() / kFrame);
    for (std::size_t f = 0; f < db.size(); ++f) {
        double sum = 0;
        for (std::size_t i = f * kFrame; i < (f + 1) * kFrame; ++i)
            sum += static_cast<double>(audio[i]) * audio[i];
        db[f] = 10.0 * std::log10(std::max(sum / kFrame, 1.0));
    }
    return db;
}

// The level that a share of the frames stay below.
double percentileDb(std::vector<double> db, double share) {
    if (db.empty())
        return 0;
    const auto k = static_cast<std::size_t>(share * static_cast<double>(db.size() - 1));
    std::nth_element(db.begin(), db.begin() + static_cast<long>(k), db.end());
    return db[k];
}

// The background: the level that a tenth of the frames stay below.
double floorDb(const std::vector<double>& db) {
    return percentileDb(db, 0.1);
}

// The stretch from a little before the first loud frame to a little after the
// last: leading and trailing room noise is left out, because a phone of the
// garbage competitor fits steady noise better than the model's silence does.
std::pair<std::size_t, std::size_t> speechSpan(const std::vector<std::int16_t>& audio) {
    constexpr std::size_t kFrame = kSampleRate / 100; // 10 ms
    constexpr std::size_t kMargin = kSampleRate / 5;  // 200 ms
    constexpr double kAboveFloorDb = 12.0;
    const std::vector<double> db = frameLevels(audio);
    const std::size_t frames = db.size();
    if (frames < 10)
        return {0, audio.size()};
    const double threshold = floorDb(db) + kAboveFloorDb;
    std::size_t first = frames, last = 0;
    for (std::size_t f = 0; f < frames; ++f)
        if (db[f] > threshold) {
            first = std::min(first, f);
            last = f;
        }
    if (first > last)
        return {0, 0}; // steady sound throughout: noise or silence, nobody speaking
    const std::size_t begin = first * kFrame > kMargin ? first * kFrame - kMargin : 0;
    const std::size_t end = std::min(audio.size(), (last + 1) * kFrame + kMargin);
    return {begin, end};
}

struct Segment {
    std::string word;
    int first = 0, last = 0; // frames, inclusive
    // The phone a garbage word stands for, or empty for a grammar word.
    std::string_view phone() const {
        const std::string_view w(word);
        return w.starts_with(kGarbagePrefix) ? w.substr(std::string_view(kGarbagePrefix).size())
                                             : std::string_view();
    }
    bool garbage() const { return !phone().empty(); }
    // A garbage phone made without voicing much: a stop or fricative.
    bool noiseLike() const {
        static constexpr std::array<std::string_view, 17> kObstruents = {
            "B", "CH", "D",  "DH", "F",  "G", "HH", "JH", "K",
            "P", "S",  "SH", "T",  "TH", "V", "Z",  "ZH"};
        return garbage() &&
               std::find(kObstruents.begin(), kObstruents.end(), phone()) != kObstruents.end();
    }
};

// The decoder's words with garbage shown as its phones: "say it [AH G EH N]".
std::string readable(const std::vector<Segment>& segs) {
    std::string out;
    bool inGarbage = false;
    for (const auto& s : segs) {
        if (inGarbage && !s.garbage())
            out += ']';
        if (!out.empty())
            out += ' ';
        if (s.garbage() && !inGarbage)
            out += '[';
        out += s.garbage() ? s.phone() : std::string_view(s.word);
        inGarbage = s.garbage();
    }
    if (inGarbage)
        out += ']';
    return out;
}

// The decoder's words with their frames; silence, noise fillers and the
// grammar's empty "(NULL)" steps left out.
std::vector<Segment> segments(ps_decoder_t* ps) {
    std::vector<Segment> out;
    for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        std::string word = ps_seg_word(seg);
        if (word.empty() || word.front() == '<' || word.front() == '[' || word.front() == '(')
            continue;
        if (const auto paren = word.find('('); paren != std::string::npos)
            word.erase(paren); // "window(2)": an alternative pronunciation
        Segment s{word, 0, 0};
        ps_seg_frames(seg, &s.first, &s.last);
        out.push_back(std::move(s));
    }
    return out;
}

// Mean power over frames first..last (inclusive), in dB.
double levelDb(const std::vector<double>& db, int first, int last) {
    const auto begin = static_cast<std::size_t>(std::max(0, first));
    const auto end = std::min(db.size(), static_cast<std::size_t>(std::max(0, last + 1)));
    if (begin >= end)
        return 0;
    double sum = 0;
    for (std::size_t f = begin; f < end; ++f)
        sum += std::pow(10.0, db[f] / 10.0);
    return 10.0 * std::log10(sum / static_cast<double>(end - begin));
}

} // namespace

struct Recognizer::Impl {
    RecognizerOptions options;
    ConfigPtr config;
    DecoderPtr decoder;
    Grammar grammar;
    bool searchReady = false;
    std::vector<std::pair<std::string, std::string>> generated;
    std::vector<std::int16_t> audio;

    // Accepts the longest phrase among the decoded words when whatever was
    // heard before and after it (phones, or words of the garbage loop) is
    // quieter than the phrase by edgeBelowDb: other talkers or noise around a
    // command pass, the rest of a sentence does not.
    // db: frameLevels() of the decoded audio.
    void judge(const std::vector<Segment>& segs, const std::vector<double>& db,
               bool voicedEdgesReject, Recognition& r) const {
        r.heard = readable(segs);
        const Phrase* best = nullptr;
        std::size_t bestFirst = 0, bestEnd = 0;
        for (std::size_t first = 0; first < segs.size(); ++first) {
            std::string words;
            for (std::size_t end = first + 1; end <= segs.size(); ++end) {
                if (segs[end - 1].garbage())
                    break;
                words += (words.empty() ? "" : " ") + segs[end - 1].word;
                const Phrase* p = grammar.find(words);
                if (p && (!best || end - first > bestEnd - bestFirst)) {
                    best = p;
                    bestFirst = first;
                    bestEnd = end;
                }
            }
        }
        if (!best)
            return;
        for (const auto& s : segs)
            qCDebug(lcListen).nospace() << s.word.c_str() << " frames " << s.first << "-" << s.last
                                        << " " << levelDb(db, s.first, s.last) << " dB";
        const double phraseDb = levelDb(db, segs[bestFirst].first, segs[bestEnd - 1].last);
        const double limit = phraseDb - options.edgeBelowDb;
        // A voiced sound as long as a syllable and nearly as loud as the
        // phrase is more likely part of a word than noise: "sing" heard as
        // "say it" and an [NG] 6 dB down. Not where other talkers may be
        // (voicedEdgesReject false): their syllables are such sounds.
        const double voicedLimit = phraseDb - kVoicedEdgeBelowDb;
        const auto background = [&](std::size_t from, std::size_t to) {
            if (from == to)
                return true;
            int voicedFrames = 0;
            for (std::size_t i = from; i < to; ++i)
                if (voicedEdgesReject && !segs[i].noiseLike() &&
                    levelDb(db, segs[i].first, segs[i].last) > voicedLimit)
                    voicedFrames += segs[i].last - segs[i].first + 1;
            return voicedFrames < kSyllableFrames &&
                   levelDb(db, segs[from].first, segs[to - 1].last) <= limit;
        };
        // A click or the listening tone, brief and set off from the phrase
        // by a pause, is left out of the leading edge; words before a pause
        // are not, nor anything after the phrase.
        std::size_t lead = bestFirst;
        while (lead > 0 && segs[lead].first - segs[lead - 1].last <= kPauseFrames)
            --lead;
        if (lead > 0 && segs[lead - 1].last - segs[0].first >= kPauseFrames)
            lead = 0;
        if (options.rejectOthers &&
            (!background(lead, bestFirst) || !background(bestEnd, segs.size())))
            return;
        r.accepted = true;
        r.phrase = *best;
    }

    Recognition decode(std::vector<std::int16_t> audio) {
        const auto started = std::chrono::steady_clock::now();
        Recognition r;
        r.audioSeconds = static_cast<double>(audio.size()) / kSampleRate;
        ps_decoder_t* ps = decoder.get();
        if (searchReady && !audio.empty()) {
            // Microphones never give digital silence, and the model never heard
            // it: stretches of it (synthesised or muted input) give degenerate
            // log energies that skew the cepstral mean and lose the right phrase.
            // A noise floor like a microphone's own (about -55 dBFS), the same for every utterance
            // so a recording always gives the same answer.
            std::minstd_rand rng(1);
            std::normal_distribution<double> floorNoise(0.0, kNoiseFloor);
            for (auto& v : audio)
                v = static_cast<std::int16_t>(
                    std::clamp(static_cast<double>(v) + floorNoise(rng), -32768.0, 32767.0));
            // The whole utterance at once: batch cepstral mean normalisation, as
            // the model was trained.
            const auto [from, to] = speechSpan(audio);
            // Nothing rising above the background is no command: given to the
            // decoder, steady noise can pass for a short word.
            if (from < to) {
                std::vector<double> levels = frameLevels({audio.data() + from, to - from});
                const double spread = percentileDb(levels, 0.9) - floorDb(levels);
                Background background = spread < kNoisyBelowDb ? Noise : Quiet;
                if (background == Noise) {
                    if (auto cleaned = withoutSteadyNoise(audio)) {
                        audio = std::move(*cleaned);
                        levels = frameLevels({audio.data() + from, to - from});
                        background = SteadyNoise;
                    }
                }
                const Search& search = kSearches[background];
                r.garbagePenalty = options.garbagePenalty - search.penaltyCut;
                if (ps_set_search(ps, search.name) < 0)
                    throw ListenError("pocketsphinx: cannot select the grammar");
                // A stream per utterance: the decoder's noise estimate would
                // otherwise carry over from the last one, and the same audio be
                // heard differently depending on what came before.
                if (ps_start_stream(ps) < 0 || ps_start_utt(ps) < 0 ||
                    ps_process_raw(ps, audio.data() + from, to - from, FALSE, TRUE) < 0 ||
                    ps_end_utt(ps) < 0)
                    throw ListenError("pocketsphinx: cannot decode the utterance");
                r.frames = ps_get_n_frames(ps);
                judge(segments(ps), levels, search.voicedEdgesReject, r);
            }
        }
        r.decodeTime = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - started);
        qCInfo(lcListen).nospace()
            << "heard " << r.heard.c_str() << (r.accepted ? " accepted" : " rejected") << " in "
            << r.decodeTime.count() / 1000.0 << " ms";
        return r;
    }

    std::string fullJsgf(const Search& search) const {
        const double garbagePenalty = options.garbagePenalty - search.penaltyCut;
        // The phrases compete with any string of phones and words. Each
        // garbage phone costs the penalty, so garbage wins only where it
        // explains the audio better than the phrases by more than that per
        // phone. (pocketsphinx applies JSGF weights to words, not to rule
        // references.) The same phones, dearer in quiet (see kSearches), may
        // stand around a phrase, for noise and other talkers; judge() decides
        // whether they were background.
        std::string s = grammar.jsgf();
        s.replace(s.find("public <phrase>"), 15, "<phrase>");
        // Appended piece by piece: GCC 12 at -O3 warns falsely about
        // literal + string.
        const auto weighted = [](double log10Penalty, const std::string& word) {
            std::string w = "/";
            w += decimal(log10Penalty);
            w += "/ ";
            w += word;
            return w;
        };
        const auto anyPhone = [&](double log10Penalty) {
            std::string phones;
            for (const char* phone : kPhones) {
                if (!phones.empty())
                    phones += " | ";
                phones += weighted(log10Penalty, garbageWord(phone));
            }
            return phones;
        };
        // The phrases' words are in the loop too, each costing wordPenalty:
        // a sentence that shares words with a phrase ("random number") is
        // heard as those words and garbage, not stretched into the phrase.
        s += "<garbage> = (";
        s += anyPhone(garbagePenalty);
        for (const auto& word : grammar.words()) {
            s += " | ";
            s += weighted(options.wordPenalty, word);
        }
        s += ")+;\n<edge> = (";
        s += anyPhone(garbagePenalty + search.edgeSurcharge);
        s += ")+;\npublic <utterance> = [<edge>] <phrase> [<edge>]";
        s += options.rejectOthers ? " | <garbage>;\n" : ";\n";
        return s;
    }
};

Recognizer::Recognizer(RecognizerOptions options) : d(std::make_unique<Impl>()) {
    d->options = std::move(options);
    const auto& dir = d->options.modelDir;
    const auto hmm = dir / "en-us";
    const auto dict = dir / "cmudict-en-us.dict";
    requireFile(hmm / "mdef");
    requireFile(dict);
    // Beams a little narrower than the defaults: the loop of phones and words
    // always leaves a complete path, and voice-eval recognised no fewer
    // phrases than with beams of 1e-80, in half the time.
    d->config =
        makeConfig({"recognizer", "-hmm", hmm.string(), "-dict", dict.string(), "-beam", "1e-35",
                    "-pbeam", "1e-35", "-wbeam", "1e-25", "-remove_silence", "no"});
    d->decoder.reset(ps_init(d->config.get()));
    if (!d->decoder)
        throw ListenError("pocketsphinx: cannot load the model in " + dir.string());
    for (const char* phone : kPhones)
        if (ps_add_word(d->decoder.get(), garbageWord(phone).c_str(), phone, FALSE) < 0)
            throw ListenError(std::string("the model in ") + dir.string() + " lacks phone " +
                              phone);
    qCDebug(lcListen) << "recogniser loaded from" << dir.c_str();
}

Recognizer::~Recognizer() = default;

void Recognizer::setGrammar(const Grammar& grammar) {
    ps_decoder_t* ps = d->decoder.get();
    for (const auto& word : grammar.words()) {
        // The dictionary's pronunciations come first; generated ones join
        // them as further alternatives the search may take.
        std::vector<std::string> known;
        for (;;) {
            std::unique_ptr<char, CkdDeleter> pron(
                ps_lookup_word(ps, entryName(word, known.size()).c_str()));
            if (!pron)
                break;
            known.emplace_back(pron.get());
        }
        std::vector<Phones> generated;
        try {
            generated = d->options.pronounce(word);
        } catch (const ListenError& e) {
            if (known.empty())
                throw;
            qCDebug(lcListen) << "only the dictionary's pronunciations:" << e.what();
        }
        if (known.empty() && generated.empty())
            throw ListenError("cannot pronounce \"" + word + "\": no phonemes");
        for (const auto& phones : generated) {
            const std::string pron = joined(phones);
            if (std::find(known.begin(), known.end(), pron) != known.end())
                continue;
            const std::string entry = entryName(word, known.size());
            if (phones.empty() || ps_add_word(ps, entry.c_str(), pron.c_str(), FALSE) < 0)
                throw ListenError("cannot add \"" + word +
                                  "\" to the pronouncing dictionary as \"" + pron + "\"");
            qCDebug(lcListen) << "generated pronunciation" << entry.c_str() << "=" << pron.c_str();
            d->generated.emplace_back(entry, pron);
            known.push_back(pron);
        }
    }
    d->grammar = grammar;
    d->searchReady = false;
    if (!grammar.empty()) {
        for (const Search& search : kSearches) {
            const std::string jsgf = d->fullJsgf(search);
            if (ps_set_jsgf_string(ps, search.name, jsgf.c_str()) < 0)
                throw ListenError("pocketsphinx rejected the grammar:\n" + jsgf);
        }
        if (ps_set_search(ps, kSearches[Quiet].name) < 0)
            throw ListenError("pocketsphinx: cannot select the grammar");
        d->searchReady = true;
    }
    qCDebug(lcListen) << "grammar set," << grammar.phrases().size() << "phrases";
}

const Grammar& Recognizer::grammar() const {
    return d->grammar;
}

const std::vector<std::pair<std::string, std::string>>&
Recognizer::generatedPronunciations() const {
    return d->generated;
}

void Recognizer::begin() {
    d->audio.clear();
}

void Recognizer::feed(std::span<const std::int16_t> samples) {
    d->audio.insert(d->audio.end(), samples.begin(), samples.end());
}

Recognition Recognizer::recognizeSoFar() {
    return d->decode(d->audio);
}

Recognition Recognizer::finish() {
    Recognition r = d->decode(std::move(d->audio));
    d->audio.clear();
    return r;
}

Recognition Recognizer::recognize(std::span<const std::int16_t> samples) {
    begin();
    feed(samples);
    return finish();
}

const RecognizerOptions& Recognizer::options() const {
    return d->options;
}

void Recognizer::setGarbagePenalty(double log10Penalty) {
    d->options.garbagePenalty = log10Penalty;
}

} // namespace agent::listen
