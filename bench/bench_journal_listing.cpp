// Lists register journals with `vescor-cli journal --json` and shows that the
// listing holds one write at a time: a small journal (the baseline) and a large
// one (320 MB unless given) are listed by vescor-cli in a process of its own
// each; its peak resident memory and time are printed as ratios against the
// small journal's. Without streaming the large listing would need many times
// the journal's size.
//
// Usage: bench_journal_listing [MEGABYTES]

#include "BenchSupport.h"

#include "journal/JournalFolder.h"
#include "journal/JournalRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Serial = QStringLiteral("0057000001");

struct Listing
{
    double seconds = 0;
    double peakMegabytes = 0;
    qint64 outputBytes = 0;
    int status = -1;
};

// vescor-cli journal --json with the journals of `dataHome`, output to `output`.
Listing list(const QString& cli, const QString& dataHome, const QString& output)
{
    Listing result;
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_DATA_HOME", QFile::encodeName(dataHome).constData(), 1);
        const int out = ::open(QFile::encodeName(output).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        const QByteArray program = QFile::encodeName(cli);
        ::execl(program.constData(), program.constData(), "journal", "--json", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    result.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.outputBytes = QFileInfo(output).size();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchSupport::silenceLog();
    const qint64 largeMegabytes = argc > 1 ? std::atoll(argv[1]) : 320;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    if (!QFileInfo(cli).isExecutable()) {
        std::fprintf(stderr, "no vescor-cli beside the benchmark\n");
        return 1;
    }
    QTemporaryDir dir;
    struct Case
    {
        const char* name;
        qint64 bytes;
        Listing listing;
    };
    Case journals[] = {{"small", qint64(1) << 20, {}}, {"large", largeMegabytes << 20, {}}};
    std::printf("%-8s %11s %11s %9s %9s %9s %9s\n", "journal", "bytes", "output", "ms", "peak MB", "time", "memory");
    for (Case& journal : journals) {
        const QString home = dir.filePath(QString::fromLatin1(journal.name));
        const QString folder = home + QStringLiteral("/Orvane/Vescor/journal");
        if (!BenchSupport::writeJournal(folder, Serial, journal.bytes, 40)) {
            std::fprintf(stderr, "%s: the journal could not be written\n", journal.name);
            return 1;
        }
        journal.listing = list(cli, home, dir.filePath(QStringLiteral("out.json")));
        if (journal.listing.status != 0) {
            std::fprintf(stderr, "%s: vescor-cli ended with %d\n", journal.name, journal.listing.status);
            return 1;
        }
        const Listing& base = journals[0].listing;
        std::printf("%-8s %11lld %11lld %9.1f %9.1f %9.2f %9.2f\n", journal.name,
                    QFileInfo(JournalFolder(folder).filePath(Serial)).size(), journal.listing.outputBytes,
                    journal.listing.seconds * 1e3, journal.listing.peakMegabytes,
                    journal.listing.seconds / base.seconds, journal.listing.peakMegabytes / base.peakMegabytes);
        QDir(home).removeRecursively();
    }
    std::printf("time and peak memory: ratios to the listing of the small journal\n");
    // One write at a time: the large journal's listing holds about what the small one's does.
    BenchSupport::printGoal("peak memory, large / small journal", journals[1].listing.peakMegabytes / journals[0].listing.peakMegabytes,
              "<=", 2.0);
    return 0;
}
