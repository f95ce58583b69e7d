#pragma once

#include "flows/TableComparison.h"

#include "model/TableInfo.h"
#include "snapshot/SnapshotManifest.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class ProgressReporter;
class RegisterSession;
class SnapshotReader;
class JournalSession;

// A whole register in one file: saving its tables into a snapshot, comparing
// the register with a snapshot cell by cell, and restoring a snapshot. Saving
// and comparing go through the tables one at a time, so memory holds one
// table (and the differences found); a restore reads each table from the
// register once and keeps only the tables that differ until they are written
// (and those read before the first that differs, until the undo snapshot
// takes them: a restore that writes nothing packs no undo snapshot).
class RegisterSnapshot
{
public:
    // Which snapshot tables may meet which register.
    struct Permissions
    {
        bool otherModel = false;    // then only tables whose description matches
        bool otherRegister = false; // another serial number
    };

    struct TableDifferences
    {
        TableInfo table;
        QVector<TableComparison::CellPair> cells; // register text vs. snapshot (file) text
        // Differing cells that a restore never writes (read-only fields and
        // rows): neither written nor counted as differences.
        QVector<TableComparison::CellPair> readOnly;
    };

    struct Comparison
    {
        QVector<TableDifferences> tables; // every table compared, in the snapshot's order
        QStringList skipped;              // tables left out, with why
        int differenceCount() const;
    };

    // A differing cell at its place in the register's rows as read (data row
    // and cell), with the value the snapshot stores for it.
    struct SnapshotValue
    {
        int row = 0;
        int column = 0;
        QByteArray value;
    };
    // Hears of each table as it is compared: the register's rows as read and
    // the differing cells those rows hold.
    using TableCompared =
        std::function<void(const TableInfo& table, const DataRows& registerRows, const QVector<SnapshotValue>& differing)>;

    struct Restore
    {
        Comparison comparison; // the cells written (or, on a dry run, to be written)
        unsigned cellsWritten = 0;
        unsigned tablesWritten = 0;
        QString undoSnapshot; // the register before the restore; empty when nothing was written
    };

    // The snapshot file at path, its manifest and digests checked. Raises
    // FlowFailure (Refused) for a damaged, foreign or unreadable file.
    static std::unique_ptr<SnapshotReader> open(const QString& path);

    // Raises FlowFailure (WriteFailed) unless a snapshot may be saved at path:
    // asked before the register is, so that nothing is read for a refused file.
    static void checkSaveTarget(const QString& path);

    // session: open with the model description. Reads the tables into a new
    // snapshot at path (all or nothing). Raises FlowFailure.
    static SnapshotManifest save(const QString& path, RegisterSession& session, const QList<TableInfo>& tables,
                                 const QString& program, ProgressReporter* progress = nullptr);

    // Every cell in which the register differs from the snapshot. Raises
    // FlowFailure: Refused for a snapshot of another model without
    // permissions.otherModel or a table value that the register's model refuses.
    static Comparison compare(SnapshotReader& snapshot, RegisterSession& session, const Permissions& permissions,
                              ProgressReporter* progress = nullptr, const TableCompared& compared = {});

    // Checks every table of the snapshot as an import checks its files (the
    // values, and the rows against the register's), then saves the register's
    // tables into undoDirectory and writes the differing cells, one commit per
    // table, as one write of the journal. Nothing is written when a table is
    // refused; a dry run refuses the same, with the same message.
    // tables: the numbers of the snapshot's tables to restore, empty for all;
    // a number the snapshot lacks is refused.
    // The user may stop it through progress between tables or inside one (the
    // table being written is then not committed): Cancelled, naming the tables
    // restored and the ones not. committed, when given, receives the numbers
    // of the tables committed, also when a failure or a cancel stops the restore.
    static Restore restore(SnapshotReader& snapshot, RegisterSession& session, JournalSession& journal,
                           const Permissions& permissions, const QVector<unsigned>& tables, bool dryRun,
                           const QString& undoDirectory, ProgressReporter& progress,
                           QList<unsigned>* committed = nullptr);

    // Where restores keep the registers as they were: beside the journal.
    static QString undoDirectory(const QString& journalDirectory);
};
