#pragma once

#include <QString>

#include <tillo10.h>

// Who the connected register is, as its status query tells: used by the
// reads, the writes, the import, the connection check and the shell program.
struct RegisterIdentity
{
    int modelCode = 0;
    QString modelName;
    QString serialNumber;
    QString firmware;
    bool fiscal = false;

    // The answer of the status query that the caller has just made on h.
    static RegisterIdentity fromStatusQuery(libtillo_handle h);
};
