#include "WriteCellLog.h"

Q_LOGGING_CATEGORY(writeCellLog, "vescor.writes", QtInfoMsg)
