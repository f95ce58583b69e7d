#include "support/EmulatorImage.h"
#include "support/InternalLetters.h"
#include "support/LogLines.h"
#include "support/SteppingClock.h"
#include "support/TestDriver.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include "app/BusyIndicator.h"
#include "device/ProgressReporter.h"
#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/RegisterLink.h"
#include "device/TableReadEngine.h"
#include "device/TableWriteEngine.h"
#include "device/ValueCodec.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

#include <memory>

namespace {

FieldInfo field(FieldInfo::DeviceType type, const QString& name = QStringLiteral("Поле"))
{
    FieldInfo f;
    f.m_name = name;
    f.m_deviceType = type;
    f.m_guiType = FieldInfo::Int;
    f.m_max = std::numeric_limits<double>::max(); // the field's width is the only limit
    return f;
}

// A row from "1 2* 3 | 7": values split at blanks, "*" marks a changed cell,
// the part after "|" is the label cell.
DataRow row(const QString& text)
{
    DataRow cells;
    const QStringList parts = text.split(QLatin1Char('|'));
    for (QString value : parts[0].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool changed = value.endsWith(QLatin1Char('*'));
        if (changed)
            value.chop(1);
        cells.append(Cell(value.toUtf8(), changed));
    }
    if (parts.size() > 1)
        cells.append(Cell(parts[1].trimmed().toUtf8()));
    return cells;
}

DataRows rows(const QStringList& lines)
{
    DataRows result;
    for (const QString& line : lines)
        result.append(row(line));
    return result;
}

QVector<QPoint> changedCells(const DataRows& data)
{
    QVector<QPoint> cells;
    for (int i = 0; i < data.size(); ++i) {
        for (int j = 0; j < data[i].size(); ++j) {
            if (data[i][j].changed)
                cells.append(QPoint(j, i));
        }
    }
    return cells;
}

// Table 20: five fields of 1, 2, 1, 2 and 4 bytes, eight rows.
TableInfo fiveFields(TableType type)
{
    TableInfo table;
    table.id = 20;
    table.name = QStringLiteral("Пять полей");
    table.type = type;
    table.fields = {field(FieldInfo::Bin1), field(FieldInfo::Bin2), field(FieldInfo::Bin1), field(FieldInfo::Bcd2),
                    field(FieldInfo::Bin4)};
    return table;
}

// Table 21: one field of 2 bytes, six rows; described as six fields, the fourth of them two bytes wide.
TableInfo transposed()
{
    TableInfo table;
    table.id = 21;
    table.name = QStringLiteral("Клише");
    table.type = TransposedList;
    table.fields = {field(FieldInfo::Bin1), field(FieldInfo::Bin1), field(FieldInfo::Bin1),
                    field(FieldInfo::Bin2), field(FieldInfo::Bin1), field(FieldInfo::Bin1)};
    return table;
}

EmulatorImage registerImage()
{
    EmulatorImage image;
    image.addTable(20, {{1}, {2}, {1}, {2}, {4}}, 8);
    image.addTable(21, {{2}}, 6);
    for (int r = 1; r <= 8; ++r)
        image.setCell(20, r, 5, QByteArray::fromHex("A0B0C0D0"));
    for (int r = 1; r <= 6; ++r)
        image.setCell(21, r, 1, QByteArray::fromHex("EEEE"));
    return image;
}

struct Placed
{
    unsigned table;
    int row;
    int field;
    QByteArray hex;
};

} // namespace

Q_DECLARE_METATYPE(TableInfo)
Q_DECLARE_METATYPE(DataRows)
Q_DECLARE_METATYPE(FieldInfo)
Q_DECLARE_METATYPE(QVector<Placed>)
Q_DECLARE_METATYPE(EmulatorImage::Fault)
Q_DECLARE_METATYPE(QVector<QPoint>)

class TableWriteEngineTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
    QString m_imagePath;

    KKT_Logic& logic() { return KKT_Logic::instance(); }

    void open(const EmulatorImage& image)
    {
        m_imagePath = image.install(*m_dir, true);
        QCOMPARE(logic().openAndIdentify(nullptr, nullptr, nullptr), 0);
    }

    // Reopens the register after its image file was replaced (faults removed).
    void reopen(const EmulatorImage& image)
    {
        logic().close();
        QVERIFY(image.save(m_imagePath));
        QFile::remove(EmulatorImage::tracePath(*m_dir));
        QCOMPARE(logic().openAndIdentify(nullptr, nullptr, nullptr), 0);
    }

    int write(const TableInfo& table, DataRows& data, unsigned& count, QString& errorText)
    {
        ProgressReporter busy;
        return logic().writeTableData(table, data, count, busy, errorText);
    }

    // The calls that reach the register's cells.
    QStringList writeTrace() const
    {
        QStringList lines;
        for (const QString& line : EmulatorImage::traceLines(*m_dir)) {
            if (line.startsWith(QLatin1String("write")) || line.startsWith(QLatin1String("commit")))
                lines << line;
        }
        return lines;
    }

    // Every cell of the register is what `before` held, except the placed ones.
    static void compareRegister(const EmulatorImage& before, const EmulatorImage& after, const QVector<Placed>& placed)
    {
        for (unsigned table : {20u, 21u}) {
            QCOMPARE(after.rowCount(table), before.rowCount(table));
            for (int r = 1; r <= before.rowCount(table); ++r) {
                for (int f = 1; f <= before.fieldCount(table); ++f) {
                    QByteArray expected = before.cell(table, r, f);
                    for (const Placed& p : placed) {
                        if (p.table == table && p.row == r && p.field == f)
                            expected = QByteArray::fromHex(p.hex);
                    }
                    QVERIFY2(after.cell(table, r, f) == expected,
                             qPrintable(QStringLiteral("table %1 row %2 field %3: %4")
                                            .arg(table)
                                            .arg(r)
                                            .arg(f)
                                            .arg(QString::fromLatin1(after.cell(table, r, f).toHex()))));
                }
            }
        }
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
        m_window = std::make_unique<MainWindow>(nullptr, m_dir->filePath(QStringLiteral("Vescor.ini")));
        QVERIFY(logic().handle());
    }

    void cleanup()
    {
        logic().close();
        m_window.reset();
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    void writesChangedCellsWhereTheyBelong_data()
    {
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("data");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QVector<Placed>>("placed");

        QTest::newRow("no changed cell: one commit")
            << fiveFields(Db) << rows({"1 2 3 4 5 | 1", "1 2 3 4 5 | 2"}) << QStringList{"commit -> 0"}
            << QVector<Placed>{};
        QTest::newRow("no rows: one commit") << fiveFields(Db) << DataRows() << QStringList{"commit -> 0"}
                                             << QVector<Placed>{};
        QTest::newRow("db: second row labelled 7, position 2")
            << fiveFields(Db) << rows({"1 2 3 4 5 | 1", "1 2 3* 4 5 | 7"})
            << QStringList{"write 20 7 3 03 -> 0", "commit -> 0"} << QVector<Placed>{{20, 7, 3, "03"}};
        QTest::newRow("db: rows go by label wherever they stand")
            << fiveFields(Db) << rows({"0 0 0 0 9* | 5", "0 300* 0 0 0 | 2"})
            << QStringList{"write 20 5 5 00000009 -> 0", "write 20 2 2 012C -> 0", "commit -> 0"}
            << QVector<Placed>{{20, 5, 5, "00000009"}, {20, 2, 2, "012C"}};
        QTest::newRow("db: every changed cell of a row, in order")
            << fiveFields(Db) << rows({"255* 65535* 0 9999* 4294967295* | 8"})
            << QStringList{"write 20 8 1 FF -> 0", "write 20 8 2 FFFF -> 0", "write 20 8 4 9999 -> 0",
                           "write 20 8 5 FFFFFFFF -> 0", "commit -> 0"}
            << QVector<Placed>{{20, 8, 1, "FF"}, {20, 8, 2, "FFFF"}, {20, 8, 4, "9999"}, {20, 8, 5, "FFFFFFFF"}};
        QTest::newRow("list: position 4 goes to row 1, field 5; the label is not looked at")
            << fiveFields(List) << rows({"0 0 0 0 77* | 7"})
            << QStringList{"write 20 1 5 0000004D -> 0", "commit -> 0"} << QVector<Placed>{{20, 1, 5, "0000004D"}};
        QTest::newRow("plain: rows by position")
            << fiveFields(Plain) << rows({"1* 0 0 0 0 | 1", "0 0 0 0 0 | 1", "0 0 0 12* 0 | 1"})
            << QStringList{"write 20 1 1 01 -> 0", "write 20 3 4 0012 -> 0", "commit -> 0"}
            << QVector<Placed>{{20, 1, 1, "01"}, {20, 3, 4, "0012"}};
        QTest::newRow("transposed: data row 3 to row 4, field 1, by the fourth field")
            << transposed() << rows({"0 | 1", "0 | 2", "0 | 3", "258* | 4", "0 | 5", "0 | 6"})
            << QStringList{"write 21 4 1 0102 -> 0", "commit -> 0"} << QVector<Placed>{{21, 4, 1, "0102"}};
        QTest::newRow("transposed: first and last rows, one byte each")
            << transposed() << rows({"7* | 1", "0 | 2", "0 | 3", "0 | 4", "0 | 5", "9* | 6"})
            << QStringList{"write 21 1 1 07 -> 0", "write 21 6 1 09 -> 0", "commit -> 0"}
            << QVector<Placed>{{21, 1, 1, "0700"}, {21, 6, 1, "0900"}};
    }

    void writesChangedCellsWhereTheyBelong()
    {
        QFETCH(TableInfo, table);
        QFETCH(DataRows, data);
        QFETCH(QStringList, calls);
        QFETCH(QVector<Placed>, placed);

        const EmulatorImage before = registerImage();
        open(before);
        const DataRows original = data;
        const int changed = changedCells(data).size();
        unsigned count = 5;
        QString errorText;
        QCOMPARE(write(table, data, count, errorText), 0);
        QCOMPARE(count, unsigned(5 + changed));
        QVERIFY(errorText.isEmpty());
        QCOMPARE(writeTrace(), calls);

        // Only the marks changed, and all of them are clear.
        QVERIFY(changedCells(data).isEmpty());
        QCOMPARE(data.size(), original.size());
        for (int i = 0; i < data.size(); ++i) {
            QCOMPARE(data[i].size(), original[i].size());
            for (int j = 0; j < data[i].size(); ++j)
                QCOMPARE(data[i][j].value, original[i][j].value);
        }

        logic().close();
        compareRegister(before, EmulatorImage::fromFile(m_imagePath), placed);
    }

    // The line of each cell sent is under a switch of its own, off even when
    // the program's other debug lines are on: a write of 65 536 rows neither
    // formats nor writes a line a cell.
    void cellLines_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QStringList>("cellLines");
        QTest::newRow("off by default") << QString() << QStringList{};
        QTest::newRow("other debug lines on") << "default.debug=true\nvescor.rows.debug=true" << QStringList{};
        QTest::newRow("switched on") << "vescor.writes.debug=true"
                                     << QStringList{"row = 0; col = 4 value = 9",
                                                    "row = 1; col = 1 value = 300"};
    }

    void cellLines()
    {
        QFETCH(QString, rules);
        QFETCH(QStringList, cellLines);
        open(registerImage());
        QLoggingCategory::setFilterRules(rules);
        DataRows data = rows({"0 0 0 0 9* | 5", "0 300* 0 0 0 | 2"});
        unsigned count = 0;
        QString errorText;
        {
            LogLines log;
            QCOMPARE(write(fiveFields(Db), data, count, errorText), 0);
            QCOMPARE(log.debug().filter(QStringLiteral("; col = ")), cellLines);
        }
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(count, 2u);
    }

    // The bar shows the rows before each changed cell (every pace point due
    // here) and always the end; rows without a changed cell are not visited.
    void progressRunsOverTheDataRows_data()
    {
        QTest::addColumn<DataRows>("data");
        QTest::addColumn<QString>("lastText"); // the bar's text at the end
        QTest::addColumn<QList<int>>("shownValues");
        QTest::newRow("no rows") << DataRows() << QString() << QList<int>{};
        QTest::newRow("one row, nothing changed") << rows({"0 0 0 0 0 | 1"})
                                                  << ": строка 1 из 1, записано ячеек 0" << QList<int>{1};
        QTest::newRow("three rows, one cell changed") << rows({"0 0 0 0 0 | 1", "0 5* 0 0 0 | 2", "0 0 0 0 0 | 3"})
                                                      << ": строка 3 из 3, записано ячеек 1" << QList<int>{1, 3};
        QTest::newRow("three rows, the first changed") << rows({"1* 0 0 0 0 | 1", "0 0 0 0 0 | 2", "0 0 0 0 0 | 3"})
                                                       << ": строка 3 из 3, записано ячеек 1" << QList<int>{3};
    }

    void progressRunsOverTheDataRows()
    {
        QFETCH(DataRows, data);
        QFETCH(QString, lastText);
        QFETCH(QList<int>, shownValues);
        open(registerImage());
        auto* bar = m_window->findChild<QProgressBar*>(QStringLiteral("m_progressBar"));
        QVERIFY(bar);
        QSignalSpy values(bar, &QProgressBar::valueChanged);
        unsigned count = 0;
        QString errorText;
        {
            SteppingClock everyPoint(ProgressReporter::UpdateInterval);
            BusyIndicator busy(*m_window, QStringLiteral("Подождите... Идет запись"), everyPoint);
            QCOMPARE(logic().writeTableData(fiveFields(Db), data, count, busy, errorText), 0);
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), data.size());
            QVERIFY(bar->isTextVisible()); // the range was set, even an empty one
            // The bar names the table and the rows and cells done.
            if (!lastText.isEmpty())
                QCOMPARE(bar->text(), fiveFields(Db).name + lastText);
        }
        QList<int> seen;
        for (const QList<QVariant>& signal : values)
            seen << signal.at(0).toInt();
        QCOMPARE(seen, shownValues);
    }

    // However large the table, the engine looks at the clock (and so may
    // process events) once before each changed cell's request and never for
    // an unchanged one, and the register hears only the changed cells.
    void onlyChangedCellsAreVisited_data()
    {
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QVector<QPoint>>("changed"); // (field, row) from 0
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("8 rows, none changed") << 8 << QVector<QPoint>{} << QStringList{"commit -> 0"};
        QTest::newRow("8 rows, one changed")
            << 8 << QVector<QPoint>{{1, 6}} << QStringList{"write 20 7 2 0009 -> 0", "commit -> 0"};
        QTest::newRow("2000 rows, one changed")
            << 2000 << QVector<QPoint>{{1, 1999}} << QStringList{"write 20 2000 2 0009 -> 0", "commit -> 0"};
        QTest::newRow("2000 rows, first and last")
            << 2000 << QVector<QPoint>{{0, 0}, {4, 1999}}
            << QStringList{"write 20 1 1 09 -> 0", "write 20 2000 5 00000009 -> 0", "commit -> 0"};
    }

    void onlyChangedCellsAreVisited()
    {
        QFETCH(int, rowCount);
        QFETCH(QVector<QPoint>, changed);
        QFETCH(QStringList, calls);
        EmulatorImage image;
        image.addTable(20, {{1}, {2}, {1}, {2}, {4}}, rowCount);
        open(image);
        QStringList lines;
        for (int r = 1; r <= rowCount; ++r)
            lines << QStringLiteral("0 0 0 0 0 | %1").arg(r);
        DataRows data = rows(lines);
        for (const QPoint& cell : changed)
            data[cell.y()][cell.x()] = Cell("9", true);

        SteppingClock clock(ProgressReporter::UpdateInterval);
        ProgressReporter progress(clock);
        unsigned count = 0;
        QString errorText;
        QCOMPARE(logic().writeTableData(fiveFields(Db), data, count, progress, errorText), 0);
        QCOMPARE(count, unsigned(changed.size()));
        QCOMPARE(writeTrace(), calls);
        // One reading when the reporter was made, one per changed cell.
        QCOMPARE(clock.readings(), 1 + changed.size());
    }

    // The register keeps nothing of a table that was not committed, so no
    // mark of it may be cleared; after the fault is gone, one more write
    // brings every cell over.
    void refusedWriteOrCommitKeepsEveryMark_data()
    {
        QTest::addColumn<EmulatorImage::Fault>("fault");
        QTest::addColumn<QStringList>("calls");

        EmulatorImage::Fault cell;
        cell.call = QStringLiteral("write");
        cell.table = 20;
        cell.row = 2;
        cell.field = 2;
        QTest::newRow("second of three cells refused")
            << cell << QStringList{"write 20 1 1 01 -> 0", "write 20 2 2 0007 -> 2"};

        EmulatorImage::Fault third = cell;
        third.row = 3;
        third.field = 3;
        third.code = 75;
        third.description = QStringLiteral("Ряд вне таблицы");
        QTest::newRow("last of three cells refused")
            << third << QStringList{"write 20 1 1 01 -> 0", "write 20 2 2 0007 -> 0", "write 20 3 3 09 -> 75"};

        EmulatorImage::Fault commit;
        commit.call = QStringLiteral("commit");
        QTest::newRow("commit refused after three cells")
            << commit
            << QStringList{"write 20 1 1 01 -> 0", "write 20 2 2 0007 -> 0", "write 20 3 3 09 -> 0", "commit -> 2"};
    }

    void refusedWriteOrCommitKeepsEveryMark()
    {
        QFETCH(EmulatorImage::Fault, fault);
        QFETCH(QStringList, calls);

        EmulatorImage image = registerImage();
        const EmulatorImage before = image;
        image.addFault(fault);
        open(image);
        const QByteArray fileBefore = fileBytes(m_imagePath);

        DataRows data = rows({"1* 0 0 0 0 | 1", "0 7* 0 0 0 | 2", "0 0 9* 0 0 | 3"});
        const QVector<QPoint> marked = changedCells(data);
        unsigned count = 4;
        QString errorText;
        QCOMPARE(write(fiveFields(Db), data, count, errorText), 6);
        QCOMPARE(writeTrace(), calls);
        QCOMPARE(count, 4u);
        QCOMPARE(changedCells(data), marked);
        QCOMPARE(logic().lastErrorText(),
                 QStringLiteral("Ошибка - %1 [%2]").arg(fault.code).arg(fault.description));

        logic().close();
        QCOMPARE(fileBytes(m_imagePath), fileBefore);

        // The fault is mended: the same rows write every cell.
        reopen(before);
        QCOMPARE(write(fiveFields(Db), data, count, errorText), 0);
        QCOMPARE(count, 7u);
        QVERIFY(changedCells(data).isEmpty());
        QCOMPARE(writeTrace(), (QStringList{"write 20 1 1 01 -> 0", "write 20 2 2 0007 -> 0", "write 20 3 3 09 -> 0",
                                            "commit -> 0"}));
        logic().close();
        compareRegister(before, EmulatorImage::fromFile(m_imagePath),
                        {{20, 1, 1, "01"}, {20, 2, 2, "0007"}, {20, 3, 3, "09"}});
    }

    // A value that does not fit its field is never sent, nor zeros for it:
    // the write stops before it, names the cell, and every mark stays.
    void valueThatDoesNotFitStopsTheWrite_data()
    {
        QTest::addColumn<FieldInfo>("bad");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("fixed");
        QTest::addColumn<QByteArray>("fixedHex");

        FieldInfo ip = field(FieldInfo::Bin4, QStringLiteral("IP-адрес"));
        ip.m_ipAddress = true;
        FieldInfo text = field(FieldInfo::String866, QStringLiteral("Строка"));
        text.m_maxLength = 4;
        text.m_fillCharCode = 0x20;

        QTest::newRow("bin1 beyond 255") << field(FieldInfo::Bin1) << QByteArray("256") << QByteArray("255")
                                         << QByteArray("FF000000");
        QTest::newRow("bin2 beyond 65535") << field(FieldInfo::Bin2) << QByteArray("70000") << QByteArray("65535")
                                           << QByteArray("FFFF0000");
        QTest::newRow("bin2 empty") << field(FieldInfo::Bin2BigEndian) << QByteArray() << QByteArray("1")
                                    << QByteArray("00010000");
        QTest::newRow("bin4 not a number") << field(FieldInfo::Bin4) << QByteArray("12abc") << QByteArray("12")
                                           << QByteArray("0000000C");
        QTest::newRow("bin4 negative") << field(FieldInfo::Bin4) << QByteArray("-1") << QByteArray("0")
                                       << QByteArray("00000000");
        QTest::newRow("address part beyond 255") << ip << QByteArray("192.168.1.300") << QByteArray("192.168.1.30")
                                                 << QByteArray("C0A8011E");
        QTest::newRow("bin6 five parts") << field(FieldInfo::Bin6) << QByteArray("0:1a:2b:c:4d")
                                         << QByteArray("0:1a:2b:c:4d:ff") << QByteArray("001A2B0C");
        QTest::newRow("bcd1 three digits") << field(FieldInfo::Bcd1) << QByteArray("150") << QByteArray("50")
                                           << QByteArray("50000000");
        QTest::newRow("bcd2 five digits") << field(FieldInfo::Bcd2) << QByteArray("12345") << QByteArray("1234")
                                          << QByteArray("12340000");
        QTest::newRow("bcd64_1 beyond 255") << field(FieldInfo::Bcd64_1) << QByteArray("256") << QByteArray("5")
                                            << QByteArray("05000000");
        QTest::newRow("text longer than the field") << text << QByteArray("ABCDE") << QByteArray("ABCD")
                                                    << QByteArray("41424344");
        QTest::newRow("text the register cannot show")
            << text << QString(QChar(0x4E2D)).toUtf8() << QByteArray("AB") << QByteArray("41422020");
        QTest::newRow("field without device type") << field(FieldInfo::DeviceUnknown) << QByteArray("1")
                                                   << QByteArray() << QByteArray();
    }

    void valueThatDoesNotFitStopsTheWrite()
    {
        QFETCH(FieldInfo, bad);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, fixed);
        QFETCH(QByteArray, fixedHex);

        EmulatorImage image;
        image.addTable(22, {{1}, {64}, {1}}, 1);
        open(image);
        const QByteArray fileBefore = fileBytes(m_imagePath);

        TableInfo table;
        table.id = 22;
        table.name = QStringLiteral("Проба");
        table.type = List;
        table.fields = {field(FieldInfo::Bin1), bad, field(FieldInfo::Bin1)};
        DataRows data{{Cell("5", true), Cell(value, true), Cell("6", true), Cell("1")}};

        unsigned count = 2;
        QString errorText;
        QCOMPARE(write(table, data, count, errorText), -1);
        const EncodedValue refused = ValueCodec::encode(bad, value, KKT_Logic::externalCodec());
        QVERIFY(!refused.ok);
        QCOMPARE(errorText, QStringLiteral("Ошибка записи таблицы 22 - [Проба]\nРяд 1, поле 2: ") + refused.problem);
        QVERIFY(errorText.contains(bad.m_name));
        // The cell before it went out, nothing for it or after it, and no commit.
        QCOMPARE(writeTrace(), QStringList{"write 22 1 1 05 -> 0"});
        QCOMPARE(count, 2u);
        QCOMPARE(changedCells(data), (QVector<QPoint>{{0, 0}, {1, 0}, {2, 0}}));
        QCOMPARE(data[0][1].value, value);
        logic().close();
        QCOMPARE(fileBytes(m_imagePath), fileBefore);

        if (fixed.isEmpty())
            return; // a field without device type cannot be written at all
        // The user corrects the value: all three cells go over.
        data[0][1].value = fixed;
        reopen(image);
        QCOMPARE(write(table, data, count, errorText), 0);
        QCOMPARE(count, 5u);
        QVERIFY(changedCells(data).isEmpty());
        logic().close();
        const EmulatorImage after = EmulatorImage::fromFile(m_imagePath);
        QCOMPARE(after.cell(22, 1, 1), QByteArray::fromHex("05"));
        QCOMPARE(after.cell(22, 1, 2).left(4), QByteArray::fromHex(fixedHex));
        QCOMPARE(after.cell(22, 1, 3), QByteArray::fromHex("06"));
    }

    // A Db row whose label names no register row, or a marked cell without a
    // field, cannot be addressed: nothing of the table is sent.
    void unaddressableCellStopsTheWrite_data()
    {
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("data");
        QTest::addColumn<QString>("errorText");

        const QString prefix = QStringLiteral("Ошибка записи таблицы 20 - [Пять полей]\n");
        DataRows emptyLabel = rows({"0 5* 0 0 0"});
        emptyLabel[0].append(Cell(""));
        QTest::newRow("db label empty") << fiveFields(Db) << emptyLabel
                                        << prefix + "Строка 1, поле 2: метка строки \"\" не является номером ряда ККТ";
        QTest::newRow("db label not a number")
            << fiveFields(Db) << rows({"0 0 0 0 0 | 1", "0 5* 0 0 0 | x"})
            << prefix + "Строка 2, поле 2: метка строки \"x\" не является номером ряда ККТ";
        QTest::newRow("db label zero") << fiveFields(Db) << rows({"0 5* 0 0 0 | 0"})
                                       << prefix + "Строка 1, поле 2: метка строки \"0\" не является номером ряда ККТ";
        QTest::newRow("db label negative")
            << fiveFields(Db) << rows({"0 5* 0 0 0 | -3"})
            << prefix + "Строка 1, поле 2: метка строки \"-3\" не является номером ряда ККТ";
        QTest::newRow("db label beyond 32 bits")
            << fiveFields(Db) << rows({"0 5* 0 0 0 | 4294967296"})
            << prefix + "Строка 1, поле 2: метка строки \"4294967296\" не является номером ряда ККТ";
        QTest::newRow("list cell beyond the fields")
            << fiveFields(List) << rows({"0 0 0 0 0 5* | 1"})
            << prefix + "Ряд 1, поле 6: в описании таблицы нет такого поля";
        DataRows markedLabel = rows({"0 0 0 0 0 | 1", "0 0 0 0 0 | 2"});
        markedLabel[1][5].changed = true;
        QTest::newRow("db label marked") << fiveFields(Db) << markedLabel
                                         << prefix + "Ряд 2, поле 6: в описании таблицы нет такого поля";
        TableInfo shortTransposed = transposed();
        shortTransposed.id = 20;
        shortTransposed.name = QStringLiteral("Пять полей");
        shortTransposed.fields.resize(2);
        QTest::newRow("transposed row beyond the fields")
            << shortTransposed << rows({"0 | 1", "0 | 2", "4* | 3"})
            << prefix + "Ряд 3, поле 1: в описании таблицы нет такого поля";
    }

    void unaddressableCellStopsTheWrite()
    {
        QFETCH(TableInfo, table);
        QFETCH(DataRows, data);
        QFETCH(QString, errorText);

        open(registerImage());
        const QByteArray fileBefore = fileBytes(m_imagePath);
        const QVector<QPoint> marked = changedCells(data);
        unsigned count = 0;
        QString text;
        QCOMPARE(write(table, data, count, text), -1);
        QCOMPARE(text, errorText);
        QCOMPARE(writeTrace(), QStringList());
        QCOMPARE(count, 0u);
        QCOMPARE(changedCells(data), marked);
        logic().close();
        QCOMPARE(fileBytes(m_imagePath), fileBefore);
    }

    // Each call commits its own table: a later failure leaves an earlier table written.
    void eachTableIsCommittedOnItsOwn()
    {
        EmulatorImage image = registerImage();
        EmulatorImage::Fault fault;
        fault.call = QStringLiteral("write");
        fault.table = 21;
        image.addFault(fault);
        open(image);

        DataRows first = rows({"0 0 0 0 0 | 1", "0 0 42* 0 0 | 2"});
        DataRows second = rows({"1* | 1", "0 | 2", "0 | 3", "0 | 4", "0 | 5", "0 | 6"});
        unsigned count = 0;
        QString errorText;
        QCOMPARE(write(fiveFields(Db), first, count, errorText), 0);
        QCOMPARE(write(transposed(), second, count, errorText), 6);
        QCOMPARE(count, 1u);
        QVERIFY(changedCells(first).isEmpty());
        QCOMPARE(changedCells(second), QVector<QPoint>{QPoint(0, 0)});
        QCOMPARE(writeTrace(), (QStringList{"write 20 2 3 2A -> 0", "commit -> 0", "write 21 1 1 01 -> 2"}));
        logic().close();
        compareRegister(registerImage(), EmulatorImage::fromFile(m_imagePath), {{20, 2, 3, "2A"}});
    }

    void numberPairRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("fill");
        QTest::addColumn<QByteArray>("stored"); // the register's cell afterwards
        QTest::newRow("©5,7, fill blank") << QStringLiteral("©5,7") << 32 << QByteArray::fromHex("FD05000700000000");
        QTest::newRow("©5,7, fill zero") << QStringLiteral("©5,7") << 0 << QByteArray::fromHex("FD05000700000000");
        QTest::newRow("numbers equal to the fill") << QStringLiteral("©32,32") << 32
                                                   << QByteArray::fromHex("FD20002000000000");
        QTest::newRow("second number 0") << QStringLiteral("©9,0") << 32 << QByteArray::fromHex("FD09000000000000");
        QTest::newRow("©0,0, fill zero") << QStringLiteral("©0,0") << 0 << QByteArray::fromHex("FD00000000000000");
        QTest::newRow("largest numbers") << QStringLiteral("©255,255") << 32
                                         << QByteArray::fromHex("FDFF00FF00000000");
        QTest::newRow("plain text beside them") << QStringLiteral("Да") << 32 << QByteArray::fromHex("0480202020202020");
    }

    // A "string866" cell in the ©a,b form goes to the register as FD a 00 b
    // and reads back as the same text, cell by cell and by whole rows.
    void numberPairRoundTrip()
    {
        QFETCH(QString, value);
        QFETCH(int, fill);
        QFETCH(QByteArray, stored);
        EmulatorImage image;
        image.addTable(23, {{8, true, fill}, {1}}, 1);
        open(image);
        FieldInfo text = field(FieldInfo::String866);
        text.m_guiType = FieldInfo::String;
        text.m_maxLength = 8;
        text.m_fillCharCode = uint8_t(fill);
        TableInfo table;
        table.id = 23;
        table.name = QStringLiteral("Пары");
        table.type = Db;
        table.fields = {text, field(FieldInfo::Bin1)};
        DataRows data{DataRow{Cell(value.toUtf8(), true), Cell("0"), Cell("1")}};
        unsigned count = 0;
        QString errorText;
        QCOMPARE(write(table, data, count, errorText), 0);
        QCOMPARE(count, 1u);
        QCOMPARE(EmulatorImage::fromFile(m_imagePath).cell(23, 1, 1), stored);

        for (bool fastRead : {false, true}) {
            table.fastRead = fastRead;
            DataRows read;
            unsigned cells = 0;
            QCOMPARE(logic().readTableData(table, read, cells, errorText), 0);
            QCOMPARE(read.size(), 1);
            QCOMPARE(QString::fromUtf8(read[0][0].value), value);
        }
        QCOMPARE(errorText, QString());
    }

    void lastLetterRoundTrip_data()
    {
        QTest::addColumn<QString>("letter");
        for (const QString& letter : internalLetters(KKT_Logic::internalCodec()))
            QTest::newRow(qPrintable(letter)) << letter;
    }

    // A text ending in any letter of the register's own set reads back whole,
    // cell by cell and by whole rows: "А" is its byte 0x00, which stands
    // before the fill and is not padding.
    void lastLetterRoundTrip()
    {
        QFETCH(QString, letter);
        EmulatorImage image;
        image.addTable(23, {{16, true, 32}, {16, true, 32}}, 1);
        open(image);
        FieldInfo text = field(FieldInfo::String866);
        text.m_guiType = FieldInfo::String;
        text.m_maxLength = 16;
        TableInfo table;
        table.id = 23;
        table.name = QStringLiteral("Клише");
        table.type = Db;
        table.fields = {text, text};
        const QString shortText = QStringLiteral("ЖДЁМ ВАС СНОВ") + letter;
        const QString oneBlankShort = QStringLiteral("ЖДЁМ ВАС СНОВА") + letter; // one fill byte after it
        DataRows data{DataRow{Cell(shortText.toUtf8(), true), Cell(oneBlankShort.toUtf8(), true), Cell("1")}};
        unsigned count = 0;
        QString errorText;
        QCOMPARE(write(table, data, count, errorText), 0);
        for (bool fastRead : {false, true}) {
            table.fastRead = fastRead;
            DataRows read;
            unsigned cells = 0;
            QCOMPARE(logic().readTableData(table, read, cells, errorText), 0);
            QCOMPARE(read.size(), 1);
            QCOMPARE(QString::fromUtf8(read[0][0].value), shortText);
            QCOMPARE(QString::fromUtf8(read[0][1].value), oneBlankShort);
        }
        QCOMPARE(errorText, QString());
    }

    // The four-argument form behaves the same, without the text.
    // Both engines run on a link that the test builds over a handle of its
    // own, with no part of the program's connection object in between.
    void enginesRunOnALinkOfTheirOwn_data()
    {
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("data");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("readBack"); // the rows the read engine then gives, as row() writes them

        QTest::newRow("db by label") << fiveFields(Db) << rows({"0 0 0 0 9* | 3", "0 258* 0 0 0 | 1"}) << 0
                                     << QStringList{"0 258 0 0 0 | 1", "0 0 0 0 0 | 2", "0 0 0 0 9 | 3"};
        QTest::newRow("transposed by data row") << transposed() << rows({"7* | 1", "0 | 2", "0 | 3", "513* | 4"})
                                                << 0
                                                << QStringList{"7 | 1", "0 | 2", "0 | 3", "513 | 4", "0 | 5", "0 | 6"};
        QTest::newRow("a value too wide is refused") << fiveFields(Db) << rows({"256* 0 0 0 0 | 1"}) << -1
                                                     << QStringList{"0 0 0 0 0 | 1", "0 0 0 0 0 | 2", "0 0 0 0 0 | 3"};
    }

    void enginesRunOnALinkOfTheirOwn()
    {
        QFETCH(TableInfo, table);
        QFETCH(DataRows, data);
        QFETCH(int, result);
        QFETCH(QStringList, readBack);

        EmulatorImage image;
        image.addTable(20, {{1}, {2}, {1}, {2}, {4}}, 3);
        image.addTable(21, {{2}}, 6);
        image.install(*m_dir, false);
        DriverLibrary& driver = DriverLibrary::instance();
        libtillo_handle handle = nullptr;
        driver.create(&handle);
        QVERIFY(handle);
        QCOMPARE(driver.open(handle), 0);
        const RegisterLink link(driver, handle, KKT_Logic::charsets());

        unsigned written = 0;
        QString errorText;
        ProgressReporter progress;
        QCOMPARE(TableWriteEngine(link).write(table, data, written, progress, errorText), result);
        QCOMPARE(errorText.isEmpty(), result == 0);

        DataRows read;
        unsigned cellsRead = 0;
        QString readError;
        // Read back as the register's own rows: by place, whatever the labels said.
        TableInfo plain = table;
        if (plain.type == Db)
            plain.type = Plain;
        plain.rowNames.clear();
        for (int i = 0; i < readBack.size(); ++i)
            plain.rowNames << QStringLiteral("Ряд %1").arg(i + 1);
        QCOMPARE(TableReadEngine(link).read(plain, read, cellsRead, readError), 0);
        QCOMPARE(read, rows(readBack));

        driver.close(handle);
        driver.destroy(&handle);
    }

    void plainFormOfTheCall()
    {
        open(registerImage());
        DataRows data = rows({"0 1* 0 0 0 | 3"});
        unsigned count = 0;
        {
            ProgressReporter busy;
            QCOMPARE(logic().writeTableData(fiveFields(Db), data, count, busy), 0);
        }
        QCOMPARE(count, 1u);
        data = rows({"0 1* 0 0 0 | x"});
        {
            ProgressReporter busy;
            QCOMPARE(logic().writeTableData(fiveFields(Db), data, count, busy), -1);
        }
        QCOMPARE(count, 1u);
        QVERIFY(data[0][1].changed);
    }
};

VESCOR_TEST(TableWriteEngineTest)

#include "tst_TableWriteEngine.moc"
