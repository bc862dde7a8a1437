#include "InstanceTrace.h"

// Debug lines only when the rules ask for them.
Q_LOGGING_CATEGORY(lcInstance, "textcnv.instance", QtInfoMsg)
