#include "ExchangeFixtures.h"

#include "common/Errors.h"
#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "exchange/ImportLimits.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QTest>
#include <QTextCodec>

#include <sys/stat.h>

using namespace fixtures;

namespace {

const QByteArray goodsHead = "Товары 1.1\n\"Цена\";\"Название\";\"Налог\";\"Количество\";\"Зарезервировано\";\"Служебное\"\n";
const QByteArray modesHead = "Режимы 1.1\n\"Режим\";\"Зарезервировано 1\";\"Пароль\";\"Сумма\";\"Имя\"\n";
const QByteArray clicheHead = "Клише 1.1\n\"Строка 1\";\"Строка 2\";\"Зарезервировано\";\"Номер\"\n";

QString badValue(int row, const QString& field, const QString& value, const QString& reason)
{
    return QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\", поле \"%2\": значение \"%3\" - %4")
        .arg(row)
        .arg(field, value, reason);
}

const QString taxCodes = QStringLiteral("нужен код из списка: 0, 1, 3");
const QString oneToTen = QStringLiteral("нужно целое число от 1 до 10");
const QString notRoubles = QStringLiteral("нужна сумма в рублях: число не более чем с двумя знаками после точки");

const QString badFile = QStringLiteral("Ошибка: файл содержит некорректные данные");
// A size in boundedInput that stands for a FIFO in the file's place.
const qint64 FifoSize = -2;

QString unknownTitle(const QString& title, const QString& example)
{
    return QStringLiteral("В заголовке файла csv неизвестная таблица: \"%1\" - нужно название таблицы ККТ и \" 1.1\", "
                          "например \"%2\"")
        .arg(title, example);
}

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTextCodec* m_originalCodec = nullptr;

    QString fileWith(const QByteArray& bytes)
    {
        static int counter = 0;
        const QString path = m_dir.filePath(QStringLiteral("in%1.csv").arg(++counter));
        if (!writeBytes(path, bytes))
            qFatal("cannot write the test file");
        return path;
    }

    // Imports and returns the error text, or an empty text when it succeeded.
    QString importError(const QString& path, const QList<TableInfo>& tables, TableInfo& matched, DataRows& rows)
    {
        try {
            rows = CsvExchange(KKT_Logic::charsets()).importTable(path, tables, matched);
        } catch (const RunTimeError& e) {
            return e.message();
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_originalCodec = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    }

    void cleanupTestCase() { QTextCodec::setCodecForLocale(m_originalCodec); }

    void titleFindsItsTable_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QList<TableInfo>>("tables");
        QTest::addColumn<int>("expectedId");

        QTest::newRow("own name") << QByteArray("Режимы 1.1") << allTables() << 2;
        QTest::newRow("commodity title") << QByteArray("Таблица товаров 1.1") << allTables() << 1;
        QTest::newRow("name of table 1") << QByteArray("Товары 1.1") << allTables() << 1;
        QTest::newRow("unknown name falls back to 1") << QByteArray("Неизвестная 1.1") << allTables() << 1;
        QTest::newRow("case matters") << QByteArray("режимы 1.1") << allTables() << 1;
        QTest::newRow("shorter than four") << QByteArray("Кл") << allTables() << 1;
        QTest::newRow("any four-character suffix") << QByteArray("Клише 2.0") << allTables() << 5;
        QTest::newRow("CR LF line end") << QByteArray("Клише 1.1\r") << allTables() << 5;
        QTest::newRow("quoted, holding the separator") << QByteArray("\"Ставка; НДС 1.1\"") << allTables() << 9;
        QTest::newRow("quoted, holding a line break") << QByteArray("\"Две\nстроки \"\"x\"\" 1.1\"")
                                                      << QList<TableInfo>{plain(), table(6, QStringLiteral("Две\nстроки \"x\""), Plain, {})} << 6;
        QTest::newRow("bare, starting with a quote") << QByteArray("\"Тест\" 1.1")
                                                     << QList<TableInfo>{plain(), table(6, QStringLiteral("\"Тест\""), Plain, {})} << 6;
        QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBFРежимы 1.1") << allTables() << 2;
        // What spreadsheets write: the title padded with empty fields to the widest line, quoted or not.
        QTest::newRow("bare, empty fields after it") << QByteArray("Режимы 1.1;;;") << allTables() << 2;
        QTest::newRow("quoted, empty fields after it") << QByteArray("\"Режимы 1.1\";;;") << allTables() << 2;
        QTest::newRow("quoted with the separator, empty fields after it") << QByteArray("\"Ставка; НДС 1.1\";;") << tablesWithoutGoods() << 9;
        QTest::newRow("byte order mark, quoted") << QByteArray("\xEF\xBB\xBF\"Ставка; НДС 1.1\";") << tablesWithoutGoods() << 9;
        QTest::newRow("empty fields, then CR LF") << QByteArray("\"Клише 1.1\";;\r") << allTables() << 5;
        QTest::newRow("quoted without table 1") << QByteArray("\"Ставка; НДС 1.1\"") << tablesWithoutGoods() << 9;
        QTest::newRow("first of equal names") << QByteArray("Режимы 1.1")
                                              << QList<TableInfo>{plain(), table(3, QStringLiteral("Режимы"), Plain, {}),
                                                                  table(4, QStringLiteral("Режимы"), Plain, {})}
                                              << 3;
    }

    void titleFindsItsTable()
    {
        QFETCH(QByteArray, title);
        QFETCH(QList<TableInfo>, tables);
        QFETCH(int, expectedId);

        TableInfo matched;
        DataRows rows;
        // Whatever the data then give, the table is named as soon as the title is read.
        const QString error = importError(fileWith(title + "\n\"x\"\n"), tables, matched, rows);
        const bool titleRefused = error.startsWith(QStringLiteral("В заголовке файла csv неизвестная таблица: "));
        QVERIFY2(error.isEmpty() || error == badFile || titleRefused, qPrintable(error));
        QCOMPARE(int(matched.id), expectedId);
    }

    // Whether the values of a file may go to a terminal as they stand: only
    // UTF-8 data without a control character but line ends and tabs.
    void printableValues_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("printable");
        const QByteArray head("\"Ставка; НДС 1.1\"\n\"Ставка\"\n");
        QTest::newRow("plain") << head + "\"1\";\"НДС \"\"20%\"\"\"\n\"2\";\"a\tb\nc\"\n" << true;
        QTest::newRow("escape") << head + "\"1\";\"\x1b[2J\"\n" << false;
        QTest::newRow("delete") << head + "\"1\";\"НДС\x7f\"\n" << false;
        QTest::newRow("C1 control") << head + "\"1\";\"\xc2\x9b\"\n" << false;
        QTest::newRow("CR LF") << QByteArray(head + "\"1\";\"НДС\"\n").replace("\n", "\r\n") << false;
        QTest::newRow("byte order mark before the title") << "\xef\xbb\xbf" + head + "\"1\";\"НДС\"\n" << true;
        QTest::newRow("byte order mark in a value") << head + "\"1\";\"\xef\xbb\xbfНДС\"\n" << false;
        QTest::newRow("Windows-1251")
            << QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(head + "\"1\";\"НДС\"\n")) << false;
    }

    void printableValues()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, printable);
        CsvExchange exchange(KKT_Logic::charsets());
        TableInfo matched;
        QVector<ImportProblem> problems;
        try {
            exchange.importTable(fileWith(content), {semicolonNamed()}, matched, problems);
        } catch (const RunTimeError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QCOMPARE(exchange.printableValues(), printable);
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<TableInfo>>("tables");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("matchedId"); // 0: nothing matched

        const QString noTitle = QStringLiteral("Файл csv не содержит заголовка");

        QTest::newRow("empty file") << QByteArray() << allTables() << noTitle << 0;
        QTest::newRow("empty first line") << QByteArray("\nТовары 1.1\n") << allTables() << noTitle << 0;
        QTest::newRow("CR only first line") << QByteArray("\r\nТовары 1.1\n") << allTables() << noTitle << 0;
        QTest::newRow("only separators on the first line") << QByteArray(";;;\nТовары 1.1\n") << allTables() << noTitle << 0;
        QTest::newRow("unknown name, no table 1") << QByteArray("Неизвестная 1.1\n\"a\"\n") << tablesWithoutGoods()
            << unknownTitle(QStringLiteral("Неизвестная 1.1"), QStringLiteral("Режимы 1.1")) << 0;
        QTest::newRow("short title, no table 1") << QByteArray("Реж\n") << tablesWithoutGoods()
            << unknownTitle(QStringLiteral("Реж"), QStringLiteral("Режимы 1.1")) << 0;
        QTest::newRow("no tables at all") << QByteArray("Режимы 1.1\n") << QList<TableInfo>()
            << unknownTitle(QStringLiteral("Режимы 1.1"), QStringLiteral("Таблица товаров 1.1")) << 0;
        // Read as the commodity table, the data do not fit it either: the title is what to mend.
        QTest::newRow("unknown name, data not of table 1") << QByteArray("Неизвестная 1.1\n\"Режим\"\n\"1\";\"2\"\n") << allTables()
            << unknownTitle(QStringLiteral("Неизвестная 1.1"), QStringLiteral("Режимы 1.1")) << 1;
        QTest::newRow("unknown name, no data line for table 1") << QByteArray("Неизвестная 1.1;;\n\"a\";\"b\"\n")
            << QList<TableInfo>{modes(), [] { TableInfo t = modes(); t.id = 1; t.name = QStringLiteral("Настройки"); return t; }()}
            << unknownTitle(QStringLiteral("Неизвестная 1.1"), QStringLiteral("Режимы 1.1")) << 1;
        QTest::newRow("commodity title, data not of table 1") << QByteArray("Таблица товаров 1.1\n\"Режим\"\n\"1\";\"2\"\n") << allTables()
            << badFile << 1;
        // Files with no table in them: not text, one long line, a title naming no table and no data.
        const QString notText = QStringLiteral("Файл csv не содержит таблицы: в первой строке байт 00 - это не текстовый файл");
        QTest::newRow("1 KB of zero bytes") << QByteArray(1024, '\0') << allTables() << notText << 0;
        QTest::newRow("zero bytes after a title") << QByteArray("Режимы 1.1").append(QByteArray(16, '\0')) << allTables()
            << notText << 0;
        QTest::newRow("512 KB without a line end") << QByteArray(512 * 1024, 'a') << allTables()
            << unknownTitle(QString(80, QLatin1Char('a')) + QChar(0x2026), QStringLiteral("Режимы 1.1")) << 1;
        QTest::newRow("unknown name, field names, no data") << QByteArray("Неизвестная 1.1\n\"Цена\";\"Название\"\n")
            << allTables() << unknownTitle(QStringLiteral("Неизвестная 1.1"), QStringLiteral("Режимы 1.1")) << 1;

        // Record shapes.
        QTest::newRow("db record one value short") << goodsHead + "\"1\";\"1.00\";\"a\";\"0\";\"1\";\"\"\n" << allTables() << badFile << 1;
        QTest::newRow("db record one value over") << goodsHead + "\"1\";\"1.00\";\"a\";\"0\";\"1\";\"\";\"\";\"\"\n" << allTables() << badFile << 1;
        QTest::newRow("db second record short") << goodsHead + "\"1\";\"1.00\";\"a\";\"0\";\"1\";\"\";\"\"\n\"2\"\n" << allTables() << badFile << 1;
        QTest::newRow("list without data line") << modesHead << allTables() << badFile << 2;
        QTest::newRow("list title only") << QByteArray("Режимы 1.1\n") << allTables() << badFile << 2;
        QTest::newRow("list title without line end") << QByteArray("Режимы 1.1") << allTables() << badFile << 2;
        QTest::newRow("list value short") << modesHead + "\"1\";\"\";\"5\";\"1\"\n" << allTables() << badFile << 2;
        QTest::newRow("list value over") << modesHead + "\"1\";\"\";\"5\";\"1\";\"a\";\"b\"\n" << allTables() << badFile << 2;
        QTest::newRow("transposed without data line") << clicheHead << allTables() << badFile << 5;
        QTest::newRow("transposed value short") << clicheHead + "\"a\";\"b\";\"\"\n" << allTables() << badFile << 5;
        QTest::newRow("unclosed quote") << modesHead + "\"1\";\"\";\"5\";\"1\";\"a\n" << allTables() << badFile << 2;
        QTest::newRow("stray quote after value") << modesHead + "\"1\";\"\"x;\"5\";\"1\";\"a\"\n" << allTables() << badFile << 2;

        // Values: the row is counted from 1 over the data records of a db table.
        const QByteArray goodRow = "\"1\";\"1.00\";\"a\";\"0\";\"1\";\"\";\"\"\n";
        // Characters the register's own character set lacks would be stored as blanks.
        const QString notKept = QStringLiteral("символ \"%1\" не может быть сохранён в ККТ: его нет во внутренней кодировке ККТ");
        // A quoted value is read whole across its line breaks, and the register would not keep them.
        QTest::newRow("db line break inside a value") << goodsHead + "\"1\";\"1\";\"a\n\nb\";\"0\";\"1\";\"\";\"\"\n" << allTables()
            << badValue(1, QStringLiteral("Название"), "a\n\nb", notKept.arg(QStringLiteral("\\x0a"))) << 1;
        QTest::newRow("list text with a tab") << modesHead + "\"1\";\"\";\"0\";\"0\";\"Касса\t1\"\n" << allTables()
            << badValue(0, QStringLiteral("Имя"), "Касса\t1", notKept.arg(QStringLiteral("\\x09"))) << 2;
        QTest::newRow("db text in Kazakh") << goodsHead + "\"1\";\"1.00\";\"Әлем\";\"0\";\"1\";\"\";\"\"\n" << allTables()
            << badValue(1, QStringLiteral("Название"), "Әлем", notKept.arg(QStringLiteral("Ә"))) << 1;
        QTest::newRow("db list not a key") << goodsHead + goodRow + "\"2\";\"1.00\";\"a\";\"2\";\"1\";\"\";\"\"\n" << allTables() << badValue(2, QStringLiteral("Налог"), "2", taxCodes) << 1;
        QTest::newRow("db list not a number") << goodsHead + "\"1\";\"1.00\";\"a\";\"НДС 20%\";\"1\";\"\";\"\"\n" << allTables() << badValue(1, QStringLiteral("Налог"), "НДС 20%", taxCodes) << 1;
        QTest::newRow("db list empty") << goodsHead + "\"1\";\"1.00\";\"a\";\"\";\"1\";\"\";\"\"\n" << allTables() << badValue(1, QStringLiteral("Налог"), "", taxCodes) << 1;
        QTest::newRow("db list negative") << goodsHead + "\"1\";\"1.00\";\"a\";\"-1\";\"1\";\"\";\"\"\n" << allTables() << badValue(1, QStringLiteral("Налог"), "-1", taxCodes) << 1;
        QTest::newRow("db row counted over blank lines") << goodsHead + goodRow + "\n\n" + "\"2\";\"1.00\";\"a\";\"0\";\"1\";\"\";\"\"\n" + "\"3\";\"1.00\";\"a\";\"7\";\"1\";\"\";\"\"\n" << allTables() << badValue(3, QStringLiteral("Налог"), "7", taxCodes) << 1;
        for (const char* value : {"0", "11", "-1", "", "abc", "5.5", "1e1"}) {
            QTest::newRow(qPrintable(QStringLiteral("db int %1").arg(QLatin1String(value))))
                << goodsHead + goodRow + "\"2\";\"1.00\";\"a\";\"0\";\"" + value + "\";\"\";\"\"\n" << allTables()
                << badValue(2, QStringLiteral("Количество"), QLatin1String(value), oneToTen) << 1;
        }
        QTest::newRow("list table list value") << modesHead + "\"2\";\"\";\"5\";\"1\";\"a\"\n" << allTables() << badValue(0, QStringLiteral("Режим"), "2", QStringLiteral("нужен код из списка: 0, 1")) << 2;
        QTest::newRow("list table int value") << modesHead + "\"1\";\"\";\"10000\";\"1\";\"a\"\n" << allTables() << badValue(0, QStringLiteral("Пароль"), "10000", QStringLiteral("нужно целое число от 0 до 9999")) << 2;
        QTest::newRow("transposed int value") << clicheHead + "\"a\";\"b\";\"\";\"0\"\n" << allTables() << badValue(0, QStringLiteral("Номер"), "0", oneToTen) << 5;
        QTest::newRow("transposed int empty") << clicheHead + "\"a\";\"b\";\"\";\"\"\n" << allTables() << badValue(0, QStringLiteral("Номер"), "", oneToTen) << 5;

        // Money amounts that are not exact kopecks.
        for (const char* value : {"1.005", "-1", "abc", "1e3", "1 000", "1.2.3", "+1", "99999999999999999999"}) {
            QTest::newRow(qPrintable(QStringLiteral("db money %1").arg(QLatin1String(value))))
                << goodsHead + goodRow + "\"2\";\"" + value + "\";\"a\";\"0\";\"1\";\"\";\"\"\n" << allTables()
                << badValue(2, QStringLiteral("Цена"), QLatin1String(value), notRoubles) << 1;
        }
        // Every value must fit its field as the register stores it.
        QTest::newRow("db money empty") << goodsHead + "\"1\";\"\";\"a\";\"0\";\"1\";\"\";\"\"\n" << allTables()
            << badValue(1, QStringLiteral("Цена"), "", notRoubles) << 1;
        QTest::newRow("list money with decimals, the file carries kopecks") << modesHead + "\"1\";\"\";\"5\";\"150000.00\";\"a\"\n" << allTables()
            << badValue(0, QStringLiteral("Сумма"), "150000.00", QStringLiteral("нужна сумма в копейках: целое число от 0 до 999999999999")) << 2;
        QTest::newRow("NUL inside a text") << goodsHead + QByteArray("\"1\";\"1\";\"a#b\";\"0\";\"1\";\"\";\"\"\n").replace('#', '\0') << allTables()
            << badValue(1, QStringLiteral("Название"), QString::fromLatin1("a\0b", 3), QStringLiteral("текст содержит нулевой символ")) << 1;
        QTest::newRow("NUL in a read-only text") << goodsHead + QByteArray("\"1\";\"1\";\"a\";\"0\";\"1\";\"\";\"#\"\n").replace('#', '\0') << allTables()
            << badValue(1, QStringLiteral("Служебное"), QString(QChar(0)), QStringLiteral("текст содержит нулевой символ")) << 1;
        QTest::newRow("character the register lacks") << clicheHead + "\"café\";\"b\";\"\";\"1\"\n" << allTables()
            << badValue(0, QStringLiteral("Строка 1"), QStringLiteral("café"), QStringLiteral("символ \"é\" не может быть записан в ККТ")) << 5;
        QTest::newRow("text longer than its field, quoted in part") << clicheHead + "\"" + QByteArray(129, 'w') + "\";\"b\";\"\";\"1\"\n" << allTables()
            << badValue(0, QStringLiteral("Строка 1"), QString(80, QLatin1Char('w')) + QChar(0x2026), QStringLiteral("текст длиннее 128 символов")) << 5;
        QTest::newRow("CR-only line ends, bad value") << QByteArray(clicheHead).replace('\n', '\r') + "\"a\";\"b\";\"\";\"11\"\r" << allTables()
            << badValue(0, QStringLiteral("Номер"), "11", oneToTen) << 5;

        // Register rows of a db file.
        const QString sameRow = QStringLiteral("Ошибка: строки \"%1\" и \"%2\" файла задают один и тот же ряд %3");
        QTest::newRow("two lines for one row") << goodsHead + goodRow + "\"2\";\"1\";\"b\";\"0\";\"1\";\"\";\"\"\n" + goodRow << allTables()
            << sameRow.arg(1).arg(3).arg(1) << 1;
        QTest::newRow("one row written two ways") << goodsHead + goodRow + "\"01\";\"1\";\"b\";\"0\";\"1\";\"\";\"\"\n" << allTables()
            << sameRow.arg(1).arg(2).arg(1) << 1;
        const QString badRow = QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\": номер ряда \"%2\" - нужно целое число от 1 до %3");
        for (const char* label : {"0", "x", "", "-1", "65537"}) {
            QTest::newRow(qPrintable(QStringLiteral("row number %1").arg(QLatin1String(label))))
                << goodsHead + "\"" + label + "\";\"1\";\"a\";\"0\";\"1\";\"\";\"\"\n" << allTables()
                << badRow.arg(1).arg(QLatin1String(label)).arg(65536) << 1;
        }
        TableInfo twoRows = semicolonNamed();
        twoRows.rowNames = QStringList{QStringLiteral("Первая"), QStringLiteral("Вторая")};
        QTest::newRow("row beyond the row names") << QByteArray("\"Ставка; НДС 1.1\"\n\"Ставка\"\n\"3\";\"20\"\n") << QList<TableInfo>{twoRows}
            << badRow.arg(1).arg(3).arg(2) << 9;

        // More data lines than the table has rows: refused at the first line too many.
        const QString tooMany = QStringLiteral("Ошибка: в файле больше строк данных, чем может быть в таблице \"%1\": не более %2");
        QTest::newRow("db lines beyond the row names") << QByteArray("\"Ставка; НДС 1.1\"\n\"Ставка\"\n\"1\";\"20\"\n\"2\";\"10\"\n\"3\";\"0\"\n")
            << QList<TableInfo>{twoRows} << tooMany.arg(QStringLiteral("Ставка; НДС")).arg(2) << 9;
        // What comes first in the file is refused first, whether the line too many is there or not.
        const QByteArray twoRowsHead("\"Ставка; НДС 1.1\"\n\"Ставка\"\n");
        const QString badData = QStringLiteral("Ошибка: файл содержит некорректные данные");
        const struct {
            const char* name;
            QByteArray data;
            bool tooManyFirst;
        } order[] = {
            {"a line of the wrong shape before the line too many", "\"1\";\"20\"\n\"2\"\n\"3\";\"0\"\n", false},
            {"the line too many of the wrong shape", "\"1\";\"20\"\n\"2\";\"10\"\n\"3\"\n", true},
            {"a broken quote before the line too many", "\"1\";\"20\"\n\"2;\"10\"\n\"3\";\"0\"\n", false},
            {"a broken quote after the line too many", "\"1\";\"20\"\n\"2\";\"10\"\n\"3\";\"0\"\n\"4;\"x", true},
            {"CR-only line ends, a line too many", "\"1\";\"20\"\r\"2\";\"10\"\r\"3\";\"0\"\r", true},
            {"blank lines between", "\"1\";\"20\"\n\n\n\"2\";\"10\"\n\n\"3\";\"0\"", true},
        };
        for (const auto& file : order) {
            QTest::newRow(file.name) << twoRowsHead + file.data << QList<TableInfo>{twoRows}
                << (file.tooManyFirst ? tooMany.arg(QStringLiteral("Ставка; НДС")).arg(2) : badData) << 9;
        }
    }

    void failures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<TableInfo>, tables);
        QFETCH(QString, message);
        QFETCH(int, matchedId);

        TableInfo matched;
        DataRows rows;
        QCOMPARE(importError(fileWith(content), tables, matched, rows), message);
        QCOMPARE(int(matched.id), matchedId);
        QVERIFY(rows.isEmpty());
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("shownName");
        QTest::newRow("missing file") << QStringLiteral("missing.csv") << QStringLiteral("missing.csv");
        QTest::newRow("missing directory") << QStringLiteral("nowhere/file.csv") << QStringLiteral("file.csv");
        QTest::newRow("a directory") << QStringLiteral("folder") << QStringLiteral("folder");
    }

    void unreadableFiles()
    {
        QFETCH(QString, relativePath);
        QFETCH(QString, shownName);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));

        TableInfo matched;
        DataRows rows;
        QCOMPARE(importError(m_dir.filePath(relativePath), allTables(), matched, rows),
                 QStringLiteral("Невозможно открыть файл %1").arg(shownName));
        QCOMPARE(int(matched.id), 0);
    }

    // Input that no table can need is refused before it is read whole.
    void boundedInput_data()
    {
        QTest::addColumn<QString>("path"); // "%DIR%" stands for the test directory
        QTest::addColumn<qint64>("size");  // made as a sparse file of that size; -1: left as it is
        QTest::addColumn<QString>("message");
        const qint64 limit = ImportLimits::fileBytes(allTables());
        QTest::newRow("a device") << QStringLiteral("/dev/zero") << qint64(-1)
                                  << QStringLiteral("Невозможно открыть файл zero: это не обычный файл");
        QTest::newRow("larger than the largest table")
            << QStringLiteral("%DIR%/huge.csv") << limit + 1
            << QStringLiteral("Файл huge.csv слишком велик: файл таблицы ККТ не бывает больше %1 байт").arg(limit);
        QTest::newRow("1.5 GB") << QStringLiteral("%DIR%/huge.csv") << qint64(1536) * 1024 * 1024
                                << QStringLiteral("Файл huge.csv слишком велик: файл таблицы ККТ не бывает больше %1 байт").arg(limit);
        // A regular file whose reading fails (here at its first byte): refused, not taken as empty.
        QTest::newRow("read fails") << QStringLiteral("/proc/self/mem") << qint64(-1)
                                    << QStringLiteral("Не удалось прочитать файл mem: Input/output error");
        // A file of the system's that gives its size as 0 is read all the same, past its first piece.
        QTest::newRow("a size of 0 given") << QStringLiteral("/proc/self/cmdline") << qint64(-1)
                                           << QStringLiteral("Файл csv не содержит таблицы: в первой строке байт 00 - это не "
                                                             "текстовый файл");
        // Refused at once: opening a FIFO that no one writes would wait forever.
        QTest::newRow("a FIFO") << QStringLiteral("%DIR%/table.csv") << FifoSize
                                << QStringLiteral("Невозможно открыть файл table.csv: это не обычный файл");
    }

    void boundedInput()
    {
        QFETCH(QString, path);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        path.replace(QStringLiteral("%DIR%"), m_dir.path());
        if (size == FifoSize)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (size >= 0) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(file.write("Товары 1.1\n") > 0);
            QVERIFY(file.resize(size));
        }
        TableInfo matched;
        DataRows rows;
        QCOMPARE(importError(path, allTables(), matched, rows), message);
        QCOMPARE(int(matched.id), 0);
        if (size >= 0)
            QVERIFY(QFile::remove(path));
    }

    // The largest file follows from the largest table: its rows at their widest.
    void fileLimits_data()
    {
        QTest::addColumn<QList<TableInfo>>("tables");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<int>("goodsLines");
        const qint64 head = 1024 * 1024;
        QTest::newRow("no tables") << QList<TableInfo>() << head << 65536;
        // Db without row names: 65 536 lines of a label and one text of 10 characters.
        TableInfo oneText = table(3, QStringLiteral("T"), Db, {field(QStringLiteral("Имя"), FieldInfo::String)});
        oneText.fields[0].m_maxLength = 10;
        QTest::newRow("one text field") << QList<TableInfo>{oneText} << head + (3 * 3 + 3) + 3 + 65536LL * (29 + 33) << 65536;
        // Fields that claim more than a register field holds count as the longest one.
        oneText.fields[0].m_maxLength = 2000000000;
        QTest::newRow("capped") << QList<TableInfo>{oneText} << qint64(ImportLimits::MostFileBytes) << 65536;
        // List: one line; names of 5, 17, 6, 5 and 3 characters, two texts of 128.
        QTest::newRow("list") << QList<TableInfo>{modes()} << head + 3 * 6 + (3 * 36 + 5 * 3) + 29 + 3 * 27 + 2 * (3 * 128 + 3) << 1;
    }

    void fileLimits()
    {
        QFETCH(QList<TableInfo>, tables);
        QFETCH(qint64, bytes);
        QFETCH(int, goodsLines);
        QCOMPARE(ImportLimits::fileBytes(tables), bytes);
        QCOMPARE(ImportLimits::dataLines(tables.isEmpty() ? goods() : tables.first()), goodsLines);
    }

    void tablesAndFlags_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("matchedId");
        QTest::addColumn<QString>("expected");

        // Db: label cell last and unmarked; read-only field and read-only row 3
        // unmarked; the reserved name is not looked at.
        QTest::newRow("db rows") << goodsHead + "\"1\";\"12.34\";\"Хлеб \"\"Бородинский\"\"\";\"1\";\"10\";\"r\";\"s\"\n"
                                               "\"3\";\"0.29\";\"Соль; крупная\";\"0\";\"1\";\"\";\"\"\n"
                                               "\"7\";\"0\";\"\";\"3\";\"5\";\"\";\"\"\n"
                                 << 1
                                 << QStringLiteral("1234*|Хлеб \"Бородинский\"*|1*|10*|r*|s|1\n"
                                                   "29|Соль; крупная|0|1|||3\n"
                                                   "0*|*|3*|5*|*||7");
        QTest::newRow("db CR-only line ends") << QByteArray(goodsHead).replace('\n', '\r') + "\"1\";\"1\";\"a\";\"0\";\"1\";\"\";\"\"\r\r\"2\";\"2\";\"b\";\"0\";\"2\";\"\";\"\"\r"
                                              << 1 << QStringLiteral("100*|a*|0*|1*|*||1\n200*|b*|0*|2*|*||2");
        QTest::newRow("db rows from row names") << QByteArray("\"Ставка; НДС 1.1\"\r\n\"Ставка\"\r\n\"1\";\"20\"\r\n") << 9 << QStringLiteral("20*|1");
        QTest::newRow("db blank lines and CR LF") << goodsHead + "\n\"1\";\"1\";\"a\";\"0\";\"1\";\"\";\"\"\r\n\r\n\n\"2\";\"2\";\"b\";\"0\";\"2\";\"\";\"\"\r\n\n"
                                                  << 1 << QStringLiteral("100*|a*|0*|1*|*||1\n200*|b*|0*|2*|*||2");
        QTest::newRow("db no data lines") << goodsHead << 1 << QString();
        QTest::newRow("db title only") << QByteArray("Товары 1.1\n") << 1 << QString();
        // List: one row; reserved and read-only fields unmarked; money untouched.
        QTest::newRow("list") << modesHead + "\"1\";\"x\";\"1234\";\"1234\";\"Касса \"\"1\"\"\"\n"
                              << 2 << QStringLiteral("1*|x|1234|1234*|Касса \"1\"*");
        QTest::newRow("list CR-only line ends") << QByteArray(modesHead).replace('\n', '\r') + "\"1\";\"x\";\"1234\";\"1234\";\"Касса\""
                                                << 2 << QStringLiteral("1*|x|1234|1234*|Касса*");
        QTest::newRow("blanks inside values kept") << modesHead + "\"1\";\" \";\"0\";\"0\";\"  Касса  \"\n"
                                                   << 2 << QStringLiteral("1*| |0|0*|  Касса  *");
        QTest::newRow("unquoted values") << modesHead + "1;;0;1250; Касса \n"
                                         << 2 << QStringLiteral("1*||0|1250*| Касса *");
        QTest::newRow("list and int values with blanks") << modesHead + "\" 1\";\"x\";\"12 \";\"1234\";\"a\"\n"
                                                        << 2 << QStringLiteral(" 1*|x|12 |1234*|a*");
        QTest::newRow("list blank lines before") << modesHead + "\n\n\"0\";\"\";\"0\";\"0\";\"\"\n"
                                                 << 2 << QStringLiteral("0*||0|0*|*");
        QTest::newRow("encoder form of a text") << clicheHead + "\"©3,1\";\"©0,255\";\"\";\"1\"\n"
                                                << 5 << QStringLiteral("©3,1*\n©0,255*\n\n1*");
        // TransposedList: one row of one cell per field.
        QTest::newRow("transposed") << clicheHead + "\"Добро пожаловать\";\"\";\"resv\";\"10\"\n"
                                    << 5 << QStringLiteral("Добро пожаловать*\n*\nresv\n10*");
        QTest::newRow("plain") << QByteArray("Пустая 1.1\n\"Поле\"\n\"a\"\n") << 7 << QString();
        QTest::newRow("quoted title") << QByteArray("\"Ставка; НДС 1.1\"\n\"Ставка\"\n\"1\";\"20\"\n") << 9 << QStringLiteral("20*|1");
        // As a spreadsheet saves them: byte order mark, CR LF, the title and the
        // field names padded with empty fields to the widest line, texts quoted only where needed.
        QTest::newRow("spreadsheet db") << QByteArray("\xEF\xBB\xBFТовары 1.1;;;;;;\r\nЦена;Название;Налог;Количество;Зарезервировано;Служебное;\r\n"
                                                      "1;12.34;\"Соль; крупная\";1;10;;\r\n")
                                        << 1 << QStringLiteral("1234*|Соль; крупная*|1*|10*|*||1");
        QTest::newRow("spreadsheet list") << QByteArray("\xEF\xBB\xBF\"Режимы 1.1\";;;;\r\nРежим;Зарезервировано 1;Пароль;Сумма;Имя\r\n1;;0;1250;Касса\r\n")
                                          << 2 << QStringLiteral("1*||0|1250*|Касса*");
    }

    void tablesAndFlags()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, matchedId);
        QFETCH(QString, expected);

        TableInfo matched;
        DataRows rows;
        QCOMPARE(importError(fileWith(content), allTables(), matched, rows), QString());
        QCOMPARE(int(matched.id), matchedId);
        QCOMPARE(describe(rows), expected);
    }

    // The file is read 64 KiB at a time: a record whose quotes, doubled
    // quotes, quoted separator, empty values or line end fall on either side
    // of a piece's end comes out whole.
    void valuesAcrossPieces_data()
    {
        QTest::addColumn<int>("before"); // bytes of the record before the end of the first piece
        QTest::addColumn<int>("reservedLength");
        QTest::newRow("starts a piece") << 0 << 0;
        QTest::newRow("label cut") << 2 << 0;
        QTest::newRow("doubled quote cut") << 24 << 0;
        QTest::newRow("quoted separator cut") << 40 << 0;
        QTest::newRow("empty values cut") << 60 << 0;
        QTest::newRow("line end cut") << 68 << 0;
        QTest::newRow("longest value cut") << 100 << 128;
    }

    void valuesAcrossPieces()
    {
        QFETCH(int, before);
        QFETCH(int, reservedLength);
        const auto line = [](int label, const QByteArray& name, const QByteArray& reserved) {
            return "\"" + QByteArray::number(label) + "\";\"12.34\";\"" + name + "\";\"1\";\"10\";\"" + reserved +
                   "\";\"\"\n";
        };
        const QByteArray name = "Хлеб \"\"Бородинский\"\"; вторая строка";
        const QByteArray reserved(reservedLength, 'z');
        // The pieces start after the title line: the field names are in the first.
        const int start = 65536 - int(goodsHead.size() - goodsHead.indexOf('\n') - 1) - before;
        QByteArray data;
        int label = 0;
        while (start - data.size() > 200)
            data += line(++label, "x", "");
        // The last line before fills the piece to the byte, its padding split over two values.
        const int room = start - data.size() - line(0, "", "").size() - QByteArray::number(label + 1).size() + 1;
        data += line(++label, QByteArray(room / 2, 'x'), QByteArray(room - room / 2, 'z'));
        QCOMPARE(data.size(), start);
        data += line(++label, name, reserved);
        data += line(label + 1, "", "");

        TableInfo matched;
        DataRows rows;
        const QString error = importError(fileWith(goodsHead + data), allTables(), matched, rows);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(rows.size(), label + 1);
        const DataRow& cut = rows.at(label - 1);
        QCOMPARE(cut.last().value, QByteArray::number(label));
        QCOMPARE(cut.at(0).value, QByteArray("1234"));
        QCOMPARE(cut.at(1).value, QByteArray("Хлеб \"Бородинский\"; вторая строка"));
        QCOMPARE(cut.at(4).value, reserved);
        QCOMPARE(cut.at(5).value, QByteArray());
        QCOMPARE(rows.last().at(1).value, QByteArray());
        QCOMPARE(rows.last().last().value, QByteArray::number(label + 1));
    }

    // A table of one record takes the first data line of its file; the
    // lines after it are counted and not read.
    void firstRecordOfOneRecordTables_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("matchedId");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("ignored");
        QTest::newRow("list with one data line") << modesHead + "\"1\";\"\";\"5\";\"1\";\"a\"\n" << 2
                                                 << QStringLiteral("1*||5|1*|a*") << 0;
        QTest::newRow("list with two data lines") << modesHead + "\"1\";\"\";\"5\";\"1\";\"a\"\n\"0\";\"\";\"\";\"\";\"\"\n" << 2
                                                  << QStringLiteral("1*||5|1*|a*") << 1;
        QTest::newRow("transposed with a second line") << clicheHead + "\"a\";\"b\";\"\";\"1\"\n\"x\"\n" << 5
                                                       << QStringLiteral("a*\nb*\n\n1*") << 1;
        QTest::newRow("list, later lines with bad values") << modesHead + "\"0\";\"\";\"0\";\"0\";\"\"\n\n\"9\";\"\"\n\"x\";\"y\";\"z\";\"\";\"\"\n"
                                                           << 2 << QStringLiteral("0*||0|0*|*") << 2;
    }

    void firstRecordOfOneRecordTables()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, matchedId);
        QFETCH(QString, expected);
        QFETCH(int, ignored);
        TableInfo matched;
        CsvExchange exchange(KKT_Logic::charsets());
        const DataRows rows = exchange.importTable(fileWith(content), allTables(), matched);
        QCOMPARE(int(matched.id), matchedId);
        QCOMPARE(describe(rows), expected);
        QCOMPARE(exchange.ignoredLines(), ignored);
        // A second import on the same object counts its own lines only.
        exchange.importTable(fileWith(modesHead + "\"1\";\"\";\"5\";\"1\";\"a\"\n"), allTables(), matched);
        QCOMPARE(exchange.ignoredLines(), 0);
    }

    void moneyAmounts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("12.34") << QStringLiteral("12.34") << QStringLiteral("1234");
        QTest::newRow("0.29 exactly") << QStringLiteral("0.29") << QStringLiteral("29");
        QTest::newRow("4.35 exactly") << QStringLiteral("4.35") << QStringLiteral("435");
        QTest::newRow("1.15 exactly") << QStringLiteral("1.15") << QStringLiteral("115");
        QTest::newRow("whole") << QStringLiteral("12") << QStringLiteral("1200");
        QTest::newRow("one decimal") << QStringLiteral("12.5") << QStringLiteral("1250");
        QTest::newRow("kopecks only") << QStringLiteral("0.05") << QStringLiteral("5");
        QTest::newRow("zero as exported") << QStringLiteral("0.00") << QStringLiteral("0");
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("0");
        QTest::newRow("leading zeros") << QStringLiteral("007.10") << QStringLiteral("710");
        QTest::newRow("comma") << QStringLiteral("12,34") << QStringLiteral("1234");
        QTest::newRow("trailing point, as the editor takes it") << QStringLiteral("12.") << QStringLiteral("1200");
        QTest::newRow("db money .5") << QStringLiteral(".5") << QStringLiteral("50");
        QTest::newRow("no roubles, two decimals") << QStringLiteral(",05") << QStringLiteral("5");
        QTest::newRow("large") << QStringLiteral("99999999.99") << QStringLiteral("9999999999");
    }

    void moneyAmounts()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);

        TableInfo matched;
        DataRows rows;
        const QByteArray content = goodsHead + "\"1\";\"" + text.toUtf8() + "\";\"a\";\"0\";\"1\";\"\";\"\"\n";
        QCOMPARE(importError(fileWith(content), allTables(), matched, rows), QString());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(QString::fromUtf8(rows[0][0].value), stored);
        QVERIFY(rows[0][0].changed);
    }

    void intBoundsAccepted_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("minimum") << QByteArray("1");
        QTest::newRow("maximum") << QByteArray("10");
        QTest::newRow("inside") << QByteArray("7");
        QTest::newRow("blank before") << QByteArray(" 1");
        QTest::newRow("blanks around") << QByteArray(" 10 ");
    }

    void intBoundsAccepted()
    {
        QFETCH(QByteArray, value);
        TableInfo matched;
        DataRows rows;
        const QByteArray content = goodsHead + "\"1\";\"1\";\"a\";\"0\";\"" + value + "\";\"\";\"\"\n";
        QCOMPARE(importError(fileWith(content), allTables(), matched, rows), QString());
        QCOMPARE(rows.at(0).at(3).value, value);
    }

    // The file is read in the locale's codec; a file written in UTF-8 because
    // the locale's codec could not hold its text is still read back right.
    void localeCodecs_data()
    {
        QTest::addColumn<QByteArray>("localeCodec");
        QTest::addColumn<QByteArray>("fileCodec");
        QTest::newRow("cp1251 locale, cp1251 file") << QByteArray("windows-1251") << QByteArray("windows-1251");
        QTest::newRow("koi8-r locale, koi8-r file") << QByteArray("KOI8-R") << QByteArray("KOI8-R");
        QTest::newRow("latin-1 locale, utf-8 file") << QByteArray("ISO-8859-1") << QByteArray("UTF-8");
        QTest::newRow("utf-8 locale, utf-8 file") << QByteArray("UTF-8") << QByteArray("UTF-8");
    }

    void localeCodecs()
    {
        QFETCH(QByteArray, localeCodec);
        QFETCH(QByteArray, fileCodec);

        const QString text = QString::fromUtf8(modesHead + "\"1\";\"ё\";\"0\";\"1\";\"Касса Ё1\"\n");
        const QString path = fileWith(QTextCodec::codecForName(fileCodec)->fromUnicode(text));
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(localeCodec));
        TableInfo matched;
        DataRows rows;
        const QString error = importError(path, allTables(), matched, rows);
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

        QCOMPARE(error, QString());
        QCOMPARE(int(matched.id), 2);
        QCOMPARE(describe(rows), QStringLiteral("1*|ё|0|1*|Касса Ё1*"));
    }

    // A file that is not UTF-8 is read as Windows-1251; when it then names no
    // table either, the refusal says both and where UTF-8 failed.
    void notUtf8_data()
    {
        QTextCodec* cp1251 = QTextCodec::codecForName("windows-1251");
        const QByteArray modes = modesHead + "\"1\";\"ё\";\"0\";\"1\";\"Касса Ё1\"\n";
        QByteArray noise(3000, '\0');
        QRandomGenerator random(40);
        for (char& byte : noise)
            byte = char(random.bounded(256));
        const QString neither = QStringLiteral("Файл csv не в кодировке UTF-8 (строка %1, байт %2: 0x%3) и не файл "
                                               "таблицы ККТ в кодировке Windows-1251: в заголовке нет названия "
                                               "таблицы ККТ и \" 1.1\" (прочитано \"%4\")");

        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("outcome"); // the cells, or the start of the refusal
        QTest::addColumn<QString>("note");
        QTest::newRow("Windows-1251 table") << cp1251->fromUnicode(QString::fromUtf8(modes)) << int(FileEncoding::Detect)
                                            << "1*|ё|0|1*|Касса Ё1*" << "файл прочитан в кодировке Windows-1251";
        QTest::newRow("Windows-1251 named") << cp1251->fromUnicode(QString::fromUtf8(modes))
                                            << int(FileEncoding::Windows1251) << "1*|ё|0|1*|Касса Ё1*" << QString();
        QTest::newRow("UTF-8 table") << modes << int(FileEncoding::Detect) << "1*|ё|0|1*|Касса Ё1*" << QString();
        QTest::newRow("unknown title in Windows-1251")
            << cp1251->fromUnicode(QStringLiteral("Прайс 1.1\n\"Цена\"\n\"1\"\n")) << int(FileEncoding::Detect)
            << neither.arg("1", "1", "CF", "Прайс 1.1") << QString();
        QTest::newRow("UTF-8 title, then Windows-1251")
            << QByteArray("Price 1.1\n\"\xD6\xE5\xED\xE0\"\n\"1\"\n") << int(FileEncoding::Detect)
            << neither.arg("2", "2", "D6", "Price 1.1") << QString();
        QTest::newRow("UTF-8 cut off at the end") << QByteArray("Price 1.1\n\"1\";\"\xD0") << int(FileEncoding::Detect)
                                                  << neither.arg("2", "6", "D0", "Price 1.1") << QString();
        QTest::newRow("random bytes") << noise << int(FileEncoding::Detect)
                                      << "Файл csv не в кодировке UTF-8 (строка 1, байт " << QString();
        QTest::newRow("Windows-1251 read as UTF-8") << cp1251->fromUnicode(QStringLiteral("Прайс 1.1\n\"Цена\"\n\"1\"\n"))
                                                    << int(FileEncoding::Utf8)
                                                    << "В заголовке файла csv неизвестная таблица: \"\uFFFD" << QString();
    }

    void notUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(QString, outcome);
        QFETCH(QString, note);
        CsvExchange exchange(KKT_Logic::charsets());
        exchange.setEncoding(FileEncoding::Choice(encoding));
        TableInfo matched;
        try {
            const DataRows rows = exchange.importTable(fileWith(bytes), allTables(), matched);
            QCOMPARE(describe(rows), outcome);
            QCOMPARE(exchange.encodingNote(), note);
        } catch (const RunTimeError& error) {
            QVERIFY2(error.message().startsWith(outcome), qPrintable(error.message()));
        }
    }

    // A value the spreadsheet's encoding cannot hold is refused; the rest go over.
    void exportInWindows1251_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("Cyrillic") << QStringLiteral("Касса №1 — Ё") << QString();
        QTest::newRow("box drawing") << QStringLiteral("Касса ╔1")
                                     << QStringLiteral("Значение \"Касса ╔1\" нельзя записать в кодировке Windows-1251");
    }

    void exportInWindows1251()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        TableInfo modes;
        for (const TableInfo& table : allTables()) {
            if (table.id == 2)
                modes = table;
        }
        const DataRows rows{{Cell("1"), Cell("0"), Cell("0"), Cell("1"), Cell(name.toUtf8())}};
        const QString path = m_dir.filePath(QStringLiteral("cp1251.csv"));
        QFile::remove(path);
        CsvExchange exchange(KKT_Logic::charsets());
        exchange.setEncoding(FileEncoding::Windows1251);
        try {
            exchange.exportTable(path, modes, rows);
            QVERIFY(refusal.isEmpty());
        } catch (const RunTimeError& error) {
            QCOMPARE(error.message(), refusal);
            QVERIFY(!QFile::exists(path));
            return;
        }
        TableInfo matched;
        QCOMPARE(describe(exchange.importTable(path, allTables(), matched)), QStringLiteral("1*|0|0|1*|") + name + "*");
        QVERIFY(fileBytes(path).contains(QTextCodec::codecForName("windows-1251")->fromUnicode(name)));
        exchange.setEncoding(FileEncoding::Detect);
        exchange.importTable(path, allTables(), matched);
        QCOMPARE(exchange.encodingNote(), QStringLiteral("файл прочитан в кодировке Windows-1251"));
    }
};

VESCOR_TEST(TestCsvImport)
#include "tst_CsvImport.moc"
