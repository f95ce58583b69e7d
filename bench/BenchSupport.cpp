#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "journal/JournalFolder.h"
#include "journal/JournalRecord.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace BenchSupport {

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void silenceLog()
{
    qInstallMessageHandler(dropMessages);
}

QString findInTree(const QString& relative)
{
    QDir dir(QCoreApplication::applicationDirPath());
    for (int i = 0; i < 6; ++i) {
        const QString candidate = dir.filePath(relative);
        if (QFile::exists(candidate))
            return candidate;
        if (!dir.cdUp())
            break;
    }
    return QString();
}

QString modelsDirectory()
{
    const QString besideProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/models");
    if (QFile::exists(besideProgram + QStringLiteral("/57.json")))
        return besideProgram;
    return QFileInfo(findInTree(QStringLiteral("models/57.json"))).path();
}

bool writeScaledImage(const QString& source, const QString& target, int rows)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    QJsonArray tables = root.value(QStringLiteral("tables")).toArray();
    for (int t = 0; t < tables.size(); ++t) {
        QJsonObject table = tables.at(t).toObject();
        if (table.value(QStringLiteral("id")).toInt() != 1)
            continue;
        const QJsonArray goods = table.value(QStringLiteral("rows")).toArray();
        if (goods.isEmpty())
            return false;
        QJsonArray scaled;
        for (int r = 0; r < rows; ++r) {
            // Codes, names, barcodes and stock differ from row to row as in a
            // real base; prices, taxes and departments repeat.
            QJsonArray row = goods.at(r % goods.size()).toArray();
            row[0] = QJsonObject{{QStringLiteral("bcd"), r + 1}};
            const QString name = row[1].toObject().value(QStringLiteral("text")).toString();
            row[1] = QJsonObject{{QStringLiteral("text"), QStringLiteral("%1 %2").arg(name, QString::number(r + 1))}};
            row[3] = QJsonObject{{QStringLiteral("bcd"), 4600000000000.0 + r}};
            row[6] = QJsonObject{{QStringLiteral("uint"), (r * 37) % 1000}};
            scaled.append(row);
        }
        table.insert(QStringLiteral("rows"), scaled);
        tables[t] = table;
    }
    root.insert(QStringLiteral("tables"), tables);
    root.insert(QStringLiteral("faults"), QJsonArray());
    QFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) > 0;
}

bool installScaledImage(const QTemporaryDir& dir, const QString& source, int rows)
{
    const QString image = dir.filePath(QStringLiteral("register-image.json"));
    if (source.isEmpty() || !writeScaledImage(source, image, rows)) {
        std::fprintf(stderr, "cannot build the register image from '%s'\n", qPrintable(source));
        return false;
    }
    qputenv("TILLO10_EMULATOR", image.toLocal8Bit());
    qunsetenv("TILLO10_TRACE");
    return true;
}

bool installScaledRegister(int argc, char** argv, int defaultRows, const QTemporaryDir& dir, ScaledRegister& scaled)
{
    scaled.rows = argc > 1 ? std::atoi(argv[1]) : defaultRows;
    const QString source = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : findInTree(QStringLiteral("driver/default-image.json"));
    return installScaledImage(dir, source, scaled.rows)
        && loadCommodityBase(modelsDirectory(), scaled.tables, scaled.commodities);
}

bool loadCommodityBase(const QString& modelsDir, QList<TableInfo>& tables, TableInfo& commodities)
{
    QString error;
    if (TableInfo::readTablesInfo(57, tables, error, modelsDir, [] { return 25; }) != 0) {
        std::fprintf(stderr, "model description: %s\n", qPrintable(error));
        return false;
    }
    for (const TableInfo& t : qAsConst(tables)) {
        if (t.id == 1)
            commodities = t;
    }
    return true;
}

bool openRegister(KKT_Logic& logic)
{
    logic.connect();
    if (logic.openAndIdentify(nullptr, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "open: %s\n", qPrintable(logic.lastErrorText()));
        return false;
    }
    return true;
}

DataRows commodityRows(const TableInfo& table, int count)
{
    DataRows rows;
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        DataRow row;
        for (const FieldInfo& field : table.fields) {
            switch (field.m_guiType) {
            case FieldInfo::List:
                row << Cell(field.m_items.empty() ? QByteArray("0") : QByteArray::number(field.m_items.begin()->first));
                break;
            case FieldInfo::String:
                row << Cell(QStringLiteral("Товар номер %1").arg(r + 1).toUtf8());
                break;
            case FieldInfo::Money:
                row << Cell(QByteArray::number(1990 + r % 5000));
                break;
            default:
                row << Cell(QByteArray::number(r + 1));
                break;
            }
        }
        row << Cell(QByteArray::number(r + 1));
        rows << row;
    }
    return rows;
}

bool writeJournal(const QString& folder, const QString& serial, qint64 bytes, int cellsPerRecord)
{
    if (!QDir().mkpath(folder))
        return false;
    QFile file(JournalFolder(folder).filePath(serial));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    JournalRecord record;
    record.program = QStringLiteral("vescor-cli");
    record.version = QStringLiteral("bench");
    record.modelCode = 57;
    record.modelName = QStringLiteral("Вескор-Эмулятор 57");
    record.serialNumber = serial;
    record.tableNumber = 1;
    record.tableName = QStringLiteral("База товаров");
    for (int i = 1; i <= cellsPerRecord; ++i)
        record.cells.append({unsigned(i), 3, QStringLiteral("Название"), "Товар " + QByteArray(120, 'a'),
                             "Товар " + QByteArray(120, 'b')});
    QByteArray chunk;
    qint64 written = 0;
    for (qint64 n = 0; written + chunk.size() < bytes; ++n) {
        record.time = QDateTime::fromSecsSinceEpoch(1700000000 + n, Qt::UTC);
        record.writeId = QStringLiteral("w%1").arg(n);
        chunk += record.toJsonLine() + '\n';
        if (chunk.size() > (4 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            written += chunk.size();
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString python()
{
    static const QString resolved = [] {
        QStringList candidates;
        const QString asked = qEnvironmentVariable("VESCOR_BENCH_PYTHON");
        if (!asked.isEmpty())
            candidates << asked;
        candidates << QStringLiteral("/usr/bin/python3") << QStringLiteral("python3");
        for (const QString& candidate : qAsConst(candidates)) {
            QProcess probe;
            probe.start(candidate, {QStringLiteral("-c"),
                                    QStringLiteral("import sys; print(sys.executable); print(sys.version.split()[0])")});
            if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
                continue;
            const QStringList lines = QString::fromLocal8Bit(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
            if (lines.size() < 2 || lines.at(0).isEmpty())
                continue;
            std::printf("Python peer: %s (Python %s; asked for %s)\n", qPrintable(lines.at(0)), qPrintable(lines.at(1)),
                        qPrintable(candidate));
            return lines.at(0);
        }
        std::printf("Python peer: no Python interpreter runs here\n");
        return QString();
    }();
    return resolved;
}

void printGoal(const char* figure, double value, const char* comparison, double goal)
{
    const bool met = std::strcmp(comparison, ">=") == 0 ? value >= goal : value <= goal;
    std::printf("  goal: %s %s %.2f, this run %.3f: %s\n", figure, comparison, goal, value,
                met ? "met" : "NOT met (a loaded machine can miss it; compare pair by pair)");
}

ProcessRun runProcess(const QStringList& arguments, const QString& output)
{
    std::vector<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray outputPath = output.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(output);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ProcessRun run;
    QElapsedTimer wall;
    wall.start();
    if (!argv.empty() && argv[0] && posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.wall = double(wall.nsecsElapsed()) / 1e9;
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

PairedRuns runPairs(int pairs, const std::function<void(bool ours)>& setUp, const QStringList& ours,
                    const QStringList& peer)
{
    std::vector<double> ourTimes, peerTimes, ratios, wallRatios;
    PairedRuns result;
    for (int i = 0; i <= pairs; ++i) {
        setUp(true);
        const ProcessRun a = runProcess(ours);
        setUp(false);
        const ProcessRun b = runProcess(peer);
        if (!a.ok || !b.ok) {
            std::printf("%s failed\n", !a.ok ? qPrintable(ours.join(' ')) : qPrintable(peer.join(' ')));
            return result;
        }
        if (i == 0)
            continue; // warm-up
        ourTimes.push_back(a.cpu);
        peerTimes.push_back(b.cpu);
        ratios.push_back(a.cpu / std::max(b.cpu, 1e-6));
        wallRatios.push_back(a.wall / std::max(b.wall, 1e-6));
    }
    result.ok = !ratios.empty();
    if (!result.ok)
        return result;
    result.ours = median(ourTimes);
    result.peer = median(peerTimes);
    result.ratio = median(ratios);
    result.lowest = *std::min_element(ratios.begin(), ratios.end());
    result.highest = *std::max_element(ratios.begin(), ratios.end());
    result.wallRatio = median(wallRatios);
    return result;
}

void printPairs(const char* what, const PairedRuns& runs)
{
    std::printf("%-56s %7.3f s %7.3f s  cpu ratio %5.2f (%.2f..%.2f)  wall ratio %5.2f\n", what, runs.ours, runs.peer,
                runs.ratio, runs.lowest, runs.highest, runs.wallRatio);
}

Memory memoryNow()
{
    Memory memory;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto kilobytes = [&](const char* name) {
            return line.mid(int(qstrlen(name))).trimmed().split(' ').value(0).toDouble() / 1024.0;
        };
        if (line.startsWith("VmRSS:"))
            memory.resident = kilobytes("VmRSS:");
        else if (line.startsWith("VmHWM:"))
            memory.peak = kilobytes("VmHWM:");
    }
    return memory;
}

void resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

void trimHeap()
{
    malloc_trim(0);
}

} // namespace BenchSupport
