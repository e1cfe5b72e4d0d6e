#pragma once
// The character's icon in the system tray while it is loaded, where the
// desktop has a tray: the character's own icon from its file, its name, and
// Show and Hide. A click on the icon shows a hidden character and hides a
// shown one.

#include "agent/engine/CharacterAgent.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <memory>

namespace agent::view {

class CharacterTray : public QObject {
    Q_OBJECT
  public:
    CharacterTray(engine::CharacterAgent& agent, const QString& name);
    ~CharacterTray() override;

    // The icon shown: the character's own, else the application's.
    const QIcon& icon() const { return icon_; }
    // Show and Hide, each enabled when it would change something.
    QMenu& menu() { return *menu_; }
    QAction& showAction() { return *show_; }
    QAction& hideAction() { return *hide_; }

  private:
    void update();

    engine::CharacterAgent& agent_;
    QIcon icon_;
    std::unique_ptr<QMenu> menu_;
    QAction* show_ = nullptr;
    QAction* hide_ = nullptr;
    std::unique_ptr<QSystemTrayIcon> tray_; // only where a tray exists
};

} // namespace agent::view
