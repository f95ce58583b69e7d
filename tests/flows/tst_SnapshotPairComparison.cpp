#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/RegisterWrite.h"
#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/SnapshotPairComparison.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"
#include "runs/RegisterSnapshot.h"
#include "snapshot/SnapshotReader.h"
#include "snapshot/SnapshotWriter.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Three cells in two tables: the cash desk number and two tax rates (21% and 11%).
const QList<RawCell> ThreeChanges = {
    {2, 1, 1, QByteArray::fromHex("07")},
    {6, 1, 1, QByteArray::fromHex("0834")},
    {6, 2, 1, QByteArray::fromHex("044c")},
};

} // namespace

Q_DECLARE_METATYPE(QList<RawCell>)
Q_DECLARE_METATYPE(QList<CellKey>)

// Two snapshot files compared with each other: exactly the cells that differ,
// with both values and their places in both files' rows; tables that one file
// lacks or that two models describe otherwise are named, not compared.
class SnapshotPairComparisonTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString file(const QString& name) const { return m_dir->filePath(name); }

    // The register's tables of those numbers into a snapshot; the manifest's
    // model and table 2's description changed when asked.
    void save(const QString& path, const QList<unsigned>& numbers, int model = 0, bool otherDescription = false)
    {
        RegisterSession session(KKT_Logic::instance());
        QList<TableInfo> chosen;
        for (const TableInfo& table : session.openWithDescription()) {
            if (numbers.contains(table.id))
                chosen << table;
        }
        if (model == 0) {
            RegisterSnapshot::save(path, session, chosen, QStringLiteral("test"));
            return;
        }
        SnapshotManifest head;
        head.identity = session.identity();
        head.identity.modelCode = model;
        head.configuration = session.configurationVersion();
        SnapshotWriter writer(path, head);
        for (TableInfo table : chosen) {
            unsigned cells = 0;
            const DataRows rows = TableReader::read(session.link(), table, cells);
            if (otherDescription && table.id == 2)
                table.fields.last().m_name += QStringLiteral(" (иначе)");
            writer.addTable(table, rows, cells);
        }
        writer.finish();
    }

    SnapshotPairComparison::Result compare(const QString& first, const QString& second, bool otherModel = false,
                                           const SnapshotPairComparison::TableCompared& compared = {})
    {
        SnapshotReader a(first);
        SnapshotReader b(second);
        return SnapshotPairComparison::compare(a, b, KKT_Logic::charsets(), otherModel, compared);
    }

private slots:
    void initTestCase() { KKT_Logic::instance().connect(); }
    void cleanupTestCase() { KKT_Logic::instance().destroy(); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        EmulatorImage::defaultImage().install(*m_dir);
        QVERIFY(writeRawCells({{2, 1, 1, QByteArray::fromHex("01")}}));
    }

    void cleanup()
    {
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    void differingCells_data()
    {
        QTest::addColumn<QList<RawCell>>("changes");
        QTest::addColumn<QList<unsigned>>("secondTables");
        QTest::addColumn<QList<CellKey>>("cells");
        QTest::addColumn<int>("onlyInOne");
        const QList<unsigned> both = {1, 2, 6};
        QTest::newRow("three cells in two tables")
            << ThreeChanges << both << QList<CellKey>{{2, 1, 1}, {6, 1, 1}, {6, 2, 1}} << 0;
        QTest::newRow("the same register twice") << QList<RawCell>{} << both << QList<CellKey>{} << 0;
        QTest::newRow("a cell of the commodity base")
            << QList<RawCell>{{1, 2, 6, QByteArray::fromHex("03")}} << both << QList<CellKey>{{1, 2, 6}} << 0;
        QTest::newRow("a table only in the first") << ThreeChanges << QList<unsigned>{1, 6}
                                                   << QList<CellKey>{{6, 1, 1}, {6, 2, 1}} << 1;
        QTest::newRow("tables only in the second") << QList<RawCell>{} << QList<unsigned>{1, 2, 4, 6, 7}
                                                   << QList<CellKey>{} << 2;
    }

    void differingCells()
    {
        QFETCH(QList<RawCell>, changes);
        QFETCH(QList<unsigned>, secondTables);
        QFETCH(QList<CellKey>, cells);
        QFETCH(int, onlyInOne);
        save(file("a.zip"), {1, 2, 6});
        if (!changes.isEmpty())
            QVERIFY(writeRawCells(changes));
        save(file("b.zip"), secondTables);

        QList<CellKey> found;
        const SnapshotPairComparison::Result result = compare(
            file("a.zip"), file("b.zip"), false,
            [&](const TableInfo& table, const DataRows& firstRows, const DataRows& secondRows,
                const SnapshotPairComparison::TableDifferences& differences) {
                for (const SnapshotPairComparison::Cell& cell : differences.cells) {
                    found << CellKey{table.id, int(cell.registerRow), cell.fieldNumber};
                    // Each value is the one at the cell's place in its file's rows.
                    QVERIFY(cell.firstRow >= 0 && cell.secondRow >= 0);
                    QCOMPARE(cell.firstText, TableComparison::fileBytes(table, cell.fieldIndex,
                                                                        firstRows.at(cell.firstRow).at(cell.column).value));
                    QCOMPARE(cell.secondText,
                             TableComparison::fileBytes(table, cell.fieldIndex,
                                                        secondRows.at(cell.secondRow).at(cell.column).value));
                    QVERIFY(cell.firstText != cell.secondText);
                }
            });
        std::sort(found.begin(), found.end());
        QCOMPARE(found, cells);
        QCOMPARE(result.differenceCount(), cells.size());
        QCOMPARE(result.onlyInOne.size(), onlyInOne);
        QCOMPARE(result.same(), cells.isEmpty() && onlyInOne == 0);
        QVERIFY(result.skipped.isEmpty());
        if (QByteArray(QTest::currentDataTag()) == "three cells in two tables") {
            const SnapshotPairComparison::Cell& rate = result.tables.last().cells.first();
            QCOMPARE(rate.firstText, QByteArray("20.00"));
            QCOMPARE(rate.secondText, QByteArray("21.00"));
        }
    }

    // Snapshots of two models: refused unless allowed, and then only the
    // tables described alike are compared, the others named.
    void twoModels_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("otherDescription");
        QTest::addColumn<int>("compared");
        QTest::addColumn<QStringList>("skipped");
        QTest::newRow("not allowed") << false << false << -1 << QStringList{};
        QTest::newRow("described alike") << true << false << 2 << QStringList{};
        QTest::newRow("one table described otherwise")
            << true << true << 1
            << QStringList{QStringLiteral("таблица 2 (Режимы работы): описание таблицы в моделях 57 и 58 разное")};
    }

    void twoModels()
    {
        QFETCH(bool, allowed);
        QFETCH(bool, otherDescription);
        QFETCH(int, compared);
        QFETCH(QStringList, skipped);
        save(file("a.zip"), {2, 6});
        QVERIFY(writeRawCells(ThreeChanges));
        save(file("b.zip"), {2, 6}, 58, otherDescription);
        try {
            const SnapshotPairComparison::Result result = compare(file("a.zip"), file("b.zip"), allowed);
            QVERIFY(allowed);
            QCOMPARE(result.tables.size(), compared);
            QCOMPARE(result.skipped, skipped);
            QCOMPARE(result.differenceCount(), otherDescription ? 2 : 3);
        } catch (const FlowFailure& failure) {
            QVERIFY(!allowed);
            QCOMPARE(failure.kind(), FlowFailure::Refused);
            QVERIFY2(failure.message().contains(QStringLiteral("разных моделей")), qPrintable(failure.message()));
            QVERIFY(failure.message().contains(QStringLiteral("--other-model")));
        }
    }
};

VESCOR_TEST(SnapshotPairComparisonTest)
#include "tst_SnapshotPairComparison.moc"
