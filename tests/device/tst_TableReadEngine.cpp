#include "support/EmulatorImage.h"
#include "support/LogLines.h"
#include "support/SteppingClock.h"
#include "support/TestDriver.h"
#include "support/TestMain.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/TableReadEngine.h"
#include "device/ProgressReporter.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <QtEndian>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(QVector<EmulatorImage::Field>)
Q_DECLARE_METATYPE(QVector<FieldInfo>)

namespace {

FieldInfo field(const char* deviceType, int maxLength = 128, uint8_t fill = 32)
{
    FieldInfo f(QStringLiteral("Поле ") + QLatin1String(deviceType), QLatin1String(deviceType), QStringLiteral("int"));
    f.m_maxLength = maxLength;
    f.m_fillCharCode = fill;
    return f;
}

QByteArray bigEndian(quint32 number)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(number, bytes.data());
    return bytes;
}

TableInfo table(uint16_t id, const QString& name, TableType type, const QVector<FieldInfo>& fields,
                bool fastRead = false, int rowNames = 0)
{
    TableInfo t;
    t.id = id;
    t.name = name;
    t.type = type;
    t.fields = fields;
    t.fastRead = fastRead;
    for (int i = 0; i < rowNames; ++i)
        t.rowNames << QStringLiteral("Ряд %1").arg(i + 1);
    return t;
}

EmulatorImage::Fault readFault(unsigned table, int row, int field, int code)
{
    EmulatorImage::Fault fault;
    fault.call = QStringLiteral("read");
    fault.table = int(table);
    fault.row = row;
    fault.field = field;
    fault.code = code;
    return fault;
}

// The texts of a list of data rows, row by row, cells joined by "|".
QStringList texts(const DataRows& rows)
{
    QStringList out;
    for (const DataRow& row : rows) {
        QStringList cells;
        for (const Cell& cell : row)
            cells << QString::fromUtf8(cell.value);
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

bool anyChanged(const DataRows& rows)
{
    for (const DataRow& row : rows)
        for (const Cell& cell : row)
            if (cell.changed)
                return true;
    return false;
}


// Counts how often pending events were processed: it reposts itself on every delivery.
class EventCounter : public QObject
{
public:
    int count = 0;
    void start() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++count;
        start();
        return true;
    }
};

const QString ThreeFieldsName = QStringLiteral("Налоги");

} // namespace

class TableReadEngineTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    KKT_Logic& logic() { return KKT_Logic::instance(); }

    // Installs the image, opens the connection and clears the trace of the opening.
    void open(const EmulatorImage& image)
    {
        QVERIFY(image.isValid());
        image.install(*m_dir, true);
        int model = 0;
        QString name, serial;
        QCOMPARE(logic().openAndIdentify(&model, &name, &serial), 0);
        QFile::resize(EmulatorImage::tracePath(*m_dir), 0);
    }

    QStringList trace() const { return EmulatorImage::traceLines(*m_dir); }

    // Register table 3: bin1, bin2 and an 8-byte text field, with the given rows filled.
    static EmulatorImage threeFieldRegister(int rows)
    {
        EmulatorImage image;
        image.addTable(3, {{1}, {2}, {8, true}}, rows);
        for (int r = 1; r <= rows; ++r) {
            image.setCell(3, r, 1, QByteArray(1, char(r)));
            image.setCell(3, r, 2, QByteArray::fromHex("0102"));
            image.setText(3, r, 3, QStringLiteral("Касса %1").arg(r));
        }
        return image;
    }

    static TableInfo threeFieldTable(int rowNames = 0)
    {
        return table(3, ThreeFieldsName, Db, {field("bin1"), field("bin2"), field("string866", 8)}, false, rowNames);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
        QCOMPARE(logic().connect(), 0);
    }

    void cleanup()
    {
        logic().close();
        logic().destroy();
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    // Cell by cell: how a table ends decides the result, the rows kept and the message.
    void cellByCellEnds_data()
    {
        QTest::addColumn<int>("registerRows");
        QTest::addColumn<int>("rowNames");
        QTest::addColumn<int>("faultRow");   // 0: no fault
        QTest::addColumn<int>("faultField");
        QTest::addColumn<int>("faultCode");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("rowsKept");
        QTest::addColumn<int>("cellsCounted");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("lastCall");

        const QString insideRow = QStringLiteral(
            "Ошибка чтения таблицы 3 - [Налоги]\nПрочитали рядов: 2 и полей: 2\nОжидали прочитать рядов 65536 и полей: 3");

        QTest::newRow("end of rows after two rows") << 2 << 0 << 0 << 0 << 0 << 0 << 2 << 6 << "" << "read 3 3 1 -> 75";
        QTest::newRow("76 at a row's first field") << 5 << 0 << 3 << 1 << 76 << 0 << 2 << 6 << "" << "read 3 3 1 -> 76";
        QTest::newRow("76 inside row 2") << 2 << 0 << 2 << 3 << 76 << -1 << 1 << 5 << insideRow << "read 3 2 3 -> 76";
        QTest::newRow("75 inside row 2")
            << 2 << 0 << 2 << 2 << 75 << -1 << 1 << 4
            << QStringLiteral("Ошибка чтения таблицы 3 - [Налоги]\nПрочитали рядов: 2 и полей: 1\n"
                              "Ожидали прочитать рядов 65536 и полей: 3")
            << "read 3 2 2 -> 75";
        QTest::newRow("76 inside a row with captions")
            << 4 << 3 << 3 << 2 << 76 << -1 << 2 << 7
            << QStringLiteral("Ошибка чтения таблицы 3 - [Налоги]\nПрочитали рядов: 3 и полей: 1\n"
                              "Ожидали прочитать рядов 3 и полей: 3")
            << "read 3 3 2 -> 76";
        QTest::newRow("code 2 at the first cell") << 2 << 0 << 1 << 1 << 2 << 2 << 0 << 0 << "" << "read 3 1 1 -> 2";
        QTest::newRow("code 2 inside row 2") << 2 << 0 << 2 << 2 << 2 << 2 << 1 << 4 << "" << "read 3 2 2 -> 2";
        QTest::newRow("two captions, five rows") << 5 << 2 << 0 << 0 << 0 << 0 << 2 << 6 << "" << "read 3 2 3 -> 0";
        QTest::newRow("four captions, two rows") << 2 << 4 << 0 << 0 << 0 << 0 << 2 << 6 << "" << "read 3 3 1 -> 75";
        QTest::newRow("no rows at all") << 0 << 0 << 0 << 0 << 0 << 0 << 0 << 0 << "" << "read 3 1 1 -> 75";
        QTest::newRow("failure without a code")
            << 2 << 0 << 2 << 1 << 0 << -1 << 1 << 3
            << QStringLiteral("Ошибка чтения таблицы 3 - [Налоги]\nДрайвер ККТ не прочитал ряд 2, поле 1 и не сообщил код ошибки")
            << "read 3 2 1 -> 0";
    }

    void cellByCellEnds()
    {
        QFETCH(int, registerRows);
        QFETCH(int, rowNames);
        QFETCH(int, faultRow);
        QFETCH(int, faultField);
        QFETCH(int, faultCode);
        QFETCH(int, result);
        QFETCH(int, rowsKept);
        QFETCH(int, cellsCounted);
        QFETCH(QString, message);
        QFETCH(QString, lastCall);

        EmulatorImage image = threeFieldRegister(registerRows);
        if (faultRow > 0)
            image.addFault(readFault(3, faultRow, faultField, faultCode));
        open(image);

        DataRows rows;
        unsigned cellCount = 10; // the count of the tables read before
        const QString before = QStringLiteral("earlier text");
        QString errorText = before;
        QCOMPARE(logic().readTableData(threeFieldTable(rowNames), rows, cellCount, errorText), result);

        QCOMPARE(rows.size(), rowsKept);
        QCOMPARE(cellCount, unsigned(10 + cellsCounted));
        QCOMPARE(errorText, before + message);
        QVERIFY(!anyChanged(rows));
        QStringList expected;
        for (int r = 1; r <= rowsKept; ++r)
            expected << QStringLiteral("%1|258|Касса %1|%1").arg(r);
        QCOMPARE(texts(rows), expected);

        // Every cell is one read, in row and field order, and nothing is read after the end.
        const QStringList calls = trace();
        QVERIFY(!calls.isEmpty());
        QCOMPARE(calls.last(), lastCall);
        for (int i = 0; i + 1 < calls.size(); ++i)
            QCOMPARE(calls.at(i), QStringLiteral("read 3 %1 %2 -> 0").arg(i / 3 + 1).arg(i % 3 + 1));
    }

    // A TransposedList table: field r lives in register row r + 1, field 1.
    void transposed_data()
    {
        QTest::addColumn<int>("registerRows");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("lastCall");
        QTest::newRow("four fields, four rows")
            << 4 << QStringList{"65|1", "16706|2", "1234|3", "Чек|4"} << "read 4 4 1 -> 0";
        QTest::newRow("register shorter than the fields")
            << 2 << QStringList{"65|1", "16706|2"} << "read 4 3 1 -> 75";
    }

    void transposed()
    {
        QFETCH(int, registerRows);
        QFETCH(QStringList, expected);
        QFETCH(QString, lastCall);

        EmulatorImage image;
        image.addTable(4, {{8, true}}, registerRows);
        const QByteArray row1 = QByteArray::fromHex("4142") + QByteArray(6, ' ');
        image.setCell(4, 1, 1, row1);
        if (registerRows >= 2)
            image.setCell(4, 2, 1, row1);
        if (registerRows >= 3)
            image.setCell(4, 3, 1, QByteArray::fromHex("0000000000001234"));
        if (registerRows >= 4)
            image.setText(4, 4, 1, QStringLiteral("Чек"));
        open(image);

        const TableInfo info = table(4, QStringLiteral("Клише"), TransposedList,
                                     {field("bin1"), field("bin2"), field("bcd2"), field("string866", 8)});
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(info, rows, cellCount, errorText), 0);
        QCOMPARE(texts(rows), expected);
        QCOMPARE(cellCount, unsigned(expected.size()));
        QVERIFY(errorText.isEmpty());

        QStringList calls = trace();
        QCOMPARE(calls.last(), lastCall);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(calls.at(i), QStringLiteral("read 4 %1 1 -> 0").arg(i + 1));
        QCOMPARE(calls.size(), registerRows >= 4 ? 4 : expected.size() + 1);
    }

    // Whole-row reads: one request per row, cut into the fields' pieces.
    // A table without row captions ends where the register says; one that
    // still has rows after the most a table can have was read only in part.
    void mostRows_data()
    {
        QTest::addColumn<int>("registerRows");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("65 535 rows") << 65535 << 0 << QString();
        QTest::newRow("65 536 rows, then the end") << 65536 << 0 << QString();
        QTest::newRow("65 537 rows") << 65537 << -1
            << QStringLiteral("Ошибка чтения таблицы 8 - [Товары]\nТаблица прочитана не полностью: прочитано рядов: 65536, "
                              "а ККТ не сообщила о конце таблицы");
    }

    void mostRows()
    {
        QFETCH(int, registerRows);
        QFETCH(int, result);
        QFETCH(QString, message);

        EmulatorImage image;
        image.addTable(8, {{1}}, registerRows);
        QVERIFY(image.isValid());
        image.install(*m_dir, false);
        int model = 0;
        QString name, serial;
        QCOMPARE(logic().openAndIdentify(&model, &name, &serial), 0);

        DataRows rows;
        unsigned cells = 0;
        QString errorText;
        LogLines quiet;
        QCOMPARE(logic().readTableData(table(8, QStringLiteral("Товары"), Db, {field("bin1")}, true), rows, cells, errorText),
                 result);
        QCOMPARE(errorText, message);
        QCOMPARE(rows.size(), qMin(registerRows, 65536));
        QCOMPARE(rows.last().last().value, QByteArray::number(rows.size()));
    }

    void fastRead_data()
    {
        QTest::addColumn<QVector<EmulatorImage::Field>>("registerFields");
        QTest::addColumn<QVector<FieldInfo>>("fields");
        QTest::addColumn<int>("registerRows");
        QTest::addColumn<int>("failRow"); // 0: none; code 2
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("cellsCounted");

        const QVector<EmulatorImage::Field> split = {{2}, {10, true}, {3}};
        const QVector<FieldInfo> splitFields = {field("bin2"), field("string866", 10), field("bcd3")};

        QTest::newRow("bin2, string866 of 10, bcd3")
            << split << splitFields << 2 << 0 << 0
            << QStringList{"258|Сыр 1|123456|1", "258|Сыр 2|123456|2"} << 6;
        QTest::newRow("bytes left over after the last field")
            << QVector<EmulatorImage::Field>{{2}, {10, true}, {3}, {9}} << splitFields << 2 << 0 << 0
            << QStringList{"258|Сыр 1|123456|1", "258|Сыр 2|123456|2"} << 6;
        QTest::newRow("75 at the first row") << split << splitFields << 0 << 0 << 0 << QStringList{} << 0;
        QTest::newRow("code 2 at row 2") << split << splitFields << 3 << 2 << 2 << QStringList{"258|Сыр 1|123456|1"} << 3;
        QTest::newRow("row shorter than its fields: zeros")
            << QVector<EmulatorImage::Field>{{2}, {4, true}} << splitFields << 1 << 0 << 0
            << QStringList{"258|Сыр |0|1"} << 3;
        QTest::newRow("unknown device type keeps the columns")
            << split << QVector<FieldInfo>{field("bin2"), field("bin3"), field("string866", 10), field("bcd3")} << 1 << 0
            << 0 << QStringList{"258||Сыр 1|123456|1"} << 4;
        QTest::newRow("bcd64_1 takes 64 bytes, decodes the first")
            << QVector<EmulatorImage::Field>{{64}, {2}} << QVector<FieldInfo>{field("bcd64_1"), field("bin2")} << 1 << 0
            << 0 << QStringList{"2a|258|1"} << 2;
    }

    void fastRead()
    {
        QFETCH(QVector<EmulatorImage::Field>, registerFields);
        QFETCH(QVector<FieldInfo>, fields);
        QFETCH(int, registerRows);
        QFETCH(int, failRow);
        QFETCH(int, result);
        QFETCH(QStringList, expected);
        QFETCH(int, cellsCounted);

        EmulatorImage image;
        image.addTable(9, registerFields, registerRows);
        for (int r = 1; r <= registerRows; ++r) {
            if (registerFields.at(0).width == 64) {
                image.setCell(9, r, 1, QByteArray::fromHex("42") + QByteArray(63, '\x99'));
                image.setCell(9, r, 2, QByteArray::fromHex("0102"));
                continue;
            }
            image.setCell(9, r, 1, QByteArray::fromHex("0102"));
            image.setText(9, r, 2, registerFields.at(1).width >= 10 ? QStringLiteral("Сыр %1").arg(r) : QStringLiteral("Сыр"));
            if (registerFields.size() > 2)
                image.setCell(9, r, 3, QByteArray::fromHex("123456"));
            if (registerFields.size() > 3)
                image.setCell(9, r, 4, QByteArray(9, '\x77'));
        }
        if (failRow > 0)
            image.addFault(readFault(9, failRow, -1, 2));
        open(image);

        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(table(9, QStringLiteral("Товары"), Db, fields, true), rows, cellCount, errorText),
                 result);
        QCOMPARE(texts(rows), expected);
        QCOMPARE(cellCount, unsigned(cellsCounted));
        QVERIFY(errorText.isEmpty());
        QVERIFY(!anyChanged(rows));

        const QStringList calls = trace();
        const int reads = failRow > 0 ? failRow : registerRows + 1;
        QCOMPARE(calls.size(), reads);
        for (int r = 1; r < reads; ++r)
            QCOMPARE(calls.at(r - 1), QStringLiteral("read-row 9 %1 -> 0").arg(r));
        QCOMPARE(calls.last(), QStringLiteral("read-row 9 %1 -> %2").arg(reads).arg(failRow > 0 ? 2 : 75));
    }

    // A code that repeats its row's number keeps no buffer of its own, also
    // past the rows whose values fill the read's pool.
    void codesShareTheirLabels()
    {
        // A code of the row's number and a value of each row's own, which fill the pool.
        const int rowCount = 6000;
        EmulatorImage image;
        image.addTable(8, {{4}, {4}}, rowCount);
        for (int r = 1; r <= rowCount; ++r) {
            image.setCell(8, r, 1, bigEndian(quint32(r)));
            image.setCell(8, r, 2, bigEndian(quint32(r + 100000)));
        }
        open(image);

        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        LogLines quiet;
        QCOMPARE(logic().readTableData(table(8, QStringLiteral("Товары"), Db, {field("bin4"), field("bin4")}, true), rows,
                                       cellCount, errorText),
                 0);
        QCOMPARE(rows.size(), rowCount);
        for (const int r : {0, 4999, rowCount - 1}) {
            const DataRow& row = rows.at(r);
            QCOMPARE(row.first().value, QByteArray::number(r + 1));
            QVERIFY2(row.first().value.isSharedWith(row.last().value), qPrintable(QString::number(r)));
        }
    }

    // The same register cells read cell by cell and row by row give the same values.
    void bothWaysAgree()
    {
        EmulatorImage image = EmulatorImage::defaultImage();
        QVERIFY(image.isValid());
        image.setRowCount(1, 5);
        open(image);

        QList<TableInfo> tables;
        QString loadError;
        QCOMPARE(TableInfo::readTablesInfo(57, tables, loadError, [] { return KKT_Logic::instance().configurationVersion(); }), 0);
        TableInfo commodities;
        for (const TableInfo& t : qAsConst(tables))
            if (t.id == 1)
                commodities = t;
        QVERIFY(commodities.fastRead);

        DataRows fast, slow;
        unsigned fastCount = 0, slowCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(commodities, fast, fastCount, errorText), 0);
        commodities.fastRead = false;
        QCOMPARE(logic().readTableData(commodities, slow, slowCount, errorText), 0);
        QCOMPARE(fast.size(), 5);
        QCOMPARE(texts(fast), texts(slow));
        QCOMPARE(fastCount, slowCount);
        QCOMPARE(texts(fast).first(), QStringLiteral("1|Молоко|7990|4600010079193|2|7|335|0|1"));
    }

    void logLines()
    {
        EmulatorImage image;
        image.addTable(3, {{2}, {2}}, 1);
        image.setCell(3, 1, 1, QByteArray("AB"));
        image.setCell(3, 1, 2, QByteArray::fromHex("4300"));
        image.addTable(5, {{2}, {2}}, 2);
        image.addFault(readFault(5, 2, 2, 76));
        open(image);

        LogLines log;
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(table(3, QStringLiteral("Т"), Plain, {field("bin2"), field("bin2")}), rows,
                                       cellCount, errorText), 0);
        QCOMPARE(logic().readTableData(table(5, QStringLiteral("Т"), Plain, {field("bin2"), field("bin2")}), rows,
                                       cellCount, errorText), -1);
        QCOMPARE(logic().readTableData(table(3, QStringLiteral("Т"), Plain, {field("bin2")}, false, 1), rows, cellCount,
                                       errorText), 0);

        const QStringList expectedDebug = {
            "readTableData() BEGIN, TableID = 3",
            "CELL READED. TableID = 3 row = 0 col = 0 strRawValue = <AB>",
            "CELL READED. TableID = 3 row = 0 col = 1 strRawValue = <C>",
            "readTableData() BEGIN, TableID = 5",
            "CELL READED. TableID = 5 row = 0 col = 0 strRawValue = <>",
            "CELL READED. TableID = 5 row = 0 col = 1 strRawValue = <>",
            "CELL READED. TableID = 5 row = 1 col = 0 strRawValue = <>",
            "readTableData() BEGIN, TableID = 3",
            "CELL READED. TableID = 3 row = 0 col = 0 strRawValue = <AB>",
        };
        QStringList debug = log.debug();
        debug.erase(std::remove_if(debug.begin(), debug.end(),
                                   [](const QString& l) { return !l.startsWith("readTableData") && !l.startsWith("CELL"); }),
                    debug.end());
        QCOMPARE(debug, expectedDebug);
        QCOMPARE(log.info(), (QStringList{"Table readed, total 2 cells Row = 1 Col = 0",
                                          "Table readed, total 5 cells Row = 1 Col = 1", "Table readed, total 6 cells."}));
    }

    // A row read whole is logged under the switch of its own, off by default:
    // a read of 65 536 rows neither formats nor writes as many lines.
    void wholeRowLines_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QStringList>("rowLines");
        QTest::newRow("off by default") << QString() << QStringList{};
        QTest::newRow("switched on")
            << "vescor.rows.debug=true"
            << QStringList{"CELL READED. TableID = 3 row = 0 col = 0", "CELL READED. TableID = 3 row = 1 col = 0"};
    }

    void wholeRowLines()
    {
        QFETCH(QString, rules);
        QFETCH(QStringList, rowLines);
        open(threeFieldRegister(2));
        QLoggingCategory::setFilterRules(rules);
        TableInfo info = threeFieldTable();
        info.fastRead = true;
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        {
            LogLines log;
            QCOMPARE(logic().readTableData(info, rows, cellCount, errorText), 0);
            QStringList lines = log.debug().filter(QStringLiteral("CELL READED"));
            for (QString& line : lines)
                line = line.section(QStringLiteral(" strRawValue = <"), 0, 0); // the bytes are the register's own
            QCOMPARE(lines, rowLines);
        }
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(rows.size(), 2);
    }

    void unknownFieldLogged()
    {
        EmulatorImage image;
        image.addTable(9, {{2}}, 1);
        open(image);
        LogLines log;
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(table(9, QStringLiteral("Т"), Db, {field("nonsense"), field("bin2")}, true), rows,
                                       cellCount, errorText), 0);
        QVERIFY(log.debug().contains(QStringLiteral("ERROR in FieldInfo::DeviceType")));
        QCOMPARE(texts(rows), QStringList{"|0|1"});
    }

    // Pending events are delivered while a table is read, before every
    // request (cell, or row read whole) when the reporter's clock says it is
    // due; with a clock that stands still, never.
    void eventsProcessed_data()
    {
        QTest::addColumn<bool>("fastRead");
        QTest::addColumn<qint64>("step");
        QTest::addColumn<int>("deliveries");
        QTest::newRow("cell by cell: six cells") << false << qint64(ProgressReporter::UpdateInterval) << 6;
        QTest::newRow("whole rows: two rows") << true << qint64(ProgressReporter::UpdateInterval) << 2;
        QTest::newRow("cell by cell, no time passes") << false << qint64(0) << 0;
        QTest::newRow("whole rows, no time passes") << true << qint64(0) << 0;
    }

    void eventsProcessed()
    {
        QFETCH(bool, fastRead);
        QFETCH(qint64, step);
        QFETCH(int, deliveries);
        open(threeFieldRegister(2));
        EventCounter counter;
        counter.start();
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        TableInfo info = threeFieldTable();
        info.fastRead = fastRead;
        SteppingClock clock(step);
        ProgressReporter paced(clock);
        QCOMPARE(logic().readTableData(info, rows, cellCount, errorText, &paced), 0);
        if (deliveries == 0)
            QCOMPARE(counter.count, 0);
        else
            QVERIFY2(counter.count >= deliveries, qPrintable(QString::number(counter.count)));
    }

    // The progress text is set only when due, and the last rows read always:
    // a clock that stands still lets the reporter hear the start and the end
    // alone; one whose every pace point is due, each row; one of 5 ms per
    // reading, every fourth pace point (before each request and after each row).
    void progressPaced_data()
    {
        QTest::addColumn<bool>("fastRead");
        QTest::addColumn<qint64>("step");
        QTest::addColumn<QList<int>>("rowsHeard");
        const QList<int> everyRow = {0, 1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("whole rows, still clock") << true << qint64(0) << QList<int>{0, 8};
        QTest::newRow("cells, still clock") << false << qint64(0) << QList<int>{0, 8};
        QTest::newRow("whole rows, every point due") << true << qint64(16) << everyRow;
        QTest::newRow("cells, every point due") << false << qint64(16) << everyRow;
        QTest::newRow("whole rows, 5 ms a reading") << true << qint64(5) << QList<int>{0, 2, 4, 6, 8};
        QTest::newRow("cells, 5 ms a reading") << false << qint64(5) << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8};
    }

    void progressPaced()
    {
        QFETCH(bool, fastRead);
        QFETCH(qint64, step);
        QFETCH(QList<int>, rowsHeard);

        struct Rows : ProgressReporter
        {
            using ProgressReporter::ProgressReporter;
            QList<int> heard;
            // "…: прочитано строк 5 из 65536": the rows read.
            void setText(const QString& text) override
            {
                heard << text.section(QStringLiteral("строк "), 1).section(QLatin1Char(' '), 0, 0).toInt();
            }
        };
        open(threeFieldRegister(8));
        SteppingClock clock(step);
        Rows recorder(clock);
        TableInfo info = threeFieldTable();
        info.fastRead = fastRead;
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(info, rows, cellCount, errorText, &recorder), 0);
        QCOMPARE(rows.size(), 8);
        QCOMPARE(recorder.heard, rowsHeard);
    }

    // Without an open connection the driver's code comes back and nothing is kept.
    void notOpen()
    {
        EmulatorImage image = threeFieldRegister(2);
        image.install(*m_dir, true);
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        const int result = logic().readTableData(threeFieldTable(), rows, cellCount, errorText);
        QVERIFY(result != 0 && result != -1 && result != 75 && result != 76);
        QVERIFY(rows.isEmpty());
        QCOMPARE(cellCount, 0u);
        QVERIFY(errorText.isEmpty());
    }

    // The progress hears the table's name and the rows read after each row,
    // with the range where the description gives the number of rows.
    void progress_data()
    {
        QTest::addColumn<int>("registerRows");
        QTest::addColumn<int>("rowNames");
        QTest::addColumn<QStringList>("heard");
        const QString name = ThreeFieldsName;
        QTest::newRow("rows named")
            << 3 << 2
            << QStringList{"range 0 2", name + ": строка 0 из 2", name + ": строка 1 из 2", "value 1",
                           name + ": строка 2 из 2", "value 2"};
        QTest::newRow("rows up to the register's end")
            << 2 << 0
            << QStringList{"range 0 0", name + ": прочитано строк 0 из 65536", name + ": прочитано строк 1 из 65536",
                           "value 1", name + ": прочитано строк 2 из 65536", "value 2"};
        QTest::newRow("empty table") << 0 << 0 << QStringList{"range 0 0", name + ": прочитано строк 0 из 65536"};
    }

    void progress()
    {
        QFETCH(int, registerRows);
        QFETCH(int, rowNames);
        QFETCH(QStringList, heard);

        struct Recorder : ProgressReporter
        {
            using ProgressReporter::ProgressReporter;
            QStringList lines;
            void setRange(int minimum, int maximum) override { lines << QStringLiteral("range %1 %2").arg(minimum).arg(maximum); }
            void setValue(int value) override { lines << QStringLiteral("value %1").arg(value); }
            void setText(const QString& text) override { lines << text; }
        };
        SteppingClock everyRow(ProgressReporter::UpdateInterval);
        Recorder recorder(everyRow);

        open(threeFieldRegister(registerRows));
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(threeFieldTable(rowNames), rows, cellCount, errorText, &recorder), 0);
        QCOMPARE(recorder.lines, heard);
    }

    // A request to stop is seen after the cell (the row, read whole) during
    // which it came: the rows completed are kept, nothing more is read.
    void cancelInsideTable_data()
    {
        QTest::addColumn<bool>("wholeRows");
        QTest::addColumn<int>("askedAfterRows");
        QTest::addColumn<int>("rowsKept");
        QTest::addColumn<int>("lastRowRead");
        QTest::newRow("cells, before the first") << false << 0 << 0 << 1;
        QTest::newRow("cells, after row 39") << false << 39 << 39 << 39;
        QTest::newRow("whole rows, before the first") << true << 0 << 1 << 1;
        QTest::newRow("whole rows, after row 39") << true << 39 << 39 << 39;
    }

    void cancelInsideTable()
    {
        QFETCH(bool, wholeRows);
        QFETCH(int, askedAfterRows);
        QFETCH(int, rowsKept);
        QFETCH(int, lastRowRead);

        // The text is set before the first row and, every pace point being due, after every row.
        struct Asking : ProgressReporter
        {
            using ProgressReporter::ProgressReporter;
            int afterRows = 0;
            int texts = 0;
            void setText(const QString&) override
            {
                if (texts++ == afterRows)
                    requestCancel();
            }
        };
        SteppingClock everyRow(ProgressReporter::UpdateInterval);
        Asking asking(everyRow);
        asking.afterRows = askedAfterRows;

        open(threeFieldRegister(60));
        TableInfo info = threeFieldTable();
        info.fastRead = wholeRows;
        DataRows rows;
        unsigned cellCount = 0;
        QString errorText;
        QCOMPARE(logic().readTableData(info, rows, cellCount, errorText, &asking), int(TableReadEngine::Cancelled));
        QCOMPARE(rows.size(), rowsKept);
        QCOMPARE(errorText, QString());
        int lastRow = 0;
        for (const QString& line : EmulatorImage::traceLines(*m_dir)) {
            if (line.startsWith(QLatin1String("read")))
                lastRow = qMax(lastRow, line.section(QLatin1Char(' '), 2, 2).toInt());
        }
        QCOMPARE(lastRow, lastRowRead);
    }
};

VESCOR_TEST(TableReadEngineTest)

#include "tst_TableReadEngine.moc"
