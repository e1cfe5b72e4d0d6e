#include "RequestQueue.h"

namespace agent::engine {

void RequestQueue::push(Request request) {
    waiting_.push_back(std::move(request));
}

bool RequestQueue::startNext() {
    if (waiting_.empty())
        return false;
    current_ = std::move(waiting_.front());
    waiting_.pop_front();
    return true;
}

} // namespace agent::engine
