#pragma once

#include <QLoggingCategory>

// The debug line of every cell the write engine sends ("row = ... value = "):
// off unless a debug switch turns it on (vescor-cli --verbose, or
// QT_LOGGING_RULES="vescor.writes.debug=true"). The category is looked at
// before the line is formatted, so a write of 393 216 cells builds none.
Q_DECLARE_LOGGING_CATEGORY(writeCellLog)
