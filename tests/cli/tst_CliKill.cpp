// vescor-cli killed outright at every call it makes to the register, during a
// three-table import and a three-table snapshot restore: each table is left
// wholly as it was or wholly as written, and the journal holds one record for
// each table committed, confirmed unless the kill came right after its commit.
#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/RegisterFolder.h"
#include "support/TestMain.h"

#include "journal/JournalFolder.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <set>

namespace {

const QString Serial = QStringLiteral("0057000001");

struct Edit
{
    int table;
    QString from; // in the exported file
    QString to;
};

const QVector<Edit> Edits{
    {6, "\"1\";\"20.00\"", "\"1\";\"22.00\""},
    {4, "СПАСИБО ЗА ПОКУПКУ!", "ЖДЁМ ВАС СНОВА!"},
    {5, "\"В КРЕДИТ\"", "\"КРЕДИТ\""},
};

using TableCells = std::map<unsigned, RegisterCells>;

TableCells byTable(const RegisterCells& cells)
{
    TableCells tables;
    for (const auto& [key, value] : cells)
        tables[std::get<0>(key)][key] = value;
    return tables;
}

} // namespace

class CliKillTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<RegisterFolder> m_dir;
    QString m_image;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString journalDir() const { return m_dir->journalDir(); }

    // Exit status, or -1 for a process that did not end by itself.
    int runKilledAfter(const QStringList& arguments, int call) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("TILLO10_TRACE"));
        if (call > 0)
            environment.insert(QStringLiteral("TILLO10_KILL_AFTER"), QString::number(call));
        process.setProcessEnvironment(environment);
        process.setProgram(cliProgram());
        process.setArguments(arguments);
        process.setWorkingDirectory(m_dir->path());
        process.start();
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }

    // The files of the three tables, edited; the register's image is stored in
    // raw cells first (the edits imported there and back) so that images
    // compare cell by cell.
    QStringList editedFiles()
    {
        QStringList files;
        for (const Edit& edit : Edits)
            files << cliExport(path("files"), edit.table, m_dir->path());
        const auto edit = [&](bool forth) {
            for (int i = 0; i < Edits.size(); ++i) {
                const Edit& e = Edits.at(i);
                if (!replaceInTableFile(files.at(i), forth ? e.from : e.to, forth ? e.to : e.from))
                    qWarning() << "no" << (forth ? e.from : e.to) << "in" << files.at(i);
            }
        };
        for (const bool forth : {true, false}) {
            edit(forth);
            if (runCli(QStringList{"import"} + files, m_dir->path()).exitCode != 0)
                qWarning() << "the image is not stored in raw cells";
        }
        edit(true);
        return files;
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

    void killedAtEveryCall_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("import") << "import";
        QTest::newRow("snapshot restore") << "restore";
    }

    void killedAtEveryCall()
    {
        QFETCH(QString, command);
        const QStringList files = editedFiles();
        QStringList arguments = QStringList{"import"} + files;
        if (command == "restore") {
            // The snapshot holds the edited tables; the register goes back to them.
            const QByteArray original = fileBytes(m_image);
            QCOMPARE(runCli(arguments, m_dir->path()).exitCode, 0);
            QCOMPARE(runCli({"snapshot", "save", path("kassa.zip"), "--tables", "6,4,5"}, m_dir->path()).exitCode, 0);
            QVERIFY(writeBytes(m_image, original));
            arguments = QStringList{"snapshot", "restore", path("kassa.zip")};
        }
        QVERIFY(QDir(journalDir()).removeRecursively());
        const QByteArray oldImage = fileBytes(m_image);
        const TableCells oldTables = byTable(registerCells(m_image));

        QVERIFY(writeBytes(EmulatorImage::tracePath(*m_dir), QByteArray()));
        QCOMPARE(runCli(arguments, m_dir->path()).exitCode, 0);
        const QStringList trace = EmulatorImage::traceLines(*m_dir);
        const TableCells newTables = byTable(registerCells(m_image));
        std::set<unsigned> written;
        for (const Edit& edit : Edits) {
            QVERIFY(oldTables.at(unsigned(edit.table)) != newTables.at(unsigned(edit.table)));
            written.insert(unsigned(edit.table));
        }
        QCOMPARE(trace.filter(QRegExp("^commit -> 0$")).size(), 3);

        for (int call = 1; call <= trace.size(); ++call) {
            const QString at = QStringLiteral("killed after call %1 '%2'").arg(call).arg(trace.at(call - 1));
            QVERIFY(writeBytes(m_image, oldImage));
            QVERIFY(QDir(journalDir()).removeRecursively());
            QVERIFY2(runKilledAfter(arguments, call) == -1, qPrintable(at));

            const TableCells tables = byTable(registerCells(m_image));
            std::set<unsigned> fresh;
            for (const unsigned table : written) {
                const RegisterCells& cells = tables.at(table);
                QVERIFY2(cells == oldTables.at(table) || cells == newTables.at(table),
                         qPrintable(QStringLiteral("%1: table %2 half written").arg(at).arg(table)));
                if (cells == newTables.at(table))
                    fresh.insert(table);
            }
            const int commits = trace.mid(0, call).filter(QRegExp("^commit -> 0$")).size();
            QVERIFY2(int(fresh.size()) == commits, qPrintable(at));

            // One record a committed table; the last one unconfirmed when the kill came right after its commit.
            const QList<RecordedWrite> writes = JournalFolder(journalDir()).writes(Serial);
            QVERIFY2(writes.size() <= 1, qPrintable(at));
            std::set<unsigned> journaled;
            int confirmed = 0;
            int records = 0;
            for (const RecordedWrite& write : writes) {
                confirmed = write.tables.size();
                records = write.tables.size() + write.unconfirmed.size();
                for (const JournalRecord& record : write.records())
                    journaled.insert(record.tableNumber);
            }
            QVERIFY2(records == commits, qPrintable(QStringLiteral("%1: %2 records, %3 commits").arg(at).arg(records).arg(commits)));
            QVERIFY2(journaled == fresh, qPrintable(at));
            const bool justCommitted = trace.at(call - 1) == QLatin1String("commit -> 0");
            QVERIFY2(confirmed == commits - (justCommitted ? 1 : 0), qPrintable(at));
        }
        qInfo("%s: %d kills", QTest::currentDataTag(), int(trace.size()));
    }
};

VESCOR_TEST(CliKillTest)

#include "tst_CliKill.moc"
