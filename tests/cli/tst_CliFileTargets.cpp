#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/RegisterFolder.h"
#include "support/OddNode.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Every file vescor-cli writes goes only where a regular file or nothing
// stands: a FIFO, a device, a folder or a link there is refused before the
// register is read, and kept as it was.
class CliFileTargetsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RegisterFolder> m_dir;
    QString m_write;  // a write in the journal
    QString m_serial; // the register's

    QString path(const QString& name) const { return m_dir->filePath(name); }

private slots:
    // A register with one recorded write and a snapshot of it.
    void initTestCase()
    {
        const EmulatorImage image = EmulatorImage::defaultImage();
        m_serial = QString::fromStdString(image.json()["identity"]["serialNumber"].asString());
        m_dir = std::make_unique<RegisterFolder>(image, true);
        QVERIFY(m_dir->isValid());
        QVERIFY(writeBytes(path("taxes.csv"), "Налоговые ставки 1.1\n\"Ставка, %\";\"Наименование налога\";"
                                              "\"Зарезервировано\"\n\"1\";\"17.00\";\"НДС\";\"0\"\n"));
        QCOMPARE(runCli({"import", path("taxes.csv")}, m_dir->path()).exitCode, 0);
        QCOMPARE(runCli({"snapshot", "save", path("kassa.zip"), "--tables", "6"}, m_dir->path()).exitCode, 0);
        const CliRun journal = runCli({"journal"}, m_dir->path());
        m_write = journal.outLines().value(0).section(QLatin1Char(';'), 0, 0).remove(QLatin1Char('"'));
        QVERIFY2(!m_write.isEmpty(), qPrintable(journal.out + journal.err));
        QVERIFY(QDir().mkpath(path("out")));
    }

    void cleanupTestCase()
    {
        m_dir.reset();
    }

    void refusedBeforeAnyWork_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<QStringList>("arguments"); // %NODE%: where the node stands
        QTest::addColumn<QString>("target");        // the node's file, in the test's folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");       // the line begins so
        struct Writer
        {
            const char* name;
            QStringList arguments;
            QString target;
            int exitCode;
            QString message;
        };
        const QList<Writer> writers = {
            {"snapshot save", {"snapshot", "save", "%NODE%"}, "kassa-new.zip", 3, "Не удалось записать снимок ККТ %NODE%: "},
            {"export", {"export", "%DIR%/out", "--tables", "6"}, "out/%SERIAL%_6.csv", 3, "Не удалось записать файл %NODE%: "},
            {"report", {"report", "%WRITE%", "-o", "%NODE%"}, "report.html", 1, "Отчёт не записан в %NODE%: "},
            {"snapshot diff --html", {"snapshot", "diff", "%DIR%/kassa.zip", "%DIR%/kassa.zip", "--html", "%NODE%"},
             "diff.html", 1, "Отчёт не записан в %NODE%: "},
        };
        for (const Writer& writer : writers) {
            for (const OddNode::Kind kind : OddNode::Kinds)
                QTest::addRow("%s, %s", writer.name, OddNode::name(kind))
                    << int(kind) << writer.arguments << writer.target << writer.exitCode << writer.message;
        }
    }

    void refusedBeforeAnyWork()
    {
        QFETCH(int, node);
        QFETCH(QStringList, arguments);
        QFETCH(QString, target);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const OddNode planted(OddNode::Kind(node), path(QString(target).replace("%SERIAL%", m_serial)));
        if (!planted.skipReason().isEmpty())
            QSKIP(qPrintable(planted.skipReason()));
        const auto filled = [&](QString text) {
            return text.replace("%NODE%", planted.path()).replace("%DIR%", m_dir->path()).replace("%WRITE%", m_write);
        };
        for (QString& argument : arguments)
            argument = filled(argument);
        QVERIFY(writeBytes(EmulatorImage::tracePath(*m_dir), QByteArray()));

        const CliRun run = runCli(arguments, m_dir->path());
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(filled(message)) && run.err.contains(planted.refusalWords()), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("Успешно")), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QVERIFY2(planted.unchanged(), qPrintable(planted.change()));
        QCOMPARE(EmulatorImage::traceLines(*m_dir).filter(QRegExp("^read")), QStringList());
        // Nothing was left beside the node either.
        QCOMPARE(QDir(QFileInfo(planted.path()).path()).entryList({"*.part*", ".*.part*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
};

VESCOR_TEST(CliFileTargetsTest)

#include "tst_CliFileTargets.moc"
