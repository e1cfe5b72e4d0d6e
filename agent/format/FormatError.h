#pragma once

#include <stdexcept>
#include <string>

namespace agent::format {

// Thrown for anything the library refuses: the message says what is wrong and
// where (file, structure, offset), so callers can show it as it is.
class FormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace agent::format
