#include "CellLine.h"

#include <charconv>

namespace {

// Room for a number in its quotes, the separator before it.
constexpr size_t NumberRoom = 24 + 3;

// A number in its quotes at `at` (NumberRoom - 1 bytes): where it ends. Digits
// never need their quotes doubled.
char* writeNumber(char* at, long long number)
{
    *at++ = '"';
    if (number >= 0 && number < 10) // a field's number, mostly: no conversion needed
        *at++ = char('0' + number);
    else
        at = std::to_chars(at, at + NumberRoom - 3, number).ptr;
    *at++ = '"';
    return at;
}

} // namespace

const QByteArray& CellLine::of(unsigned table, unsigned row, int field, std::initializer_list<QByteArray> values)
{
    startRow(table, row);
    char* const start = m_line.room(NumberRoom);
    char* const end = writeNumber(start + 1, field);
    *start = ';';
    m_line.commit(size_t(end - start));
    for (const QByteArray& value : values)
        m_writer.appendQuoted(m_line, value, false);
    m_view.setRawData(m_line.data(), uint(m_line.size()));
    return m_view;
}

const CsvRecordWriter::Buffer& CellLine::of(unsigned table, unsigned row, int field, const char* value, int size)
{
    startRow(table, row);
    // The field's number and the value at once: the room of a value of quotes alone.
    char* const start = m_line.room(NumberRoom + size_t(size) * 2 + 3);
    char* at = start;
    *at++ = ';';
    at = writeNumber(at, field);
    *at++ = ';';
    at = CsvRecordWriter::writeQuoted(at, value, size_t(size));
    m_line.commit(size_t(at - start));
    return m_line;
}

void CellLine::startRow(unsigned table, unsigned row)
{
    // A listing goes cell by cell through a row: its "table";"row" part is
    // written once for all the row's cells.
    if (m_prefixLength == 0 || table != m_table || row != m_row) {
        m_line.clear();
        char* const start = m_line.room(2 * NumberRoom);
        char* at = writeNumber(start, table);
        *at++ = ';';
        at = writeNumber(at, row);
        m_line.commit(size_t(at - start));
        m_table = table;
        m_row = row;
        m_prefixLength = size_t(m_line.size());
    } else {
        m_line.clear();
        m_line.commit(m_prefixLength); // the prefix stays in place at the buffer's start
    }
}
