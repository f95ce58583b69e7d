#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// A single-byte character set given as a 256-entry byte-to-character table,
// with the reverse look-up built once: every UTF-16 code unit maps to the lowest
// byte whose entry equals it; characters the set lacks are dropped.
class CharsetTable
{
public:
    explicit CharsetTable(const char16_t (&table)[256])
        : m_table(table)
        , m_bytes(65536, -1)
    {
        // Walking down leaves the lowest byte for characters that several bytes share.
        for (int byte = 255; byte >= 0; --byte)
            m_bytes[table[byte]] = int16_t(byte);
    }

    int byteFor(char16_t unit) const { return m_bytes[unit]; }

    QString decode(const char* in, int length) const
    {
        QString text(qMax(length, 0), Qt::Uninitialized);
        QChar* out = text.data();
        for (int i = 0; i < length; ++i)
            out[i] = QChar(m_table[uchar(in[i])]);
        return text;
    }

    // fold may replace a code unit before it is looked up.
    template <typename Fold>
    QByteArray encode(const QChar* in, int length, Fold fold) const
    {
        QByteArray bytes;
        bytes.reserve(qMax(length, 0));
        for (int i = 0; i < length; ++i) {
            const int byte = byteFor(fold(in[i].unicode()));
            if (byte >= 0)
                bytes.append(char(byte));
        }
        return bytes;
    }

    QByteArray encode(const QChar* in, int length) const
    {
        return encode(in, length, [](char16_t unit) { return unit; });
    }

    // Whether encode() keeps every code unit: none is dropped.
    template <typename Fold>
    bool encodesEvery(const QChar* in, int length, Fold fold) const
    {
        for (int i = 0; i < length; ++i) {
            if (byteFor(fold(in[i].unicode())) < 0)
                return false;
        }
        return true;
    }

private:
    const char16_t (&m_table)[256];
    std::vector<int16_t> m_bytes;
};
