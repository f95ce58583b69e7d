// The commands that report with --json, each run as a whole process on the
// emulated register with a commodity base of 65 536 goods (or the rows given)
// and a file in which every price differs from the register: import, import
// --dry-run, diff, snapshot diff against the register and between two
// snapshots, snapshot restore. Each is run with --json against the same
// command without it (the peer), in turn, after one unmeasured pair (the
// programs and the files in the page cache, as a user's second run finds
// them). Prints the CPU time (user + system, the median of the pairs' ratios)
// and the peak resident memory of each; a report written as the cells are
// walked costs little beside the command's own work (goal: at most 1.15 times
// the peer's CPU and 1.10 times its memory). The dry run is shown but not
// held to the goal: with --json it reads the register's values for "before",
// without it only makes sure the rows are there.
//
// The register, the file and the snapshots are made by a process of its own,
// so that this one stays small: a child's peak memory counts its parent's
// pages until it starts the command.
//
// Usage: bench_json_report [rows] [--pairs N] [--cli path of the vescor-cli to measure]

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
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>

using namespace BenchSupport;

extern char** environ;

namespace {

const int PriceField = 2;

struct Paths
{
    explicit Paths(const QString& dir)
        : image(dir + QStringLiteral("/register-image.json"))
        , pristine(dir + QStringLiteral("/pristine.json"))
        , goods(dir + QStringLiteral("/goods.csv"))
        , before(dir + QStringLiteral("/before.zip"))
        , after(dir + QStringLiteral("/after.zip"))
        , data(dir + QStringLiteral("/data"))
    {
    }
    QString image, pristine, goods, before, after, data;
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

struct Run
{
    bool finished = false; // started and ended by itself, whatever its status
    double cpu = 0;
    double peakMegabytes = 0;
};

Run runCommand(const QStringList& arguments)
{
    std::vector<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0
        && wait4(pid, &status, 0, &usage) == pid) {
        run.finished = WIFEXITED(status) && WEXITSTATUS(status) <= 1; // diff says "different" with 1
        run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        run.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// The register as the import found it, and an empty journal.
bool resetRegister(const Paths& paths)
{
    QFile::remove(paths.image);
    QDir(paths.data).removeRecursively();
    return QFile::copy(paths.pristine, paths.image);
}

// Run in a process of its own: the scaled register, the file of changed
// prices, a snapshot of the register before the import and one after it.
int prepare(const QString& dir, int rows, const QString& cli)
{
    const Paths paths(dir);
    const QString source = findInTree(QStringLiteral("driver/default-image.json"));
    if (!writeScaledImage(source, paths.image, rows) || !QFile::copy(paths.image, paths.pristine)
        || !writeChangedPrices(paths.goods)) {
        std::fprintf(stderr, "the register or the file to import could not be made\n");
        return 1;
    }
    const QList<QStringList> steps = {{cli, QStringLiteral("snapshot"), QStringLiteral("save"), paths.before},
                                      {cli, QStringLiteral("import"), paths.goods},
                                      {cli, QStringLiteral("snapshot"), QStringLiteral("save"), paths.after}};
    for (const QStringList& step : steps) {
        if (!runCommand(step).finished) {
            std::fprintf(stderr, "%s failed\n", qPrintable(step.join(QLatin1Char(' '))));
            return 1;
        }
    }
    return resetRegister(paths) ? 0 : 1;
}

struct Measured
{
    bool ok = false;
    double ours = 0, peer = 0, ratio = 0;
    double oursPeak = 0, peerPeak = 0, peakRatio = 0;
};

Measured measurePairs(int pairs, const Paths& paths, const QStringList& peer)
{
    QStringList ours = peer;
    ours.insert(2, QStringLiteral("--json"));
    std::vector<double> ourCpu, peerCpu, ratios, ourPeak, peerPeak, peakRatios;
    Measured m;
    for (int i = 0; i <= pairs; ++i) {
        if (!resetRegister(paths))
            return m;
        const Run a = runCommand(ours);
        if (!resetRegister(paths))
            return m;
        const Run b = runCommand(peer);
        if (!a.finished || !b.finished) {
            std::printf("%s failed\n", qPrintable((a.finished ? peer : ours).join(QLatin1Char(' '))));
            return m;
        }
        if (i == 0)
            continue; // warm-up
        ourCpu.push_back(a.cpu);
        peerCpu.push_back(b.cpu);
        ratios.push_back(a.cpu / std::max(b.cpu, 1e-6));
        ourPeak.push_back(a.peakMegabytes);
        peerPeak.push_back(b.peakMegabytes);
        peakRatios.push_back(a.peakMegabytes / std::max(b.peakMegabytes, 1e-6));
    }
    m.ok = true;
    m.ours = median(ourCpu);
    m.peer = median(peerCpu);
    m.ratio = median(ratios);
    m.oursPeak = median(ourPeak);
    m.peerPeak = median(peerPeak);
    m.peakRatio = median(peakRatios);
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();

    int rows = 65536;
    int pairs = 3;
    QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--prepare"))
        return prepare(arguments.value(1), arguments.value(2).toInt(), arguments.value(3));
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--pairs") && i + 1 < arguments.size())
            pairs = qMax(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == QLatin1String("--cli") && i + 1 < arguments.size())
            cli = arguments.at(++i);
        else
            rows = qMax(1, arguments.at(i).toInt());
    }

    QTemporaryDir dir;
    const Paths paths(dir.path());
    qputenv("TILLO10_EMULATOR", QFile::encodeName(paths.image));
    qunsetenv("TILLO10_TRACE");
    qputenv("XDG_DATA_HOME", QFile::encodeName(paths.data));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    const Run made = runCommand({QCoreApplication::applicationFilePath(), QStringLiteral("--prepare"), dir.path(),
                                 QString::number(rows), cli});
    if (!made.finished)
        return 1;

    struct Command
    {
        const char* name;
        QStringList arguments;
        bool inGoal;
    };
    // A dry run with --json reads the register's values for "before"; the
    // plain one only checks that the rows are there: it is shown, not held to the goal.
    const QList<Command> commands = {
        {"import FILE", {cli, QStringLiteral("import"), paths.goods}, true},
        {"import --dry-run FILE *", {cli, QStringLiteral("import"), QStringLiteral("--dry-run"), paths.goods}, false},
        {"diff FILE", {cli, QStringLiteral("diff"), paths.goods}, true},
        {"snapshot diff AFTER", {cli, QStringLiteral("snapshot"), QStringLiteral("diff"), paths.after}, true},
        {"snapshot diff BEFORE AFTER",
         {cli, QStringLiteral("snapshot"), QStringLiteral("diff"), paths.before, paths.after}, true},
        {"snapshot restore AFTER", {cli, QStringLiteral("snapshot"), QStringLiteral("restore"), paths.after}, true},
    };
    std::printf("--json against the same command without it, whole processes of %s on a base of %d goods with "
                "every price changed; %d pairs run in turn after one unmeasured pair, medians\n",
                qPrintable(cli), rows, pairs);
    std::printf("%-28s %9s %9s %7s %10s %10s %7s\n", "command", "json s", "plain s", "cpu", "json MB", "plain MB",
                "memory");
    double worstCpu = 0, worstMemory = 0;
    for (const Command& command : commands) {
        const Measured m = measurePairs(pairs, paths, command.arguments);
        if (!m.ok)
            return 1;
        if (command.inGoal) {
            worstCpu = std::max(worstCpu, m.ratio);
            worstMemory = std::max(worstMemory, m.peakRatio);
        }
        std::printf("%-28s %9.2f %9.2f %7.2f %10.1f %10.1f %7.2f\n", command.name, m.ours, m.peer, m.ratio,
                    m.oursPeak, m.peerPeak, m.peakRatio);
    }
    std::printf("* not in the goal: with --json the dry run reads the register's values, without it only its rows\n");
    printGoal("CPU with --json / without, the largest ratio", worstCpu, "<=", 1.15);
    printGoal("peak memory with --json / without, the largest ratio", worstMemory, "<=", 1.10);
    return 0;
}
