// Imports a commodity base file in which every price differs from the
// register, as `vescor-cli import` does it (check the file, read the table,
// compare, write the changed cells with one commit, journal them), for 2 500,
// 10 000 and 65 536 goods of the emulated register. Prints the CPU time per
// row of each size and its ratio to the 2 500-row case: an import that grows
// linearly with the rows keeps the ratio near 1.
//
// Usage: bench_import_scaling [sizes...] [--image path of the register image to scale]
// The image defaults to driver/default-image.json of the source tree, found
// upwards from the program's directory. Log lines are dropped while measuring;
// the journal goes to a temporary folder.

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "device/ProgressReporter.h"
#include "device/ValueCheck.h"
#include "exchange/CsvExchange.h"
#include "flows/ImportFiles.h"
#include "flows/RegisterSession.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"
#include "journal/JournalSession.h"
#include "runs/ImportRuns.h"
#include "model/TableInfo.h"
#include "model/WholeNumber.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace BenchSupport;

namespace {

const int PriceField = 2;

struct Measured
{
    int rows = 0;
    unsigned cellsWritten = 0;
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

// A file of every good of the register at `rows` rows, each with its price one kopeck higher.
bool writeChangedPrices(const RegisterLink& link, const TableInfo& goods, const QString& path)
{
    unsigned cells = 0;
    DataRows rows = TableReader::read(link, goods, cells);
    for (DataRow& row : rows) {
        const std::optional<uint64_t> kopecks = WholeNumber::read(row[PriceField].value);
        row[PriceField].value = QByteArray::number(qulonglong(kopecks.value_or(0) + 1));
    }
    CsvExchange().exportTable(path, goods, rows);
    return !rows.isEmpty();
}

// The import of the file at `path`, timed from the file check to the journal.
bool import(RegisterSession& session, const QString& path, Measured& measured)
{
    JournalSession journal(QStringLiteral("bench"), session.identity());
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();

    QVector<ImportFiles::File> files = ImportFiles::load({path}, session.tables(), session.link().charsets());
    ImportRuns runs(session.link(), files);
    runs.read(ImportFiles::RegisterRead::WholeTables);
    for (int k = 0; k < files.size(); ++k) {
        runs.run(k).unmarkHeld();
        ProgressReporter noProgress;
        runs.run(k).write(journal, TableWriteRun::Send::Differing, measured.cellsWritten, noProgress);
    }

    measured.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    measured.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    if (!journal.warnings().isEmpty())
        std::fprintf(stderr, "journal: %s\n", qPrintable(journal.warningText()));
    return measured.cellsWritten == unsigned(measured.rows);
}

bool measure(const QString& source, Measured& measured)
{
    QTemporaryDir dir;
    if (!installScaledImage(dir, source, measured.rows))
        return false;
    KKT_Logic& logic = KKT_Logic::instance();
    logic.connect();
    bool done = false;
    try {
        RegisterSession session(logic);
        const QList<TableInfo>& tables = session.openWithDescription();
        const TableInfo* goods = nullptr;
        for (const TableInfo& table : tables) {
            if (table.id == 1)
                goods = &table;
        }
        const QString path = dir.filePath(QStringLiteral("goods.csv"));
        done = goods && writeChangedPrices(session.link(), *goods, path) && import(session, path, measured);
    } catch (const std::exception&) {
        std::fprintf(stderr, "%d rows: the import failed\n", measured.rows);
    }
    logic.destroy();
    return done;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    silenceLog();

    QList<int> sizes;
    QString source = findInTree(QStringLiteral("driver/default-image.json"));
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--image") && i + 1 < arguments.size())
            source = arguments.at(++i);
        else
            sizes << arguments.at(i).toInt();
    }
    if (sizes.isEmpty())
        sizes = {2500, 10000, 65536};

    QVector<Measured> results;
    for (int rows : sizes) {
        Measured measured;
        measured.rows = rows;
        if (!measure(source, measured)) {
            std::fprintf(stderr, "%d rows: not every price was written (%u cells)\n", rows, measured.cellsWritten);
            return 1;
        }
        results.append(measured);
    }

    std::printf("import of a commodity base with every price changed (check, read, compare, write, journal)\n");
    std::printf("%8s %8s %10s %10s %14s %8s\n", "rows", "cells", "cpu s", "wall s", "cpu us/row", "ratio");
    const double base = results.first().cpuSeconds / results.first().rows;
    for (const Measured& m : results) {
        const double perRow = m.cpuSeconds / m.rows;
        std::printf("%8d %8u %10.2f %10.2f %14.1f %8.2f\n", m.rows, m.cellsWritten, m.cpuSeconds, m.wallSeconds,
                    perRow * 1e6, perRow / base);
    }
    return 0;
}
