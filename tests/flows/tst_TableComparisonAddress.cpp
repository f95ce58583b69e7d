#include "support/ProbeTable.h"
#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"
#include "flows/TableComparison.h"
#include "model/TableInfo.h"

#include <QTest>

namespace {

// One compared cell as "file row.cell -> register row.field [field index] in|out same|differs".
QString shown(const TableComparison::CellPair& pair)
{
    return QStringLiteral("%1.%2 -> %3.%4 [%5] %6 %7")
        .arg(pair.row)
        .arg(pair.column)
        .arg(pair.registerRow)
        .arg(pair.fieldNumber)
        .arg(pair.fieldIndex)
        .arg(pair.inRegister ? QStringLiteral("in") : QStringLiteral("out"),
             pair.differs ? QStringLiteral("differs") : QStringLiteral("same"));
}

} // namespace

Q_DECLARE_METATYPE(DataRows)

// The comparison of a file with the register finds each file cell at the
// register address the write would use.
class TableComparisonAddressTest : public QObject
{
    Q_OBJECT

private slots:
    void cellsMeetTheirRegisterCells_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("fields");
        QTest::addColumn<DataRows>("fileRows");
        QTest::addColumn<DataRows>("registerRows");
        QTest::addColumn<QStringList>("cells");

        QTest::newRow("db: by label, whatever the order; labels are not compared")
            << int(Db) << 2 << DataRows{{{"1"}, {"2"}, {"3"}}, {{"5"}, {"6"}, {"1"}}}
            << DataRows{{{"5"}, {"6"}, {"1"}}, {{"0"}, {"0"}, {"2"}}, {{"1"}, {"9"}, {"3"}}}
            << QStringList{"0.0 -> 3.1 [0] in same", "0.1 -> 3.2 [1] in differs", "1.0 -> 1.1 [0] in same",
                           "1.1 -> 1.2 [1] in same"};
        QTest::newRow("db: a row the register lacks, a label that is no row number")
            << int(Db) << 1 << DataRows{{{"4"}, {"8"}}, {{"4"}, {"x"}}} << DataRows{{{"4"}, {"1"}}}
            << QStringList{"0.0 -> 8.1 [0] out differs", "1.0 -> 0.1 [0] out differs"};
        QTest::newRow("list: one row by field, beyond the description")
            << int(List) << 2 << DataRows{{{"1"}, {"2"}, {"3"}}} << DataRows{{{"1"}, {"7"}, {"3"}, {"1"}}}
            << QStringList{"0.0 -> 1.1 [0] in same", "0.1 -> 1.2 [1] in differs", "0.2 -> 1.3 [-1] in differs"};
        QTest::newRow("transposed: the field of the data row")
            << int(TransposedList) << 2 << DataRows{{{"1"}}, {{"2"}}, {{"3"}}}
            << DataRows{{{"1"}, {"1"}}, {{"5"}, {"2"}}}
            << QStringList{"0.0 -> 1.1 [0] in same", "1.0 -> 2.1 [1] in differs", "2.0 -> 3.1 [-1] out differs"};
        QTest::newRow("nothing read: every cell differs") << int(Plain) << 1 << DataRows{{{"1"}}} << DataRows()
                                                          << QStringList{"0.0 -> 1.1 [0] out differs"};
    }

    void cellsMeetTheirRegisterCells()
    {
        QFETCH(int, type);
        QFETCH(int, fields);
        QFETCH(DataRows, fileRows);
        QFETCH(DataRows, registerRows);
        QFETCH(QStringList, cells);

        const TableInfo table = ProbeTable::info(TableType(type), fields);
        const ValueCheck check(KKT_Logic::charsets());
        const TableComparison comparison(table, fileRows, registerRows, check);
        QStringList found;
        for (const TableComparison::CellPair& pair : comparison.cells())
            found << shown(pair);
        QCOMPARE(found, cells);

        // A pair made again for its one cell is the pair the walk handed.
        const RegisterAddress fileAddress(table, fileRows), registerAddress(table, registerRows);
        for (const TableComparison::CellPair& pair : comparison.cells()) {
            const TableComparison::CellPair again = TableComparison::pairAt(
                table, fileRows, fileAddress, registerRows, registerAddress, pair.row, pair.column, pair.differs);
            QCOMPARE(shown(again), shown(pair));
            QCOMPARE(again.fileText, pair.fileText);
            QCOMPARE(again.registerText, pair.registerText);
        }
    }
};

VESCOR_TEST(TableComparisonAddressTest)
#include "tst_TableComparisonAddress.moc"
