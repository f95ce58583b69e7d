#include "EntryCheck.h"

#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"

QString EntryCheck::problem(const FieldInfo& field, const QByteArray& stored)
{
    const EncodedValue encoded = ValueCodec::encode(field, stored, KKT_Logic::externalCodec());
    return encoded.ok ? QString() : encoded.problem;
}
