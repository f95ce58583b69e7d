#include "ReadRowLog.h"

Q_LOGGING_CATEGORY(readRowLog, "vescor.rows", QtInfoMsg)
