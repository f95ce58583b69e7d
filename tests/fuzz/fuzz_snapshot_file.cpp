// Any bytes as a snapshot file: opened, and every table of an accepted one
// loaded against the default model description as a restore loads it. An
// accepted manifest reads again as itself; a table's file is never unpacked
// past what its table can take.
#include "FuzzEnvironment.h"

#include "common/Errors.h"
#include "device/KKT_Logic.h"
#include "exchange/ImportLimits.h"
#include "flows/FlowFailure.h"
#include "flows/SnapshotTableRows.h"
#include "model/TableInfo.h"
#include "snapshot/SnapshotReader.h"

#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace {

QList<TableInfo> s_tables;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

const TableInfo* tableOf(unsigned number)
{
    for (const TableInfo& table : s_tables) {
        if (table.id == number)
            return &table;
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    QString errorText;
    const int result = TableInfo::readTablesInfo(57, s_tables, errorText, QStringLiteral(VESCOR_SOURCE_DIR "/models"),
                                                 [] { return 25; });
    if (result != 0 || s_tables.isEmpty())
        fail("the default model description does not load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzEnvironment::writeFile(QStringLiteral("snapshot.zip"), data, size);
    std::unique_ptr<SnapshotReader> reader;
    try {
        reader = std::make_unique<SnapshotReader>(path);
    } catch (const RunTimeError&) {
        return 0; // refused with a message: fine
    }
    const SnapshotManifest& manifest = reader->manifest();
    SnapshotManifest again;
    if (!again.fromJson(manifest.toJson()).isEmpty() || again.toJson() != manifest.toJson())
        fail("an accepted manifest does not read again as itself");
    for (const SnapshotManifest::Table& entry : manifest.tables) {
        if (entry.number == 0 || entry.number > 0xffff || entry.file.isEmpty())
            fail("a table out of range was accepted");
        const TableInfo* table = tableOf(entry.number);
        if (!table)
            continue;
        const qint64 most = ImportLimits::fileBytes(QList<TableInfo>{*table});
        try {
            const QString extracted = reader->extract(entry, most);
            if (QFileInfo(extracted).size() > most)
                fail("a table's file was unpacked past what its table can take");
            SnapshotTableRows::load(*reader, entry, *table, KKT_Logic::charsets());
        } catch (const RunTimeError&) {
        } catch (const FlowFailure&) {
        }
    }
    return 0;
}
