#include "RegisterSnapshot.h"

#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/SnapshotTableRows.h"
#include "flows/TableReader.h"
#include "TableSetWriter.h"
#include "TableWriteRun.h"
#include "journal/JournalSession.h"

#include "common/Errors.h"
#include "common/Product.h"
#include "device/RegisterAddress.h"
#include "device/RegisterLink.h"
#include "device/ValueCheck.h"
#include "device/ProgressReporter.h"
#include "exchange/ExportFileName.h"
#include "snapshot/SnapshotReader.h"
#include "snapshot/SnapshotWriter.h"

#include <QDateTime>
#include <QDir>

#include <utility>

namespace {

// A snapshot table and the register's table it goes to.
struct Pairing
{
    SnapshotManifest::Table entry;
    TableInfo table;
};

const TableInfo* tableOf(const QList<TableInfo>& tables, unsigned number)
{
    for (const TableInfo& table : tables) {
        if (table.id == number)
            return &table;
    }
    return nullptr;
}

// The register's tables that the snapshot's tables go to. Another model is
// refused unless allowed, and then only tables described alike are paired.
QVector<Pairing> pairTables(const SnapshotReader& snapshot, const RegisterSession& session,
                            const RegisterSnapshot::Permissions& permissions, QStringList& skipped)
{
    const SnapshotManifest& manifest = snapshot.manifest();
    const RegisterIdentity& identity = session.identity();
    const bool otherModel = manifest.identity.modelCode != identity.modelCode;
    if (otherModel && !permissions.otherModel) {
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Снимок %1 сделан с ККТ модели %2 (%3), а подключена модель %4 (%5); "
                                         "таблицы другой модели переносятся только с --other-model")
                              .arg(snapshot.path(), QString::number(manifest.identity.modelCode),
                                   manifest.identity.modelName, QString::number(identity.modelCode),
                                   identity.modelName));
    }
    QVector<Pairing> pairs;
    for (const SnapshotManifest::Table& entry : manifest.tables) {
        const TableInfo* table = tableOf(session.tables(), entry.number);
        if (!table && !otherModel) {
            throw FlowFailure(FlowFailure::Refused,
                              QStringLiteral("Снимок %1: в описании модели ККТ нет таблицы %2 (%3)")
                                  .arg(snapshot.path(), QString::number(entry.number), entry.name));
        }
        if (otherModel && (!table || SnapshotManifest::descriptionDigest(*table) != entry.description)) {
            skipped << QStringLiteral("%1: описание таблицы в модели %2 другое")
                           .arg(SnapshotReader::tableName(entry), QString::number(identity.modelCode));
            continue;
        }
        pairs.append({entry, *table});
    }
    return pairs;
}

// The snapshot's rows of one table, checked as an import checks a file, with
// every cell marked to be written. Messages name the table inside the snapshot.
DataRows loadRows(SnapshotReader& snapshot, const Pairing& pair, const RegisterCharsets& charsets)
{
    return SnapshotTableRows::load(snapshot, pair.entry, pair.table, charsets);
}

// What the restore and the comparison share: the register's rows, the
// snapshot's rows with only the differing cells marked, and those cells.
struct TablePlan
{
    DataRows registerRows;
    unsigned registerCells = 0;
    DataRows rows;
    QVector<TableComparison::CellPair> differences;
    QVector<TableComparison::CellPair> readOnly;
};

// checkedRows: the snapshot's rows of the table, when they were loaded already.
TablePlan plan(const RegisterLink& link, SnapshotReader& snapshot, const Pairing& pair, ProgressReporter* progress,
               DataRows* checkedRows = nullptr)
{
    TablePlan result;
    result.rows = checkedRows ? std::move(*checkedRows) : loadRows(snapshot, pair, link.charsets());
    result.registerRows = TableReader::read(link, pair.table, result.registerCells, progress);
    const TableComparison comparison(pair.table, result.rows, result.registerRows, ValueCheck(link.charsets()));
    // The snapshot's rows leave unmarked what a restore never writes, as an
    // import's rows do: such a cell differs apart.
    for (const TableComparison::CellPair& cell : comparison.cells()) {
        Cell& snapshotCell = result.rows[cell.row][cell.column];
        if (!cell.differs)
            snapshotCell.changed = false;
        else if (snapshotCell.changed)
            result.differences.append(cell);
        else
            result.readOnly.append(cell);
    }
    return result;
}

QVector<RegisterSnapshot::SnapshotValue> snapshotValues(const TableInfo& table, const TablePlan& plan)
{
    const RegisterAddress address(table, plan.registerRows);
    QVector<RegisterSnapshot::SnapshotValue> values;
    for (const TableComparison::CellPair& cell : plan.differences) {
        if (cell.inRegister)
            values.append({address.dataRow(cell.registerRow), cell.column, plan.rows.at(cell.row).at(cell.column).value});
    }
    return values;
}

// The pairs of the tables chosen by number; a number the snapshot lacks is refused.
QVector<Pairing> chosenTables(const SnapshotReader& snapshot, const QVector<Pairing>& pairs,
                              const QVector<unsigned>& numbers)
{
    QVector<Pairing> chosen;
    for (const unsigned number : numbers) {
        if (!snapshot.manifest().table(number)) {
            throw FlowFailure(FlowFailure::Refused,
                              QStringLiteral("В снимке %1 нет таблицы %2").arg(snapshot.path(), QString::number(number)));
        }
    }
    for (const Pairing& pair : pairs) {
        if (numbers.contains(pair.entry.number))
            chosen.append(pair);
    }
    return chosen;
}

SnapshotManifest headOf(const RegisterSession& session, const QString& program)
{
    SnapshotManifest manifest;
    manifest.program = program;
    manifest.version = product::version();
    manifest.time = QDateTime::currentDateTimeUtc();
    manifest.identity = session.identity();
    manifest.configuration = session.configurationVersion();
    return manifest;
}

} // namespace

int RegisterSnapshot::Comparison::differenceCount() const
{
    int count = 0;
    for (const TableDifferences& t : tables)
        count += t.cells.size();
    return count;
}

std::unique_ptr<SnapshotReader> RegisterSnapshot::open(const QString& path)
{
    try {
        return std::make_unique<SnapshotReader>(path);
    } catch (const RunTimeError& error) {
        throw FlowFailure(FlowFailure::Refused, error.message());
    }
}

void RegisterSnapshot::checkSaveTarget(const QString& path)
{
    try {
        SnapshotWriter::requireTarget(path);
    } catch (const FileWriteError& error) {
        throw FlowFailure(FlowFailure::WriteFailed, error.message());
    }
}

SnapshotManifest RegisterSnapshot::save(const QString& path, RegisterSession& session, const QList<TableInfo>& tables,
                                        const QString& program, ProgressReporter* progress)
{
    try {
        SnapshotWriter writer(path, headOf(session, program));
        for (const TableInfo& table : tables) {
            unsigned cells = 0;
            const DataRows rows = TableReader::read(session.link(), table, cells, progress);
            writer.addTable(table, rows, cells);
        }
        writer.finish();
        return writer.manifest();
    } catch (const FileWriteError& error) {
        throw FlowFailure(FlowFailure::WriteFailed, error.message());
    } catch (const RunTimeError& error) {
        throw FlowFailure(FlowFailure::Refused, error.message());
    }
}

RegisterSnapshot::Comparison RegisterSnapshot::compare(SnapshotReader& snapshot, RegisterSession& session,
                                                       const Permissions& permissions, ProgressReporter* progress,
                                                       const TableCompared& compared)
{
    Comparison comparison;
    // Comparing with another register's snapshot is what a reference register is for.
    Permissions anyRegister = permissions;
    anyRegister.otherRegister = true;
    for (const Pairing& pair : pairTables(snapshot, session, anyRegister, comparison.skipped)) {
        const TablePlan tablePlan = plan(session.link(), snapshot, pair, progress);
        if (compared)
            compared(pair.table, tablePlan.registerRows, snapshotValues(pair.table, tablePlan));
        comparison.tables.append({pair.table, tablePlan.differences, tablePlan.readOnly});
    }
    return comparison;
}

RegisterSnapshot::Restore RegisterSnapshot::restore(SnapshotReader& snapshot, RegisterSession& session,
                                                    JournalSession& journal, const Permissions& permissions,
                                                    const QVector<unsigned>& tables, bool dryRun,
                                                    const QString& undoDirectory, ProgressReporter& progress,
                                                    QList<unsigned>* committed)
{
    const SnapshotManifest& manifest = snapshot.manifest();
    const QString serial = session.identity().serialNumber;
    if (manifest.identity.serialNumber != serial && !permissions.otherRegister) {
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Снимок %1 сделан с ККТ с заводским номером %2, а подключена ККТ %3; "
                                         "чтобы перенести его в эту ККТ, укажите --other-register")
                              .arg(snapshot.path(), manifest.identity.serialNumber, serial));
    }
    Restore result;
    QVector<Pairing> pairs = pairTables(snapshot, session, permissions, result.comparison.skipped);
    if (!tables.isEmpty())
        pairs = chosenTables(snapshot, pairs, tables);

    // Every table is checked before anything is read from the register or written.
    // The largest table's rows are kept for its comparison, so that its file is
    // not unpacked and checked twice.
    QStringList refusals;
    QVector<FlowFailure::Place> places;
    int checkedIndex = -1;
    DataRows checkedRows;
    for (int k = 0; k < pairs.size(); ++k) {
        try {
            DataRows rows = loadRows(snapshot, pairs.at(k), session.link().charsets());
            if (checkedIndex < 0 || rows.size() > checkedRows.size()) {
                checkedRows = std::move(rows);
                checkedIndex = k;
            }
        } catch (const FlowFailure& failure) {
            refusals << failure.message();
            places << failure.places();
        }
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')), places);

    // The register as it is, into the undo snapshot, and what differs.
    std::unique_ptr<SnapshotWriter> undo;
    if (!dryRun) {
        if (!QDir().mkpath(undoDirectory)) {
            throw FlowFailure(FlowFailure::Refused,
                              QStringLiteral("Не удалось создать каталог %1 для снимка ККТ перед восстановлением")
                                  .arg(undoDirectory));
        }
        result.undoSnapshot = QStringLiteral("%1/%2_%3.zip")
                                  .arg(undoDirectory, ExportFileName::safeFileNamePart(serial), journal.writeId());
        try {
            undo = std::make_unique<SnapshotWriter>(result.undoSnapshot, headOf(session, manifest.program));
        } catch (const FileWriteError& error) {
            throw FlowFailure(FlowFailure::WriteFailed, error.message());
        } catch (const RunTimeError& error) {
            throw FlowFailure(FlowFailure::Refused, error.message());
        }
    }
    const auto addToUndo = [&undo](const TableInfo& table, const DataRows& rows, unsigned cells) {
        try {
            undo->addTable(table, rows, cells);
        } catch (const FileWriteError& error) {
            throw FlowFailure(FlowFailure::WriteFailed, error.message());
        } catch (const RunTimeError& error) {
            throw FlowFailure(FlowFailure::Refused, error.message());
        }
    };
    // The tables read before the first one that differs go into the undo
    // snapshot only once something is to be written: a restore that finds the
    // register as the snapshot has it packs nothing.
    struct ReadTable
    {
        TableInfo table;
        DataRows rows;
        unsigned cells = 0;
    };
    QVector<ReadTable> notInUndo;
    bool undoStarted = false;
    // The tables that differ are kept as read: each is read from the register once.
    // Every table's rows are checked against the register's before the first write.
    QVector<Pairing> differing;
    QVector<TablePlan> plans;
    for (int k = 0; k < pairs.size(); ++k) {
        const Pairing& pair = pairs.at(k);
        TablePlan tablePlan =
            plan(session.link(), snapshot, pair, &progress, k == checkedIndex ? &checkedRows : nullptr);
        try {
            TableWriteRun rowCheck(session.link(), pair.table, tablePlan.rows);
            rowCheck.useRead(tablePlan.registerRows);
            rowCheck.refuseMissingRows();
        } catch (const FlowFailure& failure) {
            const QString line = QStringLiteral("%1/%2: %3").arg(snapshot.path(), pair.entry.file, failure.message());
            refusals << line;
            places << FlowFailure::Place{line, snapshot.path() + QLatin1Char('/') + pair.entry.file,
                                         failure.places().isEmpty() ? 0 : failure.places().first().row, QString()};
            continue;
        }
        if (undo && !undoStarted && !tablePlan.differences.isEmpty()) {
            for (const ReadTable& read : qAsConst(notInUndo))
                addToUndo(read.table, read.rows, read.cells);
            notInUndo.clear();
            undoStarted = true;
        }
        if (undo && undoStarted)
            addToUndo(pair.table, tablePlan.registerRows, tablePlan.registerCells);
        else if (undo)
            notInUndo.append({pair.table, tablePlan.registerRows, tablePlan.registerCells});
        if (!tablePlan.differences.isEmpty() || !tablePlan.readOnly.isEmpty())
            result.comparison.tables.append({pair.table, tablePlan.differences, tablePlan.readOnly});
        if (tablePlan.differences.isEmpty())
            continue;
        differing.append(pair);
        if (!dryRun)
            plans.append(std::move(tablePlan));
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')), places);
    if (dryRun || differing.isEmpty()) {
        result.undoSnapshot.clear();
        if (dryRun) {
            result.cellsWritten = unsigned(result.comparison.differenceCount());
            result.tablesWritten = unsigned(differing.size());
        }
        return result;
    }
    try {
        undo->finish();
    } catch (const FileWriteError& error) {
        throw FlowFailure(FlowFailure::WriteFailed, error.message());
    } catch (const RunTimeError& error) {
        throw FlowFailure(FlowFailure::Refused, error.message());
    }

    QList<TableInfo> differingTables;
    for (const Pairing& pair : qAsConst(differing))
        differingTables << pair.table;
    TableSetWriter writer(differingTables, journal, progress, TableWriteRun::Send::Differing);
    for (int k = 0; k < differing.size(); ++k) {
        const Pairing& pair = differing.at(k);
        TablePlan& tablePlan = plans[k];
        try {
            TableWriteRun run(session.link(), pair.table, tablePlan.rows);
            run.useRead(tablePlan.registerRows);
            writer.write(run);
        } catch (const FlowFailure& failure) {
            if (committed)
                *committed = writer.writtenTables();
            const QString kept = QStringLiteral("ККТ до восстановления сохранена в снимке %1").arg(result.undoSnapshot);
            if (failure.kind() == FlowFailure::Cancelled)
                throw FlowFailure(FlowFailure::Cancelled, failure.message() + QLatin1Char('\n') + kept);
            throw FlowFailure(failure.kind(),
                              QStringLiteral("%1: %2\nТаблицы, записанные до сбоя, остались записанными; %3")
                                  .arg(SnapshotReader::tableName(pair.entry), failure.message(), kept));
        }
        // Only what differs was read and held back: the table is free again.
        tablePlan = TablePlan();
    }
    result.cellsWritten = writer.cellsWritten();
    result.tablesWritten = writer.tablesWritten();
    if (committed)
        *committed = writer.writtenTables();
    return result;
}

QString RegisterSnapshot::undoDirectory(const QString& journalDirectory)
{
    return journalDirectory + QStringLiteral("/snapshots");
}
