#include "device/RegisterAddress.h"
#include "support/ProbeTable.h"
#include "support/TestMain.h"

#include <QTest>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(TableInfo)
Q_DECLARE_METATYPE(DataRows)

// Where each cell of a table's rows lives on the register, for every layout.
class tst_RegisterAddress : public QObject
{
    Q_OBJECT

private slots:
    // Data row -> register row -> data row, per layout; 0 and -1 where none.
    void rowsBothWays_data()
    {
        QTest::addColumn<TableInfo>("info");
        QTest::addColumn<DataRows>("data");
        QTest::addColumn<QVector<unsigned>>("registerRows"); // of data rows -1 .. size
        QTest::addColumn<QVector<int>>("dataRows");          // of register rows 0 .. 9

        QTest::newRow("plain") << ProbeTable::info(Plain, 2) << ProbeTable::rows(3, 2, {"1", "2", "3"})
                               << QVector<unsigned>{0, 1, 2, 3, 0}
                               << QVector<int>{-1, 0, 1, 2, -1, -1, -1, -1, -1, -1};
        QTest::newRow("list, one row") << ProbeTable::info(List, 5) << ProbeTable::rows(1, 5) << QVector<unsigned>{0, 1, 0}
                                       << QVector<int>{-1, 0, -1, -1, -1, -1, -1, -1, -1, -1};
        QTest::newRow("transposed") << ProbeTable::info(TransposedList, 3) << ProbeTable::rows(3, 1, {"1", "2", "3"})
                                    << QVector<unsigned>{0, 1, 2, 3, 0}
                                    << QVector<int>{-1, 0, 1, 2, -1, -1, -1, -1, -1, -1};
        QTest::newRow("db by label, anywhere in the list")
            << ProbeTable::info(Db, 2) << ProbeTable::rows(3, 2, {"7", "2", "9"}) << QVector<unsigned>{0, 7, 2, 9, 0}
            << QVector<int>{-1, -1, 1, -1, -1, -1, -1, 0, -1, 2};
        QTest::newRow("db labels that are no row numbers")
            << ProbeTable::info(Db, 2) << ProbeTable::rows(4, 2, {"", "x3", "-1", "4294967296"}) << QVector<unsigned>{0, 0, 0, 0, 0, 0}
            << QVector<int>{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
        QTest::newRow("db duplicate labels: the first row") << ProbeTable::info(Db, 1) << ProbeTable::rows(3, 1, {"5", "5", "05"})
                                                            << QVector<unsigned>{0, 5, 5, 5, 0}
                                                            << QVector<int>{-1, -1, -1, -1, -1, 0, -1, -1, -1, -1};
        QTest::newRow("db empty row") << ProbeTable::info(Db, 1) << DataRows{DataRow()} << QVector<unsigned>{0, 0, 0}
                                      << QVector<int>{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
        QTest::newRow("no rows") << ProbeTable::info(Db, 1) << DataRows() << QVector<unsigned>{0, 0}
                                 << QVector<int>{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    }

    void rowsBothWays()
    {
        QFETCH(TableInfo, info);
        QFETCH(DataRows, data);
        QFETCH(QVector<unsigned>, registerRows);
        QFETCH(QVector<int>, dataRows);

        const RegisterAddress address(info, data);
        for (int i = -1; i <= data.size(); ++i)
            QCOMPARE(address.registerRow(i), registerRows.at(i + 1));
        for (unsigned r = 0; r < unsigned(dataRows.size()); ++r) {
            QCOMPARE(address.dataRow(r), dataRows.at(int(r)));
            // Every data row the register row is the place of, the first of them first.
            QVector<int> all;
            for (int i = 0; i < data.size(); ++i) {
                if (r != 0 && address.registerRow(i) == r)
                    all.append(i);
            }
            QCOMPARE(address.dataRows(r), all);
        }
        // The highest register row of the data rows picked: of all, of none, of each alone.
        const unsigned highest = *std::max_element(registerRows.begin(), registerRows.end());
        QCOMPARE(address.highestRegisterRow([](int) { return true; }), highest);
        QCOMPARE(address.highestRegisterRow([](int) { return false; }), 0u);
        for (int i = 0; i < data.size(); ++i)
            QCOMPARE(address.highestRegisterRow([i](int k) { return k == i; }), address.registerRow(i));
    }

    // The field of cell (i, j), whether it is a label, and the value cells of a row.
    void cells_data()
    {
        QTest::addColumn<TableInfo>("info");
        QTest::addColumn<DataRows>("data");
        QTest::addColumn<int>("i");
        QTest::addColumn<int>("j");
        QTest::addColumn<int>("fieldIndex");
        QTest::addColumn<bool>("label");
        QTest::addColumn<int>("valueCells");

        QTest::newRow("plain: the column") << ProbeTable::info(Plain, 3) << ProbeTable::rows(2, 3) << 1 << 2 << 2 << false << 3;
        QTest::newRow("plain: beyond the fields") << ProbeTable::info(Plain, 3) << ProbeTable::rows(2, 4) << 1 << 3 << -1 << false << 4;
        QTest::newRow("list: the column") << ProbeTable::info(List, 5) << ProbeTable::rows(1, 5) << 0 << 4 << 4 << false << 5;
        QTest::newRow("transposed: the row") << ProbeTable::info(TransposedList, 4) << ProbeTable::rows(4, 1) << 3 << 0 << 3 << false << 1;
        QTest::newRow("transposed: beyond the fields") << ProbeTable::info(TransposedList, 2) << ProbeTable::rows(3, 1) << 2 << 0 << -1
                                                       << false << 1;
        QTest::newRow("db: a value") << ProbeTable::info(Db, 2) << ProbeTable::rows(2, 2, {"4", "8"}) << 1 << 1 << 1 << false << 2;
        QTest::newRow("db: the label") << ProbeTable::info(Db, 2) << ProbeTable::rows(2, 2, {"4", "8"}) << 1 << 2 << -1 << true << 2;
        QTest::newRow("db: a short row's label") << ProbeTable::info(Db, 3) << ProbeTable::rows(1, 1, {"4"}) << 0 << 1 << 1 << true << 1;
        QTest::newRow("plain: the last cell is no label") << ProbeTable::info(Plain, 2) << ProbeTable::rows(1, 2, {"1"}) << 0 << 2 << -1
                                                          << false << 3;
        QTest::newRow("negative cell") << ProbeTable::info(Plain, 2) << ProbeTable::rows(1, 2) << 0 << -1 << -1 << false << 2;
        QTest::newRow("row out of range") << ProbeTable::info(Db, 2) << ProbeTable::rows(1, 2, {"1"}) << 5 << 2 << -1 << false << 0;
        QTest::newRow("db empty row") << ProbeTable::info(Db, 2) << DataRows{DataRow()} << 0 << 0 << 0 << false << 0;
    }

    void cells()
    {
        QFETCH(TableInfo, info);
        QFETCH(DataRows, data);
        QFETCH(int, i);
        QFETCH(int, j);
        QFETCH(int, fieldIndex);
        QFETCH(bool, label);
        QFETCH(int, valueCells);

        const RegisterAddress address(info, data);
        QCOMPARE(address.fieldIndex(i, j), fieldIndex);
        const FieldInfo* field = address.field(i, j);
        QCOMPARE(field ? field->m_name : QString(), fieldIndex < 0 ? QString() : info.fields.at(fieldIndex).m_name);
        QCOMPARE(address.isLabel(i, j), label);
        QCOMPARE(address.valueCells(i), valueCells);
    }

    // The address keeps what it needs: rows and table may go after it is built.
    void outlivesItsSources()
    {
        auto info = std::make_unique<TableInfo>(ProbeTable::info(Db, 2));
        auto data = std::make_unique<DataRows>(ProbeTable::rows(2, 2, {"3", "6"}));
        const RegisterAddress address(*info, *data);
        info.reset();
        data.reset();
        QCOMPARE(address.dataRow(6), 1);
        QCOMPARE(address.field(1, 1)->m_name, QStringLiteral("Поле 2"));
    }
};

VESCOR_TEST(tst_RegisterAddress)
#include "tst_RegisterAddress.moc"
