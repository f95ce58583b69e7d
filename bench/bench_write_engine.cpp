// Writes 10 000 changed cells of the commodity base of the emulated register
// through KKT_Logic::writeTableData, and beside it a bare loop that makes the
// same driver calls (three parameters, the value, the write; one commit) with
// values encoded beforehand. The engine's overhead (encoding, the checks of
// each cell, the events it processes) is the ratio of the two times.
//
// Usage: bench_write_engine [cells] [path of the register image to scale]
// The image defaults to driver/default-image.json of the source tree, found
// upwards from the program's directory. Log lines are dropped while measuring.

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "device/ProgressReporter.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"
#include "model/TableInfo.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

struct Prepared
{
    unsigned row;
    unsigned field;
    QByteArray bytes;
};

// The driver calls of the engine for the same cells, and nothing else.
unsigned bareLoop(libtillo_handle h, unsigned table, const QVector<Prepared>& cells)
{
    DriverLibrary& d = DriverLibrary::instance();
    unsigned written = 0;
    for (const Prepared& c : cells) {
        d.setParamInt(h, LIBTILLO_PARAM_TABLE, table);
        d.setParamInt(h, LIBTILLO_PARAM_ROW, c.row);
        d.setParamInt(h, LIBTILLO_PARAM_FIELD, c.field);
        d.setParamByteArray(h, LIBTILLO_PARAM_VALUE, reinterpret_cast<const unsigned char*>(c.bytes.constData()),
                            c.bytes.size());
        if (d.writeDeviceSettingRaw(h) != 0)
            return written;
        ++written;
    }
    return d.commitSettings(h) == 0 ? written : 0;
}

} // namespace

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    const int wanted = argc > 1 ? std::atoi(argv[1]) : 10000;
    const QString source = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : findInTree(QStringLiteral("driver/default-image.json"));

    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDirectory(), tables, commodities))
        return 1;
    const int fields = commodities.fields.size();
    if (fields == 0 || wanted <= 0) {
        std::fprintf(stderr, "no commodity base in the model description\n");
        return 1;
    }
    const int rows = (wanted + fields - 1) / fields;

    QTemporaryDir dir;
    if (!installScaledImage(dir, source, rows))
        return 1;

    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;
    QString error;

    // The table as read, with `wanted` of its cells marked changed.
    DataRows read;
    unsigned readCells = 0;
    if (logic.readTableData(commodities, read, readCells, error) != 0) {
        std::fprintf(stderr, "read: %s\n", qPrintable(logic.lastErrorText()));
        return 1;
    }
    QVector<Prepared> prepared;
    int marked = 0;
    for (int r = 0; r < read.size(); ++r) {
        for (int f = 0; f < fields && marked < wanted; ++f, ++marked) {
            read[r][f].changed = true;
            const EncodedValue encoded = ValueCodec::encode(commodities.fields[f], read[r][f].value,
                                                            KKT_Logic::externalCodec());
            prepared.append({unsigned(r + 1), unsigned(f + 1), encoded.bytes});
        }
    }

    const int runs = 3;
    const Timing bare = best(runs, [&] { return bareLoop(logic.handle(), commodities.id, prepared); });
    int result = 0;
    const Timing engine = best(runs, [&] {
        DataRows data = read;
        unsigned cells = 0;
        ProgressReporter progress;
        result = logic.writeTableData(commodities, data, cells, progress, error);
        return cells;
    });
    logic.close();
    logic.destroy();
    if (result != 0) {
        std::fprintf(stderr, "write: %d %s\n", result, qPrintable(error));
        return 1;
    }

    std::printf("%d changed cells of a commodity base of %d rows, %d fields; one commit each; best of %d runs\n",
                marked, rows, fields, runs);
    std::printf("%-18s %10s %10s %12s %8s\n", "", "cells", "ms", "cells/s", "ratio");
    std::printf("%-18s %10u %10.1f %12.0f %8s\n", "bare driver loop", bare.cells, bare.seconds * 1e3,
                bare.cells / bare.seconds, "1.00");
    std::printf("%-18s %10u %10.1f %12.0f %8.2f\n", "writeTableData", engine.cells, engine.seconds * 1e3,
                engine.cells / engine.seconds, engine.seconds / bare.seconds);
    printGoal("writeTableData / the bare driver loop", engine.seconds / bare.seconds, "<=", 2.0);
    return 0;
}
