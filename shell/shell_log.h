#pragma once
// Logging of the shell: start-up milestones and the requests that the frame
// receives and serves. Off by default; QT_LOGGING_RULES="brindel.*.info=true"
// shows them on standard error.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStartup)
Q_DECLARE_LOGGING_CATEGORY(lcRequests)
