// The window's "Записать в ККТ" of one changed cell of a commodity base of
// 65 536 rows, as the user gives it: the base read into its tab through the
// window's menu, the price of the row in the middle edited there, then the
// button clicked (the busy state, the connection opened and the register
// identified, the cell read back to tell a change made on the register since
// the read, the journal, the write and its commit, the tab taking the written
// rows, the window's events). Beside it the bare cycle of driver calls that
// writes one cell: open, identify, read the cell, write it, commit, close. The
// commit stores the emulated register's whole image, the same in both.
//
// CPU time of each, least of several runs, each after one unmeasured run (the
// emulator's first decode of the table and the journal's file, which a user's
// second write finds done); every run of both starts from a heap that has
// handed its free pages back, so that neither pays for faulting pages in
// that the other finds at hand. Also the memory of the window's write: its peak
// over what was resident before it, and what it keeps after it once the
// allocator has handed its free pages back (the edit itself keeps one row; a
// second copy of the base's rows would keep about 10 MB, the goal is 2 MB).
//
// Usage: bench_cell_write [rows] [path of the register image to scale]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"
#include "model/TableInfo.h"
#include "table/TableFilterModel.h"
#include "table/TableModel.h"
#include "table/TablePage.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    QTemporaryDir dir;
    // The window journals its writes: into the run's own folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    ScaledRegister scaled;
    if (!installScaledRegister(argc, argv, 65536, dir, scaled))
        return 1;
    const TableInfo& commodities = scaled.commodities;

    MainWindow window(nullptr, dir.filePath(QStringLiteral("Vescor.ini")));
    window.resize(1280, 900);
    window.show();
    QApplication::processEvents();
    auto* readBase = window.findChild<QAction*>(QStringLiteral("actionReadCommodities"));
    auto* writeButton = window.findChild<QPushButton*>(QStringLiteral("writeButton"));
    if (!readBase || !writeButton)
        return 1;
    readBase->trigger();
    QApplication::processEvents();
    TableModel* model = window.tableModels().value(0);
    if (!model || model->tableData().size() != scaled.rows) {
        std::fprintf(stderr, "read: %s\n", qPrintable(window.statusText()));
        return 1;
    }
    // A user edits seconds after the rows arrived, when the search's index,
    // gathered in steps between the window's events, is long complete: its
    // memory is the tab's, not the write's.
    auto* page = window.findChild<TablePage*>();
    QElapsedTimer indexing;
    indexing.start();
    while (page && !page->filterModel()->isIndexComplete() && indexing.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!page || !page->filterModel()->isIndexComplete()) {
        std::fprintf(stderr, "the tab's search index was not complete\n");
        return 1;
    }
    // The price of the row in the middle.
    const int row = scaled.rows / 2;
    int column = 0;
    for (int f = 0; f < commodities.fields.size(); ++f) {
        if (commodities.fields[f].m_guiType == FieldInfo::Money)
            column = f;
    }
    const QModelIndex price = model->indexOfCell(row, column);

    const int runs = 5;
    const QString written = QStringLiteral("Успешно записано 1 ячеек в 1 таблицах");
    int edits = 0;
    double windowCpu = 1e9;
    double peak = 0;
    double kept = 0;
    for (int i = 0; i <= runs; ++i) {
        ++edits;
        if (!model->setData(price, QStringLiteral("%1.%2").arg(100 + edits).arg(edits, 2, 10, QLatin1Char('0'))))
            return 1;
        QApplication::processEvents();
        trimHeap();
        const Memory before = memoryNow();
        resetPeakMemory();
        const double start = cpuSeconds();
        writeButton->click();
        QApplication::processEvents();
        const double cpu = cpuSeconds() - start;
        const Memory during = memoryNow();
        trimHeap();
        const Memory after = memoryNow();
        if (window.statusText() != written || model->hasChangedCells()) {
            std::fprintf(stderr, "write: %s\n", qPrintable(window.statusText()));
            return 1;
        }
        if (i == 0)
            continue; // unmeasured
        windowCpu = qMin(windowCpu, cpu);
        peak = qMax(peak, during.peak - before.resident);
        kept = qMax(kept, after.resident - before.resident);
    }

    KKT_Logic& logic = KKT_Logic::instance();
    DriverLibrary& d = DriverLibrary::instance();
    const libtillo_handle h = logic.handle();
    const unsigned registerRow = model->tableData()[row].last().value.toUInt();
    int values = 0;
    const auto bareCycle = [&] {
        const QByteArray bytes = ValueCodec::encode(commodities.fields[column], QByteArray::number(20000 + ++values),
                                                    KKT_Logic::externalCodec())
                                     .bytes;
        d.setSingleSetting(h, L"Port", L"1");
        d.applySingleSettings(h);
        if (d.open(h) != 0)
            return false;
        d.setParamInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
        bool ok = d.queryData(h) == 0 && !d.paramString(h, LIBTILLO_PARAM_SERIAL_NUMBER).isEmpty();
        d.setParamInt(h, LIBTILLO_PARAM_TABLE, commodities.id);
        d.setParamInt(h, LIBTILLO_PARAM_ROW, registerRow);
        d.setParamInt(h, LIBTILLO_PARAM_FIELD, unsigned(column + 1));
        ok = ok && d.readDeviceSettingRaw(h) == 0;
        d.setParamByteArray(h, LIBTILLO_PARAM_VALUE, reinterpret_cast<const unsigned char*>(bytes.constData()),
                            bytes.size());
        ok = ok && d.writeDeviceSettingRaw(h) == 0 && d.commitSettings(h) == 0;
        d.close(h);
        return ok;
    };
    // Each run starts from a heap that has handed its free pages back, as the window's runs do.
    double bare = 1e9;
    double barePeak = 0;
    for (int i = 0; i <= runs; ++i) {
        trimHeap();
        const Memory before = memoryNow();
        resetPeakMemory();
        const double start = cpuSeconds();
        if (!bareCycle()) {
            bare = -1;
            break;
        }
        const double cpu = cpuSeconds() - start;
        if (i == 0)
            continue; // unmeasured
        bare = qMin(bare, cpu);
        barePeak = qMax(barePeak, memoryNow().peak - before.resident);
    }
    if (bare < 0) {
        std::fprintf(stderr, "the bare write failed\n");
        return 1;
    }

    std::printf("one changed cell of a commodity base of %d rows; CPU seconds, least of %d runs after one unmeasured\n",
                scaled.rows, runs);
    std::printf("%-58s %8s %8s\n", "", "cpu s", "ratio");
    std::printf("%-58s %8.3f %8s\n", "bare driver cycle: open, identify, read, write, commit, close", bare, "1.00");
    std::printf("%-58s %8.3f %8.2f\n", "window: one price edited, the write button clicked", windowCpu,
                windowCpu / bare);
    std::printf("%-58s %8.1f\n", "bare driver cycle: peak memory over the resident before, MB", barePeak);
    std::printf("%-58s %8.1f\n", "window's write: peak memory over the resident before, MB", peak);
    std::printf("%-58s %8.1f\n", "window's write: memory kept after it, MB", kept);
    printGoal("the window's write / the bare driver cycle", windowCpu / bare, "<=", 1.5);
    printGoal("memory kept after the window's write, MB", kept, "<=", 2.0);
    return 0;
}
