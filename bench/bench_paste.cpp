// Pastes a column of 10 000 prices into a tab holding a commodity base of
// 65 536 rows (offscreen): every value checked, then set as one undo step.
// The baseline, measured in the same run, sets cells of the same column one
// by one through the table model, as edits typed into the tab would; as each
// takes milliseconds in so large a tab, it sets a tenth of the values, and
// the ratio compares the time per value.
//
// The paste must take under a second: the goal is printed beside its measure,
// and the program exits 0 whatever the figure.
//
// Usage: bench_paste [rows] [values]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "model/TableInfo.h"
#include "table/TableFilterModel.h"
#include "table/TableModel.h"
#include "table/TablePage.h"
#include "table/TableView.h"

#include <QUndoStack>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

int priceColumn(const TableInfo& table)
{
    for (int c = 0; c < table.fields.size(); ++c) {
        if (table.fields[c].m_guiType == FieldInfo::Money && !table.fields[c].m_readOnly)
            return c;
    }
    return -1;
}

// Prices as the tab shows them, each run its own so that every value changes a cell.
QStringList prices(int count, int run)
{
    QStringList texts;
    texts.reserve(count);
    for (int i = 0; i < count; ++i)
        texts << QStringLiteral("%1.%2").arg(100 + run * 7 + i % 900).arg(i % 100, 2, 10, QLatin1Char('0'));
    return texts;
}

} // namespace

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const int values = argc > 2 ? std::atoi(argv[2]) : 10000;

    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDirectory(), tables, commodities) || rows <= 0 || values <= 0 || values > rows) {
        std::fprintf(stderr, "no commodity base in the model description\n");
        return 1;
    }
    const int column = priceColumn(commodities);
    if (column < 0) {
        std::fprintf(stderr, "the commodity base has no price\n");
        return 1;
    }

    TablePage page(commodities, commodityRows(commodities, rows));
    page.resize(1280, 900);
    page.show();
    QCoreApplication::processEvents();
    TableModel* model = page.tableModel();

    const int runs = 3;
    int run = 0;
    const int baselineValues = qMax(1, values / 10);
    const QStringList baselineTexts = prices(baselineValues, ++run);
    const double oneByOne = bestSeconds(1, [&] {
        for (int r = 0; r < baselineValues; ++r)
            model->setData(model->index(r, column), baselineTexts[r]);
    });
    const int undoSteps = page.undoStack()->count();
    QStringList texts;
    for (int i = 0; i < runs; ++i)
        texts << prices(values, ++run).join(QLatin1Char('\n'));
    const double paste = bestSeconds(runs, [&] {
        page.view()->setCurrentIndex(page.filterModel()->index(0, column));
        page.pasteText(texts.takeFirst());
    });
    const bool pasted = page.undoStack()->count() == undoSteps + runs;
    const double perValue = oneByOne / baselineValues;

    std::printf("%-40s %8s %10s %8s\n", "", "values", "ms", "ratio");
    std::printf("%-40s %8d %10.1f %8.3f\n", "cells set one by one through the model", baselineValues,
                oneByOne * 1e3, 1.0);
    std::printf("%-40s %8d %10.1f %8.5f\n", "paste of one column, one undo step", values, paste * 1e3,
                paste / values / perValue);
    printGoal("the paste, seconds", paste, "<=", 1.0);
    if (!pasted)
        std::printf("NOT every paste was applied\n");
    return pasted ? 0 : 1;
}
