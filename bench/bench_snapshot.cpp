// Saves, compares and restores a snapshot of the commodity base (table 1,
// 65 536 rows by default) of the emulated register, each against what the
// same work takes through one CSV file in the same run:
//   save    against  read + export of the file,
//   compare against  import check of the file + read + comparison (diff FILE),
//   restore against  the same (import --only-different, nothing differing).
// Prints the times, their ratios, the file sizes and the peak memory after
// each step (VmHWM): a snapshot holds one table at a time.
//
// Each step and its peer run in turn, `runs` pairs (7 by default: a median of
// three moved by a fifth from run to run on a loaded machine), after one
// unmeasured run of each; the figures are the medians, the ratio the median
// of the pairs' ratios, so that a machine whose load drifts compares fairly.
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
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

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

struct Pair
{
    double ours = 0, peer = 0, ratio = 0; // medians
};

double secondsOf(const std::function<void()>& once)
{
    QElapsedTimer clock;
    clock.start();
    once();
    return double(clock.nsecsElapsed()) / 1e9;
}

// The peer and ours in turn, `runs` times after one unmeasured run of each.
Pair runPairs(int runs, const std::function<void()>& ours, const std::function<void()>& peer)
{
    peer();
    ours();
    std::vector<double> ourTimes, peerTimes, ratios;
    for (int k = 0; k < runs; ++k) {
        peerTimes.push_back(secondsOf(peer));
        ourTimes.push_back(secondsOf(ours));
        ratios.push_back(ourTimes.back() / peerTimes.back());
    }
    return {median(ourTimes), median(peerTimes), median(ratios)};
}

void printRatio(const char* what, const Pair& pair, const char* baselineName)
{
    std::printf("%-8s %9.3f s   %-34s %9.3f s   ratio %5.2f   peak %6.1f MB\n", what, pair.ours, baselineName, pair.peer,
                pair.ratio, peakMegabytes());
    printGoal("ratio", pair.ratio, "<=", 1.5);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
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
        const auto exportTable = [&] {
            unsigned cells = 0;
            CsvExchange().exportTable(csvPath, commodities.first(), TableReader::read(session.link(), commodities.first(), cells));
        };
        const auto save = [&] { RegisterSnapshot::save(snapshotPath, session, commodities, QStringLiteral("bench")); };
        const auto diff = [&] {
            const QVector<ImportFiles::File> files = ImportFiles::load({csvPath}, commodities, session.link().charsets());
            unsigned cells = 0;
            const DataRows registerRows = TableReader::read(session.link(), commodities.first(), cells);
            TableComparison(commodities.first(), files.first().rows, registerRows, ValueCheck(session.link().charsets())).differences();
        };
        const auto compare = [&] {
            SnapshotReader reader(snapshotPath);
            RegisterSnapshot::compare(reader, session, {});
        };
        const auto restore = [&] {
            SnapshotReader reader(snapshotPath);
            JournalSession journal(QStringLiteral("bench"), session.identity(), JournalFolder(dir.filePath(QStringLiteral("j"))));
            ProgressReporter progress;
            RegisterSnapshot::restore(reader, session, journal, {}, {}, false, dir.filePath(QStringLiteral("undo")),
                                      progress);
        };
        // What every timing finds done, as each run of a user's command does:
        // the emulated register's rows decoded (it decodes a large table on its
        // first use) and the files written once; each pair is warmed in turn.
        exportTable();
        save();
        std::printf("commodity base of %d rows; medians of %d pairs run in turn after one unmeasured run of each; "
                    "peak memory at start %.1f MB\n",
                    rows, runs, peakMegabytes());
        printRatio("save", runPairs(runs, save, exportTable), "read + export");
        printRatio("compare", runPairs(runs, compare, diff), "import check + read + comparison");
        printRatio("restore", runPairs(runs, restore, diff), "import --only-different (no change)");
    } catch (const FlowFailure& failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.message()));
        return 1;
    }
    std::printf("files: CSV %.1f MB, snapshot %.1f MB (compressed to %.0f%%)\n",
                QFileInfo(csvPath).size() / 1048576.0, QFileInfo(snapshotPath).size() / 1048576.0,
                100.0 * QFileInfo(snapshotPath).size() / QFileInfo(csvPath).size());
    return 0;
}
