#pragma once

#include "device/Cell.h"
#include "device/RegisterCharsets.h"
#include "snapshot/SnapshotManifest.h"

class SnapshotReader;
class TableInfo;

// The rows of one table of a snapshot, checked as an import checks a file,
// with every cell marked to be written.
class SnapshotTableRows
{
public:
    // Raises FlowFailure (Refused) for a refused value or file, its messages
    // naming the table inside the snapshot.
    static DataRows load(SnapshotReader& snapshot, const SnapshotManifest::Table& entry, const TableInfo& table,
                         const RegisterCharsets& charsets);
};
