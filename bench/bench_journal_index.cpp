// Opens "Журнал изменений" on a large journal and prints how long it takes,
// as ratios against reading the journal's bytes once in the same run: the
// index alone, the dialog up to its list (the chosen write's cells come once
// it shows), the cells of the newest write read on demand, and, for
// comparison, reading every record whole as the listing did before the index. Two shapes of 32 MB (unless given): writes of 40 cells, and
// writes of 65 536 cells (a whole commodity base).
//
// Usage: bench_journal_index [MEGABYTES]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "app/CommandHost.h"
#include "app/CommandProgress.h"
#include "app/JournalDlg.h"
#include "journal/JournalFolder.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

const QString Serial = QStringLiteral("0057000001");

// A window without tabs, which the dialog needs as its host.
class EmptyHost : public CommandHost
{
public:
    QWidget* dialogParent() override { return nullptr; }
    void showError(const QString&) override {}
    void setStatusText(const QString&) override {}
    void setInfoText(const QString&) override {}
    CommandProgress& progress() override { return m_progress; }
    void clearTabs() override {}
    void keepTabsAside() override {}
    void putBackTabs() override {}
    void dropKeptTabs() override {}
    void addTableTab(const TableInfo&, const DataRows&) override {}
    void replaceTableTab(int, const TableInfo&, const DataRows&) override {}
    QList<TableModel*> tableModels() override { return {}; }
    TableModel* currentTableModel() override { return nullptr; }
    bool confirmDiscardChanges() override { return true; }
    RecentFolders& recentFolders() override { return m_folders; }
    RegisterIdentity shownRegister() const override { return {}; }
    void setShownRegister(const RegisterIdentity&) override {}

private:
    QStatusBar m_statusBar;
    CommandProgress m_progress{&m_statusBar};
    RecentFolders m_folders;
};

// The peak resident memory since the last reset, in MB; the reset makes the current size the peak.
double peakMegabytes(bool reset)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        return 0;
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// What the user waits for: the dialog painted with the newest write's cells in
// its table (their first screen painted too).
void openWithCells(CommandHost& host, const JournalFolder& journal)
{
    JournalDlg dialog(host, journal);
    dialog.show();
    const auto* cells = dialog.findChild<QAbstractItemView*>(QStringLiteral("cellsTable"));
    QElapsedTimer waited;
    waited.start();
    while (cells && cells->model()->rowCount() == 0 && !waited.hasExpired(10000))
        QCoreApplication::processEvents();
    dialog.grab();
}

qint64 readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 total = 0;
    while (!file.atEnd())
        total += file.read(1 << 20).size();
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 32;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("journal"));
    const JournalFolder journal(folder);
    EmptyHost host;
    std::printf("%-14s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n", "cells a write", "writes", "bytes ms", "index", "dialog",
                "cells", "records", "dialog ms", "shown ms", "shown MB");
    for (const int cells : {40, 65536}) {
        if (!BenchSupport::writeJournal(folder, Serial, megabytes << 20, cells)) {
            std::fprintf(stderr, "the journal could not be written\n");
            return 1;
        }
        const QString path = journal.filePath(Serial);
        readBytes(path);
        // The journal's file warm, as a second opening finds it; the memory is the first opening's peak above
        // what the process held before, the memory freed by the shape before given back first.
        ::malloc_trim(0);
        const double before = residentMegabytes();
        peakMegabytes(true);
        openWithCells(host, journal);
        const double shownMegabytes = peakMegabytes(false) - before;
        const double bytes = BenchSupport::bestSeconds(3, [&] { readBytes(path); });
        int writes = 0;
        const double index = BenchSupport::bestSeconds(3, [&] { writes = journal.indexWrites(Serial).size(); });
        const double dialog = BenchSupport::bestSeconds(3, [&] { JournalDlg shown(host, journal); });
        const double load = BenchSupport::bestSeconds(3, [&] { journal.load(journal.indexWrites(Serial).first()); });
        const double shown = BenchSupport::bestSeconds(3, [&] { openWithCells(host, journal); });
        const double records = BenchSupport::bestSeconds(1, [&] { journal.writes(Serial); });
        std::printf("%-14d %9d %9.1f %9.2f %9.2f %9.2f %9.2f %9.1f %9.1f %9.1f\n", cells, writes, bytes * 1e3,
                    index / bytes, dialog / bytes, load / bytes, records / bytes, dialog * 1e3, shown * 1e3,
                    shownMegabytes);
        BenchSupport::printGoal("the dialog up to its list, seconds", dialog, "<=", 0.5);
        BenchSupport::printGoal("the dialog shown with the newest write's cells, seconds", shown, "<=", 0.5);
    }
    std::printf("index, dialog (to its list), the newest write's cells and whole records: ratios to reading the bytes once;\n"
                "shown: the dialog painted with the newest write's cells, best of 3, warm; shown MB: the first opening's\n"
                "peak memory above the process's before it (measured first for each shape)\n");
    return 0;
}
