// Imports commodity base files that hold more data lines than a register
// table can have, and shows that the import refuses them early and in
// bounded memory. Each import runs in a process of its own, so that its peak
// memory is its own: a file of 10 000 goods (the baseline, accepted), one of
// 100 000 lines (refused at the line after the 65 536 rows the table can
// have) and one of 1 000 000 lines (refused by its size before it is read).
// Times and peak memory are printed as ratios against the baseline file.
//
// Usage: bench_import_limit
// (bench_import_limit --import FILE is the child: it imports FILE and prints
// its seconds, its peak resident kilobytes and the outcome.)

#include "BenchSupport.h"

#include "common/Errors.h"
#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "exchange/ImportProblem.h"
#include "exchange/TableText.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

using namespace BenchSupport;

namespace {

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child: one import of the file, with every value checked.
int importOnce(const QString& path)
{
    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDirectory(), tables, commodities))
        return 1;
    QElapsedTimer clock;
    clock.start();
    QString outcome;
    try {
        TableInfo matched;
        QVector<ImportProblem> problems;
        const DataRows rows = CsvExchange(KKT_Logic::charsets()).importTable(path, tables, matched, problems);
        outcome = problems.isEmpty() ? QStringLiteral("принят: %1 строк").arg(rows.size()) : problems.first().message;
    } catch (const RunTimeError& e) {
        outcome = e.message();
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%.6f %ld\n%s\n", seconds, peakKilobytes(), outcome.toUtf8().constData());
    return 0;
}

// A commodity base file of `lines` goods, numbered from 1.
bool writeGoods(const QString& path, const TableInfo& commodities, int lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray head = "Таблица товаров 1.1\n";
    const QStringList names = TableText::fieldNames(commodities);
    for (int i = 0; i < names.size(); ++i)
        head += (i ? ";\"" : "\"") + names.at(i).toUtf8() + '"';
    head += '\n';
    file.write(head);
    QByteArray chunk;
    for (int row = 1; row <= lines; ++row) {
        const QByteArray n = QByteArray::number(row);
        chunk += '"' + n + "\";\"" + QByteArray::number(row % 999999 + 1) + "\";\"Товар " + n
            + "\";\"12.34\";\"4600000000000\";\"1\";\"2\";\"100\";\"0\"\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

struct Outcome
{
    double seconds = 0;
    double peakMegabytes = 0;
    QString text;
};

// Imports the file in a child process, the fastest of `runs`.
bool importInChild(const QString& path, int runs, Outcome& outcome)
{
    outcome.seconds = 1e9;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--import"), path});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return false;
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        const QList<QByteArray> figures = lines.value(0).split(' ');
        if (figures.size() != 2)
            return false;
        outcome.seconds = qMin(outcome.seconds, figures.at(0).toDouble());
        outcome.peakMegabytes = figures.at(1).toDouble() / 1024.0;
        outcome.text = QString::fromUtf8(lines.value(1));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    if (argc == 3 && std::strcmp(argv[1], "--import") == 0)
        return importOnce(QString::fromLocal8Bit(argv[2]));

    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDirectory(), tables, commodities) || commodities.fields.isEmpty())
        return 1;

    QTemporaryDir dir;
    struct File
    {
        const char* name;
        int lines;
        Outcome outcome;
    };
    File files[] = {{"goods", 10000, {}}, {"over the rows", 100000, {}}, {"over the bytes", 1000000, {}}};
    std::printf("%-16s %9s %11s %9s %9s %9s %9s\n", "file", "lines", "bytes", "ms", "peak MB", "time", "memory");
    for (File& file : files) {
        const QString path = dir.filePath(QString::number(file.lines) + QStringLiteral(".csv"));
        if (!writeGoods(path, commodities, file.lines) || !importInChild(path, 3, file.outcome)) {
            std::fprintf(stderr, "%s: could not be written or imported\n", file.name);
            return 1;
        }
        const Outcome& base = files[0].outcome;
        std::printf("%-16s %9d %11lld %9.1f %9.1f %9.2f %9.2f\n  %s\n", file.name, file.lines,
                    QFileInfo(path).size(), file.outcome.seconds * 1e3, file.outcome.peakMegabytes,
                    file.outcome.seconds / base.seconds, file.outcome.peakMegabytes / base.peakMegabytes,
                    file.outcome.text.toUtf8().constData());
        QFile::remove(path);
    }
    std::printf("time and memory: ratios to the import of the %d goods, each in a process of its own\n",
                files[0].lines);
    // The refusals cost no more than the accepted base: they stop early and hold no more.
    printGoal("the largest refusal's memory / the accepted base's",
              qMax(files[1].outcome.peakMegabytes, files[2].outcome.peakMegabytes) / files[0].outcome.peakMegabytes,
              "<=", 1.5);
    return 0;
}
