// The window's read of a commodity base of 65 536 rows against the shell's
// export of the same table, both in CPU time measured in the same run: the
// read engine with the window's busy state (a shown window, offscreen; its
// progress bar and the events it processes), then the tab built from the
// rows and the window painted, beside `vescor-cli export --tables 1`, a
// whole process that reads the table and writes its file.
// The goal is a ratio of at most 1.5.
//
// Usage: bench_window_read [rows] [path of the register image to scale]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "app/BusyIndicator.h"
#include "app/MainWindow.h"
#include "device/KKT_Logic.h"
#include "flows/TableReader.h"
#include "model/TableInfo.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    QTemporaryDir dir;
    ScaledRegister scaled;
    if (!installScaledRegister(argc, argv, 65536, dir, scaled))
        return 1;
    const TableInfo& commodities = scaled.commodities;

    const int runs = 3;
    // The shell first: the register takes one connection at a time.
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    const auto exportTable = [&] {
        QProcess process;
        process.start(cli, {QStringLiteral("export"), dir.filePath(QStringLiteral("out")), QStringLiteral("--tables"),
                            QStringLiteral("1"), QStringLiteral("--quiet")});
        const bool ok = process.waitForFinished(-1) && process.exitCode() == 0;
        if (!ok)
            std::fprintf(stderr, "vescor-cli: %s\n", process.readAllStandardError().constData());
        return ok;
    };
    exportTable(); // unmeasured: the files and the programs in the page cache
    const double shell = bestCpu(runs, exportTable, RUSAGE_CHILDREN);

    MainWindow window(nullptr, dir.filePath(QStringLiteral("Vescor.ini")));
    window.show();
    QApplication::processEvents();
    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;
    unsigned cells = 0;
    int rowsRead = 0;
    // One unmeasured read: the emulated register decodes a large table on its first use.
    {
        unsigned warm = 0;
        TableReader::read(logic.link(), commodities, warm);
    }
    // What the user waits for: the read, the tab built from its rows and the window painted.
    const double windowRead = bestCpu(runs, [&] {
        DataRows rows;
        {
            BusyIndicator busy(window, QStringLiteral("Подождите... Идет чтение"));
            cells = 0;
            rows = TableReader::read(logic.link(), commodities, cells, &busy);
        }
        rowsRead = rows.size();
        window.addTableTab(commodities, rows);
        window.repaint();
        QApplication::processEvents();
        return rowsRead > 0;
    });
    logic.close();
    if (shell < 0 || windowRead < 0)
        return 1;

    std::printf("commodity base of %d rows (%u cells read); CPU seconds, least of %d runs after one unmeasured run "
                "of each\n",
                rowsRead, cells, runs);
    std::printf("%-44s %10s %8s\n", "", "cpu s", "ratio");
    std::printf("%-44s %10.3f %8s\n", "vescor-cli export --tables 1 (whole process)", shell, "1.00");
    std::printf("%-44s %10.3f %8.2f\n", "window: read, busy state, tab built, painted", windowRead, windowRead / shell);
    printGoal("the window's read / the shell's export", windowRead / shell, "<=", 1.5);
    return 0;
}
