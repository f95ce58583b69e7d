#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/RegisterFolder.h"
#include "support/ReportHtml.h"
#include "support/RegisterWrite.h"
#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "journal/JournalFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace {

JournalRecord record(const QString& id, const QString& serial, const QString& time, unsigned table,
                     const QVector<JournalRecord::CellChange>& cells)
{
    JournalRecord r;
    r.time = QDateTime::fromString(time, Qt::ISODate);
    r.program = QStringLiteral("vescor");
    r.version = QStringLiteral("2.1.2");
    r.writeId = id;
    r.modelCode = 57;
    r.modelName = QStringLiteral("Вескор-Эмулятор 57");
    r.serialNumber = serial;
    r.firmware = QStringLiteral("3.0.25");
    r.tableNumber = table;
    r.tableName = QStringLiteral("Налоговые ставки");
    r.cells = cells;
    return r;
}

QString fileText(const QString& path)
{
    return QString::fromUtf8(fileBytes(path));
}

} // namespace

// vescor-cli report: which writes go into the file, what it says of them, and
// the refusals; what a report holds is the report's own test.
class CliReportTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RegisterFolder> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    JournalFolder journal() const { return JournalFolder(m_dir->journalDir()); }

private slots:
    void initTestCase() { KKT_Logic::instance().connect(); }
    void cleanupTestCase() { KKT_Logic::instance().destroy(); }

    void init()
    {
        m_dir = std::make_unique<RegisterFolder>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_dir.reset();
    }

    void choice_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("writes"); // titles in the report, oldest first
        QTest::addColumn<QString>("err");
        QTest::newRow("one write") << QStringList{"w2", "-o", "r.html"} << 0 << QStringList{"Запись w2"}
                                   << "Отчёт: записей 1, таблиц 1, ячеек 1";
        QTest::newRow("two writes, oldest first") << QStringList{"w2", "w1", "-o", "r.html"} << 0
                                                  << QStringList{"Запись w1", "Запись w2"}
                                                  << "Отчёт: записей 2, таблиц 2, ячеек 3";
        QTest::newRow("since") << QStringList{"--since", "2024-05-02", "--serial", "0057000001", "-o", "r.html"} << 0
                               << QStringList{"Запись w2"} << "";
        QTest::newRow("json") << QStringList{"w1", "-o", "r.html", "--json"} << 0 << QStringList{"Запись w1"} << "";
        QTest::newRow("unknown write") << QStringList{"w9", "-o", "r.html"} << 1 << QStringList{}
                                       << "В журнале изменений нет записи w9";
        QTest::newRow("two registers") << QStringList{"--since", "2024-01-01", "-o", "r.html"} << 1 << QStringList{}
                                       << "Записи сделаны в разных ККТ (0057000001, 0099)";
        QTest::newRow("nothing since") << QStringList{"--since", "2030-01-01", "-o", "r.html"} << 1 << QStringList{}
                                       << "нет записей с 2030-01-01";
        QTest::newRow("no writes named") << QStringList{"-o", "r.html"} << 2 << QStringList{} << "Не указаны записи";
        QTest::newRow("no file") << QStringList{"w1"} << 2 << QStringList{} << "Не указан файл отчёта";
        QTest::newRow("bad time") << QStringList{"--since", "вчера", "-o", "r.html"} << 2 << QStringList{}
                                  << "Время --since не распознано: вчера";
        QTest::newRow("unwritable file") << QStringList{"w1", "-o", "missing/r.html"} << 1 << QStringList{}
                                         << "Отчёт не записан в missing/r.html";
    }

    void choice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, writes);
        QFETCH(QString, err);
        const JournalFolder folder = journal();
        QVERIFY(folder.append(record("w1", "0057000001", "2024-05-01T10:00:00Z", 6,
                                     {{1, 1, "Ставка, %", "2000", "2200"}, {2, 1, "Ставка, %", "1000", "1200"}}))
                    .isEmpty());
        QVERIFY(folder.append(record("w2", "0057000001", "2024-05-03T10:00:00Z", 6, {{1, 1, "Ставка, %", "2200", "2000"}}))
                    .isEmpty());
        QVERIFY(folder.append(record("w3", "0099", "2024-05-04T10:00:00Z", 6, {{1, 1, "Ставка, %", "0", "1"}})).isEmpty());

        const CliRun result = runCli(QStringList{"report"} + arguments, m_dir->path());
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        if (exitCode != 0) {
            QVERIFY(!QFile::exists(path("r.html")));
            return;
        }
        if (arguments.contains("--json")) {
            QVERIFY2(result.out.contains("\"cell_count\":2"), qPrintable(result.out));
            QVERIFY(result.out.contains("\"writes\":[\"w1\"]"));
        } else {
            QCOMPARE(result.outLines(), QStringList{"r.html"});
        }
        const ReportHtml html = ReportHtml::parse(fileText(path("r.html")));
        QVERIFY2(html.wellFormed, qPrintable(html.error));
        QCOMPARE(html.byClass.value("write-title"), writes);
        QCOMPARE(html.only("serial"), QStringLiteral("0057000001"));
    }

    // A write of the shell program names its register's firmware and the
    // user, and its report shows the values as the tabs do.
    void reportOfShellWrite()
    {
        QCOMPARE(runCli({"snapshot", "save", path("kassa.zip"), "--tables", "6"}, m_dir->path()).exitCode, 0);
        QVERIFY(writeRawCells({{6, 1, 1, QByteArray::fromHex("0834")}}));
        QCOMPARE(runCli({"snapshot", "restore", path("kassa.zip")}, m_dir->path()).exitCode, 0);
        const CliRun result = runCli({"report", "--since", "2000-01-01", "-o", path("r.html")}, m_dir->path());
        QCOMPARE(result.exitCode, 0);
        const ReportHtml html = ReportHtml::parse(fileText(path("r.html")));
        QVERIFY2(html.wellFormed, qPrintable(html.error));
        QCOMPARE(html.only("firmware"), QStringLiteral("3.0.25"));
        QCOMPARE(html.only("user"), QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name));
        QCOMPARE(html.only("program"), QStringLiteral("vescor-cli ") + QStringLiteral(VESCOR_VERSION));
        QCOMPARE(html.cellRows.size(), 1);
        QCOMPARE(html.cellRows.first().value("before"), QStringLiteral("21.00"));
        QCOMPARE(html.cellRows.first().value("after"), QStringLiteral("20.00"));
    }
};

VESCOR_TEST(CliReportTest)
#include "tst_CliReport.moc"
