#pragma once
// The program's character control, carried out by the character engine.

#include "AgentControl.h"

#include <functional>
#include <memory>

namespace agent::view {
class AgentService;
}

namespace parlavox::agentctl {

// The control the program gets when the engine is linked in.
std::unique_ptr<Control> CreateEngineControl();
// The same over a service the caller sets up (a scripted clock, a quiet voice).
std::unique_ptr<Control>
CreateEngineControl(std::function<std::unique_ptr<agent::view::AgentService>()> makeService);

} // namespace parlavox::agentctl
