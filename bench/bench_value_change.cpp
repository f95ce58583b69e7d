// "Изменить значения…" on the prices of a tab holding a commodity base of
// 65 536 rows (offscreen): every price +10 %, each new value checked, then
// set as one undo step. The baseline, measured in the same run, is a paste
// of the same number of prices into the same column: the check both go
// through, so the ratio shows what the arithmetic adds.
//
// The change must take under a second: printed beside its measure.
//
// Usage: bench_value_change [rows]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "model/TableInfo.h"
#include "table/TableFilterModel.h"
#include "table/TableModel.h"
#include "table/TablePage.h"
#include "table/TableView.h"
#include "table/ValueChange.h"

#include <QUndoStack>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;

    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDirectory(), tables, commodities) || rows <= 0) {
        std::fprintf(stderr, "no commodity base in the model description\n");
        return 1;
    }
    int column = -1;
    for (int c = 0; c < commodities.fields.size() && column < 0; ++c) {
        if (commodities.fields[c].m_guiType == FieldInfo::Money && !commodities.fields[c].m_readOnly)
            column = c;
    }
    if (column < 0) {
        std::fprintf(stderr, "the commodity base has no price\n");
        return 1;
    }

    TablePage page(commodities, commodityRows(commodities, rows));
    page.resize(1280, 900);
    page.show();
    QCoreApplication::processEvents();
    TableModel* model = page.tableModel();
    QModelIndexList cells;
    for (int r = 0; r < rows; ++r)
        cells << model->index(r, column);

    const int runs = 3;
    QStringList pastes;
    for (int run = 0; run < runs; ++run) {
        QStringList texts;
        for (int r = 0; r < rows; ++r)
            texts << QStringLiteral("%1.%2").arg(100 + run * 7 + r % 900).arg(r % 100, 2, 10, QLatin1Char('0'));
        pastes << texts.join(QLatin1Char('\n'));
    }
    const int before = page.undoStack()->count();
    const double paste = bestSeconds(runs, [&] {
        page.view()->setCurrentIndex(page.filterModel()->index(0, column));
        page.pasteText(pastes.takeFirst());
    });
    const double change = bestSeconds(runs, [&] {
        page.changeValues(ValueChange(ValueChange::MultiplyByPercent, QStringLiteral("110")), cells);
    });
    const bool applied = page.undoStack()->count() == before + 2 * runs;

    std::printf("%-40s %8s %10s %8s\n", "", "cells", "ms", "ratio");
    std::printf("%-40s %8d %10.1f %8.3f\n", "paste of the whole column", rows, paste * 1e3, 1.0);
    std::printf("%-40s %8d %10.1f %8.3f\n", "prices +10 %, one undo step", rows, change * 1e3, change / paste);
    std::printf("+10 %% on %d prices %s under a second (%.1f ms)%s\n", rows, change < 1.0 ? "takes" : "does NOT take",
                change * 1e3, applied ? "" : "; NOT every change was applied");
    return change < 1.0 && applied ? 0 : 2;
}
