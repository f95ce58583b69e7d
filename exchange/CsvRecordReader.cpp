#include "CsvRecordReader.h"

#include <csv.h>

namespace {

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
    s->records.append(s->current);
    s->current.clear();
}

// Values keep their blanks: nothing is trimmed.
int noSpace(unsigned char)
{
    return 0;
}

} // namespace

bool CsvRecordReader::parse(const QByteArray& bytes, QList<CsvRecord>& records) const
{
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0)
        return false;
    csv_set_delim(&parser, static_cast<unsigned char>(m_separator));
    csv_set_quote(&parser, '"');
    csv_set_space_func(&parser, noSpace);

    ParseState state;
    bool ok = csv_parse(&parser, bytes.constData(), size_t(bytes.size()), onField, onRecordEnd, &state)
              == size_t(bytes.size());
    if (ok)
        ok = csv_fini(&parser, onField, onRecordEnd, &state) == 0;
    csv_free(&parser);
    if (ok)
        records = state.records;
    return ok;
}
