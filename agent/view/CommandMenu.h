#pragma once
// The character's pop-up menu: the program's commands in registration order
// (only visible ones; disabled ones greyed), a separator, then the engine's own.

#include "agent/engine/CharacterAgent.h"

#include <QMenu>

#include <memory>

namespace agent::view {

// What an entry of the menu does, read back from the chosen action.
struct MenuChoice {
    enum Kind { None, Command, Hide, Options, Listen } kind = None;
    QString commandName;
};

inline const QString kHideCaption = QStringLiteral("Hide");
inline const QString kOptionsCaption = QStringLiteral("Advanced Character Options");
inline const QString kListenCaption = QStringLiteral("Listen");

std::unique_ptr<QMenu> buildCommandMenu(const engine::CharacterAgent& agent, bool offerListen);
MenuChoice choiceOf(const QAction* action);

} // namespace agent::view
