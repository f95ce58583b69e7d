// Writes one changed cell of a commodity base of 65 536 rows as the window
// does (the write engine with the busy state of a shown window, offscreen),
// and beside it a bare loop of the same driver calls: the cell's three
// parameters, its value, the write and the commit. The commit stores the
// emulated register's whole image, the same in both. CPU time of each, least
// of several runs; the goal is at most 0.3 s for the window's write, so the
// ratio shows what the engine adds to the driver's own work.
//
// Usage: bench_cell_write [rows] [path of the register image to scale]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "app/BusyIndicator.h"
#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"
#include "flows/TableReader.h"
#include "flows/TableWriter.h"
#include "model/TableInfo.h"

#include <QApplication>
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

    MainWindow window(nullptr, dir.filePath(QStringLiteral("Vescor.ini")));
    window.show();
    QApplication::processEvents();
    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;
    unsigned cells = 0;
    const DataRows read = TableReader::read(logic.link(), commodities, cells);
    if (read.isEmpty())
        return 1;
    // The price of the row in the middle.
    const int row = read.size() / 2;
    int column = 0;
    for (int f = 0; f < commodities.fields.size(); ++f) {
        if (commodities.fields[f].m_guiType == FieldInfo::Money)
            column = f;
    }
    const QByteArray value = read[row][column].value;
    const unsigned registerRow = read[row].last().value.toUInt();
    const QByteArray bytes = ValueCodec::encode(commodities.fields[column], value, KKT_Logic::externalCodec()).bytes;

    const int runs = 5;
    DriverLibrary& d = DriverLibrary::instance();
    const libtillo_handle h = logic.handle();
    const double bare = bestCpu(runs, [&] {
        d.setParamInt(h, LIBTILLO_PARAM_TABLE, commodities.id);
        d.setParamInt(h, LIBTILLO_PARAM_ROW, registerRow);
        d.setParamInt(h, LIBTILLO_PARAM_FIELD, unsigned(column + 1));
        d.setParamByteArray(h, LIBTILLO_PARAM_VALUE, reinterpret_cast<const unsigned char*>(bytes.constData()),
                            bytes.size());
        return d.writeDeviceSettingRaw(h) == 0 && d.commitSettings(h) == 0;
    });
    unsigned written = 0;
    const double engine = bestCpu(runs, [&] {
        DataRows data = read;
        data[row][column].changed = true;
        BusyIndicator busy(window, QStringLiteral("Подождите... Идет запись"));
        TableWriter::write(logic.link(), commodities, data, written, busy);
        return !data[row][column].changed;
    });
    logic.close();
    if (bare < 0 || engine < 0) {
        std::fprintf(stderr, "write failed\n");
        return 1;
    }

    std::printf("one changed cell of a commodity base of %d rows; CPU seconds, least of %d runs\n", read.size(), runs);
    std::printf("%-34s %10s %8s\n", "", "cpu s", "ratio");
    std::printf("%-34s %10.3f %8s\n", "bare driver calls and commit", bare, "1.00");
    std::printf("%-34s %10.3f %8.2f\n", "window: write engine, busy window", engine, engine / bare);
    // The commit's storing of the image is the emulated link's time, not the program's.
    std::printf("%-34s %10.3f\n", "the engine's own share", qMax(0.0, engine - bare));
    printGoal("the window's write / the bare driver calls", engine / bare, "<=", 1.5);
    printGoal("the engine's own share, seconds", qMax(0.0, engine - bare), "<=", 0.3);
    return 0;
}
