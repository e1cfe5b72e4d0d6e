#pragma once

#include <stdexcept>
#include <string>

namespace agent::listen {

// Thrown when a model, a grammar or a pronunciation cannot be set up; the
// message names the thing involved.
class ListenError : public std::runtime_error {
  public:
    explicit ListenError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace agent::listen
