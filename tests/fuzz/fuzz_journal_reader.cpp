// Any bytes as a register's journal: listed, found by id and loaded write by
// write as the journal command and the revert do. A record read back must
// hold what a record can: numbers in range, and the same record again when
// written and read once more.
#include "FuzzEnvironment.h"

#include "journal/JournalFolder.h"

#include <cstdio>
#include <cstdlib>

namespace {

const QString Serial = QStringLiteral("0057000001");

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void checkRecord(const JournalRecord& record)
{
    if (record.tableNumber < 1 || record.tableNumber > 0xFFFF || record.writeId.isEmpty() || !record.time.isValid())
        fail("a record out of range was accepted");
    for (const JournalRecord::CellChange& cell : record.cells) {
        if (cell.row < 1 || cell.field < 1)
            fail("a cell out of range was accepted");
    }
    JournalRecord again;
    if (!JournalRecord::fromJsonLine(record.toJsonLine(), again) || again.toJsonLine() != record.toJsonLine())
        fail("a record read back does not read again as itself");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const JournalFolder journal(FuzzEnvironment::scratchDir());
    FuzzEnvironment::writeFile(Serial + QStringLiteral(".jsonl"), data, size);
    QStringList problems;
    const QList<RecordedWrite> writes = journal.writes(Serial, &problems);
    const QList<JournalFolder::WritePlace> places = journal.writePlaces(Serial);
    if (places.size() != writes.size())
        fail("the places of the writes and the writes differ");
    for (int i = 0; i < places.size(); ++i) {
        const RecordedWrite loaded = journal.load(places.at(i));
        if (loaded.isEmpty() || loaded.id() != writes.at(i).id() || loaded.tables.size() != writes.at(i).tables.size()
            || loaded.unconfirmed.size() != writes.at(i).unconfirmed.size())
            fail("a write loaded from its place is not the write listed");
        for (const JournalRecord& record : loaded.records())
            checkRecord(record);
    }
    // A write of the index that loads holds the tables and cells it lists
    // (one with damaged cells is listed and does not load).
    for (const JournalFolder::WritePlace& indexed : journal.indexWrites(Serial)) {
        const RecordedWrite loaded = journal.load(indexed);
        if (!loaded.isEmpty()
            && (loaded.cellCount() != indexed.cellCount || loaded.records().size() != indexed.tableNumbers.size()
                || loaded.unconfirmed.size() != indexed.unconfirmedTables().size()))
            fail("a write of the index does not hold the tables and cells it lists");
    }
    return 0;
}
