#include "CsvRecordReader.h"

#include <csv.h>

namespace {

// Bytes handed to the parser at once.
const int PieceSize = 64 * 1024;

struct ParseState
{
    QList<CsvRecord> records;
    CsvRecord current;
};

void onField(void* data, size_t length, void* state)
{
    auto* s = static_cast<ParseState*>(state);
    s->current.append(QByteArray(static_cast<const char*>(data), int(length)));
}

void onRecordEnd(int, void* state)
{
    auto* s = static_cast<ParseState*>(state);
    const int fields = s->current.size();
    s->records.append(s->current);
    // The next record most likely has as many values.
    s->current = CsvRecord();
    s->current.reserve(fields);
}

// Values keep their blanks: nothing is trimmed.
int noSpace(unsigned char)
{
    return 0;
}

// The sink runs here, outside the parser's callbacks, so that it may throw.
bool drain(ParseState& state, const CsvRecordReader::RecordSink& sink)
{
    QList<CsvRecord> records;
    records.swap(state.records);
    for (const CsvRecord& record : qAsConst(records)) {
        if (!sink(record))
            return false;
    }
    return true;
}

} // namespace

bool CsvRecordReader::parse(const QByteArray& bytes, int from, const RecordSink& sink) const
{
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0)
        return false;
    csv_set_delim(&parser, static_cast<unsigned char>(m_separator));
    csv_set_quote(&parser, '"');
    csv_set_space_func(&parser, noSpace);

    ParseState state;
    bool ok = true;
    bool more = true;
    try {
        for (int offset = qMax(0, from); ok && more && offset < bytes.size(); offset += PieceSize) {
            const size_t length = size_t(qMin(PieceSize, bytes.size() - offset));
            ok = csv_parse(&parser, bytes.constData() + offset, length, onField, onRecordEnd, &state) == length;
            more = drain(state, sink);
        }
        if (ok && more) {
            ok = csv_fini(&parser, onField, onRecordEnd, &state) == 0;
            if (ok)
                drain(state, sink);
        }
    } catch (...) {
        csv_free(&parser);
        throw;
    }
    csv_free(&parser);
    return ok;
}
