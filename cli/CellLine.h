#pragma once

#include "exchange/CsvRecordWriter.h"

#include <QByteArray>

#include <initializer_list>

// The lines of the cell listings of diff, import --dry-run and snapshot:
// "table";"row";"field" and then the cell's UTF-8 values, quoted as the CSV
// files of the program are, without the line end. One buffer serves every
// line of a listing.
class CellLine
{
public:
    // The line's bytes, valid until the next call.
    const QByteArray& of(unsigned table, unsigned row, int field, std::initializer_list<QByteArray> values);
    // The line of one value given by its bytes, made without an array of
    // its own; valid until the next call.
    const CsvRecordWriter::Buffer& of(unsigned table, unsigned row, int field, const char* value, int size);

private:
    // m_line holding the "table";"row" part alone.
    void startRow(unsigned table, unsigned row);

    CsvRecordWriter m_writer{';'};
    CsvRecordWriter::Buffer m_line;
    unsigned m_table = 0;
    unsigned m_row = 0;
    size_t m_prefixLength = 0; // of the "table";"row" part at the start of m_line
    // Points at m_line's bytes: a raw array kept from line to line costs no
    // allocation of its own.
    QByteArray m_view;
};
