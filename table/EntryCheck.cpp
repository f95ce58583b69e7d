#include "EntryCheck.h"

#include "device/ValueCheck.h"

QString EntryCheck::problem(const FieldInfo& field, const QByteArray& stored)
{
    const EncodedValue encoded = ValueCheck::encode(field, stored);
    return encoded.ok ? QString() : encoded.problem;
}

QString EntryCheck::reason(const FieldInfo& field, const QByteArray& stored)
{
    const EncodedValue encoded = ValueCheck::encode(field, stored);
    return encoded.ok ? QString() : encoded.reason;
}
