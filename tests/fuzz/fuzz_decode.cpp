// Any bytes as a raw cell of every device type, shown by every editor type.
#include "FuzzEnvironment.h"
#include "FuzzField.h"

#include "device/ValueCodec.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const FuzzField fuzzField(data[0], data[1]);
    const FieldInfo& field = fuzzField.field;
    QTextCodec* codec = fuzzField.codec;
    const QByteArray raw(reinterpret_cast<const char*>(data + 2), int(size - 2));

    const QByteArray text = ValueCodec::decode(field, raw, codec);
    // The shown text must be writable back without harm.
    ValueCodec::encode(field, text, codec);
    return 0;
}
