// Whole `vescor-cli` processes against peers run in turn with them, on the
// emulated register with the commodity base grown to 2 500, 16 000 and
// 65 536 rows: a dry run of an import of the whole base against Python's csv
// module reading and checking the same file (the ratio is to stay at 1.0 or
// below, and within 10 % of itself from the smallest base to the largest);
// the same on the default register; an export of all tables against Python's
// csv module reading and writing the same files; identify on the large base
// against identify on the default register. The Python peer is the real
// interpreter (BenchSupport::python()), named in the first line.
//
// Each figure is the CPU time (user + system) of the whole process, the median
// of the pairs after one unmeasured pair (the files and the programs then sit
// in the page cache, as a user's second run finds them); the ratio (ours /
// the peer) is the median of the ratios of the pairs. Eleven pairs by
// default: the runs of the smallest base last some 15 ms, and a loaded
// machine moves a median of five by more than the band it is held to.
//
// Usage: bench_shell [pairs]
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

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

// Every file of a folder read with csv.reader and written with csv.writer as
// our files are written (title line bare, values quoted).
const char* const PythonCopy = R"(
import csv, os, sys
os.makedirs(sys.argv[2], exist_ok=True)
for name in sorted(os.listdir(sys.argv[1])):
    with open(os.path.join(sys.argv[1], name), encoding='utf-8', newline='') as f, \
         open(os.path.join(sys.argv[2], name), 'w', encoding='utf-8', newline='') as out:
        out.write(f.readline())
        csv.writer(out, delimiter=';', quoting=csv.QUOTE_ALL, lineterminator='\n').writerows(
            csv.reader(f, delimiter=';'))
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

QString firstFile(const QString& folder)
{
    return QDir(folder).filePath(QDir(folder).entryList(QDir::Files).value(0));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const QList<int> sizes{2500, 16000, 65536};
    const QString source = findInTree(QStringLiteral("driver/default-image.json"));
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    const QString interpreter = python();
    if (interpreter.isEmpty())
        return 1;
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    qunsetenv("TILLO10_TRACE");
    const auto use = [](const QString& image) { qputenv("TILLO10_EMULATOR", QFile::encodeName(image)); };
    const auto image = [&](int rows) { return dir.filePath(QStringLiteral("image-%1.json").arg(rows)); };
    const auto baseFolder = [&](int rows) { return dir.filePath(QStringLiteral("base-%1").arg(rows)); };

    // The images and the files: the base of each register, all tables of the largest.
    const QString small = dir.filePath(QStringLiteral("default.json"));
    bool ready = !source.isEmpty() && QFile::copy(source, small);
    for (int rows : sizes) {
        ready = ready && writeScaledImage(source, image(rows), rows);
        use(image(rows));
        ready = ready && runProcess({cli, QStringLiteral("export"), baseFolder(rows), QStringLiteral("--tables"),
                                     QStringLiteral("1")}).ok;
    }
    const int largest = sizes.last();
    const QString all = dir.filePath(QStringLiteral("all")), pythonAll = dir.filePath(QStringLiteral("python-all"));
    use(image(largest));
    ready = ready && runProcess({cli, QStringLiteral("export"), all}).ok;
    use(small);
    ready = ready && runProcess({cli, QStringLiteral("export"), baseFolder(300), QStringLiteral("--tables"),
                                 QStringLiteral("1")}).ok;
    // The peer writes what we write: the same work.
    ready = ready && runProcess({interpreter, QStringLiteral("-c"), QString::fromLatin1(PythonCopy), all, pythonAll}).ok;
    if (!ready || !sameFiles(all, pythonAll)) {
        std::fprintf(stderr, "the files to compare with could not be made\n");
        return 1;
    }

    std::printf("whole processes, CPU seconds: ours, the peer's (median of %d pairs after one unmeasured pair)\n",
                pairs);
    const QString dash = QStringLiteral("-c");
    std::vector<double> dryRunRatios;
    for (int rows : sizes) {
        const QString file = firstFile(baseFolder(rows));
        const QByteArray what = QStringLiteral("import --dry-run, %1 rows / python csv read+check").arg(rows).toUtf8();
        const PairedRuns runs = runPairs(pairs, [&](bool) { use(image(rows)); },
                                         {cli, QStringLiteral("import"), QStringLiteral("--dry-run"), file},
                                         {interpreter, dash, QString::fromLatin1(PythonCheck), file});
        if (!runs.ok)
            return 1;
        printPairs(what.constData(), runs);
        printGoal("ratio", runs.ratio, "<=", 1.0);
        dryRunRatios.push_back(runs.ratio);
    }
    const auto [low, high] = std::minmax_element(dryRunRatios.begin(), dryRunRatios.end());
    std::printf("import --dry-run ratio from %d to %d rows: %.2f .. %.2f\n", sizes.first(), largest, *low, *high);
    printGoal("largest / smallest ratio", *high / *low, "<=", 1.1);

    const QString smallFile = firstFile(baseFolder(300));
    const PairedRuns onDefault = runPairs(pairs, [&](bool) { use(small); },
                                          {cli, QStringLiteral("import"), QStringLiteral("--dry-run"), smallFile},
                                          {interpreter, dash, QString::fromLatin1(PythonCheck), smallFile});
    if (!onDefault.ok)
        return 1;
    printPairs("same on the default register (300 rows)", onDefault);
    printGoal("ratio", onDefault.ratio, "<=", 1.0);

    const PairedRuns exported =
        runPairs(pairs, [&](bool) { use(image(largest)); }, {cli, QStringLiteral("export"), dir.filePath("again")},
                 {interpreter, dash, QString::fromLatin1(PythonCopy), all, dir.filePath("python-again")});
    if (!exported.ok)
        return 1;
    printPairs(QStringLiteral("export of all tables, %1 rows / python csv read+write").arg(largest).toUtf8().constData(),
               exported);
    printGoal("ratio", exported.ratio, "<=", 1.0);

    const PairedRuns identified = runPairs(pairs, [&](bool ours) { use(ours ? image(largest) : small); },
                                           {cli, QStringLiteral("identify")}, {cli, QStringLiteral("identify")});
    if (!identified.ok)
        return 1;
    printPairs(QStringLiteral("identify, %1 rows / the default register").arg(largest).toUtf8().constData(), identified);
    printGoal("ratio", identified.ratio, "<=", 1.5);
    return 0;
}
