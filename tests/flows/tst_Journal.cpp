#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "device/ValueCheck.h"
#include "flows/Journal.h"
#include "flows/WriteJournal.h"
#include "model/TableInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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

bool sameRecord(const JournalRecord& a, const JournalRecord& b)
{
    return a.time == b.time && a.program == b.program && a.version == b.version && a.writeId == b.writeId
        && a.modelCode == b.modelCode && a.modelName == b.modelName && a.serialNumber == b.serialNumber
        && a.tableNumber == b.tableNumber && a.tableName == b.tableName && a.cells == b.cells;
}

TableInfo table(TableType type, int fields)
{
    TableInfo t;
    t.id = 9;
    t.name = QStringLiteral("Проба");
    t.type = type;
    for (int i = 0; i < fields; ++i)
        t.fields.append(FieldInfo(QStringLiteral("Поле %1").arg(i + 1), QStringLiteral("bin1"), QStringLiteral("int")));
    return t;
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
        QTest::newRow("cut short") << line.left(line.size() - 5) << false;
        QTest::newRow("not json") << QByteArray("hello") << false;
        QTest::newRow("array") << QByteArray("[1,2]") << false;
        QTest::newRow("no write id") << QByteArray(line).replace("\"write\":\"w1\"", "\"write\":\"\"") << false;
        QTest::newRow("bad time") << QByteArray(line).replace("2024-05-01T10:15:30.250Z", "yesterday") << false;
        QTest::newRow("row 0") << QByteArray(line).replace("\"row\":7", "\"row\":0") << false;
        QTest::newRow("field as text") << QByteArray(line).replace("\"field\":2", "\"field\":\"2\"") << false;
        QTest::newRow("table missing") << QByteArray(line).replace("\"table\":6", "\"tabel\":6") << false;
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
        const Journal journal(m_dir->path());
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
        for (const JournalWrite& write : journal.writes(serial))
            found << write.id();
        QCOMPARE(found, ids);

        const JournalWrite a = journal.findWrite("a", serial);
        QCOMPARE(a.isEmpty(), !ids.contains("a"));
        if (!a.isEmpty()) {
            QCOMPARE(a.tableNumbers(), (QStringList{"6", "4"}));
            QCOMPARE(a.cellCount(), 2);
            QVERIFY(sameRecord(a.tables.at(1), record("a", "0057000001", 4, "2024-05-01T10:00:01Z")));
        }
        QVERIFY(journal.findWrite("zzz", serial).isEmpty());
    }

    // A serial number never leads the journal out of its folder.
    void fileNameOfSerial_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "0057000001" << "0057000001.jsonl";
        QTest::newRow("slash") << "../x/1" << ".._x_1.jsonl";
    }

    void fileNameOfSerial()
    {
        QFETCH(QString, serial);
        QFETCH(QString, name);
        const Journal journal(m_dir->path());
        QCOMPARE(journal.filePath(serial), m_dir->filePath(name));
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
                const Journal journal(m_dir->path());
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

        QFile file(Journal(m_dir->path()).filePath("0057000001"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), appenders * records + 1);
        QCOMPARE(lines.last(), QByteArray());
        for (int i = 0; i + 1 < lines.size(); ++i) {
            JournalRecord read;
            QVERIFY2(JournalRecord::fromJsonLine(lines.at(i), read), lines.at(i).left(80).constData());
            QCOMPARE(read.cells.value(0).before, bigValue);
        }
        QCOMPARE(Journal(m_dir->path()).writes().size(), appenders * records);
    }

    // A journal that cannot be appended to gives a warning naming it; the record is not lost silently.
    void unwritableJournal_data()
    {
        QTest::addColumn<QString>("blocker"); // what stands in the way
        QTest::addColumn<bool>("warned");
        QTest::newRow("writable") << "" << false;
        QTest::newRow("folder is a file") << "folder" << true;
        QTest::newRow("journal is a folder") << "file" << true;
    }

    void unwritableJournal()
    {
        QFETCH(QString, blocker);
        QFETCH(bool, warned);
        const QString folder = m_dir->filePath("journal");
        const Journal journal(folder);
        if (blocker == "folder")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        if (blocker == "file")
            QVERIFY(QDir().mkpath(journal.filePath("0057000001")));

        RegisterIdentity identity;
        identity.modelCode = 57;
        identity.serialNumber = QStringLiteral("0057000001");
        WriteJournal writeJournal(QStringLiteral("vescor"), identity, journal);
        writeJournal.record(table(List, 1), {{1, 1, "Поле 1", "1", "2"}});
        writeJournal.record(table(List, 1), {});
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
        const QList<JournalWrite> writes = journal.writes();
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
        const QVector<Change> found = WriteJournal::changes(table(TableType(type), 3), rows, registerRows,
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
};

VESCOR_TEST(JournalTest)

#include "tst_Journal.moc"
