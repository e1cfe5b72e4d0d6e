#include "CharacterTray.h"

#include "agent/format/TrayIcon.h"

#include <QGuiApplication>
#include <QPixmap>

namespace agent::view {

namespace {
QIcon characterIcon(const format::Character& character) {
    if (character.trayIcon) {
        try {
            return QIcon(QPixmap::fromImage(format::decodeTrayIcon(*character.trayIcon)));
        } catch (const format::FormatError& e) {
            qCWarning(engine::lcAnim).noquote() << character.sourceName() << ":" << e.what();
        }
    }
    return QGuiApplication::windowIcon();
}
} // namespace

CharacterTray::CharacterTray(engine::CharacterAgent& agent, const QString& name)
    : agent_(agent), icon_(characterIcon(agent.character())), menu_(std::make_unique<QMenu>()) {
    show_ = menu_->addAction(QStringLiteral("Show"), &agent_, [this] { agent_.show(); });
    hide_ = menu_->addAction(QStringLiteral("Hide"), &agent_, [this] { agent_.hide(); });
    connect(&agent_, &engine::CharacterAgent::visibleChanged, this, [this] { update(); });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = std::make_unique<QSystemTrayIcon>(icon_);
        tray_->setToolTip(name);
        tray_->setContextMenu(menu_.get());
        connect(tray_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason != QSystemTrayIcon::Trigger)
                        return;
                    agent_.visible() ? agent_.hide() : agent_.show();
                });
        tray_->show();
    }
    update();
}

CharacterTray::~CharacterTray() = default;

void CharacterTray::update() {
    show_->setEnabled(!agent_.visible());
    hide_->setEnabled(agent_.visible());
}

} // namespace agent::view
