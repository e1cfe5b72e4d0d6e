#pragma once

#include <QLoggingCategory>

// Off unless QT_LOGGING_RULES switches on "agent.listen".
Q_DECLARE_LOGGING_CATEGORY(lcListen)
