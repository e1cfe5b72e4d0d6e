#pragma once
// A character service that records every request in the order received, in the
// same form as the engine's request log, and can be told to fail.

#include "platform/agent/AgentControl.h"

#include <QStringList>

#include <memory>
#include <set>
#include <stdexcept>

namespace parlavox::testing {

struct Recording {
    QStringList requests;
    QStringList animationNames;
    std::set<QString> failing; // request words that throw, e.g. "Load", "Show", "Speak"
    QStringList commandNames;  // registered, in order

    void record(const QString& word, const QString& line) {
        if (failing.count(word))
            throw std::runtime_error(("the service refused " + line).toStdString());
        requests << line;
    }
};

inline QString quoted(const QString& s) {
    return QLatin1Char('"') + s + QLatin1Char('"');
}

class RecordingCharacter final : public agentctl::Character,
                                 public agentctl::Balloon,
                                 public agentctl::Commands {
  public:
    explicit RecordingCharacter(std::shared_ptr<Recording> r) : r_(std::move(r)) {}
    void Show() override { r_->record("Show", "Show"); }
    void Speak(const QString& text) override { r_->record("Speak", "Speak " + quoted(text)); }
    void Play(const QString& animation) override {
        r_->record("Play", "Play " + quoted(animation));
    }
    void StopAll() override { r_->record("StopAll", "StopAll"); }
    QStringList AnimationNames() override { return r_->animationNames; }
    agentctl::Balloon& Balloon() override { return *this; }
    agentctl::Commands& Commands() override { return *this; }
    void SetStyle(const QVariant& style) override {
        r_->record("Balloon.Style", "Balloon.Style " + QString::number(style.toInt()));
    }
    void RemoveAll() override {
        r_->record("Commands.RemoveAll", "Commands.RemoveAll");
        r_->commandNames.clear();
    }
    void Add(const QString& name, const QString& caption, const QString& voice) override {
        r_->record("Commands.Add",
                   "Commands.Add " + quoted(name) + " " + quoted(caption) + " " + quoted(voice));
        r_->commandNames << name;
    }

  private:
    std::shared_ptr<Recording> r_;
};

class RecordingControl final : public agentctl::Control,
                               public agentctl::Characters,
                               public agentctl::PropertySheet {
  public:
    explicit RecordingControl(std::shared_ptr<Recording> r) : r_(std::move(r)) {}
    void SetConnected(bool connected) override {
        r_->record("Connected", QStringLiteral("Connected ") + (connected ? "true" : "false"));
    }
    agentctl::Characters& Characters() override { return *this; }
    agentctl::PropertySheet& PropertySheet() override { return *this; }
    void Load(const QString& id, const QVariant& path) override {
        r_->record("Load", "Characters.Load " + quoted(id) + " " + quoted(path.toString()));
        loaded_ = id;
    }
    std::shared_ptr<agentctl::Character> Item(const QString& id) override {
        if (id != loaded_)
            throw std::runtime_error(("no character " + id + " is loaded").toStdString());
        if (!character_)
            character_ = std::make_shared<RecordingCharacter>(r_);
        return character_;
    }
    void SetVisible(bool visible) override {
        r_->record("PropertySheet.Visible",
                   QStringLiteral("PropertySheet.Visible ") + (visible ? "true" : "false"));
    }

    // What the user does on the character.
    void userChose(const QString& name) { emit Command(agentctl::UserInput{name}); }
    void userDoubleClicked() { emit DblClick(QStringLiteral("Merlin"), 1, 0, 10, 20); }

  private:
    std::shared_ptr<Recording> r_;
    QString loaded_;
    std::shared_ptr<RecordingCharacter> character_;
};

} // namespace parlavox::testing
