#include "EntryCheck.h"

#include "device/KKT_Logic.h"
#include "device/ValueCheck.h"

QString EntryCheck::problem(const FieldInfo& field, const QByteArray& stored)
{
    // The editors check in the character sets of the program's one connection.
    const EncodedValue encoded = ValueCheck(KKT_Logic::charsets()).encode(field, stored);
    return encoded.ok ? QString() : encoded.problem;
}
