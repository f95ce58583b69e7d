// Imports a commodity base file in which every price differs from the
// register with the command a user runs, `vescor-cli import FILE` (check the
// file, read what it writes over, write every writable cell of the file with
// one commit, journal them), as a whole process, for 2 500, 16 000 and 65 536 goods of
// the emulated register. Each run starts from the same register image and an
// empty journal, after one unmeasured run (the programs and the files in the
// page cache, as a user's second run finds them). Prints the CPU time per row
// of each size (median of the runs) and its ratio to the 2 500-row case: an
// import that grows linearly with the rows keeps the ratio near 1 (goal: at
// most 1.1).
//
// Usage: bench_import_scaling [sizes...] [--runs N] [--image path of the register image to scale]
// The image defaults to driver/default-image.json of the source tree, found
// upwards from the program's directory.

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "model/TableInfo.h"
#include "model/WholeNumber.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

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

// A file of every good of the register, each with its price one kopeck higher.
bool writeChangedPrices(const QString& path)
{
    KKT_Logic& logic = KKT_Logic::instance();
    logic.connect();
    bool written = false;
    try {
        RegisterSession session(logic);
        for (const TableInfo& goods : session.openWithDescription()) {
            if (goods.id != 1)
                continue;
            unsigned cells = 0;
            DataRows rows = TableReader::read(session.link(), goods, cells);
            for (DataRow& row : rows) {
                const std::optional<uint64_t> kopecks = WholeNumber::read(row[PriceField].value);
                row[PriceField].value = QByteArray::number(qulonglong(kopecks.value_or(0) + 1));
            }
            CsvExchange().exportTable(path, goods, rows);
            written = !rows.isEmpty();
        }
    } catch (const std::exception&) {
        written = false;
    }
    logic.destroy();
    return written;
}

// The cells that "Успешно записано N ячеек ..." names.
unsigned cellsIn(const QString& outputPath)
{
    QFile output(outputPath);
    if (!output.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("записан\\S* (\\d+)")).match(QString::fromUtf8(output.readAll()));
    return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

bool measure(const QString& source, int runs, Measured& measured)
{
    QTemporaryDir dir;
    if (!installScaledImage(dir, source, measured.rows))
        return false;
    const QString image = dir.filePath(QStringLiteral("register-image.json"));
    const QString pristine = dir.filePath(QStringLiteral("pristine.json"));
    const QString file = dir.filePath(QStringLiteral("goods.csv"));
    const QString output = dir.filePath(QStringLiteral("output.txt"));
    const QString journal = dir.filePath(QStringLiteral("data"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(journal));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    if (!writeChangedPrices(file) || !QFile::copy(image, pristine)) {
        std::fprintf(stderr, "%d rows: the file to import could not be made\n", measured.rows);
        return false;
    }
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    std::vector<double> cpu, wall;
    for (int i = 0; i <= runs; ++i) {
        QFile::remove(image);
        QDir(journal).removeRecursively();
        if (!QFile::copy(pristine, image))
            return false;
        const ProcessRun run = runProcess({cli, QStringLiteral("import"), file}, output);
        measured.cellsWritten = cellsIn(output);
        // Every writable cell of the file is sent, the changed prices among them.
        if (!run.ok || measured.cellsWritten < unsigned(measured.rows)) {
            std::fprintf(stderr, "%d rows: vescor-cli import wrote %u cells\n", measured.rows, measured.cellsWritten);
            return false;
        }
        if (i == 0)
            continue; // warm-up
        cpu.push_back(run.cpu);
        wall.push_back(run.wall);
    }
    measured.cpuSeconds = median(cpu);
    measured.wallSeconds = median(wall);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();

    QList<int> sizes;
    int runs = 3;
    QString source = findInTree(QStringLiteral("driver/default-image.json"));
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--image") && i + 1 < arguments.size())
            source = arguments.at(++i);
        else if (arguments.at(i) == QLatin1String("--runs") && i + 1 < arguments.size())
            runs = qMax(1, arguments.at(++i).toInt());
        else
            sizes << arguments.at(i).toInt();
    }
    if (sizes.isEmpty())
        sizes = {2500, 16000, 65536};

    QVector<Measured> results;
    for (int rows : sizes) {
        Measured measured;
        measured.rows = rows;
        if (!measure(source, runs, measured))
            return 1;
        results.append(measured);
    }

    std::printf("vescor-cli import of a commodity base with every price changed, whole process (median of %d runs "
                "after one unmeasured run)\n",
                runs);
    std::printf("%8s %8s %10s %10s %14s %8s\n", "rows", "cells", "cpu s", "wall s", "cpu us/row", "ratio");
    const double base = results.first().cpuSeconds / results.first().rows;
    double worst = 0;
    for (const Measured& m : results) {
        const double perRow = m.cpuSeconds / m.rows;
        worst = qMax(worst, perRow / base);
        std::printf("%8d %8u %10.2f %10.2f %14.1f %8.2f\n", m.rows, m.cellsWritten, m.cpuSeconds, m.wallSeconds,
                    perRow * 1e6, perRow / base);
    }
    printGoal("CPU per row against the smallest base, the largest ratio", worst, "<=", 1.1);
    return 0;
}
