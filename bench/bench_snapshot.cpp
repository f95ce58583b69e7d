// Saves, compares and restores a snapshot of the commodity base (table 1,
// 65 536 rows by default) of the emulated register, each against what the
// same work takes through one CSV file in the same run:
//   save    against  read + export of the file,
//   compare against  import check of the file + read + comparison (diff FILE),
//   restore against  the same (import --only-different, nothing differing).
// Prints the times, their ratios, the file sizes and the peak memory after
// each step (VmHWM): a snapshot holds one table at a time.
//
// Goal: each step at most 1.5 times its CSV peer.
//
// Usage: bench_snapshot [rows] [runs] [path of the register image]

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "device/ProgressReporter.h"
#include "device/ValueCheck.h"
#include "exchange/CsvExchange.h"
#include "flows/FlowFailure.h"
#include "flows/ImportFiles.h"
#include "journal/JournalFolder.h"
#include "flows/RegisterSession.h"
#include "runs/RegisterSnapshot.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"
#include "journal/JournalSession.h"
#include "snapshot/SnapshotReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

// The peak resident memory of the process so far, in MB.
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

void printRatio(const char* what, double seconds, double baseline, const char* baselineName)
{
    std::printf("%-8s %9.3f s   %-34s %9.3f s   ratio %5.2f   peak %6.1f MB\n", what, seconds, baselineName, baseline,
                seconds / baseline, peakMegabytes());
    printGoal("ratio", seconds / baseline, "<=", 1.5);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    const QString source = argc > 3 ? QString::fromLocal8Bit(argv[3])
                                    : findInTree(QStringLiteral("driver/default-image.json"));
    QTemporaryDir dir;
    if (!installScaledImage(dir, source, rows))
        return 1;
    KKT_Logic::instance().connect();
    RegisterSession session(KKT_Logic::instance());
    QList<TableInfo> commodities;
    try {
        for (const TableInfo& table : session.openWithDescription()) {
            if (table.id == 1)
                commodities << table;
        }
    } catch (const FlowFailure& failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.message()));
        return 1;
    }
    const QString csvPath = dir.filePath(QStringLiteral("table.csv"));
    const QString snapshotPath = dir.filePath(QStringLiteral("snapshot.zip"));
    try {
        // What every timing finds done, as each run of a user's command does:
        // the emulated register's rows decoded (it decodes a large table on its
        // first use) and the files written once.
        {
            unsigned cells = 0;
            CsvExchange().exportTable(csvPath, commodities.first(), TableReader::read(session.link(), commodities.first(), cells));
            RegisterSnapshot::save(snapshotPath, session, commodities, QStringLiteral("bench"));
        }
        std::printf("commodity base of %d rows; best of %d runs after one unmeasured read, save and export; peak memory "
                    "at start %.1f MB\n",
                    rows, runs, peakMegabytes());
        const double exportTime = bestSeconds(runs, [&] {
            unsigned cells = 0;
            CsvExchange().exportTable(csvPath, commodities.first(), TableReader::read(session.link(), commodities.first(), cells));
        });
        const double saveTime = bestSeconds(runs, [&] {
            RegisterSnapshot::save(snapshotPath, session, commodities, QStringLiteral("bench"));
        });
        printRatio("save", saveTime, exportTime, "read + export");

        const double diffTime = bestSeconds(runs, [&] {
            const QVector<ImportFiles::File> files = ImportFiles::load({csvPath}, commodities, session.link().charsets());
            unsigned cells = 0;
            const DataRows registerRows = TableReader::read(session.link(), commodities.first(), cells);
            TableComparison(commodities.first(), files.first().rows, registerRows, ValueCheck(session.link().charsets())).differences();
        });
        const double compareTime = bestSeconds(runs, [&] {
            SnapshotReader reader(snapshotPath);
            RegisterSnapshot::compare(reader, session, {});
        });
        printRatio("compare", compareTime, diffTime, "import check + read + comparison");

        const double restoreTime = bestSeconds(runs, [&] {
            SnapshotReader reader(snapshotPath);
            JournalSession journal(QStringLiteral("bench"), session.identity(), JournalFolder(dir.filePath(QStringLiteral("j"))));
            ProgressReporter progress;
            RegisterSnapshot::restore(reader, session, journal, {}, {}, false, dir.filePath(QStringLiteral("undo")),
                                      progress);
        });
        printRatio("restore", restoreTime, diffTime, "import --only-different (no change)");
    } catch (const FlowFailure& failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.message()));
        return 1;
    }
    std::printf("files: CSV %.1f MB, snapshot %.1f MB (compressed to %.0f%%)\n",
                QFileInfo(csvPath).size() / 1048576.0, QFileInfo(snapshotPath).size() / 1048576.0,
                100.0 * QFileInfo(snapshotPath).size() / QFileInfo(csvPath).size());
    return 0;
}
