#pragma once
// A character's requests: those waiting, in the order they came, and the one
// under way. The agent carries them out; this only keeps them.

#include <QString>

#include <cstddef>
#include <deque>
#include <optional>

namespace agent::engine {

struct Request {
    enum class Kind { Show, Hide, Play, Speak };
    Kind kind;
    QString text;       // Play: the animation's name; Speak: the tagged text
    int animation = -1; // Play: the animation's index
};

class RequestQueue {
  public:
    void push(Request request);
    // Makes the first waiting request the current one; false when none waits.
    bool startNext();
    void complete() { current_.reset(); }
    void dropWaiting() { waiting_.clear(); }

    const Request* current() const { return current_ ? &*current_ : nullptr; }
    bool currentIs(Request::Kind kind) const { return current_ && current_->kind == kind; }
    std::size_t waiting() const { return waiting_.size(); }
    bool busy() const { return current_.has_value() || !waiting_.empty(); }

  private:
    std::deque<Request> waiting_;
    std::optional<Request> current_;
};

} // namespace agent::engine
