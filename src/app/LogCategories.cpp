#include "app/LogCategories.h"

Q_LOGGING_CATEGORY(lcHandOver, "velmora.handover", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShell, "velmora.shell", QtInfoMsg)
