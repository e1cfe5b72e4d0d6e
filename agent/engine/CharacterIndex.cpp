#include "CharacterIndex.h"

namespace agent::engine {

CharacterIndex::CharacterIndex(const format::Character& character) {
    const auto& animations = character.animations;
    animations_.reserve(static_cast<qsizetype>(animations.size()));
    for (std::size_t i = 0; i < animations.size(); ++i) {
        const QString key = animations[i].name.toCaseFolded();
        if (!animations_.contains(key))
            animations_.insert(key, static_cast<int>(i));
    }
    for (const format::State& s : character.states) {
        const QString key = s.name.toCaseFolded();
        if (states_.contains(key))
            continue;
        std::vector<int>& indices = states_[key];
        for (const QString& name : s.animations)
            if (const int i = animation(name); i >= 0)
                indices.push_back(i);
    }
    returns_.reserve(animations.size());
    for (const format::Animation& a : animations)
        returns_.push_back(a.transition == format::Transition::ReturnAnimation
                               ? animation(a.returnAnimation)
                               : -1);
    neutral_ = findNeutral(character);
}

int CharacterIndex::findNeutral(const format::Character& character) const {
    for (const char* name : {"RestPose", "Idle1_1"})
        if (const int i = animation(QString::fromLatin1(name)); i >= 0)
            return i;
    for (const char* name : {"IdlingLevel1", "Speaking", "Showing"})
        if (const std::vector<int>& indices = state(QString::fromLatin1(name)); !indices.empty())
            return indices.front();
    for (std::size_t i = 0; i < character.animations.size(); ++i)
        if (!character.animations[i].frames.empty())
            return static_cast<int>(i);
    return -1;
}

int CharacterIndex::animation(const QString& name) const {
    return animations_.value(name.toCaseFolded(), -1);
}

const std::vector<int>& CharacterIndex::state(const QString& name) const {
    static const std::vector<int> none;
    const auto it = states_.constFind(name.toCaseFolded());
    return it == states_.constEnd() ? none : *it;
}

int CharacterIndex::pick(const QString& state, Random& random) const {
    const std::vector<int>& indices = this->state(state);
    if (indices.empty())
        return -1;
    return indices[std::size_t(random.below(int(indices.size())))];
}

int CharacterIndex::returnOf(int animation) const {
    return animation >= 0 && static_cast<std::size_t>(animation) < returns_.size()
               ? returns_[static_cast<std::size_t>(animation)]
               : -1;
}

} // namespace agent::engine
