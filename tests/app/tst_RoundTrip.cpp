#include "ExchangeHarness.h"

#include "support/PlainLayoutModel.h"
#include "support/TestMain.h"

#include "exchange/FileTextCodec.h"

#include <QRegularExpression>
#include <QTextCodec>

using namespace exchangetest;

namespace {

const int Goods = 12;

QString fileOf(const QString& directory, unsigned table)
{
    return QStringLiteral("%1/%2_%3.csv").arg(directory, Serial).arg(table);
}

// Every stored cell of a model, row after row.
QList<QByteArray> storedCells(const TableModel& model)
{
    QList<QByteArray> cells;
    for (const DataRow& row : model.tableData()) {
        for (const Cell& cell : row)
            cells << cell.value;
    }
    return cells;
}

int markedCells(const TableModel& model)
{
    int count = 0;
    for (const DataRow& row : model.tableData()) {
        for (const Cell& cell : row)
            count += cell.changed ? 1 : 0;
    }
    return count;
}

// Replaces one value of a data line of an exported file, as a text editor would.
// Values are quoted, quotes inside doubled.
bool editFile(const QString& path, int dataLine, int valueIndex, const QString& value)
{
    const QByteArray bytes = fileBytes(path);
    const QString text = FileTextCodec::forReading(bytes)->toUnicode(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() <= dataLine + 2)
        return false;
    QStringList values;
    const QRegularExpression quoted(QStringLiteral("\"((?:[^\"]|\"\")*)\""));
    auto it = quoted.globalMatch(lines.at(dataLine + 2));
    while (it.hasNext())
        values << it.next().captured(1);
    if (valueIndex >= values.size())
        return false;
    QString escaped = value;
    values[valueIndex] = escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    lines[dataLine + 2] = QLatin1Char('"') + values.join(QLatin1String("\";\"")) + QLatin1Char('"');
    const QString edited = lines.join(QLatin1Char('\n'));
    return writeBytes(path, FileTextCodec::forWriting({edited})->fromUnicode(edited));
}

} // namespace

Q_DECLARE_METATYPE(exchangetest::CellKey)

class RoundTripTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    QString status() const { return h.window->statusText(); }

    void importAndWrite(const QString& file, unsigned table, int& marked)
    {
        h.import(file);
        QCOMPARE(status(), QStringLiteral("Успешно прочитан файл %1 ").arg(QFileInfo(file).fileName()));
        QCOMPARE(h.tabTables(), QList<unsigned>{table});
        marked = markedCells(*h.tabModel(0));
        const QString imported = status();
        h.clickWrite();
        QVERIFY(h.boxes.isEmpty());
        // Nothing marked: nothing to write, the button takes no click.
        QCOMPARE(status(), marked ? QStringLiteral("Успешно записано %1 ячеек в %2 таблицах").arg(marked).arg(1) : imported);
        QCOMPARE(markedCells(*h.tabModel(0)), 0);
    }

private slots:
    void initTestCase()
    {
        h.installHandlers();
        QVERIFY(PlainLayoutModel::write());
    }

    void cleanupTestCase()
    {
        Harness::removeHandlers();
        PlainLayoutModel::remove();
    }
    void init() { QVERIFY(h.start()); }
    void cleanup() { h.stop(); }

    // Read, export, import, write, read again: the register holds the bytes it held.
    void registerKeepsItsBytes_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<bool>("written"); // whether the import marks any cell

        QTest::newRow("db, commodity base") << 1u << true;
        QTest::newRow("list") << 2u << true;
        QTest::newRow("db, money in bin2, read-only rows") << 6u << true;
        QTest::newRow("db, zero fill, read-only row") << 5u << true;
        QTest::newRow("transposed list") << 4u << true;
        QTest::newRow("list, addresses") << 16u << true;
        QTest::newRow("plain (its own model)") << 15u << false;
        QTest::newRow("db, read-only field") << 7u << true;
    }

    void registerKeepsItsBytes()
    {
        QFETCH(unsigned, table);
        QFETCH(bool, written);

        QVERIFY(h.install(table == PlainLayoutModel::Table ? PlainLayoutModel::image(Goods) : smallRegister(Goods)));
        QVERIFY(h.readAll());
        const RegisterCells before = h.cells();
        const QList<QByteArray> shown = storedCells(*h.modelOfTable(table));
        const QString out = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QVERIFY(h.exportAll(out));
        QCOMPARE(status(), Done);
        const QByteArray file = fileBytes(fileOf(out, table));
        QVERIFY(!file.isEmpty());

        int marked = 0;
        importAndWrite(fileOf(out, table), table, marked);
        QCOMPARE(marked > 0, written);
        QCOMPARE(differences(before, h.cells()), QList<CellKey>{});
        QVERIFY(h.closedAtEnd());

        QVERIFY(h.readAll());
        QCOMPARE(storedCells(*h.modelOfTable(table)), shown);
        const QString again = h.path(QStringLiteral("again"));
        QVERIFY(QDir().mkpath(again));
        QVERIFY(h.exportAll(again));
        QCOMPARE(fileBytes(fileOf(again, table)), file);
    }

    // One value changed in the file outside the program changes exactly that
    // cell on the register, and the next read shows it; a value the program
    // does not write changes nothing.
    void editedFileChangesOneCell_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<int>("dataLine");
        QTest::addColumn<int>("valueIndex");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("changes");
        QTest::addColumn<CellKey>("cell");
        QTest::addColumn<int>("viewRow");
        QTest::addColumn<int>("viewColumn");
        QTest::addColumn<QString>("shown");

        QTest::newRow("db name") << 1u << 3 << 2 << "Кефир 3,2% \"Домик\"; 1 л" << true << CellKey(1, 4, 2) << 3 << 1
                                 << "Кефир 3,2% \"Домик\"; 1 л";
        QTest::newRow("db money") << 1u << 0 << 3 << "123.45" << true << CellKey(1, 1, 3) << 0 << 2 << "123.45";
        QTest::newRow("db money, the last kopeck") << 1u << 11 << 3 << "0.29" << true << CellKey(1, 12, 3) << 11 << 2
                                                   << "0.29";
        QTest::newRow("db list") << 1u << 5 << 5 << "4" << true << CellKey(1, 6, 5) << 5 << 4 << "НДС 20/120";
        QTest::newRow("db int bin4") << 1u << 2 << 7 << "2147483647" << true << CellKey(1, 3, 7) << 2 << 6
                                     << "2147483647";
        QTest::newRow("db masked bcd8") << 1u << 1 << 4 << "0000000000042" << true << CellKey(1, 2, 4) << 1 << 3
                                        << "0000000000042";
        QTest::newRow("db read-only field") << 1u << 1 << 1 << "999" << false << CellKey() << 1 << 0 << QString();
        QTest::newRow("db money in bin2") << 6u << 1 << 1 << "5.55" << true << CellKey(6, 2, 1) << 1 << 0 << "5.55";
        QTest::newRow("db read-only row") << 6u << 2 << 2 << "НДС 7%" << false << CellKey() << 2 << 1 << QString();
        QTest::newRow("db zero-filled text") << 5u << 7 << 1 << "СБП" << true << CellKey(5, 8, 1) << 7 << 0 << "СБП";
        QTest::newRow("db money bcd6") << 7u << 15 << 3 << "9876543.21" << true << CellKey(7, 16, 3) << 15 << 2
                                       << "9876543.21";
        QTest::newRow("list int") << 2u << 0 << 0 << "42" << true << CellKey(2, 1, 1) << 0 << 0 << "42";
        QTest::newRow("list big-endian") << 2u << 0 << 5 << "4660" << true << CellKey(2, 1, 6) << 5 << 0 << "4660";
        QTest::newRow("list masked phone") << 2u << 0 << 9 << "+7(812)765-43-21" << true << CellKey(2, 1, 10) << 9
                                           << 0 << "+7(812)765-43-21";
        QTest::newRow("list money, stored as kopecks") << 2u << 0 << 13 << "987654321" << true << CellKey(2, 1, 14)
                                                       << 13 << 0 << "9876543.21";
        QTest::newRow("list reserved field") << 2u << 0 << 10 << "7" << false << CellKey() << 10 << 0 << QString();
        QTest::newRow("transposed") << 4u << 0 << 2 << "ИНН 7709876543" << true << CellKey(4, 3, 1) << 2 << 0
                                    << "ИНН 7709876543";
        QTest::newRow("list address") << 16u << 0 << 0 << "10.0.0.42" << true << CellKey(16, 1, 1) << 0 << 0
                                      << "10.0.0.42";
        QTest::newRow("list ascii") << 16u << 0 << 6 << "kassa-58.local" << true << CellKey(16, 1, 7) << 6 << 0
                                    << "kassa-58.local";
    }

    void editedFileChangesOneCell()
    {
        QFETCH(unsigned, table);
        QFETCH(int, dataLine);
        QFETCH(int, valueIndex);
        QFETCH(QString, value);
        QFETCH(bool, changes);
        QFETCH(CellKey, cell);
        QFETCH(int, viewRow);
        QFETCH(int, viewColumn);
        QFETCH(QString, shown);

        QVERIFY(h.install(smallRegister(Goods)));
        QVERIFY(h.readAll());
        const RegisterCells before = h.cells();
        const QString old = h.modelOfTable(table)->index(viewRow, viewColumn).data().toString();
        QVERIFY2(old != value && old != shown, qPrintable(old));
        const QString out = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QVERIFY(h.exportAll(out));
        QVERIFY(editFile(fileOf(out, table), dataLine, valueIndex, value));

        int marked = 0;
        importAndWrite(fileOf(out, table), table, marked);
        QVERIFY(marked > 0);
        QCOMPARE(differences(before, h.cells()), changes ? QList<CellKey>{cell} : QList<CellKey>{});

        QVERIFY(h.readAll());
        QCOMPARE(h.modelOfTable(table)->index(viewRow, viewColumn).data().toString(), changes ? shown : old);
    }
};

VESCOR_TEST(RoundTripTest)

#include "tst_RoundTrip.moc"
