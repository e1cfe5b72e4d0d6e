#include "AgentControl.h"

#include <stdexcept>

namespace parlavox::agentctl {

namespace {

// Until an engine is linked in, connecting fails honestly instead of pretending.
class UnavailableControl final : public Control {
  public:
    void SetConnected(bool connected) override {
        if (connected)
            throw std::runtime_error("the character engine is not available");
    }
    agentctl::Characters& Characters() override { throw notConnected(); }
    agentctl::PropertySheet& PropertySheet() override { throw notConnected(); }

  private:
    static std::runtime_error notConnected() {
        return std::runtime_error("the character engine is not connected");
    }
};

ControlFactory& factory() {
    static ControlFactory f;
    return f;
}

} // namespace

std::unique_ptr<Control> CreateControl() {
    if (factory())
        return factory()();
    return std::make_unique<UnavailableControl>();
}

void SetControlFactory(ControlFactory f) {
    factory() = std::move(f);
}

} // namespace parlavox::agentctl
