#include "agent/listen/Phrases.h"

namespace agent::listen {

namespace {

bool isWordByte(unsigned char c) {
    // Bytes >= 0x80 belong to UTF-8 letters; espeak-ng pronounces them.
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\'' || c >= 0x80;
}

void appendWord(std::string& out, std::string word) {
    // Quotes around a word ('sing') are punctuation, not part of it.
    while (!word.empty() && word.front() == '\'')
        word.erase(word.begin());
    while (!word.empty() && word.back() == '\'')
        word.pop_back();
    if (word.empty())
        return;
    if (!out.empty())
        out += ' ';
    out += word;
}

} // namespace

std::string normalizeForSpeech(std::string_view text) {
    std::string out;
    std::string word;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        if (isWordByte(c)) {
            word += static_cast<char>(c);
            continue;
        }
        appendWord(out, std::move(word));
        word.clear();
        if (c == '&')
            appendWord(out, "and");
    }
    appendWord(out, std::move(word));
    return out;
}

std::vector<GlobalPhrase> globalPhrases(std::string_view characterName) {
    std::vector<GlobalPhrase> phrases = {
        {GlobalAction::OpenCommandsWindow, "Open Commands Window"},
        {GlobalAction::CloseCommandsWindow, "Close Commands Window"},
        {GlobalAction::HideCharacter, "Hide"},
    };
    std::string name(characterName);
    if (!normalizeForSpeech(name).empty()) {
        phrases.push_back({GlobalAction::HideCharacter, "Hide " + name});
        phrases.push_back({GlobalAction::CallCharacter, name});
    }
    return phrases;
}

const char* toString(GlobalAction action) {
    switch (action) {
    case GlobalAction::OpenCommandsWindow:
        return "OpenCommandsWindow";
    case GlobalAction::CloseCommandsWindow:
        return "CloseCommandsWindow";
    case GlobalAction::HideCharacter:
        return "HideCharacter";
    case GlobalAction::CallCharacter:
        return "CallCharacter";
    }
    return "?";
}

} // namespace agent::listen
