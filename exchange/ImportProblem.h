#pragma once

#include <QString>

// One thing an import file is refused for: the message the user sees, and
// where it stands, for callers that report it by parts: the file's data row
// (from 1; 0 in a one-record table or when the file as a whole is refused)
// and the field's name (empty when it concerns a row or the file).
struct ImportProblem
{
    QString message;
    int row = 0;
    QString field;
};
