#include "TableFixtures.h"
#include "support/TestMain.h"

#include "table/TableFilterModel.h"
#include "table/TableLayout.h"
#include "table/TableModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace fixtures;

Q_DECLARE_METATYPE(TableInfo)
Q_DECLARE_METATYPE(DataRows)

// Qt's model tester watches a table's model and the search filter over it
// while the rows are edited, written back and searched: every signal and
// every answer must agree with what the views are told.
class ModelTesterTest : public QObject
{
    Q_OBJECT

private slots:
    void modelsStayConsistent_data()
    {
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("rows");
        const QVector<FieldInfo> fields{field(QStringLiteral("Наименование"), FieldInfo::String),
                                        intField(QStringLiteral("Количество"), 0, 999)};
        QTest::newRow("db") << table(Db, fields)
                            << dbRows({{QStringLiteral("Хлеб"), QStringLiteral("1")},
                                       {QStringLiteral("Молоко"), QStringLiteral("2")},
                                       {QStringLiteral("Сыр"), QStringLiteral("3")}});
        QTest::newRow("list") << table(List, fields) << listRows({QStringLiteral("Касса"), QStringLiteral("4")});
        QTest::newRow("a field per row")
            << table(TransposedList, fields) << transposedRows({QStringLiteral("Добро"), QStringLiteral("5")});
        QTest::newRow("no rows") << table(Db, fields) << DataRows{};
    }

    void modelsStayConsistent()
    {
        QFETCH(TableInfo, table);
        QFETCH(DataRows, rows);
        TableModel model(table, rows);
        TableFilterModel filter;
        filter.setSourceModel(&model);
        // The tester's complaints as warnings, but one: an invalid index is
        // enabled here, as the window's table models have always answered.
        s_complaints.clear();
        const QtMessageHandler previous = qInstallMessageHandler(complaint);
        {
            QAbstractItemModelTester modelTester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
            QAbstractItemModelTester filterTester(&filter, QAbstractItemModelTester::FailureReportingMode::Warning);
            exercise(model, filter);
        }
        qInstallMessageHandler(previous);
        QCOMPARE(s_complaints, QStringList());
    }

    // Every view cell shows one data cell, and that data cell is shown there
    // and nowhere else; a table of no shown type has no view cells.
    void layoutGoesBothWays_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("viewRows");
        QTest::addColumn<int>("viewColumns");
        QTest::newRow("db: 3 rows of 2 fields") << int(Db) << 3 << 2;
        QTest::newRow("list: 2 fields down") << int(List) << 2 << 1;
        QTest::newRow("a field per row") << int(TransposedList) << 2 << 1;
        QTest::newRow("plain") << int(Plain) << 0 << 0;
    }

    void layoutGoesBothWays()
    {
        QFETCH(int, type);
        QFETCH(int, viewRows);
        QFETCH(int, viewColumns);
        const TableLayout layout{TableType(type)};
        const int dataRows = type == List ? 1 : type == TransposedList ? 2 : 3;
        QCOMPARE(layout.rowCount(dataRows, 2), viewRows);
        QCOMPARE(layout.columnCount(2), viewColumns);
        for (int r = 0; r < viewRows; ++r) {
            for (int c = 0; c < viewColumns; ++c) {
                const TableLayout::Cell cell = layout.cellAt(r, c);
                QVERIFY(cell.field >= 0 && cell.field < 2);
                int backRow = -1;
                int backColumn = -1;
                QVERIFY(layout.viewOf(cell.row, cell.column, backRow, backColumn));
                QCOMPARE(backRow, r);
                QCOMPARE(backColumn, c);
            }
        }
        int row = 0;
        int column = 0;
        QCOMPARE(layout.viewOf(1, 1, row, column), type == Db);
    }

private:
    static QStringList s_complaints;

    static void complaint(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg && !message.contains(QLatin1String("flags == Qt::ItemIsDropEnabled")))
            s_complaints << message;
    }

    static void exercise(TableModel& model, TableFilterModel& filter)
    {
        const DataRows rows = model.tableData();

        if (!rows.isEmpty()) {
            // An edit through the view, stored values set as undo sets them, a write's rows taken over.
            const QModelIndex first = model.index(0, 0);
            QVERIFY(first.isValid());
            model.setData(first, model.data(first, Qt::EditRole), Qt::EditRole);
            int row = 0;
            int column = 0;
            QVERIFY(model.cellOfIndex(first, row, column));
            model.setStoredValues({{row, column, "Батон"}});
            DataRows written = model.tableData();
            for (DataRow& cells : written) {
                for (Cell& cell : cells)
                    cell.changed = false;
            }
            model.adoptWrittenRows(written);
        }
        // Searches that hide rows, show them all again, and stop filtering.
        for (const QString& text : {QStringLiteral("хлеб"), QStringLiteral("нет такого"), QString()})
            filter.setSearchText(text);
        filter.setSearchText(QStringLiteral("2"));
        filter.setFiltering(false);
        filter.setFiltering(true);
        QVERIFY(filter.rowCount() <= model.rowCount());
    }
};

QStringList ModelTesterTest::s_complaints;

VESCOR_TEST(ModelTesterTest)

#include "tst_ModelTester.moc"
