#pragma once

#include "agent/listen/Phrases.h"

#include <string>
#include <string_view>
#include <vector>

namespace agent::listen {

// A registered command as the engine knows it: its name (raised with the
// Command event) and its Voice text.
struct VoiceCommand {
    std::string name;
    std::string voice;
};

struct Phrase {
    enum class Kind { Command, Global };
    Kind kind = Kind::Command;
    std::string spoken;      // normalised words, what the decoder returns
    std::string shown;       // the Voice text (or the global phrase) as written
    std::string commandName; // Kind::Command
    GlobalAction action = GlobalAction::OpenCommandsWindow; // Kind::Global

    bool operator==(const Phrase&) const = default;
};

// The phrases the recogniser listens for. Built afresh whenever the commands
// change; a value, cheap to copy and compare.
class Grammar {
  public:
    Grammar() = default;

    // Commands without a speakable Voice text are left out; when two phrases
    // sound the same the first one registered keeps it.
    static Grammar build(const std::vector<VoiceCommand>& commands,
                         const std::vector<GlobalPhrase>& globals = {});

    const std::vector<Phrase>& phrases() const { return phrases_; }
    bool empty() const { return phrases_.empty(); }

    // Every distinct word, in first-use order.
    std::vector<std::string> words() const;

    // JSGF source with one public rule, <phrase>, one alternative per phrase.
    std::string jsgf() const;

    // The phrase whose spoken words are exactly these, or null.
    const Phrase* find(std::string_view spoken) const;

    bool operator==(const Grammar&) const = default;

  private:
    std::vector<Phrase> phrases_;
};

} // namespace agent::listen
