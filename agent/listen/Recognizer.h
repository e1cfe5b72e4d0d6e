#pragma once

#include "agent/listen/Grammar.h"
#include "agent/listen/Pronunciation.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace agent::listen {

inline constexpr int kSampleRate = 16000;

// Out-of-grammar speech is rejected by a competitor in the grammar: any string
// of phones and of the phrases' own words, each phone costing the garbage
// penalty and each word the word penalty (log10 of their priors); larger
// accepts more. A sentence that shares words with a phrase ("random number")
// comes out as those words and others, which is no phrase. Chosen with
// voice-eval on all 107 espeak-ng voices and the unit tests: 13.5 recognised
// more commands than 13 in every condition, with false accepts within 5 %;
// at 14 5.2 % of the sentences in babble passed for commands. In noise it is
// lower (by 2 in steady noise, which is taken out first, by 4 in other
// noise). The word penalty moves the balance less: 17 and 21 trade the same
// way.
inline constexpr double kDefaultGarbagePenalty = 13.5;
inline constexpr double kDefaultWordPenalty = 21.0;
// Phones may also stand before and after a phrase, for the noise or other
// talkers around a command. The phrase is taken only when they are this much
// quieter than it (dB), so a sentence that goes on past a command ("sing a
// song") is not, nor, in quiet and steady noise, a voiced sound as long as a
// syllable within 8 dB of the phrase. A click or tone before a pause does not
// count. In quiet these phones cost more than garbage (see Recognizer.cpp).
// At 8 dB, half as many commands are heard in a babble of talkers 10 dB down.
inline constexpr double kDefaultEdgeBelowDb = 6.0;

// Debian's pocketsphinx-en-us model folder.
std::filesystem::path defaultModelDir();

struct RecognizerOptions {
    // Holds en-us/ (acoustic model), cmudict-en-us.dict and en-us-phone.lm.bin.
    std::filesystem::path modelDir = defaultModelDir();
    double garbagePenalty = kDefaultGarbagePenalty;
    double wordPenalty = kDefaultWordPenalty;
    double edgeBelowDb = kDefaultEdgeBelowDb;
    // false: every utterance is taken for the phrase it fits best, with any
    // sounds around it, and nothing is rejected. Not for listening: it
    // measures how many commands the acoustic model tells apart when nothing
    // competes with them, which rejecting can only lower.
    bool rejectOthers = true;
    // Pronunciations besides the dictionary's; a word the dictionary lacks
    // must get at least one.
    Pronouncer pronounce = espeakPronunciations;
};

struct Recognition {
    bool accepted = false;
    std::optional<Phrase> phrase; // set when accepted
    // The decoder's words: a phrase, or what it took for something else,
    // garbage as its phones (e.g. "random [N AH M B ER]"), or empty for silence.
    std::string heard;
    int frames = 0;
    double audioSeconds = 0.0;
    // The garbage penalty it was decoded with: lower in noise, where a
    // sentence is more easily stretched into a phrase.
    double garbagePenalty = 0.0;
    std::chrono::microseconds decodeTime{0}; // from the call to the answer
};

// Recognises one utterance at a time against a Grammar: 16 kHz mono 16-bit
// PCM in, the phrase or a rejection out. Not thread-safe: use from one thread.
class Recognizer {
  public:
    // Throws ListenError when the model is missing or cannot be loaded.
    explicit Recognizer(RecognizerOptions options = {});
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

    // Replaces the grammar. Words missing from the dictionary get generated
    // pronunciations; throws ListenError naming the word when that fails.
    void setGrammar(const Grammar& grammar);
    const Grammar& grammar() const;

    // Pronunciations generated so far ("word" or "word(2)"), with their phones.
    const std::vector<std::pair<std::string, std::string>>& generatedPronunciations() const;

    void begin();
    void feed(std::span<const std::int16_t> samples);
    // Decodes what has been fed so far and keeps it: feeding may go on, for
    // an answer ready before the end is certain.
    Recognition recognizeSoFar();
    Recognition finish();

    // begin(), feed(samples), finish().
    Recognition recognize(std::span<const std::int16_t> samples);

    const RecognizerOptions& options() const;
    // Takes effect with the next setGrammar().
    void setGarbagePenalty(double log10Penalty);

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace agent::listen
