#pragma once

#include <QString>

// A report's document written whole or not at all. Raises CliFailure
// (Refused) naming the file and why it was not written.
class ReportFile
{
public:
    // A FIFO, a device, a folder or a link at path is refused ("это не обычный файл").
    static void write(const QString& path, const QString& html);
    // Raises CliFailure (Refused) unless a report may be written at path: for a
    // check before any work.
    static void requireTarget(const QString& path);
};
