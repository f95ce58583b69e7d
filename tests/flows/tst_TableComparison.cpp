#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"
#include "flows/TableComparison.h"
#include "model/TableInfo.h"

#include <QTest>

namespace {

// Rows of one table that hold `value` in one field and blanks elsewhere, in
// the table's layout: a Db row ends with its label, a transposed table has a
// row per field.
DataRows rowsWith(const TableInfo& table, int fieldIndex, const QByteArray& value)
{
    DataRow row;
    for (int i = 0; i < table.fields.size(); ++i)
        row.append(Cell(i == fieldIndex ? value : QByteArray()));
    if (table.type == Db) {
        row.append(Cell("1"));
        return {row};
    }
    if (table.type == TransposedList) {
        DataRows rows;
        for (const Cell& cell : row)
            rows.append(DataRow{cell});
        return rows;
    }
    return {row};
}

} // namespace

// What counts as a change between a file and the register: the bytes the
// register would store for each value, in the tables of the default model.
class TableComparisonTest : public QObject
{
    Q_OBJECT

    QList<TableInfo> m_tables;

    const TableInfo* tableOf(unsigned id) const
    {
        for (const TableInfo& table : m_tables) {
            if (table.id == id)
                return &table;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QCOMPARE(TableInfo::readTablesInfo(57, m_tables, error, [] { return 25; }), 0);
    }

    void differs_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<int>("field"); // from 0
        QTest::addColumn<QByteArray>("registerValue");
        QTest::addColumn<QByteArray>("fileValue");
        QTest::addColumn<bool>("differs");

        QTest::newRow("barcode with leading zeros") << 1u << 3 << QByteArray("12345678905") << QByteArray("0012345678905") << false;
        QTest::newRow("another barcode") << 1u << 3 << QByteArray("12345678905") << QByteArray("12345678906") << true;
        QTest::newRow("masked number with a blank") << 2u << 7 << QByteArray("1") << QByteArray(" 1") << false;
        QTest::newRow("number of a whole field with a blank") << 16u << 0 << QByteArray("10.0.0.1") << QByteArray(" 10.0.0.01") << false;
        QTest::newRow("number with zeros") << 2u << 0 << QByteArray("7") << QByteArray("007") << false;
        QTest::newRow("number that the field refuses") << 2u << 0 << QByteArray("7") << QByteArray("7 7") << true;
        QTest::newRow("number with a blank before it") << 2u << 0 << QByteArray("7") << QByteArray(" 7") << false;
        QTest::newRow("money in kopecks with a zero") << 6u << 0 << QByteArray("2000") << QByteArray("02000") << false;
        QTest::newRow("other money") << 6u << 0 << QByteArray("2000") << QByteArray("2200") << true;
        QTest::newRow("list code with a zero") << 1u << 4 << QByteArray("1") << QByteArray("01") << false;
        QTest::newRow("list code not in the list") << 1u << 4 << QByteArray("1") << QByteArray("9") << true;
        QTest::newRow("guillemets stored as quotes") << 1u << 1 << QByteArray("\"Ромашка\"") << QByteArray("«Ромашка»") << false;
        QTest::newRow("trailing blanks are the fill") << 4u << 2 << QByteArray("Спасибо") << QByteArray("Спасибо   ") << false;
        QTest::newRow("a leading blank is printed") << 4u << 2 << QByteArray("1") << QByteArray(" 1") << true;
        QTest::newRow("another text") << 1u << 1 << QByteArray("Молоко") << QByteArray("Кефир") << true;
        QTest::newRow("text the register cannot hold") << 1u << 1 << QByteArray("") << QByteArray("\xF0\x9F\x99\x82") << true;
        QTest::newRow("mac address spelt in capitals") << 16u << 4 << QByteArray("0:1a:2b:3c:4d:5e") << QByteArray("00:1A:2B:3C:4D:5E") << false;
        QTest::newRow("ascii kept as it is") << 16u << 6 << QByteArray("kassa") << QByteArray("KASSA") << true;
        QTest::newRow("equal texts") << 15u << 0 << QByteArray("ofd.example") << QByteArray("ofd.example") << false;
    }

    void differs()
    {
        QFETCH(unsigned, table);
        QFETCH(int, field);
        QFETCH(QByteArray, registerValue);
        QFETCH(QByteArray, fileValue);
        QFETCH(bool, differs);
        const TableInfo* info = tableOf(table);
        QVERIFY(info);
        const TableComparison comparison(*info, rowsWith(*info, field, fileValue), rowsWith(*info, field, registerValue),
                                         ValueCheck(KKT_Logic::charsets()));
        const QVector<TableComparison::CellPair> found = comparison.differences();
        QCOMPARE(found.size(), differs ? 1 : 0);
        if (differs) {
            QCOMPARE(found.first().fieldNumber, info->type == TransposedList ? 1 : field + 1);
            QCOMPARE(QString::fromUtf8(found.first().fileText), TableComparison::fileForm(*info, field, fileValue));
        }
    }

    // The file's cells alone, as the dry run lists them: the places and the
    // texts of the pairs of the whole walk, and the file's marks.
    void fileCells_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<int>("field"); // from 0, the one marked
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("text"); // as the file shows it

        QTest::newRow("money of the commodity base") << 1u << 2 << QByteArray("7990") << QByteArray("79.90");
        QTest::newRow("money below a rouble") << 7u << 2 << QByteArray("5") << QByteArray("0.05");
        QTest::newRow("money longer than any import gives") << 6u << 0 << QByteArray(70, '1') << QByteArray(68, '1') + ".11";
        QTest::newRow("no money") << 1u << 2 << QByteArray() << QByteArray();
        QTest::newRow("money of a table of one record") << 2u << 13 << QByteArray("1000") << QByteArray("1000");
        QTest::newRow("text up to its zero byte") << 1u << 1 << QByteArray("Кефир\0ь", 13) << QByteArray("Кефир");
        QTest::newRow("line of a transposed table") << 4u << 2 << QByteArray("Спасибо") << QByteArray("Спасибо");
    }

    void fileCells()
    {
        QFETCH(unsigned, table);
        QFETCH(int, field);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, text);
        const TableInfo* info = tableOf(table);
        QVERIFY(info);
        DataRows rows = rowsWith(*info, field, value);
        Cell& edited = info->type == TransposedList ? rows[field][0] : rows[0][field];
        edited.changed = true;

        struct Listed
        {
            int row, column, fieldNumber;
            unsigned registerRow;
            bool marked;
            QByteArray text;
        };
        QVector<Listed> pairs;
        TableComparison::forEachCell(*info, rows, DataRows(), ValueCheck(KKT_Logic::charsets()),
                                     [&](const TableComparison::CellPair& pair) {
                                         pairs.append({pair.row, pair.column, pair.fieldNumber, pair.registerRow,
                                                       rows.at(pair.row).at(pair.column).changed, pair.fileText});
                                     });
        QVector<Listed> cells;
        TableComparison::forEachFileCell(*info, rows, RegisterAddress(*info, rows),
                                         [&](const TableComparison::FileCell& cell) {
                                             cells.append({cell.row, cell.column, cell.fieldNumber, cell.registerRow,
                                                           cell.marked, QByteArray(cell.text, cell.size)});
                                         });
        QCOMPARE(cells.size(), pairs.size());
        int marked = 0;
        for (int k = 0; k < cells.size(); ++k) {
            const Listed& cell = cells.at(k);
            const Listed& pair = pairs.at(k);
            QCOMPARE(cell.row, pair.row);
            QCOMPARE(cell.column, pair.column);
            QCOMPARE(cell.fieldNumber, pair.fieldNumber);
            QCOMPARE(cell.registerRow, pair.registerRow);
            QCOMPARE(cell.marked, pair.marked);
            QCOMPARE(cell.text, pair.text);
            if (cell.marked) {
                ++marked;
                QCOMPARE(cell.text, text);
            }
        }
        QCOMPARE(marked, 1);
    }
};

VESCOR_TEST(TableComparisonTest)

#include "tst_TableComparison.moc"
