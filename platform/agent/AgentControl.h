#pragma once
// The character service as the program sees it: the control, its character
// collection and property sheet, and a character's requests. Every failing call
// throws an exception whose message names the cause.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace parlavox::agentctl {

// What the user chose: from the pop-up menu or by voice.
struct UserInput {
    QString Name;
};

class Balloon {
  public:
    virtual ~Balloon() = default;
    // An automation value: the empty value converts to 0.
    virtual void SetStyle(const QVariant& style) = 0;
};

class Commands {
  public:
    virtual ~Commands() = default;
    virtual void RemoveAll() = 0;
    // Enabled and Visible are not passed: the command is enabled and visible.
    virtual void Add(const QString& name, const QString& caption, const QString& voice) = 0;
};

// A loaded character. Show, Speak and Play queue a request and return at once.
class Character {
  public:
    virtual ~Character() = default;
    virtual void Show() = 0;
    virtual void Speak(const QString& text) = 0;
    virtual void Play(const QString& animation) = 0;
    virtual void StopAll() = 0;
    virtual QStringList AnimationNames() = 0;
    virtual agentctl::Balloon& Balloon() = 0;
    virtual agentctl::Commands& Commands() = 0;
};

class Characters {
  public:
    virtual ~Characters() = default;
    // The character must be usable once Load returns; a failure throws.
    virtual void Load(const QString& characterId, const QVariant& path) = 0;
    virtual std::shared_ptr<Character> Item(const QString& characterId) = 0;
};

class PropertySheet {
  public:
    virtual ~PropertySheet() = default;
    virtual void SetVisible(bool visible) = 0;
};

// The control a window holds. Its events arrive on the GUI thread.
class Control : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    virtual void SetConnected(bool connected) = 0;
    virtual agentctl::Characters& Characters() = 0;
    virtual agentctl::PropertySheet& PropertySheet() = 0;

  signals:
    void Command(const parlavox::agentctl::UserInput& userInput);
    void DblClick(const QString& characterId, short button, short shift, short x, short y);
};

// The control a new window gets. Tests install a recording one; the program's
// own is the character engine.
using ControlFactory = std::function<std::unique_ptr<Control>()>;
std::unique_ptr<Control> CreateControl();
void SetControlFactory(ControlFactory factory);

} // namespace parlavox::agentctl
