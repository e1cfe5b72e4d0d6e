#pragma once
// Name lookups into one character, worked out once when it is loaded. A file may
// list tens of thousands of animations and state entries, and the queue looks
// them up on the GUI thread for every request and idle round.

#include "Clock.h"

#include "agent/format/Character.h"

#include <QHash>
#include <QString>

#include <vector>

namespace agent::engine {

class CharacterIndex {
  public:
    explicit CharacterIndex(const format::Character& character);

    // Case-insensitive, the first of equal names; -1 if absent.
    int animation(const QString& name) const;
    // The animations a state lists that exist, in the file's order (case-insensitive
    // state name, the first of equal ones).
    const std::vector<int>& state(const QString& name) const;
    // One of the state's animations at random, or -1 when it lists none.
    int pick(const QString& state, Random& random) const;
    // The return animation of `animation`, or -1.
    int returnOf(int animation) const;
    // What the character stands in before anything has played, or -1 when it has
    // no frames at all: its rest pose, else the first of its idle, speaking or
    // showing animations, else the first animation with frames.
    int neutral() const { return neutral_; }

  private:
    int findNeutral(const format::Character& character) const;

    QHash<QString, int> animations_;
    QHash<QString, std::vector<int>> states_;
    std::vector<int> returns_;
    int neutral_ = -1;
};

} // namespace agent::engine
