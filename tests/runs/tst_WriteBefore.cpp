#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "device/ProgressReporter.h"
#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"
#include "flows/FlowFailure.h"
#include "flows/ImportFiles.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "journal/JournalFolder.h"
#include "runs/JournalRevert.h"
#include "journal/JournalSession.h"
#include "runs/ImportRuns.h"
#include "runs/TableWriteRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using Place = QPair<int, int>; // data row, cell

QString realDriverPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libtillo10.so");
}

// The default register with a commodity base of four goods.
EmulatorImage smallRegister()
{
    EmulatorImage image = EmulatorImage::defaultImage();
    image.setRowCount(1, 4);
    return image;
}

const TableInfo& tableOf(const RegisterSession& session, unsigned number)
{
    for (const TableInfo& table : session.tables()) {
        if (table.id == number)
            return table;
    }
    qFatal("no table %u", number);
}

JournalRecord::CellChange change(unsigned row, int field, const QByteArray& before, const QByteArray& after)
{
    return {row, field, QString(), before, after};
}

} // namespace

Q_DECLARE_METATYPE(QVector<Place>)
Q_DECLARE_METATYPE(ImportFiles::RegisterRead)
Q_DECLARE_METATYPE(DataRows)
Q_DECLARE_METATYPE(QVector<JournalRecord::CellChange>)

// What a write reads of the register before it sends anything, and what
// the import and the revert check against the register before they write.
class WriteBeforeTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RegisterSession> m_session;

    void open(const EmulatorImage& image)
    {
        QVERIFY(image.isValid());
        image.install(*m_dir, true);
        m_session = std::make_unique<RegisterSession>(KKT_Logic::instance());
        m_session->openWithDescription();
        clearTrace();
    }

    void clearTrace() { QFile::remove(EmulatorImage::tracePath(*m_dir)); }

    int traced(const QString& call) const
    {
        return EmulatorImage::traceLines(*m_dir).filter(QRegExp(QStringLiteral("^%1[ -]").arg(call))).size();
    }

    DataRows readTable(unsigned number)
    {
        unsigned cells = 0;
        return TableReader::read(m_session->link(), tableOf(*m_session, number), cells);
    }

private slots:
    void initTestCase()
    {
        if (!DriverLibrary::instance().isLoaded())
            QVERIFY2(DriverLibrary::instance().loadFrom(realDriverPath()), qPrintable(DriverLibrary::instance().loadError()));
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
        m_session.reset();
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    // The cells to be written are read, and nothing else: whole rows of a
    // table read by rows, single cells otherwise; never more requests than
    // the write sends cells. The values read are the register's.
    void readsOnlyTheCellsWritten_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<QVector<Place>>("marked");
        QTest::addColumn<int>("reads");
        QTest::newRow("rows of a table read by rows") << 1u << QVector<Place>{{0, 0}, {0, 1}, {0, 6}, {2, 2}} << 2;
        QTest::newRow("one row of a table read by rows") << 1u << QVector<Place>{{3, 7}} << 1;
        QTest::newRow("db cells") << 6u << QVector<Place>{{0, 0}, {0, 1}, {3, 1}} << 3;
        QTest::newRow("one record") << 2u << QVector<Place>{{0, 0}, {0, 9}} << 2;
        QTest::newRow("a field per row") << 4u << QVector<Place>{{4, 0}} << 1;
        QTest::newRow("nothing marked") << 7u << QVector<Place>{} << 0;
    }

    void readsOnlyTheCellsWritten()
    {
        QFETCH(unsigned, table);
        QFETCH(QVector<Place>, marked);
        QFETCH(int, reads);
        open(smallRegister());
        const TableInfo& info = tableOf(*m_session, table);
        const DataRows read = readTable(table);
        DataRows rows = read;
        for (const Place& place : marked)
            rows[place.first][place.second].changed = true;

        clearTrace();
        TableWriteRun run(m_session->link(), info, rows);
        run.read(TableWriteRun::Before::WrittenCells);
        const DataRows before = run.registerRows();
        QCOMPARE(traced("read"), reads);
        for (const Place& place : marked) {
            const int i = RegisterAddress(info, before).dataRow(RegisterAddress(info, rows).registerRow(place.first));
            QVERIFY(i >= 0);
            QCOMPARE(before.at(i).at(place.second).value, read.at(place.first).at(place.second).value);
        }
        QVERIFY(run.changedSince(read).isEmpty());

        unsigned written = 0;
        ProgressReporter progress;
        JournalSession journal(QStringLiteral("vescor"), m_session->identity(), JournalFolder(m_dir->filePath("journal")));
        run.write(journal, TableWriteRun::Send::Marked, written, progress);
        QCOMPARE(written, unsigned(marked.size()));
        QVERIFY(traced("read") <= traced("write"));
        // Written with the values they held: counted, not journaled.
        QVERIFY(journal.journal().writes().isEmpty());
    }

    // A read that fails stops the write before anything is sent, with the driver's message.
    void failedReadStopsTheWrite_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<QString>("label"); // of the marked db row
        QTest::addColumn<bool>("linkFails");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("no link, by rows") << 1u << "2" << true << int(FlowFailure::DriverFailed)
                                          << "Запись не начата: не удалось прочитать из ККТ ряд 2 таблицы 1 (База "
                                             "товаров): Ошибка - 2 [Нет связи]";
        QTest::newRow("no link, by cells") << 7u << "1" << true << int(FlowFailure::DriverFailed)
                                           << "Запись не начата: не удалось прочитать из ККТ ряд 1 таблицы 7 (Отделы): "
                                              "Ошибка - 2 [Нет связи]";
        QTest::newRow("row beyond the register's table")
            << 1u << "5" << false << int(FlowFailure::Refused) << "в ККТ нет ряда 5 таблицы 1 (База товаров)";
        QTest::newRow("row beyond, by cells")
            << 7u << "301" << false << int(FlowFailure::Refused) << "в ККТ нет ряда 301 таблицы 7 (Отделы)";
    }

    void failedReadStopsTheWrite()
    {
        QFETCH(unsigned, table);
        QFETCH(QString, label);
        QFETCH(bool, linkFails);
        QFETCH(int, kind);
        QFETCH(QString, message);
        EmulatorImage image = smallRegister();
        open(image);
        DataRows rows = readTable(table);
        rows.resize(1);
        rows[0].last().value = label.toUtf8();
        rows[0][0].changed = true;
        if (linkFails) {
            m_session.reset();
            image.addFault({QStringLiteral("read"), int(table)});
            open(image);
        }
        // A check of the rows alone fails as the read of their values does.
        for (const bool rowsOnly : {false, true}) {
            try {
                TableWriteRun run(m_session->link(), tableOf(*m_session, table), rows);
                if (rowsOnly)
                    run.checkRows();
                else
                    run.read(TableWriteRun::Before::WrittenCells);
                QFAIL("the read did not fail");
            } catch (const FlowFailure& failure) {
                QCOMPARE(int(failure.kind()), kind);
                QCOMPARE(failure.message(), message);
            }
        }
        QCOMPARE(traced("write"), 0);
    }

    // The rows alone are checked with a few requests, however many the file
    // writes, and the first row the register lacks is the one named.
    void checkRowsSearchesForTheEnd_data()
    {
        QTest::addColumn<QList<int>>("labels"); // of the marked goods rows, in file order; below 0, its label alone marked
        QTest::addColumn<int>("missing");       // the row named; 0: none
        QTest::addColumn<int>("mostReads");
        QList<int> all;
        for (int label = 1; label <= 1000; ++label)
            all << label;
        QTest::newRow("every row held") << all << 0 << 1;
        QTest::newRow("three rows beyond") << (all + QList<int>{1001, 1002, 1003}) << 1001 << 11;
        QTest::newRow("out of order, one far beyond") << QList<int>{700, 5000, 5, 1001} << 1001 << 3;
        QTest::newRow("a row twice") << QList<int>{1001, 3, 1001} << 1001 << 2;
        QTest::newRow("out of order, every row held") << QList<int>{700, 5, 1000, 1} << 0 << 1;
        QTest::newRow("in order, a row twice") << QList<int>{1, 1, 999, 1000, 1000} << 0 << 1;
        QTest::newRow("out of order, a row twice, one beyond") << QList<int>{1002, 7, 1002, 7} << 1002 << 2;
        QTest::newRow("nothing marked") << QList<int>{} << 0 << 0;
        // A row whose label alone is marked writes nothing: its row is not asked for.
        QTest::newRow("a row beyond with its label alone marked") << QList<int>{5, -1003, 1000} << 0 << 1;
        QTest::newRow("the last row with its label alone marked") << QList<int>{5, 1002, -1003} << 1002 << 2;
    }

    void checkRowsSearchesForTheEnd()
    {
        QFETCH(QList<int>, labels);
        QFETCH(int, missing);
        QFETCH(int, mostReads);
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 1000);
        open(image);
        const DataRow goods = readTable(1).first();
        DataRows rows;
        for (const int label : labels) {
            DataRow row = goods;
            if (label > 0)
                row[1] = Cell("Хлеб", true);
            row.last() = Cell(QByteArray::number(qAbs(label)), label < 0);
            rows << row;
        }

        clearTrace();
        try {
            TableWriteRun(m_session->link(), tableOf(*m_session, 1), rows).checkRows();
            QCOMPARE(missing, 0);
        } catch (const FlowFailure& failure) {
            QCOMPARE(failure.message(), TableWriteRun::missingRow(tableOf(*m_session, 1), unsigned(missing)));
        }
        QVERIFY2(traced("read") <= mostReads, qPrintable(QString::number(traced("read"))));
    }

    // Cells the register holds otherwise than the tab read are named; the
    // ones it still holds, and the ones never read, are not.
    void changedSince_data()
    {
        QTest::addColumn<DataRows>("rows");
        QTest::addColumn<DataRows>("readRows");
        QTest::addColumn<DataRows>("before");
        QTest::addColumn<QString>("named");
        const DataRows read{{{"1000"}, {"НДС"}, {"0"}, {"1"}}, {{"2000"}, {"НДС 20%"}, {"0"}, {"3"}}};
        QTest::newRow("same") << DataRows{{{"1000"}, {"Х", true}, {"0"}, {"1"}}} << read << read << "";
        QTest::newRow("changed since, found by label")
            << DataRows{{{"2200", true}, {"НДС 20%"}, {"0"}, {"3"}}} << read
            << DataRows{{{"2100"}, {""}, {""}, {"3"}}}
            << "Таблица 6 (Налоговые ставки), ряд 3, поле 1 (Ставка, %): прочитано «20.00», в ККТ сейчас «21.00»";
        QTest::newRow("not read by the tab")
            << DataRows{{{"1000", true}, {"НДС"}, {"0"}, {"9"}}} << read << DataRows{{{"5"}, {""}, {""}, {"9"}}} << "";
        QTest::newRow("unmarked cell changed")
            << DataRows{{{"1000"}, {"НДС"}, {"0"}, {"1"}}} << read << DataRows{{{"7"}, {"?"}, {"0"}, {"1"}}} << "";
    }

    void changedSince()
    {
        QFETCH(DataRows, rows);
        QFETCH(DataRows, readRows);
        QFETCH(DataRows, before);
        QFETCH(QString, named);
        TableInfo table;
        table.id = 6;
        table.name = QStringLiteral("Налоговые ставки");
        table.type = Db;
        table.fields = {FieldInfo(QStringLiteral("Ставка, %"), QStringLiteral("bin2"), QStringLiteral("money")),
                        FieldInfo(QStringLiteral("Наименование налога"), QStringLiteral("string866"), QStringLiteral("string")),
                        FieldInfo(QStringLiteral("Зарезервировано"), QStringLiteral("bin1"), QStringLiteral("int"))};
        TableWriteRun run(KKT_Logic::instance().link(), table, rows);
        run.useRead(before);
        QCOMPARE(TableWriteRun::describe(table, run.changedSince(readRows)), named);
    }

    // Every file's rows are checked against the register's before anything is
    // written: where a table is read whole and where only the cells to write are.
    void importChecksTheRegistersRows_data()
    {
        QTest::addColumn<QString>("secondLabel"); // of the second file's one goods row
        QTest::addColumn<ImportFiles::RegisterRead>("what");
        QTest::addColumn<QString>("refusal");
        const QString missing = QStringLiteral("goods.csv: в ККТ нет ряда 5 таблицы 1 (База товаров)");
        using Read = ImportFiles::RegisterRead;
        QTest::newRow("rows held, cells read") << "4" << Read::WrittenCells << "";
        QTest::newRow("rows held, tables read") << "4" << Read::WholeTables << "";
        QTest::newRow("rows held, rows only") << "4" << Read::RowsOnly << "";
        QTest::newRow("row beyond, cells read") << "5" << Read::WrittenCells << missing;
        QTest::newRow("row beyond, tables read") << "5" << Read::WholeTables << missing;
        QTest::newRow("row beyond, rows only") << "5" << Read::RowsOnly << missing;
    }

    void importChecksTheRegistersRows()
    {
        QFETCH(QString, secondLabel);
        QFETCH(ImportFiles::RegisterRead, what);
        QFETCH(QString, refusal);
        open(smallRegister());
        ImportFiles::File taxes{QStringLiteral("taxes.csv"), tableOf(*m_session, 6), readTable(6)};
        taxes.rows[0][0] = Cell("1800", true);
        ImportFiles::File goods{QStringLiteral("goods.csv"), tableOf(*m_session, 1), readTable(1).mid(3, 1)};
        goods.rows[0].last().value = secondLabel.toUtf8();
        goods.rows[0][1].changed = true;

        clearTrace();
        try {
            const QVector<DataRows> read = ImportRuns::readRegister(m_session->link(), {taxes, goods}, what);
            QVERIFY2(refusal.isEmpty(), "the file was not refused");
            QCOMPARE(read.size(), 2);
            if (what == ImportFiles::RegisterRead::RowsOnly)
                QCOMPARE(read, QVector<DataRows>(2));
            else
                QCOMPARE(read.at(0).at(0).at(0).value, QByteArray("2000"));
        } catch (const FlowFailure& failure) {
            QCOMPARE(failure.message(), refusal);
            QCOMPARE(int(failure.kind()), int(FlowFailure::Refused));
            QCOMPARE(failure.places().size(), 1);
            QCOMPARE(failure.places().first().file, QStringLiteral("goods.csv"));
        }
        QCOMPARE(traced("write"), 0);
        if (what != ImportFiles::RegisterRead::WholeTables)
            QCOMPARE(traced("read"), 2);
    }

    // A revert checks every value it would put back before it writes any:
    // one that cannot be written refuses the whole revert, dry run or not.
    void revertChecksEveryValueFirst_data()
    {
        QTest::addColumn<QVector<JournalRecord::CellChange>>("headerCells"); // of the second table, 4
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<QString>("refusal");
        const QVector<JournalRecord::CellChange> good{change(2, 1, "Добро пожаловать", "")};
        const QVector<JournalRecord::CellChange> schwa{change(2, 1, "Әлем", "")};
        const QString refused = QStringLiteral(
            "Запись w1 не возвращена, в ККТ ничего не записано:\nтаблица 4, ряд 2, поле 1: значение «Әлем» нельзя "
            "записать: символ \"Ә\" не может быть сохранён в ККТ: его нет во внутренней кодировке ККТ");
        QTest::newRow("all good") << good << false << "";
        QTest::newRow("all good, dry run") << good << true << "";
        QTest::newRow("a character the register lacks") << schwa << false << refused;
        QTest::newRow("a character the register lacks, dry run") << schwa << true << refused;
    }

    void revertChecksEveryValueFirst()
    {
        QFETCH(QVector<JournalRecord::CellChange>, headerCells);
        QFETCH(bool, dryRun);
        QFETCH(QString, refusal);
        open(smallRegister());
        const DataRows taxes = readTable(6);
        const DataRows header = readTable(4);
        for (JournalRecord::CellChange& cell : headerCells)
            cell.after = header.at(int(cell.row) - 1).at(0).value;

        RecordedWrite write;
        JournalRecord record;
        record.writeId = QStringLiteral("w1");
        record.serialNumber = m_session->identity().serialNumber;
        record.tableNumber = 6;
        record.cells = {change(1, 1, "1800", taxes.at(0).at(0).value)};
        write.tables << record;
        record.tableNumber = 4;
        record.cells = headerCells;
        write.tables << record;

        clearTrace();
        JournalSession journal(QStringLiteral("vescor-cli"), m_session->identity(),
                               JournalFolder(m_dir->filePath("journal")));
        ProgressReporter progress;
        try {
            const JournalRevert::Result result = JournalRevert::run(write, *m_session, journal, dryRun, progress);
            QVERIFY2(refusal.isEmpty(), "the revert was not refused");
            QCOMPARE(result.cellsWritten, 2u);
            QCOMPARE(result.tablesWritten, 2u);
            QCOMPARE(traced("commit"), dryRun ? 0 : 2);
        } catch (const FlowFailure& failure) {
            QCOMPARE(int(failure.kind()), int(FlowFailure::Refused));
            QCOMPARE(failure.message(), refusal);
            QCOMPARE(traced("write"), 0);
        }
    }
};

VESCOR_TEST(WriteBeforeTest)

#include "tst_WriteBefore.moc"
