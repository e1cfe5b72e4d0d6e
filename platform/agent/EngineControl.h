#pragma once
// The program's character control, carried out by the character engine.

#include "AgentControl.h"

#include <memory>

namespace parlavox::agentctl {

// The control the program gets when the engine is linked in.
std::unique_ptr<Control> CreateEngineControl();

} // namespace parlavox::agentctl
