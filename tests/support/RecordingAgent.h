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
    std::set<QString> failing; // first words of requests that throw, e.g. "Characters.Load"

    void record(const QString& line) {
        if (failing.count(line.section(QLatin1Char(' '), 0, 0)))
            throw std::runtime_error(("the service refused " + line).toStdString());
        requests << line;
    }
};

class RecordingCharacter final : public agentctl::Character,
                                 public agentctl::Balloon,
                                 public agentctl::Commands {
  public:
    explicit RecordingCharacter(std::shared_ptr<Recording> r) : r_(std::move(r)) {}
    void Show() override { r_->record("Show"); }
    void Speak(const QString& text) override { r_->record("Speak \"" + text + '"'); }
    void Play(const QString& animation) override { r_->record("Play \"" + animation + '"'); }
    void StopAll() override { r_->record("StopAll"); }
    QStringList AnimationNames() override { return r_->animationNames; }
    agentctl::Balloon& Balloon() override { return *this; }
    agentctl::Commands& Commands() override { return *this; }
    void SetStyle(const QVariant& style) override {
        r_->record("Balloon.Style " + QString::number(style.toInt()));
    }
    void RemoveAll() override { r_->record("Commands.RemoveAll"); }
    void Add(const QString& name, const QString& caption, const QString& voice) override {
        r_->record(QStringLiteral(R"(Commands.Add "%1" "%2" "%3")").arg(name, caption, voice));
    }

  private:
    std::shared_ptr<Recording> r_;
};

class RecordingControl final : public agentctl::Control,
                               public agentctl::Characters,
                               public agentctl::PropertySheet {
  public:
    explicit RecordingControl(std::shared_ptr<Recording> r) : r_(std::move(r)) {}
    void SetConnected(bool on) override { r_->record(on ? "Connected true" : "Connected false"); }
    agentctl::Characters& Characters() override { return *this; }
    agentctl::PropertySheet& PropertySheet() override { return *this; }
    void Load(const QString& id, const QVariant& path) override {
        r_->record(QStringLiteral(R"(Characters.Load "%1" "%2")").arg(id, path.toString()));
        loaded_ = id;
    }
    std::shared_ptr<agentctl::Character> Item(const QString& id) override {
        if (id != loaded_)
            throw std::runtime_error(("no character " + id + " is loaded").toStdString());
        return character_;
    }
    void SetVisible(bool on) override {
        r_->record(on ? "PropertySheet.Visible true" : "PropertySheet.Visible false");
    }

    // What the user does on the character.
    void userChose(const QString& name) { emit Command(agentctl::UserInput{name}); }
    void userDoubleClicked() { emit DblClick(QStringLiteral("Merlin"), 1, 0, 10, 20); }

  private:
    std::shared_ptr<Recording> r_;
    QString loaded_;
    std::shared_ptr<RecordingCharacter> character_ = std::make_shared<RecordingCharacter>(r_);
};

} // namespace parlavox::testing
