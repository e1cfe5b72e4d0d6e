#include "agent/listen/Logging.h"

Q_LOGGING_CATEGORY(lcListen, "agent.listen", QtWarningMsg)
