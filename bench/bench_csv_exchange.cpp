// Exports the commodity base of the emulated register, scaled to 10 000 rows,
// into a CSV file through CsvExchange and imports it back, and reports rows per
// second for each. The baselines, measured in the same run, are the bare file
// work on the same bytes: writing them with one write through QSaveFile (which
// the export writes through as well: aside, synced, renamed), and reading them
// with readAll split into lines and values. The ratios are the cost of the
// exchange's own work (texts, money amounts, quoting, checks of every value).
// The peer is Python's standard csv module (the real interpreter, see
// BenchSupport::python()) on the same rows and file: csv.writer writing them,
// csv.reader reading them, each run paired with one of ours. Goals: the
// export at most 1.0 times csv.writer, the import at most 0.7 times csv.reader.
// The pairs count CPU time on both sides (the process clock: Python's
// time.process_time(), ours the same clock), not wall time: on a shared
// machine a run that waits for a core would count the wait. Each side's
// timing includes freeing its own result (Python its list as the call
// returns, ours its rows), as a user's command frees the rows it read; freeing
// the rows of the run before instead, cold after Python's run, cost more than
// the import itself. The best of the pairs is printed beside their median,
// since the table above gives the best of its runs.
//
// Usage: bench_csv_exchange [rows] [path of the register image to scale]
// The image defaults to driver/default-image.json of the source tree, found
// upwards from the program's directory. Log lines are dropped while measuring.

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "model/TableInfo.h"
#include "table/TableModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

using namespace BenchSupport;

namespace {

void printLine(const char* name, int rows, double seconds, double baseline)
{
    std::printf("%-26s %8d %10.1f %12.0f %8.2f\n", name, rows, seconds * 1e3, rows / seconds, seconds / baseline);
}

// Python's csv module on the same file, in a process of its own that waits
// for a word on its standard input and answers with the seconds the work
// took: "write" writes the rows (title line bare, values quoted, as our files
// are), "read" reads the file back with csv.reader. So each of our timings
// is paired with one of Python's taken right after it.
class PythonPeer
{
public:
    PythonPeer(const QString& file, const QString& scratch)
    {
        static const char* const script = R"(
import csv, sys, time
path, scratch = sys.argv[1], sys.argv[2]
with open(path, encoding='utf-8', newline='') as f:
    title = f.readline().rstrip('\n')
    rows = list(csv.reader(f, delimiter=';'))
def write():
    with open(scratch, 'w', encoding='utf-8', newline='') as f:
        f.write(title + '\n')
        csv.writer(f, delimiter=';', quoting=csv.QUOTE_ALL, lineterminator='\n').writerows(rows)
def read():
    with open(path, encoding='utf-8', newline='') as f:
        f.readline()
        return list(csv.reader(f, delimiter=';'))
work = {'write': write, 'read': read}
for line in sys.stdin:
    start = time.process_time()
    work[line.strip()]()
    print(time.process_time() - start, flush=True)
)";
        const QString interpreter = BenchSupport::python();
        if (interpreter.isEmpty())
            return;
        m_process.start(interpreter, {QStringLiteral("-c"), QString::fromLatin1(script), file, scratch});
        m_process.waitForStarted(-1);
    }
    ~PythonPeer()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(-1);
    }

    // Seconds of one run of `work`, negative when Python does not answer.
    double time(const char* work)
    {
        if (m_process.state() != QProcess::Running)
            return -1;
        m_process.write(QByteArray(work) + '\n');
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(-1))
                return -1;
        }
        bool ok = false;
        const double seconds = m_process.readLine().trimmed().toDouble(&ok);
        return ok ? seconds : -1;
    }

private:
    QProcess m_process;
};

struct Paired
{
    double ours = 0, peer = 0, ratio = 0;
    double bestOurs = 0, bestPeer = 0;
};

// CPU seconds of this process so far, on the clock Python's process_time() reads.
double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// `pairs` pairs of one run of ours and one of Python's, after one unmeasured
// pair (the file in the page cache, the allocators warm on both sides): the
// medians of each and of the pairs' ratios, and the best of each.
template <typename Ours>
Paired pairUp(int pairs, Ours&& ours, PythonPeer& peer, const char* work)
{
    std::vector<double> a, b, ratios;
    for (int i = 0; i <= pairs; ++i) {
        const double start = processSeconds();
        ours();
        const double mine = processSeconds() - start;
        const double theirs = peer.time(work);
        if (theirs <= 0)
            return {};
        if (i == 0)
            continue;
        a.push_back(mine);
        b.push_back(theirs);
        ratios.push_back(mine / theirs);
    }
    return {median(a), median(b), median(ratios), *std::min_element(a.begin(), a.end()),
            *std::min_element(b.begin(), b.end())};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const QString source = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : findInTree(QStringLiteral("driver/default-image.json"));
    const QString modelsDir = modelsDirectory();

    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDir, tables, commodities))
        return 1;
    if (commodities.fields.isEmpty() || rows <= 0) {
        std::fprintf(stderr, "no commodity base in the model description\n");
        return 1;
    }

    QTemporaryDir dir;
    if (!installScaledImage(dir, source, rows))
        return 1;

    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;
    QString error;
    DataRows read;
    unsigned cells = 0;
    const int readResult = logic.readTableData(commodities, read, cells, error);
    logic.close();
    logic.destroy();
    if (readResult != 0 || read.size() != rows) {
        std::fprintf(stderr, "read: %d rows of %d: %s\n", read.size(), rows, qPrintable(error));
        return 1;
    }
    const TableModel model(commodities, read);

    const QString csv = dir.filePath(QStringLiteral("goods.csv"));
    const QString bare = dir.filePath(QStringLiteral("bare.csv"));
    CsvExchange().exportTable(csv, model.tableInfo(), model.tableData());
    QFile exportedFile(csv);
    if (!exportedFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "export wrote no file\n");
        return 1;
    }
    const QByteArray bytes = exportedFile.readAll();
    exportedFile.close();

    const int runs = 5;
    const double bareWrite = bestSeconds(runs, [&] {
        QSaveFile file(bare);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            file.commit();
    });
    int bareValues = 0;
    const double bareRead = bestSeconds(runs, [&] {
        QFile file(bare);
        if (!file.open(QIODevice::ReadOnly))
            return;
        bareValues = 0;
        for (const QByteArray& line : file.readAll().split('\n'))
            bareValues += line.split(';').size();
    });
    const double exportSeconds = bestSeconds(runs, [&] { CsvExchange().exportTable(csv, model.tableInfo(), model.tableData()); });
    TableInfo matched;
    // One import and the end of its rows, as a user's command frees the rows
    // it read (and Python its list): not the rows of the run before, which
    // another program's run in between has pushed out of the caches.
    const auto importOnce = [&] { const DataRows rows = CsvExchange(KKT_Logic::charsets()).importTable(csv, tables, matched); };
    const double importSeconds = bestSeconds(runs, importOnce);
    const DataRows imported = CsvExchange(KKT_Logic::charsets()).importTable(csv, tables, matched);

    // The import gives back the values that were read (its marks aside).
    int differing = 0;
    for (int r = 0; r < read.size(); ++r) {
        for (int c = 0; c < read[r].size(); ++c) {
            if (r >= imported.size() || c >= imported[r].size() || imported[r][c].value != read[r][c].value)
                ++differing;
        }
    }

    std::printf("commodity base of %d rows, %d fields; file of %d bytes, %d values; best of %d runs\n", rows,
                commodities.fields.size(), bytes.size(), bareValues, runs);
    std::printf("%-26s %8s %10s %12s %8s\n", "", "rows", "ms", "rows/s", "ratio");
    printLine("bare saved write", rows, bareWrite, bareWrite);
    printLine("exportTable", rows, exportSeconds, bareWrite);
    printLine("bare read and split", rows, bareRead, bareRead);
    printLine("importTable", imported.size(), importSeconds, bareRead);
    PythonPeer peer(csv, dir.filePath(QStringLiteral("python.csv")));
    const Paired writes = pairUp(runs, [&] { CsvExchange().exportTable(csv, model.tableInfo(), model.tableData()); },
                                 peer, "write");
    const Paired reads = pairUp(runs, importOnce, peer, "read");
    if (writes.peer > 0 && reads.peer > 0) {
        std::printf("against Python's csv module, CPU time, %d pairs run in turn after one unmeasured pair; medians:\n",
                    runs);
        printLine("python csv.writer", rows, writes.peer, writes.peer);
        printLine("exportTable / python", rows, writes.ours, writes.ours / writes.ratio);
        printGoal("exportTable / csv.writer, median of the pairs", writes.ratio, "<=", 1.0);
        printLine("python csv.reader", rows, reads.peer, reads.peer);
        printLine("importTable / python", imported.size(), reads.ours, reads.ours / reads.ratio);
        std::printf("best of the pairs, ms: exportTable %.1f, csv.writer %.1f, importTable %.1f, csv.reader %.1f\n",
                    writes.bestOurs * 1e3, writes.bestPeer * 1e3, reads.bestOurs * 1e3, reads.bestPeer * 1e3);
        printGoal("importTable / csv.reader, median of the pairs", reads.ratio, "<=", 0.7);
    } else {
        std::printf("Python with its csv module did not run: no comparison\n");
    }
    if (differing) {
        std::printf("the import differs from the read in %d cells\n", differing);
        return 1;
    }
    return 0;
}
