#include "TableFixtures.h"
#include "model/LogCapture.h"
#include "support/TestMain.h"

#include "common/Errors.h"
#include "model/MoneyText.h"
#include "table/CellColors.h"
#include "table/TableModel.h"

#include <QColor>
#include <QFont>
#include <QSignalSpy>
#include <QTest>

using namespace fixtures;

Q_DECLARE_METATYPE(TableType)
Q_DECLARE_METATYPE(FieldInfo)
Q_DECLARE_METATYPE(DataRows)

namespace {

const QString reserved = QStringLiteral("Зарезервировано");

QString backgroundName(const QVariant& value)
{
    return value.isValid() ? qvariant_cast<QColor>(value).name() : QString();
}

QString errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RunTimeError& error) {
        return error.message();
    }
    return QString();
}

} // namespace

class TestTableModel : public QObject
{
    Q_OBJECT

private slots:
    void shape_data();
    void shape();
    void headers();
    void listHeaders();
    void headerRoleAndPlain();
    void moneyDisplay_data();
    void moneyDisplay();
    void moneyEdit_data();
    void moneyEdit();
    void zeroFilledDisplay_data();
    void zeroFilledDisplay();
    void zeroFilledEdit_data();
    void zeroFilledEdit();
    void listDisplay_data();
    void listDisplay();
    void listEdit_data();
    void listEdit();
    void plainTextEdit();
    void transposedEditUsesRowField();
    void setDataRefusals();
    void adoptWrittenRows_data();
    void adoptWrittenRows();
    void writtenRowsStayShared_data();
    void writtenRowsStayShared();
    void background_data();
    void background();
    void flags_data();
    void flags();
    void font();
    void displayErrors_data();
    void displayErrors();
    void displayErrorReportedOnce();
    void accessors();
    void cellTextAndRowLabel();
    void rowLabelOutOfRange_data();
    void rowLabelOutOfRange();
};

void TestTableModel::shape_data()
{
    QTest::addColumn<TableType>("type");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");

    QTest::newRow("db: data rows x fields") << Db << 4 << 3;
    QTest::newRow("list: fields x 1") << List << 3 << 1;
    QTest::newRow("transposed: fields x 1") << TransposedList << 3 << 1;
    QTest::newRow("plain: nothing") << Plain << 0 << 0;
}

void TestTableModel::shape()
{
    QFETCH(TableType, type);
    QFETCH(int, rows);
    QFETCH(int, columns);

    const QVector<FieldInfo> fields{field("a", FieldInfo::String), field("b", FieldInfo::String),
                                    field("c", FieldInfo::String)};
    DataRows data;
    if (type == Db)
        data = dbRows({{"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"1", "1", "1"}});
    else if (type == TransposedList)
        data = transposedRows({"1", "2", "3"});
    else
        data = listRows({"1", "2", "3"});
    TableModel model(table(type, fields), data);
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(model.columnCount(), columns);
    // Never a column for the row label.
    QVERIFY(!model.index(0, columns).isValid());
}

void TestTableModel::headers()
{
    const QVector<FieldInfo> fields{field("Код", FieldInfo::String), field("Имя", FieldInfo::String)};
    const DataRows rows = dbRows({{"1", "a"}, {"2", "b"}, {"3", "c"}});

    TableModel unnamed(table(Db, fields), rows);
    QCOMPARE(unnamed.headerData(0, Qt::Horizontal).toString(), QStringLiteral("1 . Код"));
    QCOMPARE(unnamed.headerData(1, Qt::Horizontal).toString(), QStringLiteral("2 . Имя"));
    QVERIFY(!unnamed.headerData(2, Qt::Horizontal).isValid());
    QCOMPARE(unnamed.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    QCOMPARE(unnamed.headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    QVERIFY(!unnamed.headerData(3, Qt::Vertical).isValid());
    QVERIFY(!unnamed.headerData(-1, Qt::Vertical).isValid());

    // Row names give the titles; the rows beyond the names show their labels.
    TableInfo named = table(Db, fields);
    named.rowNames = QStringList{"Первая", "Вторая"};
    TableModel model(named, rows);
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("Первая"));
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("Вторая"));
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
}

void TestTableModel::listHeaders()
{
    QVector<FieldInfo> fields;
    for (const char* name : {"a", "b", "c", "d", "e"})
        fields << field(name, FieldInfo::String);
    for (TableType type : {List, TransposedList}) {
        TableModel model(table(type, fields),
                         type == List ? listRows({"1", "2", "3", "4", "5"}) : transposedRows({"1", "2", "3", "4", "5"}));
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.columnCount(), 1);
        QStringList titles;
        for (int i = 0; i < 5; ++i)
            titles << model.headerData(i, Qt::Vertical).toString();
        QCOMPARE(titles, (QStringList{"1 . a", "2 . b", "3 . c", "4 . d", "5 . e"}));
        QVERIFY(!model.headerData(0, Qt::Horizontal).isValid());
        QVERIFY(!model.headerData(5, Qt::Vertical).isValid());
    }
}

void TestTableModel::headerRoleAndPlain()
{
    const QVector<FieldInfo> fields{field("a", FieldInfo::String)};
    TableModel db(table(Db, fields), dbRows({{"x"}}));
    QVERIFY(!db.headerData(0, Qt::Horizontal, Qt::EditRole).isValid());
    QVERIFY(!db.headerData(0, Qt::Vertical, Qt::ToolTipRole).isValid());

    TableModel plain(table(Plain, fields), dbRows({{"x"}}));
    QVERIFY(!plain.headerData(0, Qt::Horizontal).isValid());
    QVERIFY(!plain.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!plain.index(0, 0).isValid());
}

void TestTableModel::moneyDisplay_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("zero") << "0" << "0.00";
    QTest::newRow("one digit") << "5" << "0.05";
    QTest::newRow("two digits") << "12" << "0.12";
    QTest::newRow("three digits") << "123" << "1.23";
    QTest::newRow("four digits") << "1234" << "12.34";
    QTest::newRow("zeros") << "000" << "0.00";
    QTest::newRow("kopecks with zero") << "005" << "0.05";
    QTest::newRow("empty") << "" << "";
}

void TestTableModel::moneyDisplay()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);

    TableModel model(table(Db, {moneyField("Цена")}), dbRows({{stored}}));
    QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), shown);
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole).toString(), shown);
    QCOMPARE(model.cellText(0, 0), shown);
    QCOMPARE(MoneyText::fromKopecks(stored.toUtf8()), shown);
}

void TestTableModel::moneyEdit_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("shown");

    QTest::newRow("point") << "100" << "12.34" << true << "1234" << "12.34";
    QTest::newRow("one decimal") << "100" << "12.5" << true << "1250" << "12.50";
    QTest::newRow("comma") << "100" << "12,34" << true << "1234" << "12.34";
    QTest::newRow("no separator") << "100" << "12" << true << "1200" << "12.00";
    QTest::newRow("kopecks only") << "100" << "0.05" << true << "5" << "0.05";
    QTest::newRow("trailing point") << "100" << "7." << true << "700" << "7.00";
    QTest::newRow("no roubles") << "100" << ".5" << true << "50" << "0.50";
    // The register keeps no empty amount.
    QTest::newRow("emptied") << "100" << "" << false << "100" << "1.00";
    QTest::newRow("same amount") << "1250" << "12.50" << false << "1250" << "12.50";
    QTest::newRow("same amount under a rouble") << "56" << "0.56" << false << "56" << "0.56";
    QTest::newRow("same amount otherwise written") << "1250" << "12,5" << false << "1250" << "12.50";
    QTest::newRow("same text as stored") << "1250" << "1250" << false << "1250" << "12.50";
    QTest::newRow("three decimals") << "100" << "12.345" << false << "100" << "1.00";
    QTest::newRow("two separators") << "100" << "1.2.3" << false << "100" << "1.00";
    QTest::newRow("not a number") << "100" << "abc" << false << "100" << "1.00";
    QTest::newRow("negative") << "100" << "-5" << false << "100" << "1.00";
    QTest::newRow("exponent") << "100" << "1e3" << false << "100" << "1.00";
    QTest::newRow("separator alone") << "100" << "." << false << "100" << "1.00";
}

void TestTableModel::moneyEdit()
{
    QFETCH(QString, before);
    QFETCH(QString, input);
    QFETCH(bool, accepted);
    QFETCH(QString, after);
    QFETCH(QString, shown);

    TableModel model(table(Db, {field("Имя", FieldInfo::String), moneyField("Цена")}),
                     dbRows({{"x", before}}));
    QSignalSpy changedSpy(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex index = model.index(0, 1);
    QCOMPARE(model.setData(index, input, Qt::EditRole), accepted);
    QCOMPARE(QString::fromUtf8(model.tableData()[0][1].value), after);
    QCOMPARE(model.tableData()[0][1].changed, accepted);
    QCOMPARE(model.data(index).toString(), shown);
    QCOMPARE(model.hasChangedCells(), accepted);
    QCOMPARE(changedSpy.count(), accepted ? 1 : 0);
    if (accepted) {
        QCOMPARE(changedSpy[0][0].toModelIndex(), index);
        QCOMPARE(changedSpy[0][1].toModelIndex(), index);
    }
    // The neighbours and the label stay as they were.
    QCOMPARE(model.tableData()[0][0], Cell("x"));
    QCOMPARE(model.tableData()[0][2], Cell("1"));
}

void TestTableModel::zeroFilledDisplay_data()
{
    QTest::addColumn<FieldInfo>("descriptor");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QVariant>("shown");

    const FieldInfo zeros = maskedField("Номер", "000000");
    QTest::newRow("padded") << zeros << "42" << QVariant("000042");
    QTest::newRow("zero shows empty") << zeros << "0" << QVariant();
    QTest::newRow("full width") << zeros << "123456" << QVariant("123456");
    QTest::newRow("longer is not cut") << zeros << "1234567" << QVariant("1234567");
    QTest::newRow("mask with a literal") << maskedField("Номер", "00-00") << "42" << QVariant("42");
    QTest::newRow("mask of other digits") << maskedField("Номер", "999999") << "42" << QVariant("42");
    QTest::newRow("not a bcd field") << maskedField("Номер", "0000", FieldInfo::Bin4) << "42" << QVariant("42");
    QTest::newRow("bcd64_1") << maskedField("Номер", "00", FieldInfo::Bcd64_1) << "4" << QVariant("4");
    QTest::newRow("empty mask") << maskedField("Номер", "") << "42" << QVariant("42");
    FieldInfo plain = field("Номер", FieldInfo::String, FieldInfo::Bcd3);
    plain.m_mask = "000000";
    QTest::newRow("string field with the mask") << plain << "42" << QVariant("42");
}

void TestTableModel::zeroFilledDisplay()
{
    QFETCH(FieldInfo, descriptor);
    QFETCH(QString, stored);
    QFETCH(QVariant, shown);

    TableModel model(table(Db, {descriptor}), dbRows({{stored}}));
    for (int role : {int(Qt::DisplayRole), int(Qt::EditRole)}) {
        const QVariant value = model.data(model.index(0, 0), role);
        QCOMPARE(value.isValid(), shown.isValid());
        QCOMPARE(value.toString(), shown.toString());
    }
}

void TestTableModel::zeroFilledEdit_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("after");

    QTest::newRow("leading zeros dropped") << "0" << "000042" << true << "42";
    QTest::newRow("plain number") << "7" << "42" << true << "42";
    QTest::newRow("zero") << "42" << "0" << true << "0";
    QTest::newRow("all zeros") << "42" << "000000" << true << "0";
    QTest::newRow("emptied means zero") << "42" << "" << true << "0";
    QTest::newRow("same number padded") << "42" << "000042" << false << "42";
    QTest::newRow("same text") << "42" << "42" << false << "42";
    QTest::newRow("zero again") << "0" << "" << false << "0";
    QTest::newRow("not a number") << "42" << "4a" << false << "42";
    QTest::newRow("beyond 64 bits") << "42" << "99999999999999999999" << false << "42";
    QTest::newRow("negative") << "42" << "-1" << false << "42";
}

void TestTableModel::zeroFilledEdit()
{
    QFETCH(QString, before);
    QFETCH(QString, input);
    QFETCH(bool, accepted);
    QFETCH(QString, after);

    TableModel model(table(List, {field("a", FieldInfo::String), maskedField("Номер", "000000")}),
                     listRows({"s", before}));
    const QModelIndex index = model.index(1, 0);
    QCOMPARE(model.setData(index, input), accepted);
    QCOMPARE(QString::fromUtf8(model.tableData()[0][1].value), after);
    QCOMPARE(model.tableData()[0][1].changed, accepted);
}

void TestTableModel::listDisplay_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("first code") << "0" << "Нет";
    QTest::newRow("other code") << "5" << "Авто";
    QTest::newRow("code without item") << "3" << "";
    QTest::newRow("not a number counts as 0") << "x" << "Нет";
    QTest::newRow("negative") << "-1" << "";
    QTest::newRow("beyond 32 bits") << "4294967296" << "";
    QTest::newRow("blanks around the code") << " 5 " << "Авто";
    QTest::newRow("negative zero") << "-0" << "Нет";
}

void TestTableModel::listDisplay()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);

    TableModel model(table(Db, {listField("Режим", {{0, "Нет"}, {1, "Да"}, {5, "Авто"}})}), dbRows({{stored}}));
    QCOMPARE(model.data(model.index(0, 0)).toString(), shown);
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole).toString(), shown);
    // The export sees the code itself.
    QCOMPARE(model.cellText(0, 0), stored);
}

void TestTableModel::listEdit_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("itemsVisited"); // each visit writes two debug lines

    QTest::newRow("choose another") << "0" << "Авто" << true << "5" << 3;
    QTest::newRow("choose from unknown code") << "3" << "Да" << true << "1" << 2;
    QTest::newRow("same item") << "1" << "Да" << false << "1" << 2;
    QTest::newRow("case differs") << "0" << "да" << false << "0" << 3;
    QTest::newRow("no such item") << "0" << "Может быть" << false << "0" << 3;
    QTest::newRow("no choice made") << "3" << "" << false << "3" << 3;
    QTest::newRow("code typed instead of text") << "0" << "5" << false << "0" << 3;
}

void TestTableModel::listEdit()
{
    QFETCH(QString, before);
    QFETCH(QString, input);
    QFETCH(bool, accepted);
    QFETCH(QString, after);
    QFETCH(int, itemsVisited);

    TableModel model(table(TransposedList, {field("a", FieldInfo::String),
                                            listField("Режим", {{0, "Нет"}, {1, "Да"}, {5, "Авто"}})}),
                     transposedRows({"s", before}));
    LogCapture log;
    QCOMPARE(model.setData(model.index(1, 0), input), accepted);
    QCOMPARE(QString::fromUtf8(model.tableData()[1][0].value), after);
    QCOMPARE(model.tableData()[1][0].changed, accepted);
    QVERIFY(!model.tableData()[0][0].changed);

    // The items in the order of their codes, each with the text looked for;
    // a new code is told with the cell it goes to.
    const QStringList items{"Нет", "Да", "Авто"};
    QStringList expected{QStringLiteral("TableModel::setData(), value =  \"%1\"").arg(input)};
    for (int i = 0; i < itemsVisited; ++i) {
        expected << QStringLiteral("it->second \"%1\"").arg(items.at(i))
                 << QStringLiteral("value.toString() \"%1\"").arg(input);
    }
    if (accepted)
        expected << QStringLiteral("Y =  1 Y =  0  m_tableData[curX][curY] =  \"%1\"").arg(after);
    QCOMPARE(log.lines(), expected);
}

void TestTableModel::plainTextEdit()
{
    TableModel model(table(Db, {field("Текст", FieldInfo::String), intField("Число", 0, 100)}),
                     dbRows({{"Привет", "5"}, {"", "6"}}));
    QVERIFY(model.setData(model.index(1, 0), QStringLiteral("Строка №2")));
    QCOMPARE(model.tableData()[1][0], Cell(QStringLiteral("Строка №2").toUtf8(), true));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("Строка №2"));
    QVERIFY(model.setData(model.index(0, 1), 42));
    QCOMPARE(model.tableData()[0][1], Cell("42", true));
    QVERIFY(!model.tableData()[0][0].changed);
    QVERIFY(!model.tableData()[1][1].changed);
}

void TestTableModel::transposedEditUsesRowField()
{
    TableModel model(table(TransposedList, {field("Имя", FieldInfo::String), moneyField("Сумма")}),
                     transposedRows({"abc", "0"}));
    QVERIFY(model.setData(model.index(1, 0), "1.5"));
    QCOMPARE(model.tableData()[1][0], Cell("150", true));
    QVERIFY(model.setData(model.index(0, 0), "1.5"));
    QCOMPARE(model.tableData()[0][0], Cell("1.5", true));
    QCOMPARE(model.tableData()[1][1], Cell("2"));
}

void TestTableModel::setDataRefusals()
{
    TableModel model(table(Db, {field("a", FieldInfo::String)}), dbRows({{"x"}}));
    QSignalSpy changedSpy(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(!model.setData(QModelIndex(), "y"));
    QVERIFY(!model.setData(model.index(0, 0), "y", Qt::DisplayRole));
    QVERIFY(!model.setData(model.index(0, 0), "y", Qt::UserRole));
    QVERIFY(!model.setData(model.index(0, 0), "x"));
    QCOMPARE(model.tableData()[0][0], Cell("x"));
    QCOMPARE(changedSpy.count(), 0);

    // Confirming an unchanged text keeps a mark that was set before.
    QVERIFY(model.setData(model.index(0, 0), "y"));
    QVERIFY(!model.setData(model.index(0, 0), "y"));
    QCOMPARE(model.tableData()[0][0], Cell("y", true));

    // A row that holds fewer cells than the table has fields.
    DataRows shortRow{DataRow{Cell("1")}};
    TableModel broken(table(Db, {field("a", FieldInfo::String), field("b", FieldInfo::String)}), shortRow);
    QVERIFY(!broken.setData(broken.index(0, 1), "z"));
    QCOMPARE(broken.tableData(), shortRow);

    // A List table without its data row.
    TableModel empty(table(List, {field("a", FieldInfo::String)}), DataRows());
    QVERIFY(!empty.setData(empty.index(0, 0), "z"));
    QVERIFY(empty.tableData().isEmpty());
}

void TestTableModel::adoptWrittenRows_data()
{
    QTest::addColumn<DataRows>("written");
    QTest::addColumn<bool>("stillMarked");
    QTest::addColumn<int>("repaints");

    // The edit "y" of cell (0, 0) was written to a copy of the rows.
    QTest::newRow("mark cleared") << DataRows{DataRow{Cell("y"), Cell("1")}} << false << 1;
    QTest::newRow("write failed") << DataRows{DataRow{Cell("y", true), Cell("1")}} << true << 0;
    QTest::newRow("edited since the copy") << DataRows{DataRow{Cell("z"), Cell("1")}} << true << 0;
    QTest::newRow("no rows") << DataRows() << true << 0;
}

void TestTableModel::adoptWrittenRows()
{
    QFETCH(DataRows, written);
    QFETCH(bool, stillMarked);
    QFETCH(int, repaints);
    TableModel model(table(Db, {field("a", FieldInfo::String)}), dbRows({{"x"}}));
    QVERIFY(model.setData(model.index(0, 0), "y"));
    QSignalSpy repaint(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy marks(&model, &TableModel::marksChanged);

    model.adoptWrittenRows(written);
    QCOMPARE(model.tableData()[0][0], Cell("y", stillMarked));
    QCOMPARE(model.hasChangedCells(), stillMarked);
    // A cell written holds the register's value: it is the value read now.
    QCOMPARE(model.readValue(0, 0), QByteArray(stillMarked ? "x" : "y"));
    QCOMPARE(model.isEdited(0, 0), stillMarked);
    QCOMPARE(model.registerRows(), model.tableData());
    // The view repaints through the model's signal, the window's marks through marksChanged.
    QCOMPARE(repaint.count(), repaints);
    QCOMPARE(marks.count(), 1);
}

void TestTableModel::writtenRowsStayShared_data()
{
    QTest::addColumn<TableType>("type");
    QTest::addColumn<QList<int>>("edited"); // data rows whose first cell is edited and written

    QTest::newRow("db, one row of many") << Db << QList<int>{50};
    QTest::newRow("db, the first and the last row") << Db << QList<int>{0, 99};
    QTest::newRow("transposed, one field") << TransposedList << QList<int>{1};
}

// A write of a few cells takes a copy of their rows only: every other row stays
// the row the model was given, shared, and no second copy of the table is kept.
void TestTableModel::writtenRowsStayShared()
{
    QFETCH(TableType, type);
    QFETCH(QList<int>, edited);
    const bool db = type == Db;
    QList<QStringList> values;
    for (int i = 0; i < 100; ++i)
        values << QStringList{QStringLiteral("Товар %1").arg(i)};
    const DataRows rows = db ? dbRows(values) : transposedRows({"abc", "def", "ghi"});
    const TableInfo info = db ? table(Db, {field("a", FieldInfo::String)})
                              : table(TransposedList, {field("a", FieldInfo::String), field("b", FieldInfo::String),
                                                       field("c", FieldInfo::String)});
    TableModel model(info, rows);
    for (const int row : edited)
        QVERIFY(model.setStoredValue(row, 0, "new"));
    DataRows written = model.tableData();
    for (const int row : edited)
        written[row][0].changed = false;

    model.adoptWrittenRows(written);
    QVERIFY(!model.hasChangedCells());
    for (int r = 0; r < rows.size(); ++r) {
        QCOMPARE(model.tableData()[r][0].value, edited.contains(r) ? QByteArray("new") : rows[r][0].value);
        QVERIFY2(model.tableData()[r].isSharedWith(rows[r]) != edited.contains(r), qPrintable(QString::number(r)));
        QCOMPARE(model.readValue(r, 0), model.tableData()[r][0].value);
    }
}

void TestTableModel::background_data()
{
    QTest::addColumn<TableType>("type");
    QTest::addColumn<bool>("readOnlyField");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<bool>("readOnlyRow");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("colour");

    const QString none;
    const QString grey = CellColors::reserved;
    const QString green = CellColors::changed;
    const QString yellow = CellColors::readOnly;

    QTest::newRow("plain cell") << Db << false << "Поле" << "Ряд" << false << false << none;
    QTest::newRow("changed") << Db << false << "Поле" << "Ряд" << false << true << green;
    QTest::newRow("read-only field") << Db << true << "Поле" << "Ряд" << false << false << yellow;
    QTest::newRow("read-only field, changed") << Db << true << "Поле" << "Ряд" << false << true << yellow;
    QTest::newRow("reserved row") << Db << false << "Поле" << "Ряд (Зарезервировано)" << false << false << grey;
    QTest::newRow("reserved row, changed") << Db << false << "Поле" << "Зарезервировано" << false << true << green;
    QTest::newRow("reserved row, read-only field") << Db << true << "Поле" << "Зарезервировано" << false << false << yellow;
    QTest::newRow("reserved word in lower case") << Db << false << "Поле" << "зарезервировано" << false << false << none;
    QTest::newRow("read-only row") << Db << false << "Поле" << "Ряд" << true << false << yellow;
    QTest::newRow("read-only row, changed") << Db << false << "Поле" << "Ряд" << true << true << yellow;
    QTest::newRow("db: reserved field name alone") << Db << false << "Зарезервировано" << "Ряд" << false << false << none;
    QTest::newRow("list: reserved field name") << List << false << "Зарезервировано" << "" << false << false << grey;
    QTest::newRow("list: reserved, changed") << List << false << "Зарезервировано" << "" << false << true << green;
    QTest::newRow("list: read-only rows do not apply") << List << false << "Поле" << "" << true << false << none;
    QTest::newRow("transposed: reserved field name") << TransposedList << false << "Зарезервировано 2" << "" << false << false << grey;
    QTest::newRow("transposed: read-only field") << TransposedList << true << "Поле" << "" << false << true << yellow;
}

void TestTableModel::background()
{
    QFETCH(TableType, type);
    QFETCH(bool, readOnlyField);
    QFETCH(QString, fieldName);
    QFETCH(QString, rowName);
    QFETCH(bool, readOnlyRow);
    QFETCH(bool, changed);
    QFETCH(QString, colour);

    // The cell under test is the second one: view row 1 in every layout.
    FieldInfo other = field("Другое", FieldInfo::String);
    FieldInfo tested = field(fieldName, FieldInfo::String);
    tested.m_readOnly = readOnlyField;
    TableInfo info;
    DataRows rows;
    int column = 0;
    if (type == Db) {
        info = table(Db, {other, tested});
        info.rowNames = QStringList{"Первый", rowName};
        rows = dbRows({{"a", "b"}, {"c", "d"}});
        rows[1][1].changed = changed;
        column = 1;
    } else if (type == List) {
        info = table(List, {other, tested});
        rows = listRows({"a", "b"});
        rows[0][1].changed = changed;
    } else {
        info = table(TransposedList, {other, tested});
        rows = transposedRows({"a", "b"});
        rows[1][0].changed = changed;
    }
    if (readOnlyRow)
        info.readOnlyRows = {2};
    TableModel model(info, rows);
    QCOMPARE(backgroundName(model.data(model.index(1, column), Qt::BackgroundRole)), colour);
    // The first row is never affected.
    QCOMPARE(backgroundName(model.data(model.index(0, 0), Qt::BackgroundRole)), QString());
}

void TestTableModel::flags_data()
{
    QTest::addColumn<TableType>("type");
    QTest::addColumn<bool>("readOnlyField");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<bool>("readOnlyRow");
    QTest::addColumn<bool>("editable");

    QTest::newRow("db: plain") << Db << false << "Поле" << false << true;
    QTest::newRow("db: read-only field") << Db << true << "Поле" << false << false;
    QTest::newRow("db: reserved field") << Db << false << "Поле (Зарезервировано)" << false << false;
    QTest::newRow("db: reserved, other case") << Db << false << "ЗАРЕЗЕРВИРОВАНО" << false << true;
    QTest::newRow("db: read-only row") << Db << false << "Поле" << true << false;
    QTest::newRow("list: plain") << List << false << "Поле" << false << true;
    QTest::newRow("list: read-only rows do not apply") << List << false << "Поле" << true << true;
    QTest::newRow("list: reserved field") << List << false << "Зарезервировано" << false << false;
    QTest::newRow("transposed: read-only field") << TransposedList << true << "Поле" << false << false;
    QTest::newRow("transposed: read-only rows do not apply") << TransposedList << false << "Поле" << true << true;
}

void TestTableModel::flags()
{
    QFETCH(TableType, type);
    QFETCH(bool, readOnlyField);
    QFETCH(QString, fieldName);
    QFETCH(bool, readOnlyRow);
    QFETCH(bool, editable);

    FieldInfo tested = field(fieldName, FieldInfo::String);
    tested.m_readOnly = readOnlyField;
    TableInfo info = table(type, {field("Другое", FieldInfo::String), tested});
    if (readOnlyRow)
        info.readOnlyRows = {2};
    const DataRows rows = type == Db ? dbRows({{"a", "b"}, {"c", "d"}})
                                     : type == List ? listRows({"a", "b"}) : transposedRows({"a", "b"});
    TableModel model(info, rows);
    const QModelIndex index = type == Db ? model.index(1, 1) : model.index(1, 0);
    const Qt::ItemFlags expected = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
        | (editable ? Qt::ItemIsEditable : Qt::NoItemFlags);
    QCOMPARE(model.flags(index), expected);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsEnabled));
}

void TestTableModel::font()
{
    FieldInfo cliche = field("Клише", FieldInfo::String);
    cliche.m_cliche = true;
    TableModel model(table(Db, {cliche, field("Текст", FieldInfo::String)}), dbRows({{"a", "b"}}));
    const QVariant font = model.data(model.index(0, 0), Qt::FontRole);
    QVERIFY(font.isValid());
    QCOMPARE(qvariant_cast<QFont>(font).family(), QStringLiteral("monospace"));
    QCOMPARE(qvariant_cast<QFont>(font), QFont(QStringLiteral("monospace")));
    QVERIFY(!model.data(model.index(0, 1), Qt::FontRole).isValid());
    QVERIFY(!model.data(model.index(0, 1), Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
}

void TestTableModel::displayErrors_data()
{
    QTest::addColumn<TableType>("type");
    QTest::addColumn<DataRows>("rows");
    QTest::addColumn<int>("viewRow");
    QTest::addColumn<QString>("message");

    const QString rowsMessage = "Ошибка отображения. Кол-во строк не соответствует допустимому значению";
    const QString cellsMessage = "Ошибка отображения. Кол-во полей не соответствует допустимому значению";
    QTest::newRow("list without its row") << List << DataRows() << 0 << rowsMessage;
    QTest::newRow("list row too short") << List << DataRows{DataRow{Cell("a")}} << 1 << cellsMessage;
    QTest::newRow("transposed: fewer rows than fields") << TransposedList << DataRows{DataRow{Cell("a")}} << 1
                                                       << rowsMessage;
    QTest::newRow("transposed: empty row") << TransposedList << DataRows{DataRow{Cell("a")}, DataRow()} << 1
                                          << cellsMessage;
    QTest::newRow("db row too short") << Db << DataRows{DataRow{Cell("a")}} << 0 << cellsMessage;
}

void TestTableModel::displayErrors()
{
    QFETCH(TableType, type);
    QFETCH(DataRows, rows);
    QFETCH(int, viewRow);
    QFETCH(QString, message);

    TableModel model(table(type, {field("a", FieldInfo::String), field("b", FieldInfo::String)}), rows);
    QSignalSpy errorSpy(&model, &TableModel::displayError);
    const QModelIndex index = type == Db ? model.index(viewRow, 1) : model.index(viewRow, 0);
    QVERIFY(index.isValid());
    const QVariant shown = model.data(index, Qt::DisplayRole);
    QVERIFY(!shown.isValid());
    QCOMPARE(errorSpy.count(), 1);
    QCOMPARE(errorSpy[0][0].toString(), message);
    QVERIFY(!model.data(index, Qt::EditRole).isValid());
    // Colours and fonts do not look at the cell's text.
    QVERIFY(!model.data(index, Qt::BackgroundRole).isValid());
    QCOMPARE(errorSpy.count(), 1);
}

void TestTableModel::displayErrorReportedOnce()
{
    TableModel model(table(List, {field("a", FieldInfo::String), field("b", FieldInfo::String)}), DataRows());
    QSignalSpy errorSpy(&model, &TableModel::displayError);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!model.data(model.index(0, 0)).isValid());
        QVERIFY(!model.data(model.index(1, 0)).isValid());
    }
    QCOMPARE(errorSpy.count(), 1);
    // Good cells of another model are not affected.
    TableModel good(table(List, {field("a", FieldInfo::String)}), listRows({"ok"}));
    QSignalSpy goodSpy(&good, &TableModel::displayError);
    QCOMPARE(good.data(good.index(0, 0)).toString(), QStringLiteral("ok"));
    QCOMPARE(goodSpy.count(), 0);
}

void TestTableModel::accessors()
{
    TableModel model(table(TransposedList, {field("Один", FieldInfo::String), moneyField("Два")}, 513),
                     transposedRows({"a", "b"}));
    QCOMPARE(model.tableNumber(), uint16_t(513));
    QCOMPARE(model.layoutType(), TransposedList);
    QCOMPARE(model.fieldNames(), (QStringList{"Один", "Два"}));
    QCOMPARE(model.tableInfo().name, QStringLiteral("Таблица"));
    QVERIFY(!model.hasChangedCells());

    DataRows imported = dbRows({{"1", "2"}});
    imported[0][0].changed = true;
    TableModel marked(table(Db, {field("a", FieldInfo::String), field("b", FieldInfo::String)}), imported);
    QVERIFY(marked.hasChangedCells());
}

void TestTableModel::cellTextAndRowLabel()
{
    TableModel model(table(Db, {field("a", FieldInfo::String), moneyField("b"), maskedField("c", "0000")}),
                     DataRows{row({"Текст", "1234", "7"}, 12), row({"", "5", "0"}, 13)});
    QCOMPARE(model.cellText(0, 0), QStringLiteral("Текст"));
    QCOMPARE(model.cellText(0, 1), QStringLiteral("12.34"));
    QCOMPARE(model.cellText(1, 1), QStringLiteral("0.05"));
    // Only money is formatted; zero-filled fields are given as stored.
    QCOMPARE(model.cellText(0, 2), QStringLiteral("7"));
    QCOMPARE(model.cellText(1, 2), QStringLiteral("0"));
    QCOMPARE(model.rowLabel(0), QByteArray("12"));
    QCOMPARE(model.rowLabel(1), QByteArray("13"));
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("13"));

    QCOMPARE(errorOf([&] { model.cellText(2, 0); }),
             QStringLiteral("Ошибка отображения. Кол-во строк не соответствует допустимому значению"));
    QCOMPARE(errorOf([&] { model.cellText(0, 4); }),
             QStringLiteral("Ошибка отображения. Кол-во полей не соответствует допустимому значению"));
    QCOMPARE(errorOf([&] { model.cellText(-1, 0); }),
             QStringLiteral("Ошибка отображения. Кол-во строк не соответствует допустимому значению"));
}

void TestTableModel::rowLabelOutOfRange_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("row");

    QTest::newRow("equal to the count") << 2 << 2;
    QTest::newRow("beyond the count") << 2 << 5;
    QTest::newRow("negative") << 2 << -1;
    QTest::newRow("no rows") << 0 << 0;
}

void TestTableModel::rowLabelOutOfRange()
{
    QFETCH(int, rowCount);
    QFETCH(int, row);

    QList<QStringList> values;
    for (int i = 0; i < rowCount; ++i)
        values << QStringList{"v"};
    TableModel model(table(Db, {field("a", FieldInfo::String)}), dbRows(values));
    QCOMPARE(errorOf([&] { model.rowLabel(row); }), QStringLiteral("Обращение к несуществующей строке"));
}

VESCOR_TEST(TestTableModel)
#include "tst_tablemodel.moc"
