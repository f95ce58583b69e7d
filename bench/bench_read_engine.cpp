// Reads the commodity base of the emulated register, scaled to 10 000 rows,
// through KKT_Logic::readTableData, and beside it a bare loop that makes the
// same driver calls for the same cells without decoding or building rows. The
// engine's overhead is the ratio of the two times. Both ways are measured for
// whole-row reads (the base's own mode) and cell by cell. Also prints the heap
// that the read table takes.
//
// Usage: bench_read_engine [rows] [path of the register image to scale]
// The image defaults to driver/default-image.json of the source tree, found
// upwards from the program's directory. Log lines are dropped while measuring.

#include "BenchSupport.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

// The driver calls of the engine for one table, and nothing else.
unsigned bareLoop(libtillo_handle h, const TableInfo& table)
{
    DriverLibrary& d = DriverLibrary::instance();
    unsigned cells = 0;
    QByteArray buffer(16, '\0');
    const int fields = table.fastRead ? 1 : table.fields.size();
    for (unsigned row = 1;; ++row) {
        for (int f = 0; f < fields; ++f) {
            d.setParamInt(h, LIBTILLO_PARAM_TABLE, table.id);
            d.setParamInt(h, LIBTILLO_PARAM_ROW, row);
            d.setParamInt(h, LIBTILLO_PARAM_FIELD, table.fastRead ? 0u : unsigned(f + 1));
            if (d.readDeviceSettingRaw(h) != 0) {
                d.errorCode(h);
                return cells;
            }
            const int length = d.getParamByteArray(h, LIBTILLO_PARAM_VALUE,
                                                   reinterpret_cast<unsigned char*>(buffer.data()), buffer.size());
            if (length > buffer.size()) {
                buffer.resize(length);
                d.getParamByteArray(h, LIBTILLO_PARAM_VALUE, reinterpret_cast<unsigned char*>(buffer.data()),
                                    buffer.size());
            }
            cells += table.fastRead ? unsigned(table.fields.size()) : 1u;
        }
    }
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceLog();
    QTemporaryDir dir;
    ScaledRegister scaled;
    if (!installScaledRegister(argc, argv, 10000, dir, scaled))
        return 1;
    const int rows = scaled.rows;
    const TableInfo& commodities = scaled.commodities;

    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;

    const int runs = 3;
    std::printf("commodity base of %d rows, %d fields; best of %d runs\n", rows, commodities.fields.size(), runs);
    std::printf("%-28s %12s %14s %8s\n", "", "cells", "cells/s", "ratio");
    for (bool fast : {true, false}) {
        TableInfo table = commodities;
        table.fastRead = fast;
        const Timing bare = best(runs, [&] { return bareLoop(logic.handle(), table); });
        const Timing engine = best(runs, [&] {
            DataRows data;
            unsigned cells = 0;
            QString text;
            logic.readTableData(table, data, cells, text);
            return cells;
        });
        const char* mode = fast ? "whole rows" : "cell by cell";
        std::printf("%-12s bare driver loop %12u %14.0f %8s\n", mode, bare.cells, bare.cells / bare.seconds, "1.00");
        std::printf("%-12s readTableData    %12u %14.0f %8.2f\n", mode, engine.cells, engine.cells / engine.seconds,
                    engine.seconds / bare.seconds);
    }

    // The heap that the rows of one read hold.
    malloc_trim(0);
    const size_t before = heapInUse();
    DataRows data;
    unsigned cells = 0;
    QString text;
    logic.readTableData(commodities, data, cells, text);
    const size_t after = heapInUse();
    size_t payload = 0;
    for (const DataRow& row : qAsConst(data))
        for (const Cell& cell : row)
            payload += size_t(cell.value.size());
    std::printf("read table: %d rows, %u cells, heap %.2f MiB (%.0f bytes per cell, %.0f of them cell text)\n",
                data.size(), cells, double(after - before) / (1024.0 * 1024.0), double(after - before) / cells,
                double(payload) / cells);
    printGoal("heap bytes per cell of the read table", double(after - before) / cells, "<=", 64);

    logic.close();
    logic.destroy();
    return 0;
}
