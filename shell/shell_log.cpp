#include "shell/shell_log.h"

Q_LOGGING_CATEGORY(lcStartup, "brindel.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRequests, "brindel.requests", QtWarningMsg)
