// Reads the commodity base (table 1) of the default register over a simulated
// 115200-baud serial line, 11 520 bytes a second and 5 ms for each request (the
// image's "link"), through KKT_Logic::readTableData: once by whole rows (the
// table's own fastRead) and once cell by cell (the same TableInfo with fastRead
// switched off). Prints both times and their ratio (goal: whole rows take at
// most half the time). Each way runs once: the
// line's waits, not the machine, make up nearly all of the time.
//
// Usage: bench_link_read [rows] [path of the register image]
// rows: how many rows of the base the register holds (default: as many as the
// image has, 300 in the default register); at most 900, so that the run stays
// within about a minute. The image defaults to driver/default-image.json of the
// source tree, found upwards from the program's directory. Log lines are dropped.

#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

const int LatencyMs = 5;
const int BytesPerSecond = 11520; // 115200 baud, ten bits a byte
const int MostRows = 900;         // about 60 ms a row for both ways together

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

int commodityRows(const QJsonObject& image)
{
    for (const QJsonValue& t : image.value(QStringLiteral("tables")).toArray()) {
        if (t.toObject().value(QStringLiteral("id")).toInt() == 1)
            return t.toObject().value(QStringLiteral("rows")).toArray().size();
    }
    return 0;
}

// Gives the image at `path` the slow line.
bool setSlowLine(const QString& path)
{
    QJsonObject root = readJson(path);
    if (root.isEmpty())
        return false;
    QJsonObject link = root.value(QStringLiteral("link")).toObject();
    link.insert(QStringLiteral("latencyMs"), LatencyMs);
    link.insert(QStringLiteral("bytesPerSecond"), BytesPerSecond);
    root.insert(QStringLiteral("link"), link);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) > 0;
}

struct Read
{
    double seconds = 0;
    int rows = 0;
    unsigned cells = 0;
    int result = 0;
};

Read readOnce(KKT_Logic& logic, const TableInfo& table)
{
    Read r;
    DataRows data;
    QString errorText;
    QElapsedTimer clock;
    clock.start();
    r.result = logic.readTableData(table, data, r.cells, errorText);
    r.seconds = double(clock.nsecsElapsed()) / 1e9;
    r.rows = data.size();
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString source = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : findInTree(QStringLiteral("driver/default-image.json"));
    const int imageRows = commodityRows(readJson(source));
    int rows = argc > 1 ? std::atoi(argv[1]) : imageRows;
    if (rows <= 0) {
        std::fprintf(stderr, "no commodity rows to read (image '%s')\n", qPrintable(source));
        return 1;
    }
    const bool limited = rows > MostRows;
    if (limited)
        rows = MostRows;

    silenceLog(); // the model loader and the connection log every step
    QTemporaryDir dir;
    if (!installScaledImage(dir, source, rows) || !setSlowLine(dir.filePath(QStringLiteral("register-image.json")))) {
        std::fprintf(stderr, "cannot prepare the register image\n");
        return 1;
    }
    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDirectory(), tables, commodities))
        return 1;
    if (!commodities.fastRead) {
        std::fprintf(stderr, "the commodity base of the model is not read by whole rows\n");
        return 1;
    }

    KKT_Logic& logic = KKT_Logic::instance();
    if (!openRegister(logic))
        return 1;

    const int fields = commodities.fields.size();
    std::printf("commodity base: %d rows of %d fields over a simulated serial line of 115200 baud "
                "(%d bytes/s, %d ms a request); one run each\n",
                rows, fields, BytesPerSecond, LatencyMs);
    if (limited)
        std::printf("(reading %d rows only, not %s, so that the run stays within about a minute)\n", MostRows,
                    argv[1]);

    TableInfo cellByCell = commodities;
    cellByCell.fastRead = false;
    const Read whole = readOnce(logic, commodities);
    const Read cells = readOnce(logic, cellByCell);

    logic.close();
    logic.destroy();

    if (whole.result != 0 || cells.result != 0 || whole.rows != rows || cells.rows != rows
        || whole.cells != cells.cells) {
        std::fprintf(stderr, "the reads differ: whole rows %d (%d rows, %u cells), cell by cell %d (%d rows, %u cells)\n",
                     whole.result, whole.rows, whole.cells, cells.result, cells.rows, cells.cells);
        return 1;
    }
    std::printf("%-30s %9s %9s %10s\n", "", "requests", "cells", "seconds");
    std::printf("%-30s %9d %9u %10.2f\n", "whole rows (fastRead)", whole.rows + 1, whole.cells, whole.seconds);
    std::printf("%-30s %9d %9u %10.2f\n", "cell by cell (fastRead off)", cells.rows * fields + 1, cells.cells,
                cells.seconds);
    std::printf("ratio, whole rows / cell by cell: %.3f (cell by cell takes %.1f times as long)\n",
                whole.seconds / cells.seconds, cells.seconds / whole.seconds);
    printGoal("whole rows / cell by cell", whole.seconds / cells.seconds, "<=", 0.5);
    return 0;
}
