#pragma once
// The commands a program registers with its character: the pop-up menu's
// entries and the phrases voice commands listen for, in registration order.

#include <QString>

#include <vector>

namespace agent::engine {

struct Command {
    QString name;
    QString caption;
    QString voice;
    bool enabled = true;
    bool visible = true;
};

class CommandList {
  public:
    void add(const QString& name, const QString& caption, const QString& voice);
    void clear() { commands_.clear(); }
    const std::vector<Command>& all() const { return commands_; }

  private:
    std::vector<Command> commands_;
};

} // namespace agent::engine
