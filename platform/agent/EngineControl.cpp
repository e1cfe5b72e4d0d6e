#include "EngineControl.h"

#include "agent/view/AgentService.h"

#include <map>
#include <stdexcept>

namespace parlavox::agentctl {

namespace {

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

class EngineCharacter final : public Character,
                              public agentctl::Balloon,
                              public agentctl::Commands {
  public:
    explicit EngineCharacter(agent::engine::CharacterAgent& agent) : agent_(agent) {}

    void Show() override { agent_.show(); }
    void Speak(const QString& text) override { agent_.speak(text); }
    void Play(const QString& animation) override { agent_.play(animation); }
    void StopAll() override { agent_.stopAll(); }
    QStringList AnimationNames() override { return agent_.animationNames(); }
    agentctl::Balloon& Balloon() override { return *this; }
    agentctl::Commands& Commands() override { return *this; }

    void SetStyle(const QVariant& style) override {
        // The empty value converts to 0; anything else must be a number.
        bool ok = true;
        const int value = style.isNull() || !style.isValid() ? 0 : style.toInt(&ok);
        if (!ok)
            fail(QStringLiteral("Balloon.Style: \"%1\" is not a number").arg(style.toString()));
        agent_.setBalloonStyle(value);
    }
    void RemoveAll() override { agent_.removeAllCommands(); }
    void Add(const QString& name, const QString& caption, const QString& voice) override {
        agent_.addCommand(name, caption, voice);
    }

  private:
    agent::engine::CharacterAgent& agent_;
};

class EngineControlImpl final : public Control,
                                public agentctl::Characters,
                                public agentctl::PropertySheet {
  public:
    explicit EngineControlImpl(
        std::function<std::unique_ptr<agent::view::AgentService>()> makeService = {})
        : makeService_(std::move(makeService)) {}

    void SetConnected(bool connected) override {
        if (!connected) {
            characters_.clear();
            service_.reset();
            return;
        }
        if (service_)
            return;
        service_ = makeService_ ? makeService_() : std::make_unique<agent::view::AgentService>();
        connect(service_.get(), &agent::view::AgentService::command, this,
                [this](const QString&, const QString& name) { emit Command(UserInput{name}); });
        connect(service_.get(), &agent::view::AgentService::doubleClicked, this,
                [this](const QString& id, int button, int shift, int x, int y) {
                    emit DblClick(id, short(button), short(shift), short(x), short(y));
                });
    }

    agentctl::Characters& Characters() override {
        requireConnected();
        return *this;
    }
    agentctl::PropertySheet& PropertySheet() override {
        requireConnected();
        return *this;
    }

    void Load(const QString& characterId, const QVariant& path) override {
        requireConnected();
        service_->load(characterId, path.toString());
    }

    std::shared_ptr<Character> Item(const QString& characterId) override {
        requireConnected();
        auto* agent = service_->character(characterId);
        if (!agent)
            fail(QStringLiteral("no character with the ID \"%1\" is loaded").arg(characterId));
        auto& slot = characters_[characterId.toUpper()];
        if (!slot)
            slot = std::make_shared<EngineCharacter>(*agent);
        return slot;
    }

    void SetVisible(bool visible) override { service_->setOptionsVisible(visible); }

  private:
    void requireConnected() const {
        if (!service_)
            fail(QStringLiteral("the character engine is not connected"));
    }

    std::function<std::unique_ptr<agent::view::AgentService>()> makeService_;
    std::unique_ptr<agent::view::AgentService> service_;
    std::map<QString, std::shared_ptr<EngineCharacter>> characters_;
};

} // namespace

std::unique_ptr<Control> CreateEngineControl() {
    return std::make_unique<EngineControlImpl>();
}

std::unique_ptr<Control>
CreateEngineControl(std::function<std::unique_ptr<agent::view::AgentService>()> makeService) {
    return std::make_unique<EngineControlImpl>(std::move(makeService));
}

} // namespace parlavox::agentctl
