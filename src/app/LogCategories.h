#pragma once

#include <QLoggingCategory>

// Debug lines of the running instance, off unless asked for (QT_LOGGING_RULES), so a
// hand-over or a routed key can be followed without a debugger.
// "velmora.handover": what a second instance handed over ("add <path>", "import <path>")
// and its bringing the program to the front ("bring to front").
Q_DECLARE_LOGGING_CATEGORY(lcHandOver)
// "velmora.shell": operations the window routes to that are not built yet.
Q_DECLARE_LOGGING_CATEGORY(lcShell)
