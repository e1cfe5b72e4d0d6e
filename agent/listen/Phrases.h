#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace agent::listen {

// A Voice text as it is spoken: case folded, "&" read as "and", punctuation
// dropped, words separated by single spaces. Apostrophes inside a word stay
// ("don't" is in the pronouncing dictionary).
std::string normalizeForSpeech(std::string_view text);

// What the engine itself does when one of its own phrases is heard.
enum class GlobalAction {
    OpenCommandsWindow,
    CloseCommandsWindow,
    HideCharacter,
    CallCharacter, // the character's name: bring it forward / show it
};

struct GlobalPhrase {
    GlobalAction action;
    std::string text; // as shown in the Listening tip
};

// The engine's own phrases for a character; those that need the name are left
// out when it is empty.
std::vector<GlobalPhrase> globalPhrases(std::string_view characterName);

const char* toString(GlobalAction action);

} // namespace agent::listen
