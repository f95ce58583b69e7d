#include "support/CliRunner.h"

#include "support/EmulatorImage.h"
#include "support/RegisterFolder.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Table 6 ("Налоговые ставки"), its first rate other than the register's.
QByteArray taxFile(const QByteArray& rate)
{
    return QStringLiteral("Налоговые ставки 1.1\n\"Ставка, %\";\"Наименование налога\";\"Зарезервировано\"\n"
                          "\"1\";\"%1\";\"НДС\";\"0\"\n")
        .arg(QString::fromLatin1(rate))
        .toUtf8();
}

const QString OutputFull = QStringLiteral("Не удалось записать на стандартный вывод: нет места на устройстве");

} // namespace

// No write that failed is reported as success: a command whose output,
// messages or files could not be written ends with status 3 and the reason.
class CliWriteFailuresTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RegisterFolder> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString m_lastWrite; // the journal's newest write
    // %DIR%: the test's folder; %WRITE%: the newest write of the journal.
    QStringList expand(QStringList arguments) const
    {
        for (QString& argument : arguments)
            argument.replace(QStringLiteral("%DIR%"), m_dir->path()).replace(QStringLiteral("%WRITE%"), m_lastWrite);
        return arguments;
    }

private slots:
    // A register with two recorded writes, a snapshot taken between them, and
    // a file that differs from what it holds.
    void init()
    {
        m_dir = std::make_unique<RegisterFolder>();
        QVERIFY(m_dir->isValid());
        QVERIFY(writeBytes(path("written.csv"), taxFile("17.00")));
        QVERIFY(writeBytes(path("other.csv"), taxFile("16.00")));
        QCOMPARE(runCli({"import", path("written.csv")}, m_dir->path()).exitCode, 0);
        QCOMPARE(runCli({"snapshot", "save", path("kassa.zip"), "--tables", "6"}, m_dir->path()).exitCode, 0);
        QVERIFY(writeBytes(path("later.csv"), taxFile("15.00")));
        QCOMPARE(runCli({"import", path("later.csv")}, m_dir->path()).exitCode, 0);
        const CliRun journal = runCli({"journal"}, m_dir->path());
        m_lastWrite = journal.outLines().value(0).section(QLatin1Char(';'), 0, 0).remove(QLatin1Char('"'));
        QVERIFY2(!m_lastWrite.isEmpty(), qPrintable(journal.out + journal.err));
    }

    void cleanup()
    {
        m_dir.reset();
    }

    void standardOutputFull_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("help") << QStringList{"--help"};
        QTest::newRow("version") << QStringList{"--version"};
        QTest::newRow("help of a command") << QStringList{"identify", "--help"};
        QTest::newRow("identify") << QStringList{"identify"};
        QTest::newRow("identify --json") << QStringList{"identify", "--json"};
        QTest::newRow("export") << QStringList{"export", "%DIR%/out", "--tables", "6"};
        QTest::newRow("import") << QStringList{"import", "%DIR%/other.csv"};
        QTest::newRow("import --dry-run") << QStringList{"import", "--dry-run", "%DIR%/other.csv"};
        QTest::newRow("import --json") << QStringList{"import", "--json", "%DIR%/other.csv"};
        QTest::newRow("diff") << QStringList{"diff", "%DIR%/other.csv"};
        QTest::newRow("journal") << QStringList{"journal"};
        QTest::newRow("journal --json") << QStringList{"journal", "--json"};
        QTest::newRow("journal of a write") << QStringList{"journal", "%WRITE%"};
        QTest::newRow("revert --dry-run") << QStringList{"revert", "--dry-run", "%WRITE%"};
        QTest::newRow("revert") << QStringList{"revert", "%WRITE%"};
        QTest::newRow("snapshot save") << QStringList{"snapshot", "save", "%DIR%/again.zip", "--tables", "6"};
        QTest::newRow("snapshot show") << QStringList{"snapshot", "show", "%DIR%/kassa.zip"};
        QTest::newRow("snapshot diff") << QStringList{"snapshot", "diff", "%DIR%/kassa.zip"};
    }

    void standardOutputFull()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = runCliInto(expand(arguments), m_dir->path(), QStringLiteral("/dev/full"));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.split(QLatin1Char('\n')).contains(OutputFull), qPrintable(run.err));
    }

    // With nowhere to tell it, the status alone says it.
    void standardErrorFull_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // with standard error readable
        QTest::newRow("unknown command") << QStringList{"read"} << 2;
        QTest::newRow("export") << QStringList{"export", "%DIR%/out", "--tables", "6"} << 0;
        QTest::newRow("import refused") << QStringList{"import", "%DIR%/none.csv"} << 1;
    }

    void standardErrorFull()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QCOMPARE(runCli(expand(arguments), m_dir->path()).exitCode, exitCode);
        const CliRun run = runCliInto(expand(arguments), m_dir->path(), QString(), QStringLiteral("/dev/full"));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 3);
    }

    // A file that cannot be written: the reason named, nothing of it left.
    void fileNotWritten_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("blocked"); // made a folder where the file goes
        QTest::addColumn<QString>("message");
        QTest::newRow("export") << QStringList{"export", "%DIR%/out", "--tables", "6"} << "out/%SERIAL%_6.csv"
                                << "Не удалось записать файл %DIR%/out/%SERIAL%_6.csv: это папка";
        QTest::newRow("snapshot save") << QStringList{"snapshot", "save", "%DIR%/missing/again.zip"} << QString()
                                       << "Не удалось записать снимок ККТ %DIR%/missing/again.zip: нет такого "
                                          "файла или папки";
    }

    void fileNotWritten()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, blocked);
        QFETCH(QString, message);
        const CliRun first = runCli({"export", path("probe"), "--tables", "6"}, m_dir->path());
        QCOMPARE(first.outLines().size(), 1);
        const QString serial = QFileInfo(first.outLines().first()).fileName().section(QLatin1Char('_'), 0, 0);
        const auto filled = [&](QString text) {
            return expand({text.replace(QStringLiteral("%SERIAL%"), serial)}).first();
        };
        if (!blocked.isEmpty())
            QVERIFY(QDir().mkpath(path(filled(blocked))));

        const CliRun run = runCli(expand(arguments), m_dir->path());
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.split(QLatin1Char('\n')).contains(filled(message)), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(!QFileInfo::exists(path("missing")));
    }
};

VESCOR_TEST(CliWriteFailuresTest)

#include "tst_CliWriteFailures.moc"
