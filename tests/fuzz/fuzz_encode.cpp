// Any text as the new value of a cell of every device type and editor type.
#include "FuzzEnvironment.h"
#include "FuzzField.h"

#include "device/ValueCodec.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    FuzzField fuzzField(data[0], data[1]);
    FieldInfo& field = fuzzField.field;
    field.m_maxLength = data[2];
    field.m_fillCharCode = data[2] ^ 0x20;
    QTextCodec* codec = fuzzField.codec;
    const QByteArray value(reinterpret_cast<const char*>(data + 3), int(size - 3));

    const EncodedValue encoded = ValueCodec::encode(field, value, codec);
    if (!encoded.ok && encoded.problem.isEmpty()) {
        std::fprintf(stderr, "refused without a reason\n");
        std::abort();
    }
    // Checking a value without its bytes decides as encoding it does.
    if (ValueCodec::refusalReason(field, value, codec) != encoded.reason) {
        std::fprintf(stderr, "the check and the encoder disagree\n");
        std::abort();
    }
    if (encoded.ok) {
        // Fixed-width types send exactly their width.
        const int width = field.rowWidth();
        if (width > 0 && field.m_deviceType != FieldInfo::String866 && field.m_deviceType != FieldInfo::Ascii
            && encoded.bytes.size() != width) {
            std::fprintf(stderr, "%d bytes for a field of %d\n", int(encoded.bytes.size()), width);
            std::abort();
        }
        ValueCodec::decode(field, encoded.bytes, codec);
    }
    return 0;
}
