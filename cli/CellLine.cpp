#include "CellLine.h"

#include <charconv>

const QByteArray& CellLine::of(unsigned table, unsigned row, int field, std::initializer_list<QByteArray> values)
{
    // A listing goes cell by cell through a row: its "table";"row" part is
    // written once for all the row's cells.
    if (m_prefixLength == 0 || table != m_table || row != m_row) {
        m_line.clear();
        appendNumber(table, true);
        appendNumber(row, false);
        m_table = table;
        m_row = row;
        m_prefixLength = size_t(m_line.size());
    } else {
        m_line.clear();
        m_line.commit(m_prefixLength); // the prefix stays in place at the buffer's start
    }
    appendNumber(field, false);
    for (const QByteArray& value : values)
        m_writer.appendQuoted(m_line, value, false);
    m_view.setRawData(m_line.data(), uint(m_line.size()));
    return m_view;
}

void CellLine::appendNumber(long long number, bool first)
{
    // Digits never need their quotes doubled.
    char* const start = m_line.room(24 + 3);
    char* at = start;
    if (!first)
        *at++ = ';';
    *at++ = '"';
    at = std::to_chars(at, start + 24 + 2, number).ptr;
    *at++ = '"';
    m_line.commit(size_t(at - start));
}
