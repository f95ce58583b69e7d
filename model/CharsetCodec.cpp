#include "CharsetCodec.h"

CharsetCodec::CharsetCodec(const QByteArray& name, int mib, const CharsetTable& table, Fold fold)
    : m_name(name)
    , m_mib(mib)
    , m_table(table)
    , m_fold(fold)
{
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
