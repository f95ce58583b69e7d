#include "CharsetCodec.h"

#include <cstring>

CharsetCodec::CharsetCodec(const QByteArray& name, int mib, const CharsetTable& table, Fold fold)
    : m_name(name)
    , m_mib(mib)
    , m_table(table)
    , m_fold(fold)
{
    QString ascii(128, Qt::Uninitialized);
    for (int unit = 0; unit < 128; ++unit)
        ascii[unit] = QChar(unit);
    m_encodesAscii = encodesEvery(ascii.constData(), ascii.size());
    for (int byte = 0; byte < 256; ++byte) {
        const char c = char(byte);
        const QByteArray utf8 = m_table.decode(&c, 1).toUtf8();
        Utf8Char& shown = m_utf8[byte];
        shown.size = char(qMin(utf8.size(), 3));
        std::memcpy(shown.bytes, utf8.constData(), size_t(shown.size));
    }
}

QByteArray CharsetCodec::toUtf8(const char* in, int length) const
{
    // Measured first: the cell keeps no spare room.
    int size = 0;
    for (int i = 0; i < length; ++i)
        size += m_utf8[uchar(in[i])].size;
    QByteArray utf8(size, Qt::Uninitialized);
    char* out = utf8.data();
    for (int i = 0; i < length; ++i) {
        const Utf8Char& shown = m_utf8[uchar(in[i])];
        // At most three bytes: copied one by one, without a call.
        switch (shown.size) {
        case 3:
            out[2] = shown.bytes[2];
            [[fallthrough]];
        case 2:
            out[1] = shown.bytes[1];
            [[fallthrough]];
        case 1:
            out[0] = shown.bytes[0];
            break;
        default:
            break;
        }
        out += shown.size;
    }
    return utf8;
}

QByteArray CharsetCodec::name() const
{
    return m_name;
}

QList<QByteArray> CharsetCodec::aliases() const
{
    return {m_name};
}

int CharsetCodec::mibEnum() const
{
    return m_mib;
}

QString CharsetCodec::convertToUnicode(const char* in, int length, ConverterState*) const
{
    return m_table.decode(in, length);
}

QByteArray CharsetCodec::convertFromUnicode(const QChar* in, int length, ConverterState*) const
{
    if (m_fold)
        return m_table.encode(in, length, m_fold);
    return m_table.encode(in, length);
}

bool CharsetCodec::encodesEvery(const QChar* in, int length) const
{
    if (m_fold)
        return m_table.encodesEvery(in, length, m_fold);
    return m_table.encodesEvery(in, length, [](char16_t unit) { return unit; });
}
