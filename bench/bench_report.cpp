// The reports and the comparison of two snapshots on a commodity base of
// 65 536 rows (by default), each against the work it cannot do without,
// measured in the same run:
//   comparison of two snapshots  against  reading both files' tables,
//   report of a 65 536-cell write  against  reading the write from the journal,
//   report of 1 000 writes  against  reading them from the journal.
// Prints CPU times, their ratios and the peak memory (VmHWM) after each step.
// Goals: the comparison and the large report under 2 s of CPU, memory of
// about one table.
//
// Usage: bench_report [rows] [path of the register image]

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "flows/RegisterSession.h"
#include "flows/SnapshotPairComparison.h"
#include "flows/SnapshotTableRows.h"
#include "flows/TableReader.h"
#include "journal/JournalFolder.h"
#include "runs/RegisterSnapshot.h"
#include "report/WriteReport.h"
#include "snapshot/SnapshotReader.h"
#include "snapshot/SnapshotWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace BenchSupport;

namespace {

const int PriceColumn = 2;

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

void printRatio(const char* what, double seconds, const char* baselineName, double baseline)
{
    std::printf("%-22s %7.3f s CPU   %-28s %7.3f s   ratio %5.2f   peak %6.1f MB\n", what, seconds, baselineName,
                baseline, seconds / baseline, peakMegabytes());
}

JournalRecord recordOf(const TableInfo& table, const QString& id, const QString& serial, int row0, int cells)
{
    JournalRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.program = QStringLiteral("bench");
    record.version = QStringLiteral("1");
    record.writeId = id;
    record.modelCode = 57;
    record.modelName = QStringLiteral("Вескор-Эмулятор 57");
    record.serialNumber = serial;
    record.firmware = QStringLiteral("3.0.25");
    record.tableNumber = table.id;
    record.tableName = table.name;
    for (int i = 0; i < cells; ++i)
        record.cells.append({unsigned(row0 + i + 1), PriceColumn + 1, table.fields.at(PriceColumn).m_name,
                             QByteArray::number(1000 + i), QByteArray::number(1001 + i)});
    return record;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    QTemporaryDir dir;
    ScaledRegister scaled;
    if (!dir.isValid() || !installScaledRegister(argc, argv, 65536, dir, scaled))
        return 1;
    const TableInfo& goods = scaled.commodities;

    // Two snapshots of the base, every price of the second one kopeck higher.
    const QString first = dir.filePath(QStringLiteral("a.zip"));
    const QString second = dir.filePath(QStringLiteral("b.zip"));
    {
        KKT_Logic& logic = KKT_Logic::instance();
        logic.connect();
        RegisterSession session(logic);
        session.openWithDescription();
        RegisterSnapshot::save(first, session, {goods}, QStringLiteral("bench"));
        unsigned cells = 0;
        DataRows rows = TableReader::read(session.link(), goods, cells);
        for (DataRow& row : rows)
            row[PriceColumn].value = QByteArray::number(row[PriceColumn].value.toLongLong() + 1);
        SnapshotWriter writer(second, SnapshotReader(first).manifest());
        writer.addTable(goods, rows, cells);
        writer.finish();
    }
    std::printf("snapshots of %d rows: %lld and %lld bytes; peak %.1f MB\n", scaled.rows,
                QFile(first).size(), QFile(second).size(), peakMegabytes());

    const RegisterCharsets charsets = KKT_Logic::charsets();
    int differences = 0;
    const double compared = bestCpu(3, [&] {
        SnapshotReader a(first);
        SnapshotReader b(second);
        differences = SnapshotPairComparison::compare(a, b, charsets, false).differenceCount();
        return differences == scaled.rows;
    });
    const double loaded = bestCpu(3, [&] {
        SnapshotReader a(first);
        SnapshotReader b(second);
        return SnapshotTableRows::load(a, a.manifest().tables.first(), goods, charsets).size()
            == SnapshotTableRows::load(b, b.manifest().tables.first(), goods, charsets).size();
    });
    printRatio("snapshot diff A B", compared, "both tables read", loaded);

    // One write of every row's price, and a journal of 1 000 small writes.
    const JournalFolder journal(dir.filePath(QStringLiteral("journal")));
    if (!journal.append(recordOf(goods, QStringLiteral("large"), QStringLiteral("1"), 0, scaled.rows)).isEmpty())
        return 1;
    {
        QDir().mkpath(journal.directory());
        QFile many(journal.filePath(QStringLiteral("2")));
        if (!many.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 0; i < 1000; ++i)
            many.write(recordOf(goods, QStringLiteral("w%1").arg(i), QStringLiteral("2"), i % 100, 3).toJsonLine() + '\n');
    }
    for (const QString& serial : {QStringLiteral("1"), QStringLiteral("2")}) {
        int cells = 0;
        const double reported = bestCpu(3, [&] {
            const QList<JournalFolder::WritePlace> places = journal.indexWrites(serial);
            WriteReport report(WriteReport::identityOf(journal.load(places.first()).first()), scaled.tables);
            for (const JournalFolder::WritePlace& place : places)
                report.add(journal.load(place));
            cells = report.finish().size() > 0 ? report.cellCount() : 0;
            return cells > 0;
        });
        const double read = bestCpu(3, [&] {
            int count = 0;
            for (const JournalFolder::WritePlace& place : journal.indexWrites(serial))
                count += journal.load(place).cellCount();
            return count == cells;
        });
        printRatio(serial == QLatin1String("1") ? "report of 1 write" : "report of 1000 writes", reported,
                   "writes read from journal", read);
        std::printf("  (%d cells)\n", cells);
    }
    return 0;
}
