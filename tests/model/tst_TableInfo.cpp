#include "LogCapture.h"
#include "model/TableInfo.h"
#include "model/TableRows.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

#include <sys/stat.h>

namespace {

const QByteArray kDevice = R"("device": {"configuration": 345})";
const QByteArray kOneTable = R"("tables": [{"id": 2, "name": "T", "fields": [{"id": 1, "deviceType": "bin1", "guiType": "int"}]}])";

QByteArray file(const QByteArray& device, const QByteArray& tables)
{
    return "{" + device + ",\n" + tables + "}";
}

} // namespace

// The model description loader: file location, checks, statuses, texts and the tables it builds.
class tst_TableInfo : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_configurationQueries = 0;

    QString modelsDir() const { return m_dir.path() + QStringLiteral("/models"); }

    void writeModel(uint32_t modelId, const QByteArray& content)
    {
        QDir().mkpath(modelsDir());
        QFile f(modelsDir() + QLatin1Char('/') + QString::number(modelId) + QStringLiteral(".json"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    int load(uint32_t modelId, QList<TableInfo>& tables, QString& errorText, int registerConfiguration = 345)
    {
        return TableInfo::readTablesInfo(modelId, tables, errorText, modelsDir(), [this, registerConfiguration] {
            ++m_configurationQueries;
            return registerConfiguration;
        });
    }

    // Loads `json` as model 57 on a register of configuration 345; expects success.
    QList<TableInfo> loadOk(const QByteArray& json, int registerConfiguration = 345)
    {
        writeModel(57, json);
        QList<TableInfo> tables;
        QString errorText;
        LogCapture quiet;
        const int status = load(57, tables, errorText, registerConfiguration);
        if (status != 0)
            qWarning() << "status" << status << errorText;
        return status == 0 ? tables : QList<TableInfo>();
    }

    const FieldInfo loadField(const QByteArray& fieldJson)
    {
        const QList<TableInfo> tables = loadOk(file(kDevice, R"("tables": [{"fields": [)" + fieldJson + "]}]"));
        if (tables.size() != 1 || tables[0].fields.size() != 1)
            return FieldInfo();
        return tables[0].fields[0];
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(modelsDir()).removeRecursively();
        m_configurationQueries = 0;
    }

    // Files that are refused, and why. An empty `content` with `present` false means no file.
    void refused_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("registerConfiguration");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<int>("configurationQueries");
        QTest::addColumn<int>("tablesAppended");
        QTest::addColumn<QString>("logLine");
        const QString device = QStringLiteral("./models/57.json: проверьте корректность поля device.");
        const QString tables = QStringLiteral("./models/57.json: проверьте корректность поля tables.");
        const QString none;
        QTest::newRow("no file") << false << QByteArray() << 345 << 155 << "Файл %PATH% не найден." << 0 << 0 << "File not found";
        QTest::newRow("empty file") << true << QByteArray() << 345 << 5 << device << 0 << 0 << none;
        QTest::newRow("not JSON") << true << QByteArray("{\"device\": {\"configuration\": 345},") << 345 << 5 << device << 0 << 0 << none;
        QTest::newRow("top level array") << true << QByteArray("[{\"device\": {\"configuration\": 345}}]") << 345 << 5 << device << 0 << 0 << none;
        QTest::newRow("no device") << true << "{" + kOneTable + "}" << 345 << 5 << device << 0 << 0 << none;
        QTest::newRow("device empty object") << true << file(R"("device": {})", kOneTable) << 0 << 5 << device << 0 << 0 << none;
        QTest::newRow("device a number") << true << file(R"("device": 345)", kOneTable) << 345 << 5 << device << 0 << 0 << none;
        QTest::newRow("device an array") << true << file(R"("device": [345])", kOneTable) << 345 << 5 << device << 0 << 0 << none;
        QTest::newRow("configuration differs") << true << file(kDevice, kOneTable) << 344 << 5
                                               << "./models/57.json: не соответствует текущей версии ПО ККТ(344)" << 1 << 0 << none;
        QTest::newRow("configuration as a string") << true << file(R"("device": {"configuration": "12"})", kOneTable) << 12 << 5
                                                   << "./models/57.json: не соответствует текущей версии ПО ККТ(12)" << 1 << 0 << none;
        QTest::newRow("configuration missing, register 7") << true << file(R"("device": {"other": 1})", kOneTable) << 7 << 5
                                                           << "./models/57.json: не соответствует текущей версии ПО ККТ(7)" << 1 << 0 << none;
        QTest::newRow("tables empty") << true << file(kDevice, R"("tables": [])") << 345 << 5 << tables << 1 << 0 << none;
        QTest::newRow("tables missing") << true << "{" + kDevice + "}" << 345 << 5 << tables << 1 << 0 << none;
        QTest::newRow("tables an object") << true << file(kDevice, R"("tables": {"id": 1})") << 345 << 5 << tables << 1 << 0 << none;
        QTest::newRow("field ids 1 2 4") << true
            << file(kDevice, R"("tables": [{"name": "Параметры", "fields": [{"id": 1, "deviceType": "bin1", "guiType": "int"},
                {"id": 2, "deviceType": "bin1", "guiType": "int"}, {"id": 4, "deviceType": "bin1", "guiType": "int"}]}])")
            << 345 << 5 << "Параметры: проверьте корректность id полей." << 1 << 0
            << "Error in Fields ID. totalFieldsNumber = 3currentFieldID = 4";
        QTest::newRow("field ids from 0") << true
            << file(kDevice, R"("tables": [{"name": "T", "fields": [{"id": 0, "deviceType": "bin1", "guiType": "int"}]}])")
            << 345 << 5 << "T: проверьте корректность id полей." << 1 << 0
            << "Error in Fields ID. totalFieldsNumber = 1currentFieldID = 0";
        QTest::newRow("field id as a string") << true
            << file(kDevice, R"("tables": [{"name": "T", "fields": [{"id": "1", "deviceType": "bin1", "guiType": "int"}]}])")
            << 345 << 5 << "T: проверьте корректность id полей." << 1 << 0
            << "Error in Fields ID. totalFieldsNumber = 1currentFieldID = 0";
        QTest::newRow("field not an object") << true << file(kDevice, R"("tables": [{"name": "T", "fields": [7]}])")
            << 345 << 5 << "T: проверьте корректность id полей." << 1 << 0
            << "Error in Fields ID. totalFieldsNumber = 1currentFieldID = 0";
        QTest::newRow("field id error in a table without name") << true
            << file(kDevice, R"("tables": [{"fields": [{"id": 2}]}])") << 345 << 5 << ": проверьте корректность id полей." << 1 << 0
            << "Error in Fields ID. totalFieldsNumber = 1currentFieldID = 2";
        QTest::newRow("field id error in the second table") << true
            << file(kDevice, R"("tables": [{"id": 1, "name": "A", "fields": [{"id": 1, "deviceType": "bin1", "guiType": "int"}]},
                {"id": 2, "name": "B", "fields": [{"id": 1, "deviceType": "bin1", "guiType": "int"}, {"id": 3}]},
                {"id": 3, "name": "C"}])")
            << 345 << 5 << "B: проверьте корректность id полей." << 1 << 1
            << "Error in Fields ID. totalFieldsNumber = 2currentFieldID = 3";

        // Descriptions that no register can have: the table, and the field, named.
        const auto oneTable = [](const QByteArray& table) { return file(kDevice, "\"tables\": [" + table + "]"); };
        const auto textField = [&oneTable](const QByteArray& attributes) {
            return oneTable("{\"id\": 1, \"name\": \"Б\", \"fields\": [{\"id\": 1, \"name\": \"Имя\", \"deviceType\": \"string866\", \"guiType\": \"string\", "
                            + attributes + "}]}");
        };
        const auto numberField = [&oneTable](const QByteArray& gui, const QByteArray& limits) {
            return oneTable("{\"id\": 6, \"name\": \"Н\", \"fields\": [{\"id\": 1, \"name\": \"Ставка\", \"deviceType\": \"bin2\", \"guiType\": \""
                            + gui + "\", " + limits + "}]}");
        };
        const QString model = QStringLiteral("./models/57.json: ");
        QTest::newRow("table number 65537") << true << oneTable("{\"id\": 65537, \"name\": \"A\"}") << 345 << 5
            << model + "таблица 65537 \"A\": номер таблицы должен быть от 0 до 65535" << 1 << 0 << none;
        QTest::newRow("table number -1") << true << oneTable("{\"id\": -1, \"name\": \"A\"}") << 345 << 5
            << model + "таблица -1 \"A\": номер таблицы должен быть от 0 до 65535" << 1 << 0 << none;
        const QString notAList = QStringLiteral("таблица 6 \"Н\": read_only_rows должен быть списком номеров рядов");
        QTest::newRow("read-only rows an object") << true << oneTable("{\"id\": 6, \"name\": \"Н\", \"read_only_rows\": {\"3\": 1}}")
            << 345 << 5 << model + notAList << 1 << 0 << none;
        QTest::newRow("read-only rows a text") << true << oneTable("{\"id\": 6, \"name\": \"Н\", \"read_only_rows\": \"3\"}")
            << 345 << 5 << model + notAList << 1 << 0 << none;
        const QString notARow = QStringLiteral("таблица 6 \"Н\": в read_only_rows не номер ряда от 1 до 65536: %1");
        for (const char* row : {"\"x\"", "true", "0", "2.5", "65537", "\"-1\"", "\"\"", "null", "[3]", "1e+30"}) {
            QTest::newRow(qPrintable(QStringLiteral("read-only row %1").arg(QLatin1String(row))))
                << true << oneTable("{\"id\": 6, \"name\": \"Н\", \"read_only_rows\": [1, " + QByteArray(row) + "]}")
                << 345 << 5 << model + notARow.arg(QLatin1String(row)) << 1 << 0 << none;
        }
        const QString badLength = QStringLiteral("таблица 1 \"Б\", поле 1 \"Имя\": maxLength %1 вне пределов от 1 до 4096");
        for (const char* length : {"2000000000", "4097", "0", "-1"}) {
            QTest::newRow(qPrintable(QStringLiteral("maxLength %1").arg(QLatin1String(length))))
                << true << textField("\"maxLength\": " + QByteArray(length)) << 345 << 5
                << model + badLength.arg(QLatin1String(length)) << 1 << 0 << none;
        }
        const QString badLimits = QStringLiteral("таблица 6 \"Н\", поле 1 \"Ставка\": границы min %1 и max %2 невозможны для поля ККТ");
        QTest::newRow("int min negative") << true << numberField("int", "\"min\": -5, \"max\": 10") << 345 << 5
            << model + badLimits.arg(-5).arg(10) << 1 << 0 << none;
        QTest::newRow("int min above max") << true << numberField("int", "\"min\": 10, \"max\": 5") << 345 << 5
            << model + badLimits.arg(10).arg(5) << 1 << 0 << none;
        QTest::newRow("int max beyond 64 bits") << true << numberField("int", "\"min\": 0, \"max\": 1e30") << 345 << 5
            << model + badLimits.arg(0).arg(QStringLiteral("1e+30")) << 1 << 0 << none;
        QTest::newRow("money max negative") << true << numberField("money", "\"max\": -1") << 345 << 5
            << model + badLimits.arg(0).arg(-1) << 1 << 0 << none;
        QTest::newRow("money max absurd") << true << numberField("money", "\"min\": 0, \"max\": 1e300") << 345 << 5
            << model + badLimits.arg(0).arg(QStringLiteral("1e+300")) << 1 << 0 << none;
    }
    void refused()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        QFETCH(int, registerConfiguration);
        QFETCH(int, status);
        QFETCH(QString, errorText);
        QFETCH(int, configurationQueries);
        QFETCH(int, tablesAppended);
        QFETCH(QString, logLine);
        if (present)
            writeModel(57, content);
        const QString path = modelsDir() + QStringLiteral("/57.json");

        QList<TableInfo> tables;
        QString error;
        LogCapture log;
        QCOMPARE(load(57, tables, error, registerConfiguration), status);
        QCOMPARE(error, QString(errorText).replace(QStringLiteral("%PATH%"), path));
        QCOMPARE(m_configurationQueries, configurationQueries);
        QCOMPARE(tables.size(), tablesAppended);
        QVERIFY(!log.lines().isEmpty());
        QCOMPARE(log.lines().first(), QStringLiteral("TableInfo::readTablesInfo(), fileName =  \"%1\"").arg(path));
        if (!logLine.isEmpty())
            QCOMPARE(log.lines().last(), logLine);
        // The file is never changed by loading it.
        if (present) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }

    // Only a regular file of at most MaxFileBytes is read: anything else is
    // refused at once, never waited on or read until memory runs out.
    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addColumn<QString>("why");
        QTest::newRow("FIFO") << "fifo" << "это не обычный файл";
        QTest::newRow("link to /dev/zero") << "zero" << "это не обычный файл";
        QTest::newRow("folder") << "folder" << "это не обычный файл";
        QTest::newRow("one byte over the limit") << "sparse" << "файл больше 16 МиБ (16777217 байт)";
    }

    void unreadableFiles()
    {
        QFETCH(QString, occupant);
        QFETCH(QString, why);
        QVERIFY(QDir().mkpath(modelsDir()));
        const QString path = modelsDir() + QStringLiteral("/57.json");
        if (occupant == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (occupant == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (occupant == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(TableInfo::MaxFileBytes + 1));
        }
        QList<TableInfo> tables;
        QString error;
        LogCapture quiet;
        QCOMPARE(load(57, tables, error), 5);
        QCOMPARE(error, QStringLiteral("./models/57.json: файл не прочитан: ") + why);
        QCOMPARE(m_configurationQueries, 0);
        QVERIFY(tables.isEmpty());
    }

    void acceptedConfigurations_data()
    {
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<int>("registerConfiguration");
        QTest::newRow("12 on 12") << QByteArray(R"("device": {"configuration": 12})") << 12;
        QTest::newRow("missing on 0") << QByteArray(R"("device": {"name": "x"})") << 0;
        QTest::newRow("string on 0 counts as missing") << QByteArray(R"("device": {"configuration": "12"})") << 0;
        QTest::newRow("null on 0") << QByteArray(R"("device": {"configuration": null})") << 0;
        QTest::newRow("written as 12.0") << QByteArray(R"("device": {"configuration": 12.0})") << 12;
    }
    void acceptedConfigurations()
    {
        QFETCH(QByteArray, device);
        QFETCH(int, registerConfiguration);
        const QList<TableInfo> tables = loadOk(file(device, kOneTable), registerConfiguration);
        QCOMPARE(tables.size(), 1);
        QCOMPARE(m_configurationQueries, 1);
    }

    void completeSmallFile()
    {
        const QList<TableInfo> tables = loadOk(QByteArray(R"({
  "device": {"configuration": 345},
  "tables": [{
    "id": 2, "name": "Параметры", "type": "db", "fastRead": true,
    "fields": [
      {"id": 1, "name": "Номер", "deviceType": "bcd2", "guiType": "int", "min": 1, "max": 99},
      {"id": 2, "name": "Режим", "deviceType": "bin1", "guiType": "list",
       "items": [{"value": 0, "name": "Выкл"}, {"value": 1, "name": "Вкл"}]}
    ]
  }]
})").replace("\n", "\r\n"));
        QCOMPARE(tables.size(), 1);
        const TableInfo& t = tables[0];
        QCOMPARE(t.id, uint16_t(2));
        QCOMPARE(t.name, QStringLiteral("Параметры"));
        QCOMPARE(t.type, Db);
        QVERIFY(t.fastRead);
        QVERIFY(t.rowNames.isEmpty());
        QVERIFY(t.readOnlyRows.isEmpty());
        QCOMPARE(t.fields.size(), 2);
        QCOMPARE(t.fields[0].m_name, QStringLiteral("Номер"));
        QCOMPARE(t.fields[0].m_deviceType, FieldInfo::Bcd2);
        QCOMPARE(t.fields[0].m_guiType, FieldInfo::Int);
        QCOMPARE(t.fields[0].m_min, 1.0);
        QCOMPARE(t.fields[0].m_max, 99.0);
        QCOMPARE(t.fields[1].m_name, QStringLiteral("Режим"));
        QCOMPARE(t.fields[1].m_deviceType, FieldInfo::Bin1);
        QCOMPARE(t.fields[1].m_guiType, FieldInfo::List);
        const std::map<uint32_t, QString> items = { { 0, QStringLiteral("Выкл") }, { 1, QStringLiteral("Вкл") } };
        QVERIFY(t.fields[1].m_items == items);
        QVERIFY(!t.fields[1].m_readOnly);
        QVERIFY(!t.fields[1].m_cliche);
        QVERIFY(!t.fields[1].m_ipAddress);
    }

    void tableDefaults_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("fastRead");
        QTest::newRow("not an object") << QByteArray("5") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("empty object") << QByteArray("{}") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("type db") << QByteArray(R"({"type": "db"})") << 0 << "UNDEFINED" << int(Db) << false;
        QTest::newRow("type list") << QByteArray(R"({"type": "list"})") << 0 << "UNDEFINED" << int(List) << false;
        QTest::newRow("type transposedList") << QByteArray(R"({"type": "transposedList"})") << 0 << "UNDEFINED" << int(TransposedList) << false;
        QTest::newRow("type List capital") << QByteArray(R"({"type": "List"})") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("type a number") << QByteArray(R"({"type": 1})") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("id 65535") << QByteArray(R"({"id": 65535})") << 65535 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("id a string") << QByteArray(R"({"id": "3"})") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("name a number") << QByteArray(R"({"name": 5})") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("empty name") << QByteArray(R"({"name": ""})") << 0 << "" << int(Plain) << false;
        QTest::newRow("fastRead 1 is absent") << QByteArray(R"({"fastRead": 1})") << 0 << "UNDEFINED" << int(Plain) << false;
        QTest::newRow("fastRead true") << QByteArray(R"({"fastRead": true, "id": 7, "name": "N"})") << 7 << "N" << int(Plain) << true;
    }
    void tableDefaults()
    {
        QFETCH(QByteArray, table);
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(bool, fastRead);
        const QList<TableInfo> tables = loadOk(file(kDevice, "\"tables\": [" + table + "]"));
        QCOMPARE(tables.size(), 1);
        QCOMPARE(int(tables[0].id), id);
        QCOMPARE(tables[0].name, name);
        QCOMPARE(int(tables[0].type), type);
        QCOMPARE(tables[0].fastRead, fastRead);
        QVERIFY(tables[0].fields.isEmpty());
        QVERIFY(tables[0].rowNames.isEmpty());
        QVERIFY(tables[0].readOnlyRows.isEmpty());
    }

    // Numbers need be neither ascending nor unique: the loader does not compare them.
    void tablesInFileOrder_data()
    {
        QTest::addColumn<QByteArray>("tables");
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("not ascending") << QByteArray(R"({"id": 9}, {"id": 1}, {"id": 8}, {"id": 4})")
                                       << QList<int>{ 9, 1, 8, 4 } << QStringList{ "UNDEFINED", "UNDEFINED", "UNDEFINED", "UNDEFINED" };
        QTest::newRow("two tables of one number") << QByteArray(R"({"id": 9, "name": "A"}, {"id": 2, "name": "B"}, {"id": 9, "name": "C"})")
                                                  << QList<int>{ 9, 2, 9 } << QStringList{ "A", "B", "C" };
        QTest::newRow("two tables without numbers") << QByteArray(R"({"name": "A"}, {"name": "B"})")
                                                    << QList<int>{ 0, 0 } << QStringList{ "A", "B" };
    }
    void tablesInFileOrder()
    {
        QFETCH(QByteArray, tables);
        QFETCH(QList<int>, numbers);
        QFETCH(QStringList, names);
        const QList<TableInfo> loaded = loadOk(file(kDevice, "\"tables\": [" + tables + "]"));
        QList<int> loadedNumbers;
        QStringList loadedNames;
        for (const TableInfo& table : loaded) {
            loadedNumbers << table.id;
            loadedNames << table.name;
        }
        QCOMPARE(loadedNumbers, numbers);
        QCOMPARE(loadedNames, names);
    }

    void rowNamesAndReadOnlyRows()
    {
        const QList<TableInfo> tables = loadOk(file(kDevice,
            R"("tables": [{"row_names": ["Первый", 5, null, "Четвёртый"], "read_only_rows": [3, "7", 1, 3, 65536]}])"));
        QCOMPARE(tables.size(), 1);
        QCOMPARE(tables[0].rowNames, (QStringList{ QStringLiteral("Первый"), QString(), QString(), QStringLiteral("Четвёртый") }));
        QCOMPARE(tables[0].readOnlyRows, (QVector<int32_t>{ 3, 7, 1, 3, 65536 }));
    }

    // The rows a read expects, from the description where it gives them.
    void expectedRows_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("described");
        const QByteArray twoFields = R"("fields": [{"id": 1, "deviceType": "bin1", "guiType": "int"}, )"
                                      R"({"id": 2, "deviceType": "bin1", "guiType": "int"}])";
        QTest::newRow("db without row names") << QByteArray(R"({"type": "db", )" + twoFields + "}") << 65536 << false;
        QTest::newRow("db with row names")
            << QByteArray(R"({"type": "db", "row_names": ["А", "Б", "В"], )" + twoFields + "}") << 3 << true;
        QTest::newRow("list with row names") << QByteArray(R"({"type": "list", "row_names": ["А"]})") << 1 << true;
        QTest::newRow("transposed list: one row per field")
            << QByteArray(R"({"type": "transposedList", "row_names": ["А"], )" + twoFields + "}") << 2 << true;
    }
    void expectedRows()
    {
        QFETCH(QByteArray, table);
        QFETCH(int, rows);
        QFETCH(bool, described);
        const QList<TableInfo> tables = loadOk(file(kDevice, "\"tables\": [" + table + "]"));
        QCOMPARE(tables.size(), 1);
        QCOMPARE(TableRows::expected(tables[0]), rows);
        QCOMPARE(TableRows::described(tables[0]), described);
    }

    void items_data()
    {
        QTest::addColumn<QByteArray>("items");
        QTest::addColumn<QList<uint>>("keys");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("sorted by value") << QByteArray(R"([{"value": 3, "name": "c"}, {"value": 1, "name": "a"}, {"value": 2, "name": "b"}])")
                                         << QList<uint>{ 1, 2, 3 } << QStringList{ "a", "b", "c" };
        QTest::newRow("negative sorts last") << QByteArray(R"([{"value": -1, "name": "minus"}, {"value": 1, "name": "one"}])")
                                             << QList<uint>{ 1, 4294967295u } << QStringList{ "one", "minus" };
        QTest::newRow("later name wins") << QByteArray(R"([{"value": 1, "name": "first"}, {"value": 1, "name": "second"}])")
                                         << QList<uint>{ 1 } << QStringList{ "second" };
        QTest::newRow("defaults") << QByteArray(R"([{}, {"value": "5", "name": 6}])") << QList<uint>{ 0 } << QStringList{ "" };
        QTest::newRow("not an array") << QByteArray(R"({"value": 1})") << QList<uint>{} << QStringList{};
    }
    void items()
    {
        QFETCH(QByteArray, items);
        QFETCH(QList<uint>, keys);
        QFETCH(QStringList, names);
        const FieldInfo f = loadField(R"({"id": 1, "deviceType": "bin1", "guiType": "list", "items": )" + items + "}");
        QCOMPARE(f.m_guiType, FieldInfo::List);
        QList<uint> actualKeys;
        QStringList actualNames;
        for (const auto& [key, name] : f.m_items) {
            actualKeys << key;
            actualNames << name;
        }
        QCOMPARE(actualKeys, keys);
        QCOMPARE(actualNames, names);
    }

    // Keys are read only for the types that use them; others keep what the constructor gave.
    void fieldKeys_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("fill");
        QTest::addColumn<int>("itemCount");
        const double biggest = std::numeric_limits<double>::max();
        QTest::newRow("int defaults") << QByteArray(R"("deviceType": "bin4", "guiType": "int")") << 0.0 << 2147483647.0 << "" << 128 << 32 << 0;
        QTest::newRow("int bounds") << QByteArray(R"("deviceType": "bin4", "guiType": "int", "min": 5, "max": 10)") << 5.0 << 10.0 << "" << 128 << 32 << 0;
        QTest::newRow("int bounds as strings") << QByteArray(R"("deviceType": "bin4", "guiType": "int", "min": "1", "max": "2")") << 0.0 << 2147483647.0 << "" << 128 << 32 << 0;
        QTest::newRow("money defaults") << QByteArray(R"("deviceType": "bin4", "guiType": "money")") << 0.0 << biggest << "" << 128 << 32 << 0;
        QTest::newRow("money bounds") << QByteArray(R"("deviceType": "bin4", "guiType": "money", "min": 0.5, "max": 99.99)") << 0.5 << 99.99 << "" << 128 << 32 << 0;
        QTest::newRow("bounds on a string field ignored") << QByteArray(R"("deviceType": "bin4", "guiType": "string", "min": 3, "max": 4)") << 0.0 << 0.0 << "" << 128 << 32 << 0;
        QTest::newRow("mask") << QByteArray(R"("deviceType": "bcd3", "guiType": "string_masked", "mask": "000000")") << 0.0 << 0.0 << "000000" << 128 << 32 << 0;
        QTest::newRow("mask on a string field ignored") << QByteArray(R"("deviceType": "bcd3", "guiType": "string", "mask": "000000")") << 0.0 << 0.0 << "" << 128 << 32 << 0;
        QTest::newRow("items on an int field ignored") << QByteArray(R"("deviceType": "bin1", "guiType": "int", "items": [{"value": 1}])") << 0.0 << 2147483647.0 << "" << 128 << 32 << 0;
        QTest::newRow("string866 defaults") << QByteArray(R"("deviceType": "string866", "guiType": "string")") << 0.0 << 0.0 << "" << 128 << 32 << 0;
        QTest::newRow("string866 length and fill") << QByteArray(R"("deviceType": "string866", "guiType": "string", "maxLength": 10, "fillCharCode": 0)") << 0.0 << 0.0 << "" << 10 << 0 << 0;
        QTest::newRow("fill low 8 bits") << QByteArray(R"("deviceType": "string866", "guiType": "string", "fillCharCode": 298)") << 0.0 << 0.0 << "" << 128 << 42 << 0;
        QTest::newRow("length as a string") << QByteArray(R"("deviceType": "string866", "guiType": "string", "maxLength": "10")") << 0.0 << 0.0 << "" << 128 << 32 << 0;
        QTest::newRow("bcd4 length ignored") << QByteArray(R"("deviceType": "bcd4", "guiType": "string", "maxLength": 10, "fillCharCode": 0)") << 0.0 << 0.0 << "" << 128 << 32 << 0;
        QTest::newRow("ascii length") << QByteArray(R"("deviceType": "ascii", "guiType": "string", "maxLength": 16, "fillCharCode": 0)") << 0.0 << 0.0 << "" << 16 << 32 << 0;
        QTest::newRow("ascii default length") << QByteArray(R"("deviceType": "ascii", "guiType": "string")") << 0.0 << 0.0 << "" << 128 << 32 << 0;
        QTest::newRow("unknown gui type reads no type keys") << QByteArray(R"("deviceType": "bin4", "guiType": "Money", "min": 3, "mask": "00")") << 0.0 << 0.0 << "" << 128 << 32 << 0;
    }
    void fieldKeys()
    {
        QFETCH(QByteArray, json);
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(QString, mask);
        QFETCH(int, maxLength);
        QFETCH(int, fill);
        QFETCH(int, itemCount);
        const FieldInfo f = loadField(R"({"id": 1, )" + json + "}");
        QCOMPARE(f.m_min, min);
        QCOMPARE(f.m_max, max);
        QCOMPARE(f.m_mask, mask);
        QCOMPARE(int(f.m_maxLength), maxLength);
        QCOMPARE(int(f.m_fillCharCode), fill);
        QCOMPARE(int(f.m_items.size()), itemCount);
    }

    void fieldFlags_data()
    {
        QTest::addColumn<QByteArray>("flags");
        QTest::addColumn<bool>("ipAddress");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("cliche");
        QTest::newRow("none") << QByteArray() << false << false << false;
        QTest::newRow("all true") << QByteArray(R"(, "ip_address": true, "read_only": true, "cliche": true)") << true << true << true;
        QTest::newRow("numbers count as absent") << QByteArray(R"(, "ip_address": 1, "read_only": 1, "cliche": 1)") << false << false << false;
        QTest::newRow("strings count as absent") << QByteArray(R"(, "ip_address": "true", "read_only": "true")") << false << false << false;
        QTest::newRow("read only alone") << QByteArray(R"(, "read_only": true, "cliche": false)") << false << true << false;
    }
    void fieldFlags()
    {
        QFETCH(QByteArray, flags);
        QFETCH(bool, ipAddress);
        QFETCH(bool, readOnly);
        QFETCH(bool, cliche);
        const FieldInfo f = loadField(R"({"id": 1, "name": "Адрес", "deviceType": "bin4", "guiType": "string")" + flags + "}");
        QCOMPARE(f.m_name, QStringLiteral("Адрес"));
        QCOMPARE(f.m_ipAddress, ipAddress);
        QCOMPARE(f.m_readOnly, readOnly);
        QCOMPARE(f.m_cliche, cliche);
    }

    // Unknown type names do not stop loading; the constructor logs them.
    void unknownTypesStillLoad()
    {
        writeModel(57, file(kDevice, R"("tables": [{"name": "T", "fields": [{"id": 1, "name": "F", "deviceType": "bcd7", "guiType": "Money"},
            {"id": 2, "name": "G", "deviceType": "bin1", "guiType": "int"}]}])"));
        QList<TableInfo> tables;
        QString errorText;
        LogCapture log;
        QCOMPARE(load(57, tables, errorText), 0);
        QVERIFY(errorText.isEmpty());
        QCOMPARE(tables.size(), 1);
        QCOMPARE(tables[0].fields.size(), 2);
        QCOMPARE(tables[0].fields[0].m_deviceType, FieldInfo::DeviceUnknown);
        QCOMPARE(tables[0].fields[0].m_guiType, FieldInfo::GuiUnknown);
        const QString path = modelsDir() + QStringLiteral("/57.json");
        const QStringList expected = {
            QStringLiteral("TableInfo::readTablesInfo(), fileName =  \"%1\"").arg(path),
            QStringLiteral("\"T\""),
            QStringLiteral("Error in FieldInfo::FieldInfo(), wrong _guiTypeStr. _name =  \"F\"  _deviceTypeStr =  \"bcd7\" _guiTypeStr  \"Money\""),
            QStringLiteral("Error in FieldInfo::FieldInfo(), wrong _deviceType. _name =  \"F\"  _deviceTypeStr =  \"bcd7\" _guiTypeStr  \"Money\""),
            QStringLiteral("\"F\"   \"bcd7\"   \"Money\" m_guiType =  0  m_deviceType =  0"),
            QStringLiteral("\"G\"   \"bin1\"   \"int\" m_guiType =  1  m_deviceType =  1"),
        };
        QCOMPARE(log.lines(), expected);
    }

    void secondCallAppends()
    {
        writeModel(57, file(kDevice, R"("tables": [{"id": 1}, {"id": 2}])"));
        QList<TableInfo> tables;
        QString errorText;
        LogCapture quiet;
        QCOMPARE(load(57, tables, errorText), 0);
        QCOMPARE(load(57, tables, errorText), 0);
        QCOMPARE(tables.size(), 4);
        QCOMPARE(tables[2].id, uint16_t(1));
        QCOMPARE(tables[3].id, uint16_t(2));
        QCOMPARE(m_configurationQueries, 2);
        QVERIFY(errorText.isEmpty());
    }

    // The file is read afresh each time: a changed file gives the new tables.
    void noCache()
    {
        QCOMPARE(loadOk(file(kDevice, R"("tables": [{"id": 1}])")).size(), 1);
        QCOMPARE(loadOk(file(kDevice, R"("tables": [{"id": 1}, {"id": 2}])")).size(), 2);
    }

    void errorTextKeptOnSuccess()
    {
        writeModel(57, file(kDevice, kOneTable));
        QList<TableInfo> tables;
        QString errorText = QStringLiteral("earlier");
        LogCapture quiet;
        QCOMPARE(load(57, tables, errorText), 0);
        QCOMPARE(errorText, QStringLiteral("earlier"));
    }

    void fileNameIsTheModelNumber_data()
    {
        QTest::addColumn<uint>("modelId");
        QTest::newRow("0") << 0u;
        QTest::newRow("57") << 57u;
        QTest::newRow("largest") << 4294967295u;
    }
    void fileNameIsTheModelNumber()
    {
        QFETCH(uint, modelId);
        writeModel(modelId, file(R"("device": {"configuration": 345})", kOneTable));
        QList<TableInfo> tables;
        QString errorText;
        LogCapture quiet;
        QCOMPARE(load(modelId, tables, errorText), 0);
        QCOMPARE(tables.size(), 1);
        // Another number does not find this file.
        QCOMPARE(load(modelId == 0 ? 1 : modelId - 1, tables, errorText), 155);
    }

    // The program's own overload looks in models/ beside the executable.
    void modelsBesideTheProgram()
    {
        QList<TableInfo> tables;
        QString errorText;
        LogCapture log;
        QCOMPARE(TableInfo::readTablesInfo(4294967295u, tables, errorText, [] { return 25; }), 155);
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/models/4294967295.json");
        QCOMPARE(errorText, QStringLiteral("Файл %1 не найден.").arg(path));
        QCOMPARE(log.lines(), (QStringList{ QStringLiteral("TableInfo::readTablesInfo(), fileName =  \"%1\"").arg(path),
                                            QStringLiteral("File not found") }));
    }
};

VESCOR_TEST(tst_TableInfo)
#include "tst_TableInfo.moc"
