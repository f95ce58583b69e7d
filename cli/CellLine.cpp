#include "CellLine.h"

#include <charconv>

QByteArray CellLine::of(unsigned table, unsigned row, int field, std::initializer_list<QByteArray> values)
{
    m_line.clear();
    appendNumber(table, true);
    appendNumber(row, false);
    appendNumber(field, false);
    for (const QByteArray& value : values)
        m_writer.appendQuoted(m_line, value, false);
    return QByteArray::fromRawData(m_line.data(), int(m_line.size()));
}

void CellLine::appendNumber(long long number, bool first)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    m_writer.appendQuoted(m_line, QByteArray::fromRawData(digits, int(end - digits)), first);
}
