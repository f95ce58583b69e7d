#pragma once

#include <QString>

// A report's document written whole or not at all. Raises CliFailure
// (Refused) naming the file and why it was not written.
class ReportFile
{
public:
    static void write(const QString& path, const QString& html);
};
