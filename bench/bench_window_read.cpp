// The window's read of a commodity base of 65 536 rows against the shell's
// export of the same table, both in CPU time measured in the same run: the
// read engine with the window's busy state (a shown window, offscreen; its
// progress bar and the events it processes) beside `vescor-cli export
// --tables 1`, a whole process that reads the table and writes its file.
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
    const double shell = bestCpu(runs, exportTable, RUSAGE_CHILDREN);

    MainWindow window(nullptr, dir.filePath(QStringLiteral("Vescor.ini")));
    window.show();
    QApplication::processEvents();
    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;
    unsigned cells = 0;
    int rowsRead = 0;
    const double windowRead = bestCpu(runs, [&] {
        BusyIndicator busy(window, QStringLiteral("Подождите... Идет чтение"));
        cells = 0;
        rowsRead = TableReader::read(logic.link(), commodities, cells, &busy).size();
        return rowsRead > 0;
    });
    logic.close();
    if (shell < 0 || windowRead < 0)
        return 1;

    std::printf("commodity base of %d rows (%u cells read); CPU seconds, least of %d runs\n", rowsRead, cells, runs);
    std::printf("%-34s %10s %8s\n", "", "cpu s", "ratio");
    std::printf("%-34s %10.3f %8s\n", "vescor-cli export --tables 1", shell, "1.00");
    std::printf("%-34s %10.3f %8.2f   (goal <= 1.5)\n", "window: read engine, busy window", windowRead,
                windowRead / shell);
    return 0;
}
