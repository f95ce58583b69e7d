#include "support/ReportHtml.h"
#include "support/TestMain.h"

#include "common/PrintableText.h"
#include "model/TableInfo.h"
#include "report/WriteReport.h"

#include <QTest>

namespace {

using Change = JournalRecord::CellChange;
using Row = QMap<QString, QString>;

JournalRecord record(unsigned table, const QString& tableName, const QVector<Change>& cells,
                     const QString& id = QStringLiteral("20240501-101530-00000000000000aa"))
{
    JournalRecord r;
    r.time = QDateTime(QDate(2024, 5, 1), QTime(10, 15, 30), Qt::UTC);
    r.program = QStringLiteral("vescor");
    r.version = QStringLiteral("2.1.2");
    r.writeId = id;
    r.modelCode = 57;
    r.modelName = QStringLiteral("Вескор-Эмулятор 57");
    r.serialNumber = QStringLiteral("0057000001");
    r.firmware = QStringLiteral("3.0.25");
    r.user = QStringLiteral("kassir");
    r.tableNumber = table;
    r.tableName = tableName;
    r.cells = cells;
    return r;
}

// Three cells in two tables: a tax rate, a list choice and a sum.
RecordedWrite threeCells(const QString& id = QStringLiteral("20240501-101530-00000000000000aa"))
{
    return RecordedWrite{{record(6, QStringLiteral("Налоговые ставки"), {{1, 1, QStringLiteral("Ставка, %"), "2000", "2200"}}, id),
                          record(2, QStringLiteral("Режимы работы"),
                                 {{1, 13, QStringLiteral("Режим округления"), "0", "2"},
                                  {1, 14, QStringLiteral("Максимальная сумма чека"), "1000000", "5000050"}},
                                 id)}};
}

Row row(const QString& table, const QString& number, const QString& field, const QString& before, const QString& after)
{
    return Row{{QStringLiteral("table"), table}, {QStringLiteral("row"), number}, {QStringLiteral("field"), field},
               {QStringLiteral("before"), before}, {QStringLiteral("after"), after}};
}

QList<TableInfo> model57()
{
    QList<TableInfo> tables;
    QString error;
    TableInfo::readTablesInfo(57, tables, error, [] { return 25; });
    return tables;
}

} // namespace

Q_DECLARE_METATYPE(QList<Row>)

// The report of writes, read back as a reader of the HTML reads it: the
// register, each write, its cells in the units the tabs show and the totals.
class WriteReportTest : public QObject
{
    Q_OBJECT

private slots:
    void writeOfThreeCells_data()
    {
        QTest::addColumn<bool>("described");
        QTest::addColumn<QList<Row>>("rows");
        const QString taxes = QStringLiteral("Таблица 6 «Налоговые ставки»");
        const QString modes = QStringLiteral("Таблица 2 «Режимы работы»");
        QTest::newRow("as the tabs show them")
            << true
            << QList<Row>{row(taxes, "1", "1. Ставка, %", "20.00", "22.00"),
                          row(modes, "1", "13. Режим округления", "Без округления", "До 50 копеек"),
                          row(modes, "1", "14. Максимальная сумма чека", "10000.00", "50000.50")};
        QTest::newRow("no model description: as stored")
            << false
            << QList<Row>{row(taxes, "1", "1. Ставка, %", "2000", "2200"),
                          row(modes, "1", "13. Режим округления", "0", "2"),
                          row(modes, "1", "14. Максимальная сумма чека", "1000000", "5000050")};
    }

    void writeOfThreeCells()
    {
        QFETCH(bool, described);
        QFETCH(QList<Row>, rows);
        const QList<TableInfo> tables = described ? model57() : QList<TableInfo>();
        QCOMPARE(tables.isEmpty(), !described);
        const RecordedWrite write = threeCells();
        WriteReport report(WriteReport::identityOf(write.first()), tables);
        report.add(write);
        const ReportHtml html = ReportHtml::parse(report.finish());
        QVERIFY2(html.wellFormed, qPrintable(html.error));
        QCOMPARE(html.cellRows, rows);
        QCOMPARE(html.only("model"), QStringLiteral("57 (Вескор-Эмулятор 57)"));
        QCOMPARE(html.only("serial"), QStringLiteral("0057000001"));
        QCOMPARE(html.only("firmware"), QStringLiteral("3.0.25"));
        QCOMPARE(html.only("program"), QStringLiteral("vescor 2.1.2"));
        QCOMPARE(html.only("user"), QStringLiteral("kassir"));
        QVERIFY(html.only("time").startsWith(
            write.first().time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        QCOMPARE(html.byClass.value("table-total"),
                 (QStringList{"Изменено ячеек в таблице: 1", "Изменено ячеек в таблице: 2"}));
        QCOMPARE(html.only("write-total"), QStringLiteral("Итого по записи: таблиц 2, ячеек 3"));
        QCOMPARE(html.only("total-writes"), QStringLiteral("1"));
        QCOMPARE(html.only("total-tables"), QStringLiteral("2"));
        QCOMPARE(html.only("total-cells"), QStringLiteral("3"));
        QCOMPARE(html.byClass.contains("note"), !described);
    }

    // A table whose commit was never confirmed is shown as one that may have
    // been written, after the committed ones, and is left out of the counts.
    void tableThatMayHaveBeenWritten_data()
    {
        QTest::addColumn<bool>("committedToo");
        QTest::newRow("beside a committed table") << true;
        QTest::newRow("alone") << false;
    }

    void tableThatMayHaveBeenWritten()
    {
        QFETCH(bool, committedToo);
        RecordedWrite write = threeCells();
        JournalRecord uncertain = record(4, QStringLiteral("Клише"), {{5, 1, QStringLiteral("Строка клише 5"), "А", "Б"}});
        uncertain.intent = 3;
        uncertain.confirmed = false;
        if (!committedToo)
            write.tables.clear();
        write.add(uncertain);
        WriteReport report(WriteReport::identityOf(write.first()), model57());
        report.add(write);
        const ReportHtml html = ReportHtml::parse(report.finish());
        QVERIFY2(html.wellFormed, qPrintable(html.error));
        QCOMPARE(html.cellRows.size(), committedToo ? 4 : 1);
        QCOMPARE(html.cellRows.last(), row(QStringLiteral("Таблица 4 «Клише»: таблица могла быть записана"), "5",
                                           "1. Строка клише 5", "А", "Б"));
        QCOMPARE(html.byClass.value("table-total").last(), QStringLiteral("Ячеек в таблице, которая могла быть записана: 1"));
        QCOMPARE(html.only("write-total"), committedToo ? QStringLiteral("Итого по записи: таблиц 2, ячеек 3")
                                                        : QStringLiteral("Итого по записи: таблиц 0, ячеек 0"));
        QCOMPARE(html.only("write-unconfirmed"),
                 QStringLiteral("Могли быть записаны (фиксация не подтверждена): таблиц 1, ячеек 1"));
        QCOMPARE(html.only("total-tables"), committedToo ? QStringLiteral("2") : QStringLiteral("0"));
        QCOMPARE(html.only("total-cells"), committedToo ? QStringLiteral("3") : QStringLiteral("0"));
    }

    // Writes follow one another in the order added, and the totals add them up.
    void totalsOverWrites()
    {
        WriteReport report(WriteReport::identityOf(threeCells().first()), model57());
        report.add(threeCells(QStringLiteral("first")));
        report.add(RecordedWrite{});
        report.add(RecordedWrite{{record(6, QStringLiteral("Налоговые ставки"), {{2, 1, "", "1000", "0"}},
                                         QStringLiteral("second"))}});
        const ReportHtml html = ReportHtml::parse(report.finish());
        QVERIFY2(html.wellFormed, qPrintable(html.error));
        QCOMPARE(html.byClass.value("write-title"), (QStringList{"Запись first", "Запись second"}));
        QCOMPARE(html.cellRows.size(), 4);
        QCOMPARE(html.cellRows.last().value("before"), QStringLiteral("10.00"));
        QCOMPARE(html.cellRows.last().value("after"), QStringLiteral("0.00"));
        QCOMPARE(html.cellRows.last().value("field"), QStringLiteral("1. Ставка, %"));
        QCOMPARE(html.only("total-writes"), QStringLiteral("2"));
        QCOMPARE(html.only("total-tables"), QStringLiteral("3"));
        QCOMPARE(html.only("total-cells"), QStringLiteral("4"));
    }

    // Texts from a journal are text, never markup: a reader gets back what
    // was written (control characters shown as \x..), and nothing of them
    // becomes an element or breaks the document.
    void hostileTextsEscaped_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString script = QStringLiteral("<script>alert('x')</script>");
        QTest::newRow("tags in a table name") << "table" << script << QStringLiteral("Таблица 4 «%1»").arg(script);
        QTest::newRow("quotes in a field name") << "field" << "\"Имя\" & 'фамилия'" << "1. \"Имя\" & 'фамилия'";
        QTest::newRow("control characters in a value") << "before" << QStringLiteral("a\x1b[31mb\x01\x7f")
                                                       << "a\\x1b[31mb\\x01\\x7f";
        QTest::newRow("markup in a value") << "after" << "</td></tr></table><img src=x onerror=alert(1)>"
                                           << "</td></tr></table><img src=x onerror=alert(1)>";
        QTest::newRow("a lone surrogate") << "field" << QString(QChar(0xD800)) + "x" << "1. " + QString(QChar(0xFFFD)) + "x";
        QTest::newRow("a noncharacter") << "field" << QString(QChar(0xFFFF)) << "1. " + QString(QChar(0xFFFD));
        QTest::newRow("entity in the user") << "user" << "&amp; <b>root</b>" << "&amp; <b>root</b>";
        QTest::newRow("CDATA end in the program") << "program" << "]]><x>" << "]]><x> 2.1.2";
    }

    void hostileTextsEscaped()
    {
        QFETCH(QString, where);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        JournalRecord cells = record(4, QStringLiteral("Клише"), {{1, 1, QStringLiteral("Строка"), "а", "б"}});
        if (where == "table")
            cells.tableName = text;
        if (where == "field")
            cells.cells[0].fieldName = text;
        if (where == "before")
            cells.cells[0].before = text.toUtf8();
        if (where == "after")
            cells.cells[0].after = text.toUtf8();
        if (where == "user")
            cells.user = text;
        if (where == "program")
            cells.program = text;
        WriteReport report(WriteReport::identityOf(cells), {});
        report.add(RecordedWrite{{cells}});
        const QString document = report.finish();
        const ReportHtml html = ReportHtml::parse(document);
        QVERIFY2(html.wellFormed, qPrintable(html.error));
        QCOMPARE(html.cellRows.size(), 1);
        const QString read = where == "user" || where == "program" ? html.only(where) : html.cellRows.first().value(where);
        QCOMPARE(read, shown);
        QVERIFY(!document.contains(QLatin1String("<script")));
        QVERIFY(!document.contains(QLatin1String("<img")));
        QVERIFY(!document.contains(QLatin1String("<b>")));
        QCOMPARE(PrintableText::of(document), document);
    }
};

VESCOR_TEST(WriteReportTest)
#include "tst_WriteReport.moc"
