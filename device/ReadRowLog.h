#pragma once

#include <QLoggingCategory>

// The debug lines of rows read whole ("CELL READED", one per row): off
// unless a debug switch turns them on (vescor-cli --verbose, or
// QT_LOGGING_RULES="vescor.rows.debug=true"), so that a read of 65 536 rows
// neither formats nor writes as many lines.
Q_DECLARE_LOGGING_CATEGORY(readRowLog)
