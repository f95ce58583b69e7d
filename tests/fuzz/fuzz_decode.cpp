// Any bytes as a raw cell of every device type, shown by every editor type.
#include "FuzzEnvironment.h"

#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"
#include "model/FieldInfo.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    FieldInfo field;
    field.m_deviceType = FieldInfo::DeviceType(data[0] % 17);
    field.m_guiType = FieldInfo::GuiType((data[1] & 7) % 6);
    field.m_ipAddress = data[1] & 0x08;
    if (data[1] & 0x10)
        field.m_mask = QStringLiteral("0000000000000");
    if (field.m_guiType == FieldInfo::List)
        field.m_items = {{0, QStringLiteral("Нет")}, {1, QStringLiteral("Да")}};
    QTextCodec* codec = (data[1] & 0x20) ? KKT_Logic::internalCodec() : KKT_Logic::externalCodec();
    const QByteArray raw(reinterpret_cast<const char*>(data + 2), int(size - 2));

    const QByteArray text = ValueCodec::decode(field, raw, codec);
    // The shown text must be writable back without harm.
    ValueCodec::encode(field, text, codec);
    return 0;
}
