#include "CommandList.h"

namespace agent::engine {

void CommandList::add(const QString& name, const QString& caption, const QString& voice) {
    commands_.push_back({name, caption, voice});
}

} // namespace agent::engine
