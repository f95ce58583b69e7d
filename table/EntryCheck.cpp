#include "EntryCheck.h"

#include "device/KKT_Logic.h"
#include "device/ValueCheck.h"

namespace {

// The editors check in the character sets of the program's one connection.
EncodedValue checked(const FieldInfo& field, const QByteArray& stored)
{
    return ValueCheck(KKT_Logic::charsets()).encode(field, stored);
}

} // namespace

QString EntryCheck::problem(const FieldInfo& field, const QByteArray& stored)
{
    const EncodedValue encoded = checked(field, stored);
    return encoded.ok ? QString() : encoded.problem;
}

QString EntryCheck::reason(const FieldInfo& field, const QByteArray& stored)
{
    const EncodedValue encoded = checked(field, stored);
    return encoded.ok ? QString() : encoded.reason;
}
