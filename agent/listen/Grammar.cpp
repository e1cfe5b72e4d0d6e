#include "agent/listen/Grammar.h"

#include "agent/listen/Logging.h"

#include <algorithm>

namespace agent::listen {

namespace {

std::vector<std::string> splitWords(const std::string& spoken) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < spoken.size()) {
        std::size_t end = spoken.find(' ', start);
        if (end == std::string::npos)
            end = spoken.size();
        out.push_back(spoken.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// JSGF reads bare tokens only for plain words; anything else is quoted.
std::string jsgfToken(const std::string& word) {
    bool plain = std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
    return plain ? word : "\"" + word + "\"";
}

} // namespace

Grammar Grammar::build(const std::vector<VoiceCommand>& commands,
                       const std::vector<GlobalPhrase>& globals) {
    Grammar g;
    auto add = [&g](Phrase p) {
        if (p.spoken.empty()) {
            qCDebug(lcListen) << "no speakable words in" << p.shown.c_str();
            return;
        }
        if (g.find(p.spoken)) {
            qCDebug(lcListen) << "phrase already registered:" << p.spoken.c_str();
            return;
        }
        g.phrases_.push_back(std::move(p));
    };
    for (const auto& c : commands) {
        Phrase p;
        p.kind = Phrase::Kind::Command;
        p.spoken = normalizeForSpeech(c.voice);
        p.shown = c.voice;
        p.commandName = c.name;
        add(std::move(p));
    }
    for (const auto& gp : globals) {
        Phrase p;
        p.kind = Phrase::Kind::Global;
        p.spoken = normalizeForSpeech(gp.text);
        p.shown = gp.text;
        p.action = gp.action;
        add(std::move(p));
    }
    return g;
}

std::vector<std::string> Grammar::words() const {
    std::vector<std::string> out;
    for (const auto& p : phrases_)
        for (auto& w : splitWords(p.spoken))
            if (std::find(out.begin(), out.end(), w) == out.end())
                out.push_back(std::move(w));
    return out;
}

std::string Grammar::jsgf() const {
    std::string s = "#JSGF V1.0;\ngrammar parlavox;\npublic <phrase> = ";
    for (std::size_t i = 0; i < phrases_.size(); ++i) {
        if (i > 0)
            s += "\n    | ";
        auto words = splitWords(phrases_[i].spoken);
        for (std::size_t j = 0; j < words.size(); ++j) {
            if (j > 0)
                s += ' ';
            s += jsgfToken(words[j]);
        }
    }
    s += ";\n";
    return s;
}

const Phrase* Grammar::find(std::string_view spoken) const {
    for (const auto& p : phrases_)
        if (p.spoken == spoken)
            return &p;
    return nullptr;
}

} // namespace agent::listen
