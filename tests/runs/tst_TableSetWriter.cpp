#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/SteppingClock.h"
#include "support/TestMain.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/ProgressReporter.h"
#include "flows/FlowFailure.h"
#include "journal/JournalFolder.h"
#include "flows/RegisterSession.h"
#include "runs/TableSetWriter.h"
#include "runs/TableWriteRun.h"
#include "journal/JournalSession.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Tables 20 "Первая", 21 "Вторая" and 22 "Третья": two one-byte fields, three rows each.
TableInfo table(unsigned id, const QString& name)
{
    TableInfo t;
    t.id = id;
    t.name = name;
    t.type = Plain;
    for (int i = 0; i < 2; ++i) {
        FieldInfo field(QStringLiteral("Поле %1").arg(i + 1), QStringLiteral("bin1"), QStringLiteral("int"));
        field.m_max = 255;
        t.fields.append(field);
    }
    return t;
}

QList<TableInfo> threeTables()
{
    return {table(20, QStringLiteral("Первая")), table(21, QStringLiteral("Вторая")), table(22, QStringLiteral("Третья"))};
}

// Every cell of each row changed to 7 (row 1), 8 and 9; the register held 1.
DataRows changedRows()
{
    DataRows rows;
    for (int r = 1; r <= 3; ++r)
        rows.append({Cell(QByteArray::number(6 + r), true), Cell(QByteArray::number(6 + r), true)});
    return rows;
}

DataRows registerRows()
{
    DataRows rows;
    for (int r = 1; r <= 3; ++r)
        rows.append({Cell("1"), Cell("1")});
    return rows;
}

// Asks to stop when the write of a table has sent its first row.
class StoppingReporter : public ProgressReporter
{
public:
    // Every pace point due: the rows done are shown before each cell.
    explicit StoppingReporter(int stopInTable) : ProgressReporter(everyPoint()), m_stopInTable(stopInTable) {}
    void setRange(int, int) override { ++m_table; }
    void setValue(int value) override
    {
        if (m_table == m_stopInTable && value == 1)
            requestCancel();
    }

private:
    static const Clock& everyPoint()
    {
        static const SteppingClock clock(ProgressReporter::UpdateInterval);
        return clock;
    }
    int m_stopInTable;
    int m_table = -1;
};

int markedCells(const DataRows& rows)
{
    int marked = 0;
    for (const DataRow& row : rows) {
        for (const Cell& cell : row)
            marked += cell.changed ? 1 : 0;
    }
    return marked;
}

} // namespace

// A write of several tables that the user stops: the table being written is
// not committed, the message names what was written, the marks stay on every
// cell the register does not hold, and the journal has only the committed tables.
class TableSetWriterTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void initTestCase()
    {
        KKT_Logic::instance().connect();
        QVERIFY2(DriverLibrary::instance().isLoaded(), qPrintable(DriverLibrary::instance().loadError()));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    void cancel_data()
    {
        QTest::addColumn<int>("stopBeforeTable"); // asked before the write of this table (-1: not)
        QTest::addColumn<int>("stopInTable");     // asked after the first row of this table (-1: not)
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("notWritten");
        QTest::addColumn<QList<int>>("markedPerTable");
        QTest::addColumn<QList<unsigned>>("journaled");

        const QString all = QStringLiteral("20 \"Первая\", 21 \"Вторая\", 22 \"Третья\"");
        QTest::newRow("before the first table")
            << 0 << -1 << "нет" << all << QList<int>{6, 6, 6} << QList<unsigned>{};
        QTest::newRow("inside the first table")
            << -1 << 0 << "нет" << all << QList<int>{6, 6, 6} << QList<unsigned>{};
        QTest::newRow("between tables") << 1 << -1 << "20 \"Первая\""
                                        << "21 \"Вторая\", 22 \"Третья\"" << QList<int>{0, 6, 6}
                                        << QList<unsigned>{20};
        QTest::newRow("inside the second table") << -1 << 1 << "20 \"Первая\""
                                                 << "21 \"Вторая\", 22 \"Третья\"" << QList<int>{0, 6, 6}
                                                 << QList<unsigned>{20};
        QTest::newRow("before the last table") << 2 << -1 << "20 \"Первая\", 21 \"Вторая\""
                                               << "22 \"Третья\"" << QList<int>{0, 0, 6}
                                               << QList<unsigned>{20, 21};
        QTest::newRow("not asked") << -1 << -1 << QString() << QString() << QList<int>{0, 0, 0}
                                   << QList<unsigned>{20, 21, 22};
    }

    void cancel()
    {
        QFETCH(int, stopBeforeTable);
        QFETCH(int, stopInTable);
        QFETCH(QString, written);
        QFETCH(QString, notWritten);
        QFETCH(QList<int>, markedPerTable);
        QFETCH(QList<unsigned>, journaled);

        EmulatorImage image;
        for (unsigned id : {20u, 21u, 22u}) {
            image.addTable(id, {{1}, {1}}, 3);
            for (int r = 1; r <= 3; ++r) {
                image.setCell(id, r, 1, QByteArray::fromHex("01"));
                image.setCell(id, r, 2, QByteArray::fromHex("01"));
            }
        }
        const QString path = image.install(*m_dir);
        const RegisterCells before = registerCells(path);

        const QList<TableInfo> tables = threeTables();
        QList<DataRows> rows{changedRows(), changedRows(), changedRows()};
        const JournalFolder journal(m_dir->filePath(QStringLiteral("journal")));
        QString message;
        {
            RegisterSession session(KKT_Logic::instance());
            const RegisterIdentity identity = session.open();
            JournalSession writeJournal(QStringLiteral("vescor"), identity, journal);
            StoppingReporter progress(stopInTable);
            TableSetWriter writer(tables, writeJournal, progress);
            try {
                for (int t = 0; t < tables.size(); ++t) {
                    if (t == stopBeforeTable)
                        progress.requestCancel();
                    TableWriteRun run(session.link(), tables.at(t), rows[t]);
                    run.useRead(registerRows());
                    writer.write(run);
                }
            } catch (const FlowFailure& failure) {
                QCOMPARE(failure.kind(), FlowFailure::Cancelled);
                message = failure.message();
            }
            QCOMPARE(writer.tablesWritten(), unsigned(journaled.size()));
            QCOMPARE(writer.cellsWritten(), unsigned(6 * journaled.size()));
        }

        if (written.isNull())
            QCOMPARE(message, QString());
        else
            QCOMPARE(message, QStringLiteral("Операция записи прервана пользователем\nЗаписаны в ККТ таблицы: %1\n"
                                             "Не записаны таблицы: %2")
                                  .arg(written, notWritten));
        QList<int> marked;
        for (const DataRows& table : rows)
            marked << markedCells(table);
        QCOMPARE(marked, markedPerTable);

        // The register holds the committed tables and nothing of the others.
        QList<CellKey> expected;
        for (unsigned id : journaled) {
            for (int r = 1; r <= 3; ++r)
                expected << CellKey(id, r, 1) << CellKey(id, r, 2);
        }
        QCOMPARE(differences(before, registerCells(path)), expected);

        QList<unsigned> recorded;
        for (const JournalRecord& record : journal.records(QStringLiteral("0057000001")))
            recorded << record.tableNumber;
        QCOMPARE(recorded, journaled);
    }
};

VESCOR_TEST(TableSetWriterTest)
#include "tst_TableSetWriter.moc"
