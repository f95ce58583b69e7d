#pragma once

// What the benchmarks of the commodity base share: a register image scaled to
// many rows, the model description of table 1, the opened emulated register,
// a large journal, and best-of-N timing.

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <sys/resource.h>

class KKT_Logic;
class QTemporaryDir;

namespace BenchSupport {

// Drops log lines from now on, so that they do not weigh on the timings.
void silenceLog();

// `relative` looked for in the program's directory and up to five above it; empty when missing.
QString findInTree(const QString& relative);

// The folder of the model descriptions: beside the program, else in the source tree.
QString modelsDirectory();

// The image `source` with table 1 grown to `rows` rows: the goods repeated, numbered anew.
bool writeScaledImage(const QString& source, const QString& target, int rows);

// Writes the scaled image into `dir` and points the emulated register at it.
bool installScaledImage(const QTemporaryDir& dir, const QString& source, int rows);

// The tables of model 57 from `modelsDir`, and among them the commodity base (table 1).
bool loadCommodityBase(const QString& modelsDir, QList<TableInfo>& tables, TableInfo& commodities);

// The register of a benchmark run as `bench [rows] [image to scale]`: the image
// (the default one when not given) scaled to the rows asked for (else
// `defaultRows`) and installed in `dir`, with the model's tables and among them
// the commodity base.
struct ScaledRegister
{
    int rows = 0;
    QList<TableInfo> tables;
    TableInfo commodities;
};
bool installScaledRegister(int argc, char** argv, int defaultRows, const QTemporaryDir& dir, ScaledRegister& scaled);

// Connects to the driver and opens the register.
bool openRegister(KKT_Logic& logic);

// The rows the read engine would give for a table of `count` rows: a value per field and the row label.
DataRows commodityRows(const TableInfo& table, int count);

// A register's journal in `folder` of writes of one table each, `cellsPerRecord`
// names of goods a record, until it holds `bytes`.
bool writeJournal(const QString& folder, const QString& serial, qint64 bytes, int cellsPerRecord);

struct Timing
{
    double seconds = 1e9;
    unsigned cells = 0;
};

// The fastest of `runs` calls of `once`, which returns the cells it handled.
template <typename F>
Timing best(int runs, F&& once)
{
    Timing t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const unsigned cells = once();
        const double s = double(clock.nsecsElapsed()) / 1e9;
        if (s < t.seconds)
            t = {s, cells};
    }
    return t;
}

// The fastest of `runs` calls of `once`, in seconds.
template <typename F>
double bestSeconds(int runs, F&& once)
{
    return best(runs, [&] {
               once();
               return 0u;
           })
        .seconds;
}

// CPU seconds (user + system) so far of this process (RUSAGE_SELF) or of its
// finished children (RUSAGE_CHILDREN).
double cpuSeconds(int who = RUSAGE_SELF);

// The least CPU time of `runs` calls of `once`, which returns whether it
// succeeded; -1 when one did not.
template <typename F>
double bestCpu(int runs, F&& once, int who = RUSAGE_SELF)
{
    double least = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double before = cpuSeconds(who);
        if (!once())
            return -1;
        least = qMin(least, cpuSeconds(who) - before);
    }
    return least;
}

} // namespace BenchSupport
