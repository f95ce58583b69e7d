// Builds a window's tab for a commodity base of 65 536 rows (offscreen) and
// scrolls it to its last row. The baselines, measured in the same run, are a
// bare QTableView over a QStandardItemModel holding the same texts (made
// before the clock starts), built, shown and scrolled the same way, and the
// same tab for a 300-row base. The ratios are the cost of the tab's own work
// (filter model, delegates, compact rows, column widths from a sample).
//
// The tab must appear within 200 ms of the read's end, and scrolling to the
// last row must not stall (100 ms): both goals are printed beside their
// measures, and the program exits 0 whatever the figures.
//
// Usage: bench_table_tab [rows]

#include "BenchApplication.h"
#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "model/TableInfo.h"
#include "table/TablePage.h"
#include "table/TableView.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace BenchSupport;

namespace {

QStandardItemModel* standardModel(const TableInfo& table, const DataRows& rows)
{
    auto* model = new QStandardItemModel(rows.size(), table.fields.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < table.fields.size(); ++c)
            model->setItem(r, c, new QStandardItem(QString::fromUtf8(rows[r][c].value)));
    }
    return model;
}

struct TabTimes
{
    double build = 1e9;
    double scroll = 1e9;
};

// addTableTab and the first painting of the tab, then the scroll to its last row and its painting.
TabTimes timeTab(MainWindow& window, const TableInfo& table, const DataRows& rows, int runs)
{
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    TabTimes best;
    for (int i = 0; i < runs; ++i) {
        window.clearTabs();
        QElapsedTimer clock;
        clock.start();
        window.addTableTab(table, rows);
        tabs->setCurrentIndex(tabs->count() - 1);
        auto* page = qobject_cast<TablePage*>(tabs->currentWidget());
        page->grab();
        best.build = qMin(best.build, clock.nsecsElapsed() / 1e9);

        clock.restart();
        page->view()->scrollToBottom();
        page->view()->viewport()->grab();
        best.scroll = qMin(best.scroll, clock.nsecsElapsed() / 1e9);
    }
    return best;
}

TabTimes timeBareView(const TableInfo& table, const DataRows& rows, int runs)
{
    TabTimes best;
    for (int i = 0; i < runs; ++i) {
        QStandardItemModel* model = standardModel(table, rows);
        QWidget window;
        window.resize(1280, 900);
        window.show();
        QElapsedTimer clock;
        clock.start();
        auto* view = new QTableView(&window);
        view->setModel(model);
        view->resize(1000, 800);
        view->show();
        view->grab();
        best.build = qMin(best.build, clock.nsecsElapsed() / 1e9);
        clock.restart();
        view->scrollToBottom();
        view->viewport()->grab();
        best.scroll = qMin(best.scroll, clock.nsecsElapsed() / 1e9);
        delete view;
        delete model;
    }
    return best;
}

void printLine(const char* name, int rows, double seconds, double baseline)
{
    std::printf("%-34s %8d %10.1f %8.2f\n", name, rows, seconds * 1e3, seconds / baseline);
}

} // namespace

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const QString modelsDir = modelsDirectory();

    QList<TableInfo> tables;
    TableInfo commodities;
    if (!loadCommodityBase(modelsDir, tables, commodities) || commodities.fields.isEmpty() || rows <= 0) {
        std::fprintf(stderr, "no commodity base in the model description\n");
        return 1;
    }
    const DataRows big = commodityRows(commodities, rows);
    const DataRows small = commodityRows(commodities, 300);

    QTemporaryDir dir;
    MainWindow window(nullptr, dir.filePath(QStringLiteral("Vescor.ini")));
    window.resize(1280, 900);
    window.show();
    QCoreApplication::processEvents();

    const int runs = 3;
    const TabTimes bare = timeBareView(commodities, big, runs);
    const TabTimes smallTab = timeTab(window, commodities, small, runs);
    const TabTimes bigTab = timeTab(window, commodities, big, runs);

    std::printf("%-34s %8s %10s %8s\n", "", "rows", "ms", "ratio");
    printLine("bare QTableView: build and show", rows, bare.build, bare.build);
    printLine("tab, 300 rows: build and show", 300, smallTab.build, bare.build);
    printLine("tab: build and show", rows, bigTab.build, bare.build);
    printLine("bare QTableView: scroll to the end", rows, bare.scroll, bare.scroll);
    printLine("tab, 300 rows: scroll to the end", 300, smallTab.scroll, bare.scroll);
    printLine("tab: scroll to the end", rows, bigTab.scroll, bare.scroll);
    printGoal("the tab of the large base up after the read, ms", bigTab.build * 1e3, "<=", 200);
    printGoal("scrolling to the last row, ms", bigTab.scroll * 1e3, "<=", 100);
    return 0;
}
