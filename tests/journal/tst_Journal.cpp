#include "support/FileSizeLimit.h"
#include "support/ProbeTable.h"
#include "support/OddNode.h"
#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "device/ValueCheck.h"
#include "journal/JournalFolder.h"
#include "journal/JournalSession.h"
#include "model/TableInfo.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

using Change = JournalRecord::CellChange;

JournalRecord record(const QString& writeId, const QString& serial, unsigned table, const QString& time,
                     const QVector<Change>& cells = {{1, 2, QStringLiteral("Название"), "Молоко", "Кефир"}})
{
    JournalRecord r;
    r.time = QDateTime::fromString(time, Qt::ISODate);
    r.program = QStringLiteral("vescor-cli");
    r.version = QStringLiteral("2.1.2");
    r.writeId = writeId;
    r.modelCode = 57;
    r.modelName = QStringLiteral("Вескор-Эмулятор 57");
    r.serialNumber = serial;
    r.tableNumber = table;
    r.tableName = QStringLiteral("Таблица %1").arg(table);
    r.cells = cells;
    return r;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool sameRecord(const JournalRecord& a, const JournalRecord& b)
{
    return a.time == b.time && a.program == b.program && a.version == b.version && a.writeId == b.writeId
        && a.modelCode == b.modelCode && a.modelName == b.modelName && a.serialNumber == b.serialNumber
        && a.tableNumber == b.tableNumber && a.tableName == b.tableName && a.cells == b.cells;
}

} // namespace

Q_DECLARE_METATYPE(JournalRecord::CellChange)
Q_DECLARE_METATYPE(DataRows)

// The register journals: the record line, appending under the lock, reading
// back, and the cells a write records.
class JournalTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup() { m_dir.reset(); }

    // A line read back is the record written; anything but a complete record is refused.
    void recordLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        const JournalRecord full = record("w1", "0057000001", 6, "2024-05-01T10:15:30.250Z",
                                          {{1, 1, "Ставка", "2000", "2200"}, {7, 2, "", "", "Чай \"Зелёный\"; 1\n2"}});
        const QByteArray line = full.toJsonLine();
        QTest::newRow("written record") << line << true;
        QTest::newRow("no cells") << record("w1", "1", 6, "2024-05-01T10:15:30Z", {}).toJsonLine() << true;
        JournalRecord named = full;
        named.firmware = QStringLiteral("3.0.25");
        named.user = QStringLiteral("kassir");
        const QByteArray namedLine = named.toJsonLine();
        QTest::newRow("firmware and user") << namedLine << true;
        QTest::newRow("user not a text") << QByteArray(namedLine).replace("\"kassir\"", "7") << false;
        QTest::newRow("firmware not a text") << QByteArray(namedLine).replace("\"3.0.25\"", "null") << false;
        QTest::newRow("cut short") << line.left(line.size() - 5) << false;
        QTest::newRow("not json") << QByteArray("hello") << false;
        QTest::newRow("array") << QByteArray("[1,2]") << false;
        QTest::newRow("no write id") << QByteArray(line).replace("\"write\":\"w1\"", "\"write\":\"\"") << false;
        QTest::newRow("bad time") << QByteArray(line).replace("2024-05-01T10:15:30.250Z", "yesterday") << false;
        QTest::newRow("row 0") << QByteArray(line).replace("\"row\":7", "\"row\":0") << false;
        QTest::newRow("field as text") << QByteArray(line).replace("\"field\":2", "\"field\":\"2\"") << false;
        QTest::newRow("table missing") << QByteArray(line).replace("\"table\":6", "\"tabel\":6") << false;
        // Numbers out of range refuse the record instead of wrapping to table or row 1.
        QTest::newRow("largest table") << QByteArray(line).replace("\"table\":6", "\"table\":65535") << true;
        QTest::newRow("table 65536") << QByteArray(line).replace("\"table\":6", "\"table\":65536") << false;
        QTest::newRow("table 2^32 + 1") << QByteArray(line).replace("\"table\":6", "\"table\":4294967297") << false;
        QTest::newRow("largest row") << QByteArray(line).replace("\"row\":7", "\"row\":4294967295") << true;
        QTest::newRow("row 2^32 + 1") << QByteArray(line).replace("\"row\":7", "\"row\":4294967297") << false;
        QTest::newRow("row 1e300") << QByteArray(line).replace("\"row\":7", "\"row\":1e300") << false;
        QTest::newRow("field 2^31") << QByteArray(line).replace("\"field\":2", "\"field\":2147483648") << false;
        QTest::newRow("model code 2^40")
            << QByteArray(line).replace("\"modelCode\":57", "\"modelCode\":1099511627776") << false;
        QTest::newRow("model code 5.5") << QByteArray(line).replace("\"modelCode\":57", "\"modelCode\":5.5") << false;
    }

    void recordLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        QVERIFY(!line.contains('\n'));
        JournalRecord read;
        QCOMPARE(JournalRecord::fromJsonLine(line, read), valid);
        if (!valid)
            return;
        QCOMPARE(read.toJsonLine(), line);
        QCOMPARE(read.time.timeSpec(), Qt::UTC);
        QCOMPARE(read.user, QString(line.contains("kassir") ? "kassir" : ""));
        QCOMPARE(read.firmware, QString(line.contains("3.0.25") ? "3.0.25" : ""));
    }

    // A record's head is read without its cells, which are only counted: it
    // agrees with the whole record on every line whose cells are sound, also
    // on lines that other programs wrote in their own key order and spacing.
    void recordHead_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("cellCount"); // -1: not a record
        const JournalRecord full = record("w1", "0057000001", 6, "2024-05-01T10:15:30.250Z",
                                          {{1, 1, "Ставка", "2000", "2200"},
                                           {7, 2, "", "[{\"cells\":[", "Чай \"Зелёный\"; 1\n2 \\"}});
        const QByteArray line = full.toJsonLine();
        QTest::newRow("written record") << line << 2;
        QTest::newRow("no cells") << record("w1", "1", 6, "2024-05-01T10:15:30Z", {}).toJsonLine() << 0;
        QTest::newRow("cut inside the cells") << line.left(line.indexOf("Ставка")) << -1;
        QTest::newRow("cut inside a string") << line.left(line.size() - 5) << -1;
        QTest::newRow("cut after the cells") << line.left(line.indexOf("\"modelCode\"")) << -1;
        QTest::newRow("two records glued") << line + line << -1;
        QTest::newRow("stray closing bracket") << line + ']' << -1;
        QTest::newRow("not json") << QByteArray("hello") << -1;
        QTest::newRow("no write id") << QByteArray(line).replace("\"write\":\"w1\"", "\"write\":\"\"") << -1;
        QTest::newRow("table 65536") << QByteArray(line).replace("\"table\":6", "\"table\":65536") << -1;
        QTest::newRow("two cells arrays") << QByteArray(line).replace("\"modelCode\"", "\"cells\":[],\"modelCode\"") << -1;
        QTest::newRow("cells not an array") << QByteArray(line).replace("\"cells\":[", "\"cells\":{\"a\":[") << -1;
        // Its own order and spacing, the cells last, a key spelt with an escape.
        QJsonObject object = full.toJson();
        QTest::newRow("indented") << QJsonDocument(object).toJson(QJsonDocument::Indented).replace('\n', ' ') << 2;
        QByteArray reordered = line;
        const int cellsEnd = reordered.indexOf("],\"modelCode\"") + 2;
        const QByteArray cells = reordered.mid(1, cellsEnd - 1);
        reordered.remove(1, cellsEnd - 1).chop(1);
        QTest::newRow("cells last") << reordered + ',' + cells.left(cells.size() - 1) + '}' << 2;
        QTest::newRow("cells key escaped") << QByteArray(line).replace("\"cells\":[{", "\"\\u0063ells\":[{") << 2;
        // Only the whole record checks the cells themselves.
        QTest::newRow("row 0 in a cell") << QByteArray(line).replace("\"row\":7", "\"row\":0") << 2;
    }

    void recordHead()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, cellCount);
        JournalRecord head;
        int counted = -1;
        QCOMPARE(JournalRecord::headFromJsonLine(line, head, counted), cellCount >= 0);
        if (cellCount < 0)
            return;
        QCOMPARE(counted, cellCount);
        JournalRecord full;
        if (JournalRecord::fromJsonLine(line, full)) {
            full.cells.clear();
            QVERIFY(sameRecord(head, full));
        }
    }

    // The index of a journal lists the same writes as its records do, from
    // good, torn and foreign lines alike; a write whose cells are damaged is
    // listed and then cannot be loaded.
    void indexOfJournal_data()
    {
        QTest::addColumn<QByteArray>("extra"); // lines added between the appends
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<int>("damaged");
        const JournalRecord other = record("x", "0057000001", 3, "2024-05-01T10:30:00Z",
                                           {{4, 1, "Имя", "a", "b"}, {5, 1, "Имя", "c", "d"}});
        QTest::newRow("good journal") << QByteArray() << QStringList{"c", "a"} << 0;
        QTest::newRow("torn record") << QByteArray("{\"cells\":[{\"row\":1,\"bef\n") << QStringList{"c", "a"} << 1;
        QTest::newRow("foreign lines") << QByteArray("garbage\n[1]\n{}\n\n  \n") << QStringList{"c", "a"} << 3;
        QTest::newRow("foreign spacing")
            << QJsonDocument(other.toJson()).toJson(QJsonDocument::Indented).replace('\n', ' ') + '\n'
            << QStringList{"c", "x", "a"} << 0;
        QTest::newRow("damaged cells") << other.toJsonLine().replace("\"row\":5", "\"row\":-5") + '\n'
                                       << QStringList{"c", "x", "a"} << 0;
    }

    void indexOfJournal()
    {
        QFETCH(QByteArray, extra);
        QFETCH(QStringList, ids);
        QFETCH(int, damaged);
        const JournalFolder journal(m_dir->path());
        QCOMPARE(journal.append(record("a", "0057000001", 6, "2024-05-01T10:00:00Z")), QString());
        QCOMPARE(journal.append(record("a", "0057000001", 4, "2024-05-01T10:00:01Z")), QString());
        QFile file(journal.filePath("0057000001"));
        QVERIFY(file.open(QIODevice::Append));
        file.write(extra);
        file.close();
        QCOMPARE(journal.append(record("c", "0057000001", 6, "2024-05-02T09:00:00Z")), QString());

        QStringList problems;
        const QList<JournalFolder::WritePlace> index = journal.indexWrites("0057000001", &problems);
        QCOMPARE(problems.size(), damaged ? 1 : 0);
        QStringList listed;
        for (const JournalFolder::WritePlace& place : index) {
            listed << place.id;
            const RecordedWrite write = journal.load(place);
            QCOMPARE(write.isEmpty(), place.id == "x" && QTest::currentDataTag() == QByteArray("damaged cells"));
            if (write.isEmpty())
                continue;
            QCOMPARE(place.program + ' ' + place.version, write.first().program + ' ' + write.first().version);
            QStringList tables;
            for (const unsigned number : place.tableNumbers)
                tables << QString::number(number);
            QCOMPARE(tables, write.tableNumbers());
            QCOMPARE(place.cellCount, write.cellCount());
        }
        QCOMPARE(listed, ids);
    }

    // The checked head of a record takes and refuses exactly the lines the
    // whole record does, and counts the same cells: what the strict reading
    // leaves open the whole record decides.
    void checkedHead_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("cellCount"); // -1: not a record
        const QByteArray line = record("w1", "0057000001", 6, "2024-05-01T10:15:30.250Z",
                                       {{1, 1, "Ставка", "2000", "2200"}, {7, 2, "", "[{\"cells\":[", "Чай \"Зелёный\" \\"}})
                                    .toJsonLine();
        const auto edited = [&line](const char* from, const char* to) { return QByteArray(line).replace(from, to); };
        QVector<Change> many;
        for (unsigned row = 1; row <= 5000; ++row)
            many.append({row, 3, "Название", "Товар " + QByteArray::number(row), "Кефир"});
        QTest::newRow("written record") << line << 2;
        QTest::newRow("many cells") << record("w1", "1", 1, "2024-05-01T10:15:30Z", many).toJsonLine() << 5000;
        QTest::newRow("no cells") << record("w1", "1", 6, "2024-05-01T10:15:30Z", {}).toJsonLine() << 0;
        QTest::newRow("spaced out") << edited("{\"after\"", " \t{ \"after\" ").replace(",\"row\"", " , \"row\" ") << 2;
        QTest::newRow("row 0") << edited("\"row\":7", "\"row\":0") << -1;
        QTest::newRow("row negative") << edited("\"row\":7", "\"row\":-7") << -1;
        QTest::newRow("row 2^32") << edited("\"row\":7", "\"row\":4294967296") << -1;
        QTest::newRow("row as a fraction") << edited("\"row\":7", "\"row\":7.5") << -1;
        QTest::newRow("row as 7.0") << edited("\"row\":7", "\"row\":7.0") << 2;
        QTest::newRow("row as 7e0") << edited("\"row\":7", "\"row\":7e0") << 2;
        QTest::newRow("row as text") << edited("\"row\":7", "\"row\":\"7\"") << -1;
        QTest::newRow("row twice") << edited("\"row\":7", "\"row\":7,\"row\":0") << -1;
        QTest::newRow("field missing") << edited("\"field\":2,", "") << -1;
        QTest::newRow("field 2^31") << edited("\"field\":2", "\"field\":2147483648") << -1;
        QTest::newRow("before a number") << edited("\"before\":\"2000\"", "\"before\":2000") << -1;
        QTest::newRow("after null") << edited("\"after\":\"2200\"", "\"after\":null") << -1;
        QTest::newRow("field name a number") << edited("\"fieldName\":\"Ставка\"", "\"fieldName\":5") << 2;
        QTest::newRow("key of its own") << edited("\"row\":1", "\"row\":1,\"note\":{\"a\":[1,true]}") << 2;
        QTest::newRow("key escaped") << edited("\"row\":1", "\"r\\u006fw\":1") << 2;
        QTest::newRow("escapes in a value") << edited("\"2200\"", "\"\\u0032\\t\\ud83d\\ude00\\/\"") << 2;
        QTest::newRow("lone surrogate escape") << edited("\"2200\"", "\"\\ud83d\"") << 2;
        QTest::newRow("unknown escape") << edited("\"2200\"", "\"\\x22\"") << 2;
        QTest::newRow("invalid UTF-8") << edited("2200", "22\xff" "00") << -1;
        QTest::newRow("overlong UTF-8") << edited("2200", "22\xc0\xb0") << -1;
        QTest::newRow("four-byte UTF-8") << edited("2200", "22\xf0\x9f\x98\x80") << 2;
        QTest::newRow("control character") << edited("2200", "22\x01") << 2;
        QTest::newRow("cell not an object") << edited("\"cells\":[", "\"cells\":[1,") << -1;
        QTest::newRow("cell empty") << edited("\"cells\":[", "\"cells\":[{},") << -1;
        QTest::newRow("cells without a comma") << edited("},{", "}{") << -1;
        QTest::newRow("cells with a comma too many") << edited("},{", "},,{") << -1;
        QTest::newRow("trailing comma") << edited("}],", "},],") << -1;
        QTest::newRow("cut inside the cells") << line.left(line.indexOf("Ставка")) << -1;
        QTest::newRow("not json") << QByteArray("{\"cells\":[{]}") << -1;
        QTest::newRow("cells key escaped") << edited("\"cells\":[{", "\"\\u0063ells\":[{") << 2;
        QTest::newRow("cells key escaped, row 0") << edited("\"cells\":[{", "\"\\u0063ells\":[{").replace("\"row\":7", "\"row\":0")
                                                  << -1;
    }

    void checkedHead()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, cellCount);
        JournalRecord full;
        QCOMPARE(JournalRecord::fromJsonLine(line, full), cellCount >= 0);
        JournalRecord head;
        int counted = -1;
        QCOMPARE(JournalRecord::checkedHeadFromJsonLine(line, head, counted), cellCount >= 0);
        if (cellCount < 0)
            return;
        QCOMPARE(counted, cellCount);
        QCOMPARE(full.cells.size(), cellCount);
        QVERIFY(head.cells.isEmpty());
        // The cells read byte by byte are the ones the JSON reader finds (which reads a key spelt with an escape).
        JournalRecord whole;
        QVERIFY(JournalRecord::fromJsonLine(QByteArray(line).replace("\"cells\":[", "\"\\u0063ells\":["), whole));
        QVERIFY(whole.cells == full.cells);
        full.cells.clear();
        QVERIFY(sameRecord(head, full));
    }

    // The places of the writes, which the listing and `journal` print, are
    // the writes of the journal's records, with the same damaged lines
    // reported: several writes, a write of many cells, damaged and torn lines,
    // an intent never confirmed, records out of time order, an empty journal.
    void listingIndex_data()
    {
        QTest::addColumn<QByteArray>("journal");
        QTest::addColumn<QStringList>("listing"); // "id: tables / cells / tables unconfirmed"
        QTest::addColumn<int>("damaged");
        const auto line = [](const JournalRecord& r) { return r.toJsonLine() + '\n'; };
        const JournalRecord a6 = record("a", "0057000001", 6, "2024-05-01T10:00:00Z");
        const JournalRecord a4 = record("a", "0057000001", 4, "2024-05-01T10:00:01Z");
        const JournalRecord b = record("b", "0057000001", 2, "2024-05-01T11:00:00Z",
                                       {{1, 1, "Имя", "a", "b"}, {2, 1, "Имя", "c", "d"}});
        QVector<Change> many;
        for (unsigned row = 1; row <= 20000; ++row)
            many.append({row, 2, "Название", "Товар " + QByteArray::number(row), "Кефир"});
        const JournalRecord big = record("big", "0057000001", 1, "2024-05-02T09:00:00Z", many);
        const QByteArray several = line(a6) + line(a4) + line(b);
        QTest::newRow("several writes") << several << QStringList{"b: 2 / 2 /", "a: 6 4 / 2 /"} << 0;
        QTest::newRow("a write of many cells") << several + line(big)
                                               << QStringList{"big: 1 / 20000 /", "b: 2 / 2 /", "a: 6 4 / 2 /"} << 0;
        QTest::newRow("damaged lines")
            << line(a6) + line(b).replace("\"row\":2", "\"row\":-2") + "{\"cells\":[{\"row\":1,\"bef\n" + "garbage\n"
                   + line(a4)
            << QStringList{"a: 6 4 / 2 /"} << 3;
        JournalRecord intent6 = record("i", "0057000001", 6, "2024-05-03T08:00:00Z");
        intent6.intent = 1;
        JournalRecord intent4 = record("i", "0057000001", 4, "2024-05-03T08:00:01Z");
        intent4.intent = 2;
        const QByteArray confirmed4 = intent4.confirmationLine(QDateTime::fromString("2024-05-03T08:00:02Z", Qt::ISODate));
        QTest::newRow("intent without its confirmation")
            << several + line(intent6) + line(intent4) + confirmed4 + '\n'
            << QStringList{"i: 4 6 / 2 / 6", "b: 2 / 2 /", "a: 6 4 / 2 /"} << 0;
        QTest::newRow("intents confirmed")
            << line(intent6) + intent6.confirmationLine(QDateTime::currentDateTimeUtc()) + '\n' + line(intent4)
                   + confirmed4 + '\n'
            << QStringList{"i: 6 4 / 2 /"} << 0;
        // Its first record in the journal an intent never confirmed, later than the table committed after it.
        JournalRecord earlier4 = record("i", "0057000001", 4, "2024-05-01T10:59:00Z");
        QTest::newRow("records out of time order") << line(intent6) + line(b) + line(earlier4)
                                                   << QStringList{"i: 4 6 / 2 / 6", "b: 2 / 2 /"} << 0;
        QTest::newRow("empty journal") << QByteArray() << QStringList{} << 0;
        QTest::newRow("blank lines only") << QByteArray("\n \n\t\n") << QStringList{} << 0;
    }

    void listingIndex()
    {
        QFETCH(QByteArray, journal);
        QFETCH(QStringList, listing);
        QFETCH(int, damaged);
        const QString serial = QStringLiteral("0057000001");
        const JournalFolder folder(m_dir->path());
        QFile file(folder.filePath(serial));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(journal);
        file.close();

        const auto numbers = [](const QVector<unsigned>& tables) {
            QStringList texts;
            for (const unsigned table : tables)
                texts << QString::number(table);
            return texts.join(' ');
        };
        QStringList problems;
        const QList<JournalFolder::WritePlace> places = folder.writePlaces(serial, &problems);
        QStringList listed;
        for (const JournalFolder::WritePlace& place : places)
            listed << QStringLiteral("%1: %2 / %3 / %4")
                          .arg(place.id, numbers(place.listedTables()))
                          .arg(place.cellCount)
                          .arg(numbers(place.unconfirmedTables()))
                          .trimmed();
        QCOMPARE(listed, listing);
        QCOMPARE(problems.size(), damaged ? 1 : 0);
        if (damaged)
            QVERIFY2(problems.first().contains(QStringLiteral("пропущено повреждённых строк: %1").arg(damaged)),
                     qPrintable(problems.first()));

        // The writes read whole say the same, and so does each write loaded from its place.
        QStringList wholeProblems;
        const QList<RecordedWrite> writes = folder.writes(serial, &wholeProblems);
        QCOMPARE(wholeProblems, problems);
        QStringList ids;
        for (const RecordedWrite& write : writes)
            ids << write.id();
        QCOMPARE(ids.size(), places.size());
        for (const JournalFolder::WritePlace& place : places) {
            QVERIFY(ids.contains(place.id));
            const RecordedWrite& write = writes.at(ids.indexOf(place.id));
            QCOMPARE(folder.load(place).cellCount(), write.cellCount());
            QCOMPARE(numbers(place.listedTables()).replace(' ', ','), write.tableNumbers().join(','));
            QCOMPARE(place.cellCount, write.cellCount());
            QCOMPARE(place.inOrder, QTest::currentDataTag() != QByteArray("records out of time order") || place.id != "i");
            if (place.inOrder)
                QCOMPARE(place.time, write.first().time);
        }
    }

    // Writes come back grouped by their id, newest first, per register or all
    // together; lines cut short are skipped.
    void writesNewestFirst_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("one register") << "0057000001" << QStringList{"c", "a"};
        QTest::newRow("other register") << "0099" << QStringList{"b"};
        QTest::newRow("all registers") << "" << QStringList{"c", "b", "a"};
        QTest::newRow("no journal") << "123" << QStringList{};
    }

    void writesNewestFirst()
    {
        QFETCH(QString, serial);
        QFETCH(QStringList, ids);
        const JournalFolder journal(m_dir->path());
        QCOMPARE(journal.append(record("a", "0057000001", 6, "2024-05-01T10:00:00Z")), QString());
        QCOMPARE(journal.append(record("a", "0057000001", 4, "2024-05-01T10:00:01Z")), QString());
        QCOMPARE(journal.append(record("b", "0099", 2, "2024-05-01T11:00:00Z")), QString());
        QFile file(journal.filePath("0057000001"));
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"time\":\"2024-05-01T1");
        file.write("\n");
        file.close();
        QCOMPARE(journal.append(record("c", "0057000001", 6, "2024-05-02T09:00:00Z")), QString());

        QCOMPARE(journal.serialNumbers(), (QStringList{"0057000001", "0099"}));
        QStringList found;
        QStringList problems;
        for (const RecordedWrite& write : journal.writes(serial, &problems))
            found << write.id();
        QCOMPARE(found, ids);
        // The cut line is reported where it is read.
        QCOMPARE(problems.size(), serial == "0099" || serial == "123" ? 0 : 1);
        if (!problems.isEmpty())
            QVERIFY2(problems.first().endsWith(QStringLiteral("пропущено повреждённых строк: 1 (строки 3)")),
                     qPrintable(problems.first()));
        // The places of the writes, one write at a time, give the same writes.
        QStringList placed;
        for (const JournalFolder::WritePlace& place : journal.writePlaces(serial)) {
            const RecordedWrite write = journal.load(place);
            placed << write.id();
            QCOMPARE(write.cellCount(), journal.findWrite(place.id, serial).cellCount());
        }
        QCOMPARE(placed, ids);

        const RecordedWrite a = journal.findWrite("a", serial);
        QCOMPARE(a.isEmpty(), !ids.contains("a"));
        if (!a.isEmpty()) {
            QCOMPARE(a.tableNumbers(), (QStringList{"6", "4"}));
            QCOMPARE(a.cellCount(), 2);
            QVERIFY(sameRecord(a.tables.at(1), record("a", "0057000001", 4, "2024-05-01T10:00:01Z")));
        }
        QVERIFY(journal.findWrite("zzz", serial).isEmpty());
    }

    // A serial number never leads the journal out of its folder, nor into a
    // hidden file that no listing finds: its journal is listed under it.
    void fileNameOfSerial_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "0057000001" << "0057000001.jsonl";
        QTest::newRow("slash") << "../x/1" << "%2E.%2Fx%2F1.jsonl";
        QTest::newRow("empty") << "" << "%.jsonl";
        QTest::newRow("dot in front") << ".57" << "%2E57.jsonl";
        QTest::newRow("dot inside") << "57.1" << "57.1.jsonl";
        QTest::newRow("percent") << "5%41" << "5%2541.jsonl";
        QTest::newRow("control character") << "57\x1b[2J" << "57%1B[2J.jsonl";
        QTest::newRow("backslash") << "a\\b" << "a%5Cb.jsonl";
    }

    void fileNameOfSerial()
    {
        QFETCH(QString, serial);
        QFETCH(QString, name);
        const JournalFolder journal(m_dir->path());
        QCOMPARE(journal.filePath(serial), m_dir->filePath(name));
        QCOMPARE(journal.append(record("w", serial, 6, "2024-05-01T10:00:00Z")), QString());
        QCOMPARE(QDir(m_dir->path()).entryList({"*.jsonl"}, QDir::Files | QDir::Hidden), QStringList{name});
        QCOMPARE(journal.serialNumbers(), QStringList{serial});
        QCOMPARE(journal.writes(serial).size(), 1);
        QCOMPARE(journal.writes().size(), 1);
    }

    // Two registers that chose the same write id keep two writes, each found
    // in its own register's journal.
    void sameIdOnTwoRegisters()
    {
        const JournalFolder journal(m_dir->path());
        QCOMPARE(journal.append(record("w", "0057000001", 6, "2024-05-01T10:00:00Z")), QString());
        QCOMPARE(journal.append(record("w", "0099", 4, "2024-05-01T10:00:01Z")), QString());
        QCOMPARE(journal.writes().size(), 2);
        QCOMPARE(journal.writePlaces().size(), 2);
        QCOMPARE(journal.findWrite("w", "0057000001").tableNumbers(), QStringList{"6"});
        QCOMPARE(journal.findWrite("w", "0099").tableNumbers(), QStringList{"4"});

        RegisterIdentity identity;
        identity.serialNumber = QStringLiteral("0057000001");
        const QString id = JournalSession(QStringLiteral("vescor"), identity, journal).writeId();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{8}-\\d{6}-[0-9a-f]{16}$")).match(id).hasMatch(), qPrintable(id));
    }

    // A record cut short (the disk filled, the machine stopped) stays a line
    // of its own: the next append starts on a fresh line, both records of the
    // complete lines are listed and the cut one is reported.
    void tornTailThenAppend_data()
    {
        QTest::addColumn<QByteArray>("tail"); // what the journal ends with
        QTest::addColumn<int>("damaged");
        QTest::newRow("record cut short") << QByteArray("{\"time\":\"2024-05-01T1") << 1;
        QTest::newRow("complete record without its line end") << QByteArray() << 0;
        QTest::newRow("only a line end") << QByteArray("\n") << 0;
    }

    void tornTailThenAppend()
    {
        QFETCH(QByteArray, tail);
        QFETCH(int, damaged);
        const JournalFolder journal(m_dir->path());
        QCOMPARE(journal.append(record("a", "0057000001", 6, "2024-05-01T10:00:00Z")), QString());
        QFile file(journal.filePath("0057000001"));
        QVERIFY(file.open(QIODevice::Append));
        if (tail.isEmpty())
            file.write(record("b", "0057000001", 6, "2024-05-01T10:30:00Z").toJsonLine());
        else
            file.write(tail);
        file.close();

        QCOMPARE(journal.append(record("c", "0057000001", 4, "2024-05-01T11:00:00Z")), QString());
        QStringList problems;
        QStringList ids;
        for (const RecordedWrite& write : journal.writes("0057000001", &problems))
            ids << write.id();
        QCOMPARE(ids, tail.isEmpty() ? (QStringList{"c", "b", "a"}) : (QStringList{"c", "a"}));
        QCOMPARE(problems.size(), damaged);
        QVERIFY(fileBytes(journal.filePath("0057000001")).endsWith("}\n"));
    }

    // An append that fails leaves the journal byte for byte as it was and says
    // why in the system's terms; a journal or lock that is not a regular file
    // is refused at once, never waited on.
    void failedAppend_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("why");
        QTest::newRow("file size limit reached mid-record") << "size limit" << "запись не добавлена: файл слишком велик";
        QTest::newRow("read-only journal") << "read-only" << "нет прав доступа";
        QTest::newRow("FIFO in the journal's place") << "fifo" << "это не обычный файл";
        QTest::newRow("folder in the lock's place") << "lock folder" << "это не обычный файл";
    }

    void failedAppend()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, why);
        if (obstacle == "read-only" && ::geteuid() == 0)
            QSKIP("the superuser writes into read-only files");
        const JournalFolder journal(m_dir->path());
        const QString path = journal.filePath("0057000001");
        QCOMPARE(journal.append(record("a", "0057000001", 6, "2024-05-01T10:00:00Z")), QString());
        if (obstacle == "fifo") {
            QVERIFY(QFile::remove(path));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (obstacle == "read-only") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        } else if (obstacle == "lock folder") {
            QVERIFY(QDir().mkpath(path + ".lock"));
        }
        const QByteArray before = obstacle == "fifo" ? QByteArray() : fileBytes(path);

        QString problem;
        const JournalRecord big = record("b", "0057000001", 6, "2024-05-01T11:00:00Z",
                                         {{1, 1, "Ставка", QByteArray(20000, 'x'), "1"}});
        if (obstacle == "size limit") {
            // The file may grow by a part of the record only.
            const FileSizeLimit limit(rlim_t(before.size() + 4096));
            QVERIFY(limit.isSet());
            problem = journal.append(big);
        } else {
            problem = journal.append(big);
        }
        QVERIFY2(problem.startsWith(QDir::toNativeSeparators(path) + ": "), qPrintable(problem));
        QVERIFY2(problem.endsWith(why), qPrintable(problem));
        if (obstacle != "fifo")
            QCOMPARE(fileBytes(path), before);

        // Reading a FIFO in a journal's place does not wait either.
        QStringList problems;
        const QList<RecordedWrite> writes = journal.writes("0057000001", &problems);
        QCOMPARE(writes.size(), obstacle == "fifo" ? 0 : 1);
        QCOMPARE(problems.size(), obstacle == "fifo" ? 1 : 0);
        if (obstacle == "read-only")
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    }

    // Neither the journal nor its lock is written into anything but a regular
    // file: a link is not followed, a FIFO or a device not opened.
    void appendOnlyToRegularFiles_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<bool>("lock"); // the node stands in the lock's place, else in the journal's
        for (const bool lock : {false, true}) {
            for (const OddNode::Kind kind : OddNode::Kinds)
                QTest::addRow("%s, %s", lock ? "lock" : "journal", OddNode::name(kind)) << int(kind) << lock;
        }
    }

    void appendOnlyToRegularFiles()
    {
        QFETCH(int, node);
        QFETCH(bool, lock);
        const JournalFolder journal(m_dir->path());
        const QString path = journal.filePath("0057000001");
        const OddNode planted(OddNode::Kind(node), lock ? path + ".lock" : path);
        if (!planted.skipReason().isEmpty())
            QSKIP(qPrintable(planted.skipReason()));

        const QString problem = journal.append(record("a", "0057000001", 6, "2024-05-01T10:00:00Z"));
        QVERIFY2(problem.startsWith(QDir::toNativeSeparators(path) + ": "), qPrintable(problem));
        const QString words = lock ? QStringLiteral("это не обычный файл") : planted.refusalWords();
        QVERIFY2(problem.contains(words), qPrintable(problem));
        QVERIFY2(planted.unchanged(), qPrintable(planted.change()));
        if (lock)
            QVERIFY(!QFileInfo::exists(path));
    }

    // Appenders at once, each with its own journal object: every line complete and valid.
    void appendsAtOnce()
    {
        const int appenders = 4;
        const int records = 50;
        const QByteArray bigValue(3000, 'x');
        std::vector<std::unique_ptr<QThread>> threads;
        QStringList problems[appenders];
        for (int t = 0; t < appenders; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                const JournalFolder journal(m_dir->path());
                for (int i = 0; i < records; ++i) {
                    const QString problem = journal.append(record(QStringLiteral("t%1-%2").arg(t).arg(i), "0057000001",
                                                                  6, "2024-05-01T10:00:00Z",
                                                                  {{1, 1, "Ставка", bigValue, QByteArray::number(i)}}));
                    if (!problem.isEmpty())
                        problems[t] << problem;
                }
            }));
        }
        for (auto& thread : threads)
            thread->start();
        for (auto& thread : threads)
            QVERIFY(thread->wait());
        for (const QStringList& list : problems)
            QCOMPARE(list, QStringList());

        QFile file(JournalFolder(m_dir->path()).filePath("0057000001"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), appenders * records + 1);
        QCOMPARE(lines.last(), QByteArray());
        for (int i = 0; i + 1 < lines.size(); ++i) {
            JournalRecord read;
            QVERIFY2(JournalRecord::fromJsonLine(lines.at(i), read), lines.at(i).left(80).constData());
            QCOMPARE(read.cells.value(0).before, bigValue);
        }
        QCOMPARE(JournalFolder(m_dir->path()).writes().size(), appenders * records);
    }

    // A journal that cannot be appended to gives a warning naming it; the record is not lost silently.
    void unwritableJournal_data()
    {
        QTest::addColumn<QString>("blocker"); // what stands in the way
        QTest::addColumn<bool>("warned");
        QTest::newRow("writable") << "" << false;
        QTest::newRow("folder is a file") << "folder" << true;
        QTest::newRow("journal is a folder") << "file" << true;
        QTest::newRow("journal is a FIFO") << "fifo" << true;
    }

    void unwritableJournal()
    {
        QFETCH(QString, blocker);
        QFETCH(bool, warned);
        const QString folder = m_dir->filePath("journal");
        const JournalFolder journal(folder);
        if (blocker == "folder")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        if (blocker == "file")
            QVERIFY(QDir().mkpath(journal.filePath("0057000001")));
        if (blocker == "fifo") {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::mkfifo(QFile::encodeName(journal.filePath("0057000001")).constData(), 0600), 0);
        }

        RegisterIdentity identity;
        identity.modelCode = 57;
        identity.serialNumber = QStringLiteral("0057000001");
        JournalSession writeJournal(QStringLiteral("vescor"), identity, journal);
        writeJournal.record(ProbeTable::info(List, 1), {{1, 1, "Поле 1", "1", "2"}});
        writeJournal.record(ProbeTable::info(List, 1), {});
        QCOMPARE(writeJournal.warnings().size(), warned ? 1 : 0);
        QCOMPARE(writeJournal.warningText().isEmpty(), !warned);
        if (warned) {
            QVERIFY2(writeJournal.warningText().startsWith(
                         QStringLiteral("Запись в ККТ выполнена, но журнал изменений не записан:\n")),
                     qPrintable(writeJournal.warningText()));
            QVERIFY2(writeJournal.warnings().first().contains(QDir::toNativeSeparators(folder)),
                     qPrintable(writeJournal.warnings().first()));
            return;
        }
        const QList<RecordedWrite> writes = journal.writes();
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first().id(), writeJournal.writeId());
        QCOMPARE(writes.first().first().program, QStringLiteral("vescor"));
        QCOMPARE(writes.first().first().serialNumber, identity.serialNumber);
    }

    // The changed cells of a table, at the register address the write uses,
    // with the values the register held.
    void changes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<DataRows>("rows");
        QTest::addColumn<DataRows>("registerRows");
        QTest::addColumn<QVector<Change>>("expected");
        const DataRows dbRegister{{{"a"}, {"b"}, {"3"}}, {{"c"}, {"d"}, {"7"}}};
        QTest::newRow("db row by its label")
            << int(Db) << DataRows{{{"x", true}, {"d"}, {"7"}}} << dbRegister
            << QVector<Change>{{7, 1, "Поле 1", "c", "x"}};
        QTest::newRow("db row the register lacks")
            << int(Db) << DataRows{{{"x"}, {"y", true}, {"9"}}} << dbRegister
            << QVector<Change>{{9, 2, "Поле 2", "", "y"}};
        QTest::newRow("one record by field")
            << int(List) << DataRows{{{"1"}, {"5", true}, {"6", true}}} << DataRows{{{"1"}, {"2"}, {"3"}}}
            << QVector<Change>{{1, 2, "Поле 2", "2", "5"}, {1, 3, "Поле 3", "3", "6"}};
        QTest::newRow("transposed by data row")
            << int(TransposedList) << DataRows{{{"p"}}, {{"q", true}}, {{"r"}}} << DataRows{{{"P"}}, {{"Q"}}, {{"R"}}}
            << QVector<Change>{{2, 1, "Поле 2", "Q", "q"}};
        // Written with the value the register held: counted by the write, not journaled.
        QTest::newRow("db row, one field already held")
            << int(Db) << DataRows{{{"007", true}, {"d", true}, {"7"}}} << dbRegister << QVector<Change>{{7, 1, "Поле 1", "c", "007"}};
        QTest::newRow("nothing changed") << int(List) << DataRows{{{"1"}}} << DataRows{{{"2"}}} << QVector<Change>{};
        QTest::newRow("the value the register stores, spelt otherwise")
            << int(List) << DataRows{{{"000", true}, {"5", true}}} << DataRows{{{"0"}, {"6"}}}
            << QVector<Change>{{1, 2, "Поле 2", "6", "5"}};
        QTest::newRow("nothing read") << int(List) << DataRows{{{"1", true}}} << DataRows{}
                                      << QVector<Change>{{1, 1, "Поле 1", "", "1"}};
    }

    void changes()
    {
        QFETCH(int, type);
        QFETCH(DataRows, rows);
        QFETCH(DataRows, registerRows);
        QFETCH(QVector<Change>, expected);
        const QVector<Change> found = JournalSession::changes(ProbeTable::info(TableType(type), 3), rows, registerRows,
                                                              ValueCheck(KKT_Logic::charsets()));
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < found.size(); ++i) {
            QCOMPARE(found.at(i).row, expected.at(i).row);
            QCOMPARE(found.at(i).field, expected.at(i).field);
            QCOMPARE(found.at(i).fieldName, expected.at(i).fieldName);
            QCOMPARE(found.at(i).before, expected.at(i).before);
            QCOMPARE(found.at(i).after, expected.at(i).after);
        }
    }
    // Records appended before their commit are confirmed by a line of their
    // own; one never confirmed is a table that may have been written. Every
    // way of reading the journal tells them apart alike.
    void intentsAndConfirmations_data()
    {
        QTest::addColumn<QStringList>("lines"); // "i<n>:<table>" intent, "c<n>[:<write>]" its confirmation,
                                                // "r:<table>" a record of older programs, "torn" a confirmation cut short
        QTest::addColumn<QString>("committed");   // tables, in order
        QTest::addColumn<QString>("unconfirmed");
        QTest::addColumn<int>("damaged");
        QTest::newRow("confirmed") << QStringList{"i1:6", "c1"} << "6" << "" << 0;
        QTest::newRow("never confirmed") << QStringList{"i1:6"} << "" << "6" << 0;
        QTest::newRow("killed after the second commit")
            << QStringList{"i1:6", "c1", "i2:4"} << "6" << "4" << 0;
        QTest::newRow("older records need none") << QStringList{"r:6", "i1:4", "c1"} << "6 4" << "" << 0;
        QTest::newRow("confirmation of another write") << QStringList{"i1:6", "c1:b"} << "" << "6" << 0;
        QTest::newRow("confirmation of another intent") << QStringList{"i1:6", "i2:4", "c2"} << "4" << "6" << 0;
        QTest::newRow("confirmation cut short") << QStringList{"i1:6", "torn"} << "" << "6" << 1;
        QTest::newRow("confirmed twice") << QStringList{"i1:6", "c1", "c1", "i2:4"} << "6" << "4" << 0;
    }

    void intentsAndConfirmations()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, committed);
        QFETCH(QString, unconfirmed);
        QFETCH(int, damaged);
        const JournalFolder journal(m_dir->path());
        QHash<int, JournalRecord> intents;
        for (const QString& line : lines) {
            const QStringList parts = line.mid(1).split(':');
            JournalRecord r = record("a", "0057000001", parts.value(1).toUInt(), "2024-05-01T10:00:00Z");
            if (line.startsWith('i')) {
                r.intent = parts.first().toInt();
                intents.insert(r.intent, r);
                QCOMPARE(journal.append(r), QString());
            } else if (line.startsWith('r')) {
                QCOMPARE(journal.append(r), QString());
            } else if (line == "torn") {
                QFile file(journal.filePath("0057000001"));
                QVERIFY(file.open(QIODevice::Append));
                QVERIFY(file.write(intents.value(1).confirmationLine(r.time).left(20) + '\n') > 0);
            } else {
                JournalRecord confirmed = intents.value(parts.first().toInt());
                if (parts.size() > 1)
                    confirmed.writeId = parts.at(1);
                QCOMPARE(journal.confirm(confirmed), QString());
            }
        }
        const auto numbers = [](const QList<JournalRecord>& records) {
            QStringList result;
            for (const JournalRecord& r : records)
                result << QString::number(r.tableNumber);
            return result.join(' ');
        };
        const auto check = [&](const RecordedWrite& write, const char* how) {
            QVERIFY2(numbers(write.tables) == committed, how);
            QVERIFY2(numbers(write.unconfirmed) == unconfirmed, how);
            for (const JournalRecord& r : write.tables)
                QVERIFY2(r.confirmed, how);
            for (const JournalRecord& r : write.unconfirmed)
                QVERIFY2(!r.confirmed && r.intent > 0, how);
        };

        QStringList problems;
        const QList<RecordedWrite> writes = journal.writes(QString(), &problems);
        QCOMPARE(writes.size(), 1);
        QCOMPARE(problems.size(), damaged);
        check(writes.first(), "writes");
        QCOMPARE(writes.first().unconfirmedTableNumbers().join(' '), unconfirmed);
        for (const auto& places : {journal.indexWrites("0057000001"), journal.writePlaces("0057000001")}) {
            QCOMPARE(places.size(), 1);
            QStringList tables;
            for (const unsigned number : places.first().unconfirmedTables())
                tables << QString::number(number);
            QCOMPARE(tables.join(' '), unconfirmed);
            check(journal.load(places.first()), "load");
        }
        check(journal.findWrite("a"), "findWrite");
        QList<JournalRecord> all = journal.records("0057000001");
        QCOMPARE(all.size(), writes.first().tables.size() + writes.first().unconfirmed.size());
        int open = 0;
        for (const JournalRecord& r : all)
            open += r.confirmed ? 0 : 1;
        QCOMPARE(open, writes.first().unconfirmed.size());
    }

    // A write run's intents: journaled before the commit and confirmed after
    // it; a journal that cannot take the intent gets the record after the
    // commit, and is warned of once when it cannot take that either.
    void sessionIntents_data()
    {
        QTest::addColumn<QString>("blocker");   // what stands in the way: "folder" a file for the folder
        QTest::addColumn<bool>("cleared");      // the blocker gone before the commit's end
        QTest::addColumn<bool>("commitKnown");  // the commit succeeded; otherwise its outcome is unknown
        QTest::addColumn<QString>("committed"); // tables the journal holds as committed
        QTest::addColumn<QString>("unconfirmed");
        QTest::addColumn<int>("warnings");
        QTest::newRow("committed") << "" << false << true << "9" << "" << 0;
        QTest::newRow("outcome unknown") << "" << false << false << "" << "9" << 0;
        QTest::newRow("no journal") << "folder" << false << true << "" << "" << 1;
        QTest::newRow("no journal, outcome unknown") << "folder" << false << false << "" << "" << 1;
        QTest::newRow("journal back after the commit") << "folder" << true << true << "9" << "" << 0;
    }

    void sessionIntents()
    {
        QFETCH(QString, blocker);
        QFETCH(bool, cleared);
        QFETCH(bool, commitKnown);
        QFETCH(QString, committed);
        QFETCH(QString, unconfirmed);
        QFETCH(int, warnings);
        const QString folder = m_dir->filePath("journal");
        const JournalFolder journal(folder);
        if (blocker == "folder")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        RegisterIdentity identity;
        identity.modelCode = 57;
        identity.serialNumber = QStringLiteral("0057000001");
        JournalSession session(QStringLiteral("vescor"), identity, journal);
        session.intend(ProbeTable::info(List, 1), {{1, 1, "Поле 1", "1", "2"}});
        if (cleared)
            QVERIFY(QFile::remove(folder));
        if (commitKnown)
            session.confirm();
        else
            QCOMPARE(session.leaveUnconfirmed(), blocker.isEmpty());
        // Nothing pending any more: a second end adds nothing.
        session.confirm();
        QCOMPARE(session.warnings().size(), warnings);
        const QList<RecordedWrite> writes = journal.writes();
        QStringList tables, open;
        for (const RecordedWrite& write : writes) {
            tables << write.tableNumbers().mid(0, write.tables.size());
            open << write.unconfirmedTableNumbers();
        }
        QCOMPARE(tables.join(' '), committed);
        QCOMPARE(open.join(' '), unconfirmed);
        QCOMPARE(fileBytes(journal.filePath("0057000001")).count('\n'), committed.isEmpty() && unconfirmed.isEmpty() ? 0 : (commitKnown && !cleared ? 2 : 1));
    }
};

VESCOR_TEST(JournalTest)

#include "tst_Journal.moc"
