#include "CsvRecordWriter.h"

#include <csv.h>

QByteArray CsvRecordWriter::quoted(const QByteArray& value)
{
    // Worst case: every byte a quote (doubled) plus the two delimiters.
    QByteArray out(value.size() * 2 + 2, '\0');
    const size_t written = csv_write2(out.data(), size_t(out.size()), value.constData(), size_t(value.size()), '"');
    out.truncate(int(written));
    return out;
}

QByteArray CsvRecordWriter::quotedRecord(const QList<QByteArray>& values) const
{
    QByteArray line;
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += m_separator;
        line += quoted(values.at(i));
    }
    line += '\n';
    return line;
}

QByteArray CsvRecordWriter::bareRecord(const QByteArray& value) const
{
    const bool needsQuotes = value.contains(m_separator) || value.contains('\r') || value.contains('\n');
    return (needsQuotes ? quoted(value) : value) + '\n';
}
