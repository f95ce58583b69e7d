#pragma once

#include <QString>

class RegisterLink;

// Who the connected register is, as its status query tells: used by the
// reads, the writes, the import, the connection check and the shell program.
struct RegisterIdentity
{
    int modelCode = 0;
    QString modelName;
    QString serialNumber;
    QString firmware;
    bool fiscal = false;

    // The answer of the status query that the caller has just made over link.
    static RegisterIdentity fromStatusQuery(const RegisterLink& link);
};
