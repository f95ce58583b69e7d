#include "CharsetCodec.h"

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
