// Exports the commodity base of the emulated register, scaled to 10 000 rows,
// into a CSV file through CsvExchange and imports it back, and reports rows per
// second for each. The baselines, measured in the same run, are the bare file
// work on the same bytes: writing them with one write through QSaveFile (which
// the export writes through as well: aside, synced, renamed), and reading them
// with readAll split into lines and values. The ratios are the cost of the
// exchange's own work (texts, money amounts, quoting, checks of every value).
// A second baseline is Python's standard csv module on the same rows and file,
// run in the same process tree: csv.writer writing them, csv.reader reading
// them; its ratios (ours / Python's) are the ones to keep at 1.0 or below.
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

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

void printLine(const char* name, int rows, double seconds, double baseline)
{
    std::printf("%-26s %8d %10.1f %12.0f %8.2f\n", name, rows, seconds * 1e3, rows / seconds, seconds / baseline);
}

// Python's csv module on the file: best-of-runs seconds of writing the same
// rows (title line bare, values quoted, as our files are) and of reading the
// file back. Negative when python3 is not there.
struct PythonTimes
{
    double write = -1;
    double read = -1;
};

PythonTimes pythonCsv(const QString& file, const QString& scratch, int runs)
{
    static const char* const script = R"(
import csv, sys, time
path, scratch, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
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
def best(work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)
print(best(write), best(read))
)";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script), file, scratch,
                                             QString::number(runs)});
    PythonTimes times;
    if (!python.waitForFinished(-1) || python.exitCode() != 0)
        return times;
    const QList<QByteArray> parts = python.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() == 2) {
        times.write = parts.at(0).toDouble();
        times.read = parts.at(1).toDouble();
    }
    return times;
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
    DataRows imported;
    TableInfo matched;
    const double importSeconds = bestSeconds(runs, [&] { imported = CsvExchange(KKT_Logic::charsets()).importTable(csv, tables, matched); });

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
    const PythonTimes python = pythonCsv(csv, dir.filePath(QStringLiteral("python.csv")), runs);
    if (python.write > 0 && python.read > 0) {
        printLine("python csv.writer", rows, python.write, python.write);
        printLine("exportTable / python", rows, exportSeconds, python.write);
        printLine("python csv.reader", rows, python.read, python.read);
        printLine("importTable / python", imported.size(), importSeconds, python.read);
    } else {
        std::printf("python3 with its csv module did not run: no comparison\n");
    }
    if (differing) {
        std::printf("the import differs from the read in %d cells\n", differing);
        return 1;
    }
    return 0;
}
