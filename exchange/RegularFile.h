#pragma once

#include "common/WritableTarget.h"

#include <QFile>
#include <QString>

// Opens a file only when it is a regular file. The check is made on the
// opened file, and the open itself never waits: a FIFO or a device in the
// file's place is refused at once instead of stopping the program.
class RegularFile
{
public:
    enum Access {
        Read,
        Append // created when missing, never through a link; every write goes to the end
    };
    enum Outcome { Opened, CannotOpen, NotRegular };

    // Opens `file` on path; unless Opened, `why` says why not.
    static Outcome open(QFile& file, const QString& path, Access access, QString& why);
    // The words for NotRegular.
    static QString notRegularText() { return WritableTarget::notRegularText(); }
};
