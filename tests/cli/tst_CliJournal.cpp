#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/RegisterFolder.h"
#include "support/TestMain.h"

#include "common/RussianPlural.h"
#include "journal/JournalFolder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

const QString Serial = QStringLiteral("0057000001");

// One cell an edit of an exported file changes, as the journal shows it.
struct JournalCell
{
    int table;
    QString from; // in the exported file, first occurrence
    QString to;
    int row;
    int field;
    QString before; // stored texts: money in kopecks
    QString after;
};

const QVector<JournalCell> Edits{
    {6, "\"1\";\"20.00\"", "\"1\";\"22.00\"", 1, 1, "2000", "2200"},
    {4, "СПАСИБО ЗА ПОКУПКУ!", "ЖДЁМ ВАС СНОВА!", 5, 1, "СПАСИБО ЗА ПОКУПКУ!", "ЖДЁМ ВАС СНОВА!"},
};

QJsonObject cellOf(const QJsonObject& write, int table, int row, int field)
{
    for (const QJsonValue& t : write.value("tables").toArray()) {
        if (t.toObject().value("table").toInt() != table)
            continue;
        for (const QJsonValue& c : t.toObject().value("cells").toArray()) {
            if (c.toObject().value("row").toInt() == row && c.toObject().value("field").toInt() == field)
                return c.toObject();
        }
    }
    return QJsonObject();
}

} // namespace

// The journal of vescor-cli's writes and their revert, against the emulated register.
class CliJournalTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RegisterFolder> m_dir;
    QString m_image;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString journalDir() const { return m_dir->journalDir(); }
    CliRun run(const QStringList& arguments) const { return runCli(arguments, m_dir->path()); }
    QStringList writes() const
    {
        return EmulatorImage::traceLines(*m_dir).filter(QRegExp(QStringLiteral("^write")));
    }

    // The edited files of both tables; the register's image is stored in raw
    // cells once (a commit of unchanged tables) so that images compare cell by cell.
    QStringList editedFiles()
    {
        QStringList files;
        for (const JournalCell& edit : Edits)
            files << cliExport(path("files"), edit.table, m_dir->path());
        const auto edit = [&](bool forth) {
            for (int i = 0; i < Edits.size(); ++i) {
                const QString from = forth ? Edits.at(i).from : Edits.at(i).to;
                if (!replaceInTableFile(files.at(i), from, forth ? Edits.at(i).to : Edits.at(i).from))
                    qWarning() << "no" << from << "in" << files.at(i);
            }
        };
        // The register's image as a commit stores it: an import sends only
        // what differs, so the edits go there and back.
        for (const bool forth : {true, false}) {
            edit(forth);
            const CliRun settle = run(QStringList{"import"} + files);
            if (settle.exitCode != 0)
                qWarning() << settle.err;
        }
        QFile::remove(JournalFolder(journalDir()).filePath(Serial));
        edit(true);
        return files;
    }

    QJsonArray journalJson() const
    {
        const CliRun result = run({"journal", "--json"});
        if (result.exitCode != 0)
            qWarning() << result.err;
        return QJsonDocument::fromJson(result.out.toUtf8()).array();
    }

private slots:
    void init()
    {
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 5);
        m_dir = std::make_unique<RegisterFolder>(image, true);
        QVERIFY(m_dir->isValid());
        m_image = m_dir->image();
    }

    void cleanup()
    {
        m_dir.reset();
    }

    // An import of two edited tables is one write with both cells; its revert
    // gives back the register's raw cells exactly and is a write of its own.
    void importThenRevert_data()
    {
        QTest::addColumn<bool>("onlyDifferent");
        QTest::newRow("only different cells") << true;
        QTest::newRow("every marked cell") << false;
    }

    void importThenRevert()
    {
        QFETCH(bool, onlyDifferent);
        const QStringList files = editedFiles();
        const RegisterCells before = registerCells(m_image);

        QStringList arguments{"import"};
        if (onlyDifferent)
            arguments << "--only-different";
        CliRun result = run(arguments + files);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(!result.err.contains(QStringLiteral("Предупреждение")), qPrintable(result.err));
        QCOMPARE(differences(before, registerCells(m_image)).size(), 2);

        QJsonArray journal = journalJson();
        QCOMPARE(journal.size(), 1);
        const QJsonObject write = journal.at(0).toObject();
        QCOMPARE(write.value("program").toString(), QStringLiteral("vescor-cli"));
        QCOMPARE(write.value("serialNumber").toString(), Serial);
        QCOMPARE(write.value("modelCode").toInt(), 57);
        QCOMPARE(write.value("tables").toArray().size(), 2);
        if (onlyDifferent)
            QCOMPARE(write.value("cellCount").toInt(), 2);
        for (const JournalCell& edit : Edits) {
            const QJsonObject cell = cellOf(write, edit.table, edit.row, edit.field);
            QCOMPARE(cell.value("before").toString(), edit.before);
            QCOMPARE(cell.value("after").toString(), edit.after);
        }
        const QString id = write.value("write").toString();

        // The text listing names the same write and its cells.
        result = run({"journal", "--serial", Serial});
        QCOMPARE(result.outLines().size(), 1);
        QVERIFY2(result.outLines().first().startsWith(QStringLiteral("\"%1\";").arg(id)), qPrintable(result.out));
        QVERIFY(result.outLines().first().endsWith(
            QStringLiteral("\"vescor-cli 2.1.2\";\"%1\";\"6 4\";\"%2\"").arg(Serial).arg(write.value("cellCount").toInt())));
        result = run({"journal", id});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.outLines().contains("\"6\";\"1\";\"1\";\"Ставка, %\";\"2000\";\"2200\""), qPrintable(result.out));
        QVERIFY(result.outLines().contains(
            "\"4\";\"5\";\"1\";\"Строка клише 5\";\"СПАСИБО ЗА ПОКУПКУ!\";\"ЖДЁМ ВАС СНОВА!\""));

        result = run({"revert", id});
        QCOMPARE(result.exitCode, 0);
        const qulonglong reverted = qulonglong(write.value("cellCount").toInt());
        QCOMPARE(result.outLines(),
                 QStringList{QStringLiteral("Успешно %1 %2 в 2 таблицах")
                                 .arg(RussianPlural::choose(reverted, "записана", "записано", "записано"),
                                      RussianPlural::count(reverted, "ячейка", "ячейки", "ячеек"))});
        QCOMPARE(differences(before, registerCells(m_image)), QList<CellKey>());

        journal = journalJson();
        QCOMPARE(journal.size(), 2);
        const QJsonObject revert = journal.at(0).toObject();
        QVERIFY(revert.value("write").toString() != id);
        for (const JournalCell& edit : Edits) {
            const QJsonObject cell = cellOf(revert, edit.table, edit.row, edit.field);
            QCOMPARE(cell.value("before").toString(), edit.after);
            QCOMPARE(cell.value("after").toString(), edit.before);
        }
    }

    // A cell changed again after the write is listed and left alone; the
    // others go back; the exit status is 1. A dry run writes nothing.
    void changedSince_data()
    {
        QTest::addColumn<bool>("dryRun");
        QTest::newRow("revert") << false;
        QTest::newRow("dry run") << true;
    }

    void changedSince()
    {
        QFETCH(bool, dryRun);
        const QStringList files = editedFiles();
        const RegisterCells before = registerCells(m_image);
        QCOMPARE(run(QStringList{"import", "--only-different"} + files).exitCode, 0);
        const QString id = journalJson().at(0).toObject().value("write").toString();

        const QString again = cliExport(path("files"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(again, "\"1\";\"22.00\"", "\"1\";\"23.00\""));
        QCOMPARE(run({"import", "--only-different", again}).exitCode, 0);
        const RegisterCells changed = registerCells(m_image);

        QStringList arguments{"revert", id};
        if (dryRun)
            arguments << "--dry-run";
        const QByteArray imageBytes = fileBytes(m_image);
        QVERIFY(writeBytes(EmulatorImage::tracePath(*m_dir), QByteArray()));
        const CliRun result = run(arguments);
        QCOMPARE(result.exitCode, 1);
        const QStringList err = result.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(err.size(), 2);
        QCOMPARE(err.at(0), QStringLiteral("Изменена после записи, оставлена как есть: таблица 6, ряд 1, поле 1 "
                                           "(Ставка, %): в ККТ \"2300\", запись оставила \"2200\""));
        QCOMPARE(err.at(1), QStringLiteral("Ячеек, изменённых после записи %1 и оставленных как есть: 1").arg(id));
        if (dryRun) {
            QCOMPARE(result.outLines(), (QStringList{"\"4\";\"5\";\"1\";\"СПАСИБО ЗА ПОКУПКУ!\"",
                                                     "Будет записана 1 ячейка в 1 таблице"}));
            QCOMPARE(writes(), QStringList());
            QCOMPARE(fileBytes(m_image), imageBytes);
            return;
        }
        QCOMPARE(result.outLines(), QStringList{"Успешно записана 1 ячейка в 1 таблице"});
        QCOMPARE(writes().size(), 1);
        // Only the cell of table 4 went back; table 6 keeps the later value.
        QCOMPARE(differences(changed, registerCells(m_image)), (QList<CellKey>{CellKey{4, 5, 1}}));
        QCOMPARE(differences(before, registerCells(m_image)), (QList<CellKey>{CellKey{6, 1, 1}}));
    }

    // A commit told as failed may have happened: the import says so, the
    // listings show the table as one that may have been written, and its
    // revert compares the register with both sides of the cell: the value
    // after goes back, the value before needs nothing, any other is left alone.
    void commitOfUnknownOutcome_data()
    {
        QTest::addColumn<QString>("stage");       // of the commit's fault
        QTest::addColumn<QString>("later");       // the rate imported after it; empty: none
        QTest::addColumn<int>("revertExit");
        QTest::addColumn<QString>("revertErr");   // its first line
        QTest::addColumn<QString>("revertOut");
        QTest::addColumn<QString>("rate");        // of tax 1 after the revert, as exported
        const QString place = QStringLiteral("таблица 6, ряд 1, поле 1 (Ставка, %)");
        QTest::newRow("stored, told failed") << "after-rename" << "" << 0 << "" << "Успешно записана 1 ячейка в 1 таблице"
                                             << "20.00";
        QTest::newRow("stopped before the rename")
            << "rename" << "" << 0
            << QStringLiteral("Таблица могла быть не записана, ячейка уже хранит значение до записи: %1: \"2000\"").arg(place)
            << "Успешно записано 0 ячеек в 0 таблицах" << "20.00";
        QTest::newRow("refused") << "" << "" << 0
                                 << QStringLiteral("Таблица могла быть не записана, ячейка уже хранит значение до "
                                                   "записи: %1: \"2000\"").arg(place)
                                 << "Успешно записано 0 ячеек в 0 таблицах" << "20.00";
        QTest::newRow("changed since") << "after-rename" << "23.00" << 1
                                       << QStringLiteral("Изменена после записи, оставлена как есть: %1: в ККТ \"2300\", "
                                                         "запись оставила \"2200\"").arg(place)
                                       << "Успешно записано 0 ячеек в 0 таблицах" << "23.00";
    }

    void commitOfUnknownOutcome()
    {
        QFETCH(QString, stage);
        QFETCH(QString, later);
        QFETCH(int, revertExit);
        QFETCH(QString, revertErr);
        QFETCH(QString, revertOut);
        QFETCH(QString, rate);
        const QString file = cliExport(path("files"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(file, "\"1\";\"20.00\"", "\"1\";\"22.00\""));
        EmulatorImage faulty = EmulatorImage::fromFile(m_image);
        EmulatorImage::Fault fault{"commit", -1, -1, -1, 0, 1, 5, "Ошибка ввода-вывода"};
        fault.stage = stage;
        QVERIFY(faulty.addFault(fault).save(m_image));

        CliRun result = run({"import", "--only-different", file});
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.contains(QStringLiteral("%1: Ошибка - 5 [Ошибка ввода-вывода]\nИсход записи таблицы 6 "
                                                    "(Налоговые ставки) неизвестен: таблица могла быть записана. В журнале "
                                                    "изменений она отмечена: «таблица могла быть записана».")
                                         .arg(file)),
                 qPrintable(result.err));
        QVERIFY(EmulatorImage::fromFile(m_image).clearFaults().save(m_image));

        const QJsonArray journal = journalJson();
        QCOMPARE(journal.size(), 1);
        const QJsonObject table = journal.at(0).toObject().value("tables").toArray().at(0).toObject();
        QCOMPARE(table.value("confirmed"), QJsonValue(false));
        QCOMPARE(table.value("note").toString(), QStringLiteral("таблица могла быть записана"));
        const QString id = journal.at(0).toObject().value("write").toString();
        result = run({"journal"});
        QCOMPARE(result.outLines().size(), 1);
        QVERIFY2(result.outLines().first().endsWith(QStringLiteral(";\"6\";\"1\";\"таблица могла быть записана: 6\"")),
                 qPrintable(result.out));
        result = run({"journal", id});
        QCOMPARE(result.outLines(),
                 QStringList{"\"6\";\"1\";\"1\";\"Ставка, %\";\"2000\";\"2200\";\"таблица могла быть записана\""});

        if (!later.isEmpty()) {
            const QString again = cliExport(path("again"), 6, m_dir->path());
            QVERIFY(replaceInTableFile(again, "\"1\";\"22.00\"", QStringLiteral("\"1\";\"%1\"").arg(later)));
            QCOMPARE(run({"import", "--only-different", again}).exitCode, 0);
        }
        result = run({"revert", id});
        QCOMPARE(result.exitCode, revertExit);
        QCOMPARE(result.err.split('\n', Qt::SkipEmptyParts).value(0), revertErr);
        QCOMPARE(result.outLines(), QStringList{revertOut});
        const QString now = cliExport(path("now"), 6, m_dir->path());
        QVERIFY2(fileBytes(now).contains(QStringLiteral("\"1\";\"%1\"").arg(rate).toUtf8()), fileBytes(now).constData());
    }

    // Writes that cannot be reverted or shown, and wrong command lines.
    void refused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("revert unknown write") << QStringList{"revert", "nope"} << 1
                                              << "В журнале изменений нет записи nope";
        QTest::newRow("show unknown write") << QStringList{"journal", "nope"} << 1
                                            << "В журнале изменений нет записи nope";
        QTest::newRow("revert without write") << QStringList{"revert"} << 2 << "Не указан номер записи";
        QTest::newRow("two writes") << QStringList{"journal", "a", "b"} << 2
                                    << "Нужен не более чем один номер записи, указано: 2";
        QTest::newRow("write of another register") << QStringList{"revert", "OTHER"} << 1
                                                   << "Запись OTHER сделана в ККТ с заводским номером 0099000001, а "
                                                      "подключена ККТ 0057000001: вернуть её в эту ККТ нельзя";
    }

    void refused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        JournalRecord other;
        other.time = QDateTime::currentDateTimeUtc();
        other.writeId = "OTHER";
        other.serialNumber = "0099000001";
        other.tableNumber = 6;
        other.cells = {{1, 1, "Ставка", "2000", "2200"}};
        QCOMPARE(JournalFolder(journalDir()).append(other), QString());
        const QByteArray image = fileBytes(m_image);

        const CliRun result = run(arguments);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.startsWith(message), qPrintable(result.err));
        QCOMPARE(fileBytes(m_image), image);
    }

    // A journal that cannot be written: the write stands, the warning follows it.
    void unwritableJournal()
    {
        const QString file = cliExport(path("files"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(file, "\"1\";\"20.00\"", "\"1\";\"22.00\""));
        QVERIFY(QDir().mkpath(QFileInfo(journalDir()).path()));
        QVERIFY(writeBytes(journalDir(), "not a folder"));

        const CliRun result = run({"import", "--only-different", file});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.outLines(), QStringList{"Успешно записана 1 ячейка в 1 таблице"});
        QVERIFY2(result.err.contains(QStringLiteral("Предупреждение: Запись в ККТ выполнена, но журнал изменений не "
                                                    "записан:\n%1: не удалось создать папку журнала")
                                         .arg(journalDir())),
                 qPrintable(result.err));
        QCOMPARE(run({"diff", file}).out, QString());
    }

    // What a journal brings to the terminal: control characters escaped, lines
    // that are not records reported, a FIFO in a journal's place refused at once.
    void journalOnTheTerminal_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out"); // contained
        QTest::addColumn<QString>("err"); // contained
        QTest::newRow("escape sequence in a value")
            << "" << QStringList{"journal", "W"} << "\"6\";\"1\";\"1\";\"Ставка\\x0d\";\"\\x1b[2J\";\"2200\"" << "";
        QTest::newRow("record cut short") << "torn" << QStringList{"journal"} << "\"W\";" << "пропущено повреждённых строк: 1 (строки 2)";
        QTest::newRow("record cut short, as JSON")
            << "torn" << QStringList{"journal", "--json"} << "\"write\": \"W\"" << "пропущено повреждённых строк: 1";
        QTest::newRow("FIFO for a journal") << "fifo" << QStringList{"journal", "--serial", "0099000001"} << ""
                                            << "0099000001.jsonl: это не обычный файл";
    }

    void journalOnTheTerminal()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const JournalFolder journal(journalDir());
        JournalRecord record;
        record.time = QDateTime::currentDateTimeUtc();
        record.writeId = "W";
        record.serialNumber = Serial;
        record.tableNumber = 6;
        record.cells = {{1, 1, "Ставка\r", "\x1b[2J", "2200"}};
        QCOMPARE(journal.append(record), QString());
        if (damage == "torn") {
            QFile file(journal.filePath(Serial));
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.write("{\"time\":") > 0);
        }
        if (damage == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(journal.filePath("0099000001")).constData(), 0600), 0);

        const CliRun result = run(arguments);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.contains(out), qPrintable(result.out));
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        QVERIFY(!result.out.contains(QChar(0x1b)) && !result.out.contains(QLatin1Char('\r')));
        if (arguments.contains("--json"))
            QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).array().size(), 1);
    }

    // The listing's lines: a write's first record and its tables as its
    // records say, the committed tables first, whatever order its lines are in.
    void journalListing_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QStringList>("listing");
        QTest::addColumn<QString>("err");
        const auto line = [](const char* id, const char* time, unsigned table, int intent = 0, const char* serial = "0057000001") {
            JournalRecord record;
            record.time = QDateTime::fromString(QLatin1String(time), Qt::ISODate);
            record.program = "vescor";
            record.version = "2.1";
            record.writeId = id;
            record.serialNumber = serial;
            record.tableNumber = table;
            record.intent = intent;
            record.cells = {{1, 1, "Ставка", "2000", "2200"}, {2, 1, "Ставка", "0", "1"}};
            return record.toJsonLine() + '\n';
        };
        const auto confirmed = [&](const char* id, int intent) {
            JournalRecord record;
            record.writeId = id;
            record.serialNumber = Serial;
            record.intent = intent;
            return record.confirmationLine(QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC)) + '\n';
        };
        const QString a = "\"a\";\"2024-05-01T10:00:00.000Z\";\"vescor 2.1\";\"0057000001\";";
        QTest::newRow("two tables") << line("a", "2024-05-01T10:00:00Z", 6) + line("a", "2024-05-01T10:00:01Z", 4)
                                    << QStringList{a + "\"6 4\";\"4\""} << "";
        QTest::newRow("an intent never confirmed")
            << line("a", "2024-05-01T10:00:00Z", 6, 1) + line("a", "2024-05-01T10:00:01Z", 4, 2) + confirmed("a", 2)
            << QStringList{a + "\"4 6\";\"4\";\"таблица могла быть записана: 6\""} << "";
        QTest::newRow("records out of time order")
            << line("a", "2024-05-03T10:00:00Z", 6, 1) + line("b", "2024-05-02T00:00:00Z", 2)
                   + line("a", "2024-05-01T10:00:00Z", 4)
            << QStringList{"\"b\";\"2024-05-02T00:00:00.000Z\";\"vescor 2.1\";\"0057000001\";\"2\";\"2\"",
                           a + "\"4 6\";\"4\";\"таблица могла быть записана: 6\""}
            << "";
        QTest::newRow("another register's record")
            << line("a", "2024-05-01T10:00:00Z", 6, 0, "0099")
            << QStringList{"\"a\";\"2024-05-01T10:00:00.000Z\";\"vescor 2.1\";\"0099\";\"6\";\"2\""} << "";
        QTest::newRow("damaged cells") << line("a", "2024-05-01T10:00:00Z", 6) + line("b", "2024-05-02T00:00:00Z", 2).replace("\"row\":2", "\"row\":0")
                                       << QStringList{a + "\"6\";\"2\""} << "пропущено повреждённых строк: 1 (строки 2)";
        QTest::newRow("empty journal") << QByteArray() << QStringList{} << "";
    }

    void journalListing()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QStringList, listing);
        QFETCH(QString, err);
        QVERIFY(QDir().mkpath(journalDir()));
        QFile file(JournalFolder(journalDir()).filePath(Serial));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines);
        file.close();
        const CliRun result = run({"journal"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.split('\n', Qt::SkipEmptyParts), listing);
        QVERIFY2(err.isEmpty() ? result.err.isEmpty() : result.err.contains(err), qPrintable(result.err));
    }

    // The listing as JSON is streamed, but reads as the one array it always was.
    void journalJsonListing_data()
    {
        QTest::addColumn<int>("writes");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("three") << 3;
    }

    void journalJsonListing()
    {
        QFETCH(int, writes);
        const JournalFolder journal(journalDir());
        for (int i = writes - 1; i >= 0; --i) {
            JournalRecord record;
            record.time = QDateTime::fromSecsSinceEpoch(1700000000 - i, Qt::UTC);
            record.writeId = QStringLiteral("W%1").arg(i);
            record.serialNumber = Serial;
            record.tableNumber = 6;
            record.cells = {{1, 1, "Ставка", "2000", QByteArray::number(i)}};
            QCOMPARE(journal.append(record), QString());
        }
        const CliRun result = run({"journal", "--json"});
        QCOMPARE(result.exitCode, 0);
        const QJsonArray listed = QJsonDocument::fromJson(result.out.toUtf8()).array();
        QStringList ids;
        for (const QJsonValue& write : listed)
            ids << write.toObject().value("write").toString();
        QStringList expected;
        for (int i = 0; i < writes; ++i)
            expected << QStringLiteral("W%1").arg(i);
        QCOMPARE(ids, expected);
        QCOMPARE(result.out.trimmed(), QString::fromUtf8(QJsonDocument(listed).toJson(QJsonDocument::Indented)).trimmed());
    }

    // Out of memory (here: a journal line larger than the memory the program
    // may have) ends the command with status 3 and a message, not an abort.
    void outOfMemoryIsReported()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer needs more address space than the limit leaves");
#endif
        QVERIFY(QDir().mkpath(journalDir()));
        QFile file(JournalFolder(journalDir()).filePath(Serial));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(1) << 30)); // one line of zeros, and no disk space taken
        file.close();
        const CliRun result = runCli({"-c", "ulimit -v 600000 && exec \"$0\" \"$@\"", cliProgram(), "journal"},
                                     m_dir->path(), QStringLiteral("/bin/sh"));
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.contains(QStringLiteral("Команда journal прервана: не хватило памяти")), qPrintable(result.err));
    }

    // Two imports into one register at once: the register serves one
    // connection at a time, so one import is turned away with the busy error
    // and the register holds every cell of the other. A slow link keeps both
    // connections open long enough to meet.
    void twoImportsIntoOneRegister()
    {
        const QString first = cliExport(path("files"), 6, m_dir->path());
        const QString second = cliExport(path("files"), 2, m_dir->path());
        QVERIFY(replaceInTableFile(first, "\"1\";\"20.00\"", "\"1\";\"22.00\""));
        QVERIFY(replaceInTableFile(second, "\"3000\"", "\"2500\""));
        QJsonObject image = QJsonDocument::fromJson(fileBytes(m_image)).object();
        image.insert(QStringLiteral("link"), QJsonObject{{QStringLiteral("latencyMs"), 40}});
        QVERIFY(writeBytes(m_image, QJsonDocument(image).toJson()));

        QProcess a;
        QProcess b;
        for (QProcess* process : {&a, &b})
            process->setWorkingDirectory(m_dir->path());
        a.start(cliProgram(), {"import", first});
        b.start(cliProgram(), {"import", second});
        QVERIFY(a.waitForFinished(-1));
        QVERIFY(b.waitForFinished(-1));
        QCOMPARE(QSet<int>({a.exitCode(), b.exitCode()}), QSet<int>({0, 3}));
        QProcess& refused = a.exitCode() == 3 ? a : b;
        QVERIFY(QString::fromUtf8(refused.readAllStandardError()).contains(QStringLiteral("ККТ занята другим подключением")));

        const QString written = a.exitCode() == 0 ? first : second;
        const QString turnedAway = a.exitCode() == 0 ? second : first;
        // The register as the imports left it, without the slow link.
        image = QJsonDocument::fromJson(fileBytes(m_image)).object();
        image.remove(QStringLiteral("link"));
        QVERIFY(writeBytes(m_image, QJsonDocument(image).toJson()));
        QCOMPARE(run({"diff", written}).exitCode, 0);
        const CliRun drift = run({"diff", turnedAway});
        QCOMPARE(drift.exitCode, 1);
        QVERIFY(drift.out.contains(QLatin1Char(';')));
    }

    // Two programs writing at once both leave complete, valid lines.
    void twoProgramsAtOnce()
    {
        const QString first = cliExport(path("files"), 6, m_dir->path());
        const QString second = cliExport(path("files"), 2, m_dir->path());
        QVERIFY(replaceInTableFile(first, "\"1\";\"20.00\"", "\"1\";\"22.00\""));
        QVERIFY(replaceInTableFile(second, "\"3000\"", "\"2500\""));

        // Two registers of one serial number (a register serves one
        // connection at a time): the journal file is the one they share.
        const QString secondImage = m_dir->filePath(QStringLiteral("second-register.json"));
        QVERIFY(QFile::copy(m_image, secondImage));
        QProcess a;
        QProcess b;
        for (QProcess* process : {&a, &b})
            process->setWorkingDirectory(m_dir->path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TILLO10_EMULATOR"), secondImage);
        b.setProcessEnvironment(environment);
        a.start(cliProgram(), {"import", first});
        b.start(cliProgram(), {"import", second});
        QVERIFY(a.waitForFinished(-1));
        QVERIFY(b.waitForFinished(-1));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);

        // Each table's record and the line confirming its commit.
        const QList<QByteArray> lines = fileBytes(JournalFolder(journalDir()).filePath(Serial)).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.last(), QByteArray());
        QStringList tables;
        int confirmations = 0;
        for (int i = 0; i < 4; ++i) {
            JournalRecord record;
            JournalRecord::Confirmation confirmation;
            if (JournalRecord::confirmationFromJsonLine(lines.at(i), confirmation)) {
                ++confirmations;
                continue;
            }
            QVERIFY(JournalRecord::fromJsonLine(lines.at(i), record));
            tables << QString::number(record.tableNumber);
        }
        QCOMPARE(confirmations, 2);
        tables.sort();
        QCOMPARE(tables, (QStringList{"2", "6"}));
        QCOMPARE(JournalFolder(journalDir()).writes().size(), 2);
    }
};

VESCOR_TEST(CliJournalTest)

#include "tst_CliJournal.moc"
