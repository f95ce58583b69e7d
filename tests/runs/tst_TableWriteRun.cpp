#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/ProgressReporter.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "journal/JournalFolder.h"
#include "journal/JournalSession.h"
#include "runs/TableWriteRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Table 20 "Первая": two one-byte fields, three rows, every cell 1 on the register.
TableInfo firstTable()
{
    TableInfo table;
    table.id = 20;
    table.name = QStringLiteral("Первая");
    table.type = Plain;
    for (int i = 0; i < 2; ++i) {
        FieldInfo field(QStringLiteral("Поле %1").arg(i + 1), QStringLiteral("bin1"), QStringLiteral("int"));
        field.m_max = 255;
        table.fields.append(field);
    }
    return table;
}

DataRows heldRows()
{
    return {{Cell("1"), Cell("1")}, {Cell("1"), Cell("1")}, {Cell("1"), Cell("1")}};
}

using Before = TableWriteRun::Before;
using Send = TableWriteRun::Send;

const int ok = -1; // no failure

} // namespace

Q_DECLARE_METATYPE(TableWriteRun::Before)
Q_DECLARE_METATYPE(TableWriteRun::Send)
Q_DECLARE_METATYPE(EmulatorImage::Fault)

// One table's write over each of the three "before" policies: what it sends,
// commits and journals, and that a failure anywhere leaves the register, the
// marks and the journal as they were.
class TableWriteRunTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    int traced(const QString& call) const
    {
        return EmulatorImage::traceLines(*m_dir).filter(QRegExp(QStringLiteral("^%1 ").arg(call))).size();
    }

private slots:
    void initTestCase()
    {
        if (!DriverLibrary::instance().isLoaded()) {
            const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/libtillo10.so");
            QVERIFY2(DriverLibrary::instance().loadFrom(path), qPrintable(DriverLibrary::instance().loadError()));
        }
        if (!KKT_Logic::instance().handle())
            KKT_Logic::instance().connect();
        QVERIFY(KKT_Logic::instance().handle());
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

    void write_data()
    {
        QTest::addColumn<Before>("before");
        QTest::addColumn<Send>("send");
        QTest::addColumn<QString>("value11"); // of row 1 field 1
        QTest::addColumn<QString>("value21"); // of row 2 field 1; row 1 field 2 is written as "1", as held
        QTest::addColumn<int>("registerValue11"); // what the register holds there before the run
        QTest::addColumn<EmulatorImage::Fault>("fault");
        QTest::addColumn<int>("writes");
        QTest::addColumn<int>("commits");
        QTest::addColumn<int>("failure");       // FlowFailure::Kind; -1: none
        QTest::addColumn<QString>("message");   // of the failure
        QTest::addColumn<QString>("changedSince"); // described
        QTest::addColumn<int>("journaled");        // cells

        const EmulatorImage::Fault none{QString()};
        const QString noLink = QStringLiteral("Ошибка - 2 [Нет связи]");
        const QString changed =
            QStringLiteral("Таблица 20 (Первая), ряд 1, поле 1 (Поле 1): прочитано «1», в ККТ сейчас «5»");
        const QString tooBig = QStringLiteral("Ошибка записи таблицы 20 - [Первая]\nРяд 2, поле 1: ");
        const int driver = int(FlowFailure::DriverFailed);
        const int refused = int(FlowFailure::Refused);
        const struct
        {
            const char* name;
            Before before;
        } policies[] = {{"cells written", Before::WrittenCells},
                        {"whole table", Before::WholeTable},
                        {"rows read", Before::RowsRead}};
        for (const auto& policy : policies) {
            const auto row = [&](const char* what) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(policy.name, what)));
            };
            *row("only what differs") << policy.before << Send::Differing << "7" << "8" << 1 << none << 2 << 1 << ok << ""
                                      << "" << 2;
            *row("every marked cell") << policy.before << Send::Marked << "7" << "8" << 1 << none << 3 << 1 << ok << ""
                                      << "" << 2;
            *row("the register holds them all")
                << policy.before << Send::Differing << "1" << "8" << 1 << none << 1 << 1 << ok << "" << "" << 1;
            *row("a refused write") << policy.before << Send::Differing << "7" << "8" << 1
                                    << EmulatorImage::Fault{QStringLiteral("write"), 20, 2} << 2 << 0 << driver
                                    << noLink << "" << 0;
            *row("a failed commit") << policy.before << Send::Differing << "7" << "8" << 1
                                    << EmulatorImage::Fault{QStringLiteral("commit")} << 2 << 1 << driver << noLink
                                    << "" << 0;
            *row("a value the field cannot hold")
                << policy.before << Send::Differing << "7" << "300" << 1 << none << 0 << 0 << refused << tooBig << "" << 0;
            *row("a cell changed since it was read")
                << policy.before << Send::Differing << "7" << "8" << 5 << none << 2 << 1 << ok << "" << changed << 2;
        }
    }

    void write()
    {
        QFETCH(Before, before);
        QFETCH(Send, send);
        QFETCH(QString, value11);
        QFETCH(QString, value21);
        QFETCH(int, registerValue11);
        QFETCH(EmulatorImage::Fault, fault);
        QFETCH(int, writes);
        QFETCH(int, commits);
        QFETCH(int, failure);
        QFETCH(QString, message);
        QFETCH(QString, changedSince);
        QFETCH(int, journaled);

        EmulatorImage image;
        image.addTable(20, {{1}, {1}}, 3);
        for (int r = 1; r <= 3; ++r) {
            for (int f = 1; f <= 2; ++f)
                image.setCell(20, r, f, QByteArray::fromHex("01"));
        }
        image.setCell(20, 1, 1, QByteArray(1, char(registerValue11)));
        if (!fault.call.isEmpty())
            image.addFault(fault);
        const QString path = image.install(*m_dir, true);

        const TableInfo table = firstTable();
        const DataRows tabRead = heldRows(); // what the tab read, before the register changed
        DataRows rows = tabRead;
        rows[0][0] = Cell(value11.toUtf8(), true);
        rows[0][1] = Cell("1", true);
        rows[1][0] = Cell(value21.toUtf8(), true);
        const JournalFolder journalFolder(m_dir->filePath(QStringLiteral("journal")));
        unsigned cellCount = 0;
        {
            RegisterSession session(KKT_Logic::instance());
            session.open();
            JournalSession journal(QStringLiteral("vescor"), session.identity(), journalFolder);
            DataRows readInRun;
            if (before == Before::RowsRead) {
                unsigned cells = 0;
                readInRun = TableReader::read(session.link(), table, cells);
            }
            QFile::remove(EmulatorImage::tracePath(*m_dir));

            TableWriteRun run(session.link(), table, rows);
            if (before == Before::RowsRead)
                run.useRead(readInRun);
            else
                run.read(before);
            QCOMPARE(TableWriteRun::describe(table, run.changedSince(tabRead)), changedSince);
            ProgressReporter progress;
            try {
                run.write(journal, send, cellCount, progress);
                QCOMPARE(failure, ok);
            } catch (const FlowFailure& error) {
                QCOMPARE(int(error.kind()), failure);
                QVERIFY2(error.message().startsWith(message), qPrintable(error.message()));
            }
        }
        QCOMPARE(traced("write"), writes);
        QCOMPARE(traced("commit"), commits);
        if (before == Before::WrittenCells)
            QCOMPARE(traced("read"), 3); // one request per cell of a table not read by rows
        if (before == Before::RowsRead)
            QCOMPARE(traced("read"), 0);

        const EmulatorImage stored = EmulatorImage::fromFile(path);
        const bool written = failure == ok;
        QCOMPARE(stored.cell(20, 1, 1), written ? QByteArray(1, char(value11.toInt())) : QByteArray(1, char(registerValue11)));
        QCOMPARE(stored.cell(20, 2, 1), written ? QByteArray(1, char(value21.toInt())) : QByteArray::fromHex("01"));
        QCOMPARE(cellCount, written ? 3u : 0u);
        QCOMPARE(rows[0][0].changed, !written);
        QCOMPARE(rows[1][0].changed, !written);
        int cells = 0;
        for (const RecordedWrite& write : journalFolder.writes()) {
            for (const JournalRecord& record : write.tables)
                cells += record.cells.size();
        }
        QCOMPARE(cells, journaled);
    }
    // A commit that reports failure may still have stored the table: the
    // message says the outcome is unknown, and the journal keeps the cells as
    // an intent never confirmed, the table's marks kept for another write.
    void commitOfUnknownOutcome_data()
    {
        QTest::addColumn<QString>("stage");     // of the commit's fault
        QTest::addColumn<QString>("value11");   // written to row 1 field 1, held: 1
        QTest::addColumn<bool>("journalBlocked");
        QTest::addColumn<bool>("stored");       // the register took the table
        QTest::addColumn<QString>("outcome");   // what the message adds to the driver's; empty: nothing
        QTest::addColumn<int>("unconfirmed");   // cells journaled so
        const QString told = QStringLiteral("Исход записи таблицы 20 (Первая) неизвестен: таблица могла быть записана. "
                                            "В журнале изменений она отмечена: «таблица могла быть записана».");
        const QString notJournaled = QStringLiteral("Исход записи таблицы 20 (Первая) неизвестен: таблица могла быть "
                                                    "записана. В журнал изменений она не записана.");
        QTest::newRow("refused") << "" << "7" << false << false << told << 1;
        QTest::newRow("stored, told failed") << "after-rename" << "7" << false << true << told << 1;
        QTest::newRow("stopped before the rename") << "rename" << "7" << false << false << told << 1;
        QTest::newRow("stored, journal unwritable") << "after-rename" << "7" << true << true << notJournaled << 0;
        QTest::newRow("nothing to change") << "after-rename" << "1" << false << false << "" << 0;
    }

    void commitOfUnknownOutcome()
    {
        QFETCH(QString, stage);
        QFETCH(QString, value11);
        QFETCH(bool, journalBlocked);
        QFETCH(bool, stored);
        QFETCH(QString, outcome);
        QFETCH(int, unconfirmed);

        EmulatorImage image;
        image.addTable(20, {{1}, {1}}, 3);
        for (int r = 1; r <= 3; ++r) {
            for (int f = 1; f <= 2; ++f)
                image.setCell(20, r, f, QByteArray::fromHex("01"));
        }
        EmulatorImage::Fault fault{QStringLiteral("commit")};
        fault.stage = stage;
        image.addFault(fault);
        const QString path = image.install(*m_dir, true);
        const QString folder = m_dir->filePath(QStringLiteral("journal"));
        if (journalBlocked)
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        const JournalFolder journalFolder(folder);

        DataRows rows = heldRows();
        rows[0][0] = Cell(value11.toUtf8(), true);
        QString message;
        QStringList warnings;
        {
            RegisterSession session(KKT_Logic::instance());
            session.open();
            JournalSession journal(QStringLiteral("vescor"), session.identity(), journalFolder);
            TableWriteRun run(session.link(), firstTable(), rows);
            run.read(Before::WrittenCells);
            ProgressReporter progress;
            unsigned cellCount = 0;
            try {
                run.write(journal, Send::Marked, cellCount, progress);
            } catch (const FlowFailure& error) {
                QCOMPARE(error.kind(), FlowFailure::DriverFailed);
                message = error.message();
            }
            QCOMPARE(cellCount, 0u);
            warnings = journal.warnings();
        }
        const QString driverText = QStringLiteral("Ошибка - 2 [Нет связи]");
        QCOMPARE(message, outcome.isEmpty() ? driverText : driverText + QLatin1Char('\n') + outcome);
        QCOMPARE(warnings.size(), journalBlocked ? 1 : 0);
        QVERIFY(rows[0][0].changed);
        QCOMPARE(EmulatorImage::fromFile(path).cell(20, 1, 1), stored ? QByteArray::fromHex("07") : QByteArray::fromHex("01"));
        int cells = 0;
        for (const RecordedWrite& write : journalFolder.writes()) {
            QCOMPARE(write.tables.size(), 0);
            for (const JournalRecord& record : write.unconfirmed)
                cells += record.cells.size();
        }
        QCOMPARE(cells, unconfirmed);
    }
};

VESCOR_TEST(TableWriteRunTest)

#include "tst_TableWriteRun.moc"
