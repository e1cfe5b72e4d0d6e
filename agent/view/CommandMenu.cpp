#include "CommandMenu.h"

namespace agent::view {

namespace {
constexpr const char* kKind = "parlavoxMenuKind";
constexpr const char* kName = "parlavoxCommandName";

QAction* addEntry(QMenu& menu, const QString& caption, MenuChoice::Kind kind,
                  const QString& name = {}) {
    QAction* action = menu.addAction(caption);
    action->setProperty(kKind, int(kind));
    action->setProperty(kName, name);
    return action;
}
} // namespace

std::unique_ptr<QMenu> buildCommandMenu(const engine::CharacterAgent& agent, bool offerListen) {
    auto menu = std::make_unique<QMenu>();
    bool any = false;
    for (const engine::Command& c : agent.commands()) {
        if (!c.visible)
            continue;
        addEntry(*menu, c.caption, MenuChoice::Command, c.name)->setEnabled(c.enabled);
        any = true;
    }
    if (any)
        menu->addSeparator();
    if (offerListen)
        addEntry(*menu, kListenCaption, MenuChoice::Listen);
    addEntry(*menu, kHideCaption, MenuChoice::Hide);
    addEntry(*menu, kOptionsCaption, MenuChoice::Options);
    return menu;
}

MenuChoice choiceOf(const QAction* action) {
    if (!action)
        return {};
    MenuChoice c;
    c.kind = static_cast<MenuChoice::Kind>(action->property(kKind).toInt());
    c.commandName = action->property(kName).toString();
    return c;
}

} // namespace agent::view
