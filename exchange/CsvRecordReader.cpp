#include "CsvRecordReader.h"

#include <csv.h>

#include <vector>

namespace {

// Bytes handed to the parser at once.
const int PieceSize = 64 * 1024;

// The records of one piece in one buffer: the values of all of them one
// after another, and where each value and record ends.
struct ParseState
{
    QByteArray bytes;
    std::vector<int> valueEnds;
    std::vector<size_t> recordEnds; // in valueEnds
};

void onField(void* data, size_t length, void* state)
{
    auto* s = static_cast<ParseState*>(state);
    s->bytes.append(static_cast<const char*>(data), int(length));
    s->valueEnds.push_back(s->bytes.size());
}

void onRecordEnd(int, void* state)
{
    auto* s = static_cast<ParseState*>(state);
    s->recordEnds.push_back(s->valueEnds.size());
}

// Values keep their blanks: nothing is trimmed.
int noSpace(unsigned char)
{
    return 0;
}

// The sink runs here, outside the parser's callbacks, so that it may throw.
// The values of a record not yet ended stay for the next piece.
bool drain(ParseState& state, CsvRecord& record, const CsvRecordReader::RecordSink& sink)
{
    size_t value = 0;
    int byte = 0;
    for (const size_t end : state.recordEnds) {
        record.clear();
        for (; value < end; ++value) {
            record.append(state.bytes.constData() + byte, state.valueEnds[value] - byte);
            byte = state.valueEnds[value];
        }
        if (!sink(record))
            return false;
    }
    state.bytes.remove(0, byte);
    state.valueEnds.erase(state.valueEnds.begin(), state.valueEnds.begin() + long(value));
    for (int& end : state.valueEnds)
        end -= byte;
    state.recordEnds.clear();
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
    state.bytes.reserve(PieceSize + 1024);
    CsvRecord record;
    record.reserve(1024);
    bool ok = true;
    bool more = true;
    try {
        for (int offset = qMax(0, from); ok && more && offset < bytes.size(); offset += PieceSize) {
            const size_t length = size_t(qMin(PieceSize, bytes.size() - offset));
            ok = csv_parse(&parser, bytes.constData() + offset, length, onField, onRecordEnd, &state) == length;
            more = drain(state, record, sink);
        }
        if (ok && more) {
            ok = csv_fini(&parser, onField, onRecordEnd, &state) == 0;
            if (ok)
                drain(state, record, sink);
        }
    } catch (...) {
        csv_free(&parser);
        throw;
    }
    csv_free(&parser);
    return ok;
}
