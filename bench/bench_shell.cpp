// Whole `vescor-cli` processes against baselines run in turn with them, on the
// emulated register with the commodity base grown to 65 536 rows (argument 1
// changes it): identify there against identify on the default register; a dry
// run of an import of the whole base against Python's csv module reading and
// checking the same file (also on the default register); an export of all
// tables against Python's csv.writer writing the same bytes. Each figure is
// the CPU time (user + system) of the whole process; the ratio (ours / the
// baseline) is the median of the ratios of the pairs, so that a machine whose
// speed drifts between pairs still compares fairly.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace BenchSupport;

namespace {

struct Run
{
    bool ok = false;
    double cpu = 0;      // seconds, user + system
};

// Runs the program with its standard output and error thrown away.
Run runProcess(const QStringList& arguments)
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
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// `ours` and `baseline` in turn, `pairs` times after one of each unmeasured;
// `setUp` runs before each process (it points the driver at an image).
bool compare(const char* what, int pairs, const std::function<void(bool ours)>& setUp, const QStringList& ours,
             const QStringList& baseline)
{
    std::vector<double> ourTimes, baseTimes, ratios;
    for (int i = 0; i <= pairs; ++i) {
        setUp(true);
        const Run a = runProcess(ours);
        setUp(false);
        const Run b = runProcess(baseline);
        if (!a.ok || !b.ok) {
            std::printf("%s: %s failed\n", what, !a.ok ? qPrintable(ours.join(' ')) : qPrintable(baseline.join(' ')));
            return false;
        }
        if (i == 0)
            continue; // warm-up
        ourTimes.push_back(a.cpu);
        baseTimes.push_back(b.cpu);
        ratios.push_back(a.cpu / std::max(b.cpu, 1e-6));
    }
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("%-58s %7.3f s %7.3f s   ratio %5.2f (%.2f..%.2f)\n", what, median(ourTimes), median(baseTimes),
                median(ratios), *low, *high);
    return true;
}

const char* const PythonCheck = R"(
import csv, sys
with open(sys.argv[1], encoding='utf-8', newline='') as f:
    f.readline()
    reader = csv.reader(f, delimiter=';')
    names = next(reader)
    count = 0
    for row in reader:
        if len(row) != len(names) + 1 or not 1 <= int(row[0]) <= 65536:
            sys.exit('bad line %d' % (count + 3))
        for value in row[1:]:
            if len(value.encode('utf-8')) > 64:
                sys.exit('too long')
        count += 1
)";

const char* const PythonKeep = R"(
import csv, marshal, os, sys
files = []
for name in sorted(os.listdir(sys.argv[1])):
    with open(os.path.join(sys.argv[1], name), encoding='utf-8', newline='') as f:
        title = f.readline().rstrip('\n')
        files.append((name, title, list(csv.reader(f, delimiter=';'))))
with open(sys.argv[2], 'wb') as out:
    marshal.dump(files, out)
)";

const char* const PythonWrite = R"(
import csv, marshal, os, sys
with open(sys.argv[1], 'rb') as f:
    files = marshal.load(f)
os.makedirs(sys.argv[2], exist_ok=True)
for name, title, rows in files:
    with open(os.path.join(sys.argv[2], name), 'w', encoding='utf-8', newline='') as f:
        f.write(title + '\n')
        csv.writer(f, delimiter=';', quoting=csv.QUOTE_ALL, lineterminator='\n').writerows(rows)
)";

bool sameFiles(const QString& a, const QString& b)
{
    const QStringList names = QDir(a).entryList(QDir::Files, QDir::Name);
    if (names.isEmpty() || names != QDir(b).entryList(QDir::Files, QDir::Name))
        return false;
    for (const QString& name : names) {
        QFile x(QDir(a).filePath(name)), y(QDir(b).filePath(name));
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly) || x.readAll() != y.readAll())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const int pairs = argc > 2 ? std::atoi(argv[2]) : 5;
    const QString source = findInTree(QStringLiteral("driver/default-image.json"));
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.json"));
    const QString small = dir.filePath(QStringLiteral("default.json"));
    if (source.isEmpty() || !writeScaledImage(source, big, rows) || !QFile::copy(source, small)) {
        std::fprintf(stderr, "cannot build the register images\n");
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    qunsetenv("TILLO10_TRACE");
    const auto use = [](const QString& image) { qputenv("TILLO10_EMULATOR", QFile::encodeName(image)); };
    const auto onBig = [&](bool) { use(big); };

    // The files: the base of each register, all tables of the large one.
    const QString bigBase = dir.filePath(QStringLiteral("big-base")), smallBase = dir.filePath(QStringLiteral("base"));
    const QString all = dir.filePath(QStringLiteral("all")), kept = dir.filePath(QStringLiteral("all.marshal"));
    use(big);
    bool ready = runProcess({cli, QStringLiteral("export"), bigBase, QStringLiteral("--tables"), QStringLiteral("1")}).ok &&
                 runProcess({cli, QStringLiteral("export"), all}).ok &&
                 runProcess({QStringLiteral("python3"), QStringLiteral("-c"), QString::fromLatin1(PythonKeep), all, kept}).ok;
    use(small);
    ready = ready && runProcess({cli, QStringLiteral("export"), smallBase, QStringLiteral("--tables"), QStringLiteral("1")}).ok;
    const QString bigFile = QDir(bigBase).filePath(QDir(bigBase).entryList(QDir::Files).value(0));
    const QString smallFile = QDir(smallBase).filePath(QDir(smallBase).entryList(QDir::Files).value(0));
    const QString pythonAll = dir.filePath(QStringLiteral("python-all"));
    ready = ready && runProcess({QStringLiteral("python3"), QStringLiteral("-c"), QString::fromLatin1(PythonWrite), kept,
                                 pythonAll}).ok;
    if (!ready || !sameFiles(all, pythonAll)) {
        std::fprintf(stderr, "the files to compare with could not be made (python3 missing?)\n");
        return 1;
    }

    std::printf("whole processes, CPU seconds (median of %d pairs): ours, baseline; base of %d rows\n", pairs, rows);
    const QString python = QStringLiteral("python3"), dash = QStringLiteral("-c");
    const bool ok =
        compare("identify, large base / default register", pairs,
                [&](bool ours) { use(ours ? big : small); }, {cli, QStringLiteral("identify")},
                {cli, QStringLiteral("identify")}) &&
        compare("import --dry-run of the base / python csv read+check", pairs, onBig,
                {cli, QStringLiteral("import"), QStringLiteral("--dry-run"), bigFile},
                {python, dash, QString::fromLatin1(PythonCheck), bigFile}) &&
        compare("same on the default register (300 rows)", pairs, [&](bool) { use(small); },
                {cli, QStringLiteral("import"), QStringLiteral("--dry-run"), smallFile},
                {python, dash, QString::fromLatin1(PythonCheck), smallFile}) &&
        compare("export of all tables / python csv.writer", pairs, onBig,
                {cli, QStringLiteral("export"), dir.filePath(QStringLiteral("again"))},
                {python, dash, QString::fromLatin1(PythonWrite), kept, dir.filePath(QStringLiteral("python-again"))});
    return ok ? 0 : 1;
}
