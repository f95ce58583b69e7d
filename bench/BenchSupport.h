#pragma once

// What the benchmarks of the commodity base share: a register image scaled to
// many rows, the model description of table 1, the opened emulated register,
// a large journal, best-of-N timing, the Python interpreter that peers run,
// whole processes timed in pairs, and the goal line every benchmark prints.

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

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

// The Python interpreter that every Python peer runs: $VESCOR_BENCH_PYTHON,
// else /usr/bin/python3, else the first python3 on PATH, resolved once
// through its own sys.executable, so that a wrapper script in front of it
// (a version manager's shim costs about 0.1 s a start) is never timed.
// Printed on first use with its version; empty when none runs.
QString python();

// This process's resident memory as the kernel tells it, in MB: now (VmRSS)
// and its peak (VmHWM) since the last resetPeakMemory().
struct Memory
{
    double resident = 0;
    double peak = 0;
};
Memory memoryNow();
// The peak starts anew from what is resident now.
void resetPeakMemory();
// The allocator hands its free pages back (malloc_trim), so that what stays
// resident afterwards is what the program keeps.
void trimHeap();

// The goal line that follows a figure: what it is held against and whether
// this run met it. A benchmark that ran exits 0 either way: a loaded machine
// can miss a goal that an idle one meets.
void printGoal(const char* figure, double value, const char* comparison, double goal);

// A whole process: its CPU time (user + system) and wall time, with standard
// output and error thrown away (or kept in `output`). Its peak memory is not
// taken: the child of a spawn counts its parent's pages until it runs.
struct ProcessRun
{
    bool ok = false; // started and exited 0
    double cpu = 0;
    double wall = 0;
};
ProcessRun runProcess(const QStringList& arguments, const QString& output = QString());

// Two whole processes run in turn, A B A B ..., after one unmeasured pair (what
// a user's second run finds warm: the files read and the program in the page
// cache); each figure the median of its runs, the ratio the median of the
// ratios of the pairs, so that a machine whose speed drifts between pairs
// still compares fairly.
struct PairedRuns
{
    bool ok = false;
    double ours = 0, peer = 0;                    // CPU seconds, medians
    double ratio = 0, lowest = 0, highest = 0;    // CPU, ours / peer
    double wallRatio = 0;                         // the same of wall time
};
// `setUp` runs before each process (it points the driver at an image).
PairedRuns runPairs(int pairs, const std::function<void(bool ours)>& setUp, const QStringList& ours,
                    const QStringList& peer);
// "what  ours s  peer s  ratio r (low..high)  wall r".
void printPairs(const char* what, const PairedRuns& runs);

double median(std::vector<double> values);

} // namespace BenchSupport
