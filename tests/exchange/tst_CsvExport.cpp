#include "ExchangeFixtures.h"

#include "common/Errors.h"
#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "support/FileSizeLimit.h"
#include "support/OddNode.h"
#include "support/TestMain.h"
#include "table/TableModel.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <QTextCodec>

using namespace fixtures;

namespace {

const QByteArray goodsColumns = "\"Цена\";\"Название\";\"Налог\";\"Количество\";\"Зарезервировано\";\"Служебное\"\n";
const QByteArray modesColumns = "\"Режим\";\"Зарезервировано 1\";\"Пароль\";\"Сумма\";\"Имя\"\n";
const QByteArray clicheColumns = "\"Строка 1\";\"Строка 2\";\"Зарезервировано\";\"Номер\"\n";

// A db row as the read engine delivers it: field cells, then the label.
DataRow dbRow(const QStringList& values, const QString& label)
{
    DataRow r;
    for (const QString& v : values)
        r.append(Cell(v.toUtf8()));
    r.append(Cell(label.toUtf8()));
    return r;
}

TableInfo renamed(TableInfo t, uint16_t id, const QString& name)
{
    t.id = id;
    t.name = name;
    return t;
}

} // namespace

class TestCsvExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTextCodec* m_originalCodec = nullptr;

    QString newPath()
    {
        static int counter = 0;
        return m_dir.filePath(QStringLiteral("out%1.csv").arg(++counter));
    }

    static QString exportError(const QString& path, const TableModel& model)
    {
        try {
            CsvExchange().exportTable(path, model.tableInfo(), model.tableData());
        } catch (const RunTimeError& e) {
            return e.message();
        }
        return QString();
    }

    static QString importError(const QString& path, const QList<TableInfo>& tables, DataRows& rows, TableInfo& matched)
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

    void fileBytes_data()
    {
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("rows");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("empty db table")
            << renamed(goods(), 4, QStringLiteral("Товары")) << DataRows()
            << "Товары 1.1\n" + goodsColumns;
        QTest::newRow("table 1 has the commodity title")
            << goods() << DataRows() << "Таблица товаров 1.1\n" + goodsColumns;
        QTest::newRow("separator in the name")
            << semicolonNamed() << DataRows{dbRow({QStringLiteral("20")}, QStringLiteral("1"))}
            << QByteArray("\"Ставка; НДС 1.1\"\n\"Ставка\"\n\"1\";\"20\"\n");
        QTest::newRow("quote in the name stays bare")
            << renamed(semicolonNamed(), 9, QStringLiteral("Ставка \"А\"")) << DataRows()
            << QByteArray("Ставка \"А\" 1.1\n\"Ставка\"\n");
        QTest::newRow("line break in the name")
            << renamed(semicolonNamed(), 9, QStringLiteral("Две\nстроки \"x\"")) << DataRows()
            << QByteArray("\"Две\nстроки \"\"x\"\" 1.1\"\n\"Ставка\"\n");
        QTest::newRow("db rows, money and quotes")
            << goods()
            << DataRows{dbRow({"5", "Хлеб \"Бородинский\"", "1", "10", "", "s"}, "1"),
                        dbRow({"0", "Соль; крупная", "0", "1", "", ""}, "2"),
                        dbRow({"123", "a\nb", "3", "2", "r", ""}, "3"),
                        dbRow({"", "", "0", "1", "", ""}, "4"),
                        dbRow({"123456", "x", "0", "1", "", ""}, "17")}
            << "Таблица товаров 1.1\n" + goodsColumns
                   + "\"1\";\"0.05\";\"Хлеб \"\"Бородинский\"\"\";\"1\";\"10\";\"\";\"s\"\n"
                     "\"2\";\"0.00\";\"Соль; крупная\";\"0\";\"1\";\"\";\"\"\n"
                     "\"3\";\"1.23\";\"a\nb\";\"3\";\"2\";\"r\";\"\"\n"
                     "\"4\";\"\";\"\";\"0\";\"1\";\"\";\"\"\n"
                     "\"17\";\"1234.56\";\"x\";\"0\";\"1\";\"\";\"\"\n";
        QTest::newRow("list: stored values, no money text, no label")
            << modes() << DataRows{dbRow({"1", "", "1234", "5", "Касса \"1\""}, "1")}
            << "Режимы 1.1\n" + modesColumns + "\"1\";\"\";\"1234\";\"5\";\"Касса \"\"1\"\"\"\n";
        QTest::newRow("list from an import, without label")
            << modes() << DataRows{{Cell("0", true), Cell("x"), Cell("0"), Cell("0", true), Cell("", true)}}
            << "Режимы 1.1\n" + modesColumns + "\"0\";\"x\";\"0\";\"0\";\"\"\n";
        QTest::newRow("transposed list: one line")
            << cliche()
            << DataRows{dbRow({"Добро пожаловать"}, "1"), dbRow({""}, "2"), dbRow({"r"}, "3"), dbRow({"7"}, "4")}
            << "Клише 1.1\n" + clicheColumns + "\"Добро пожаловать\";\"\";\"r\";\"7\"\n";
        QTest::newRow("plain: no data line")
            << plain() << DataRows{dbRow({"a"}, "1")}
            << QByteArray("Пустая 1.1\n\"Поле\"\n");
    }

    void fileBytes()
    {
        QFETCH(TableInfo, table);
        QFETCH(DataRows, rows);
        QFETCH(QByteArray, expected);

        const TableModel model(table, rows);
        const QString path = newPath();
        QCOMPARE(exportError(path, model), QString());
        QCOMPARE(::fileBytes(path), expected);
        // Kept in memory (a snapshot's archive), the same bytes.
        QCOMPARE(CsvExchange().exportBytes(model.tableInfo(), model.tableData()), expected);
    }

    void secondExportReplacesFirst()
    {
        const QString path = newPath();
        const TableModel big(goods(), DataRows{dbRow({"1", "a", "0", "1", "", ""}, "1"),
                                               dbRow({"2", "b", "0", "2", "", ""}, "2")});
        const TableModel small(plain(), DataRows());
        QCOMPARE(exportError(path, big), QString());
        QCOMPARE(exportError(path, small), QString());
        QCOMPARE(::fileBytes(path), QByteArray("Пустая 1.1\n\"Поле\"\n"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QFileInfo(path).fileName() + QLatin1Char('.')), QStringList());
    }

    void unwritablePaths_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("reason"); // the system's, as the message gives it
        QTest::newRow("missing directory") << QStringLiteral("nowhere/out.csv") << "нет такого файла или папки";
        QTest::newRow("a directory") << QStringLiteral("folder") << "это папка";
        QTest::newRow("empty path") << QString() << "нет такого файла или папки";
        QTest::newRow("parent is a file") << QStringLiteral("plain.txt/out.csv") << "часть пути не является папкой";
    }

    void unwritablePaths()
    {
        QFETCH(QString, relativePath);
        QFETCH(QString, reason);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
        QVERIFY(writeBytes(m_dir.filePath(QStringLiteral("plain.txt")), "x"));
        const QString path = relativePath.isEmpty() ? QString() : m_dir.filePath(relativePath);
        const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        const TableModel model(goods(), DataRows{dbRow({"1", "a", "0", "1", "", ""}, "1")});
        QCOMPARE(exportError(path, model), QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("folder"))).isDir());
    }

    // The window's export and the shell's alike: nothing but a regular file is
    // replaced, and a link's target is never written.
    void onlyRegularFilesReplaced_data()
    {
        QTest::addColumn<int>("node");
        for (const OddNode::Kind kind : OddNode::Kinds)
            QTest::newRow(OddNode::name(kind)) << int(kind);
    }

    void onlyRegularFilesReplaced()
    {
        QFETCH(int, node);
        const OddNode planted(OddNode::Kind(node), m_dir.filePath(QStringLiteral("planted.csv")));
        if (!planted.skipReason().isEmpty())
            QSKIP(qPrintable(planted.skipReason()));
        const TableModel model(goods(), DataRows{dbRow({"1", "a", "0", "1", "", ""}, "1")});
        const QString error = exportError(planted.path(), model);
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось записать файл %1: ").arg(planted.path()))
                     && error.endsWith(planted.refusalWords()),
                 qPrintable(error));
        QVERIFY2(planted.unchanged(), qPrintable(planted.change()));
        QCOMPARE(QDir(m_dir.path()).entryList({"*planted*"}, QDir::AllEntries | QDir::Hidden | QDir::System),
                 QStringList{"planted.csv"});
    }

    void readOnlyDirectory()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(dir.filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permissions do not bind this user (root)");
        }
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        const QString error = exportError(path, TableModel(plain(), DataRows()));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(error, QStringLiteral("Не удалось записать файл %1: нет прав доступа").arg(path));
        QVERIFY(!QFileInfo::exists(path));
    }

    // A disk that fills up while the file is written (a file size limit makes
    // writes fail after so many bytes, as a full disk does): the export fails
    // naming the file and the system's reason, an earlier file at the path stays whole and no part
    // file is left beside it.
    void writeFailingAfterSomeBytes_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("nothing fits") << 0;
        QTest::newRow("half of the file fits") << 2000;
        QTest::newRow("all but the last bytes fit") << 3990;
    }

    void writeFailingAfterSomeBytes()
    {
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("goods.csv"));
        DataRows rows;
        for (int i = 1; i <= 100; ++i)
            rows << dbRow({QByteArray::number(i), "Товар с длинным названием", "12345", "1", "", ""}, QByteArray::number(i));
        const TableModel model(goods(), rows);
        QCOMPARE(exportError(path, model), QString());
        const QByteArray earlier = ::fileBytes(path);
        QVERIFY(earlier.size() > 4000);

        rows[0][1].value = "Другое название";
        const TableModel changed(goods(), rows);
        QString error;
        {
            const FileSizeLimit sizeLimit{rlim_t(limit)};
            QVERIFY(sizeLimit.isSet());
            error = exportError(path, changed);
        }

        QCOMPARE(error, QStringLiteral("Не удалось записать файл %1: файл слишком велик").arg(path));
        QCOMPARE(::fileBytes(path), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("goods.csv")});
    }

    // A table whose rows do not fit its description is refused before the
    // file is touched: an earlier export at the same path stays whole.
    void inconsistentRowsKeepEarlierFile_data()
    {
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("rows");
        QTest::addColumn<QString>("message");

        const QString fewRows = QStringLiteral("Ошибка отображения. Кол-во строк не соответствует допустимому значению");
        const QString fewCells = QStringLiteral("Ошибка отображения. Кол-во полей не соответствует допустимому значению");
        QTest::newRow("db row short of cells") << goods() << DataRows{dbRow({"1", "a"}, "1")} << fewCells;
        QTest::newRow("db row short of cells after whole ones")
            << goods() << DataRows{dbRow({"1", "a", "0", "1", "", ""}, "1"), dbRow({"2", "b", "0", "1", "", ""}, "2"),
                                   dbRow({"3", "c"}, "3")} << fewCells;
        QTest::newRow("list without data row") << modes() << DataRows() << fewRows;
        QTest::newRow("list row short of cells") << modes() << DataRows{dbRow({"1", "x"}, "1")} << fewCells;
        QTest::newRow("transposed short of rows") << cliche() << DataRows{dbRow({"a"}, "1"), dbRow({"b"}, "2")} << fewRows;
        QTest::newRow("transposed empty row") << cliche() << DataRows{dbRow({"a"}, "1"), DataRow(), DataRow(), DataRow()} << fewCells;
    }

    void inconsistentRowsKeepEarlierFile()
    {
        QFETCH(TableInfo, table);
        QFETCH(DataRows, rows);
        QFETCH(QString, message);

        const QString path = newPath();
        QCOMPARE(exportError(path, TableModel(plain(), DataRows())), QString());
        const QByteArray earlier = ::fileBytes(path);
        QCOMPARE(exportError(path, TableModel(table, rows)), message);
        QCOMPARE(::fileBytes(path), earlier);
    }

    // What is exported comes back as the same cells, marked for writing.
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("localeCodec");
        QTest::addColumn<QByteArray>("fileCodec");
        QTest::addColumn<TableInfo>("table");
        QTest::addColumn<DataRows>("rows");
        QTest::addColumn<QString>("imported");

        const DataRows goodsRows{dbRow({"1234", "Хлеб \"Бородинский\"; 1 шт", "1", "10", "", "s"}, "1"),
                                 dbRow({"5", "Соль крупная", "0", "1", "r", ""}, "2"),
                                 dbRow({"0", "", "3", "5", "", ""}, "3"),
                                 dbRow({"0", "", "3", "5", "", ""}, "4")};
        const QString goodsImported = QStringLiteral("1234*|Хлеб \"Бородинский\"; 1 шт*|1*|10*|*|s|1\n"
                                                     "5*|Соль крупная*|0*|1*|r*||2\n"
                                                     "0||3|5|||3\n"
                                                     "0*|*|3*|5*|*||4");
        const DataRows modesRows{dbRow({"1", "x", "12", "1234", "Касса \"1\""}, "1")};
        const QString modesImported = QStringLiteral("1*|x|12|1234*|Касса \"1\"*");
        const DataRows clicheRows{dbRow({"Добро пожаловать"}, "1"), dbRow({"ул. Ленина; д. 1"}, "2"),
                                  dbRow({"r"}, "3"), dbRow({"7"}, "4")};
        const QString clicheImported = QStringLiteral("Добро пожаловать*\nул. Ленина; д. 1*\nr\n7*");

        const QList<QPair<QByteArray, QByteArray>> codecs{{"UTF-8", "UTF-8"},
                                                          {"windows-1251", "windows-1251"},
                                                          {"ISO-8859-1", "UTF-8"}};
        for (const auto& [locale, file] : codecs) {
            QTest::addRow("db, %s", locale.constData()) << locale << file << goods() << goodsRows << goodsImported;
            QTest::addRow("list, %s", locale.constData()) << locale << file << modes() << modesRows << modesImported;
            QTest::addRow("transposed, %s", locale.constData()) << locale << file << cliche() << clicheRows << clicheImported;
        }
        QTest::newRow("latin-1 text stays latin-1")
            << QByteArray("ISO-8859-1") << QByteArray("ISO-8859-1")
            << table(2, QStringLiteral("Café"), List,
                     {field(QStringLiteral("Nom"), FieldInfo::String), field(QStringLiteral("Prix"), FieldInfo::Money)})
            << DataRows{dbRow({"©3,1", "5"}, "1")} << QStringLiteral("©3,1*|5*");
    }

    void roundTrip()
    {
        QFETCH(QByteArray, localeCodec);
        QFETCH(QByteArray, fileCodec);
        QFETCH(TableInfo, table);
        QFETCH(DataRows, rows);
        QFETCH(QString, imported);

        QList<TableInfo> tables = allTables();
        for (TableInfo& t : tables) {
            if (t.id == table.id)
                t = table;
        }

        const QString path = newPath();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(localeCodec));
        const QString exportFailure = exportError(path, TableModel(table, rows));
        TableInfo matched;
        DataRows back;
        const QString importFailure = importError(path, tables, back, matched);
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

        QCOMPARE(exportFailure, QString());
        QCOMPARE(importFailure, QString());
        const QString title = table.id == 1 ? QStringLiteral("Таблица товаров 1.1") : table.name + QStringLiteral(" 1.1");
        QVERIFY(::fileBytes(path).startsWith(QTextCodec::codecForName(fileCodec)->fromUnicode(title) + '\n'));
        QCOMPARE(int(matched.id), int(table.id));
        QCOMPARE(describe(back), imported);
    }
};

VESCOR_TEST(TestCsvExport)
#include "tst_CsvExport.moc"
