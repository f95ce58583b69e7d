#include "support/EmulatorImage.h"
#include "support/FileSizeLimit.h"
#include "support/RegisterCells.h"
#include "support/RegisterWrite.h"
#include "support/SteppingClock.h"
#include "support/TestMain.h"

#include "device/KKT_Logic.h"
#include "device/RegisterAddress.h"
#include "device/ProgressReporter.h"
#include "exchange/ImportLimits.h"
#include "flows/FlowFailure.h"
#include "journal/JournalFolder.h"
#include "flows/RegisterSession.h"
#include "runs/RegisterSnapshot.h"
#include "flows/TableReader.h"
#include "journal/JournalSession.h"
#include "snapshot/SnapshotReader.h"
#include "snapshot/SnapshotWriter.h"

#include "common/Errors.h"

#include <KZip>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <functional>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <memory>

namespace {

const QString Serial = QStringLiteral("0057000001");

// Three cells in two tables: the cash desk number and two tax rates (21% and 11%).
const QList<RawCell> ThreeChanges = {
    {2, 1, 1, QByteArray::fromHex("07")},
    {6, 1, 1, QByteArray::fromHex("0834")},
    {6, 2, 1, QByteArray::fromHex("044c")},
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The archive with one byte of an entry's compressed data changed.
QByteArray damagedEntry(QByteArray zip, const QByteArray& entryName)
{
    const int name = zip.indexOf(entryName); // the first is the entry's local header
    const int header = name - 30;
    const int extra = uchar(zip.at(header + 28)) | uchar(zip.at(header + 29)) << 8;
    zip[name + entryName.size() + extra + 2] = char(zip.at(name + entryName.size() + extra + 2) ^ 0x55);
    return zip;
}

// The archive with the uncompressed size of an entry, as its local and its
// central header declare it, replaced.
QByteArray declaredSize(QByteArray zip, const QByteArray& entryName, quint32 size)
{
    const auto put = [&zip, size](int at) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = char((size >> (8 * i)) & 0xff);
    };
    const int local = zip.indexOf(entryName);
    const int central = zip.indexOf(entryName, local + 1);
    put(local - 30 + 22);
    put(central - 46 + 24);
    return zip;
}

// The manifest of the snapshot at path with its list of tables replaced.
QByteArray manifestWithTables(const QString& path, const QJsonValue& tables)
{
    QJsonObject manifest = QJsonDocument::fromJson(SnapshotReader(path).manifest().toJson()).object();
    if (tables.isUndefined())
        manifest.remove(QStringLiteral("tables"));
    else
        manifest.insert(QStringLiteral("tables"), tables);
    return QJsonDocument(manifest).toJson();
}

QByteArray zipWith(const QString& dir, const QString& entry, const QByteArray& content)
{
    const QString path = dir + QStringLiteral("/made.zip");
    KZip zip(path);
    if (!zip.open(QIODevice::WriteOnly) || !zip.writeFile(entry, content) || !zip.close())
        return QByteArray();
    return readFile(path);
}

QList<CellKey> keysOf(const RegisterSnapshot::Comparison& comparison)
{
    QList<CellKey> keys;
    for (const RegisterSnapshot::TableDifferences& table : comparison.tables) {
        for (const TableComparison::CellPair& cell : table.cells)
            keys << CellKey{table.table.id, int(cell.registerRow), cell.fieldNumber};
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

QList<CellKey> readOnlyKeysOf(const RegisterSnapshot::Comparison& comparison)
{
    QList<CellKey> keys;
    for (const RegisterSnapshot::TableDifferences& table : comparison.tables) {
        for (const TableComparison::CellPair& cell : table.readOnly)
            keys << CellKey{table.table.id, int(cell.registerRow), cell.fieldNumber};
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

QList<CellKey> keysOf(const QList<RawCell>& cells)
{
    QList<CellKey> keys;
    for (const RawCell& cell : cells)
        keys << CellKey{cell.table, cell.row, cell.field};
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Asks to stop when the write shows the text given ("Налоговые ставки: строка 0"):
// every pace point is due, so each text is shown.
class StopAtText : public ProgressReporter
{
public:
    explicit StopAtText(const QString& text) : ProgressReporter(everyPoint()), m_text(text) {}
    void setText(const QString& text) override
    {
        if (text.startsWith(m_text) && text.contains(QStringLiteral("записано ячеек")))
            requestCancel();
    }

private:
    static const Clock& everyPoint()
    {
        static const SteppingClock clock(ProgressReporter::UpdateInterval);
        return clock;
    }
    QString m_text;
};

} // namespace

Q_DECLARE_METATYPE(QList<RawCell>)
Q_DECLARE_METATYPE(QList<CellKey>)
Q_DECLARE_METATYPE(QVector<unsigned>)
Q_DECLARE_METATYPE(QList<unsigned>)

// Snapshots of the emulated register: the file refuses damage, the comparison
// finds exactly the changed cells, and a restore brings the register back,
// checked whole first, journaled, with the register before it kept.
class RegisterSnapshotTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_image;
    RegisterCells m_saved;

    QString file(const QString& name) const { return m_dir->filePath(name); }

    // The tables of numbers (all when empty) read into a snapshot at path; edit
    // changes its manifest, otherDescription the description of table 2.
    void save(const QString& path, const QList<unsigned>& numbers = {},
              const std::function<void(SnapshotManifest&)>& edit = {}, bool otherDescription = false)
    {
        RegisterSession session(KKT_Logic::instance());
        const QList<TableInfo> tables = session.openWithDescription();
        QList<TableInfo> chosen;
        for (const TableInfo& table : tables) {
            if (numbers.isEmpty() || numbers.contains(table.id))
                chosen << table;
        }
        if (!edit && !otherDescription) {
            RegisterSnapshot::save(path, session, chosen, QStringLiteral("test"));
            return;
        }
        SnapshotManifest head;
        head.identity = session.identity();
        if (edit)
            edit(head);
        SnapshotWriter writer(path, head);
        for (TableInfo table : chosen) {
            unsigned cells = 0;
            const DataRows rows = TableReader::read(session.link(), table, cells);
            if (otherDescription && table.id == 2)
                table.fields.removeLast();
            writer.addTable(table, rows, cells);
        }
        writer.finish();
    }

    // Every table of the register as read now, by number.
    QHash<unsigned, DataRows> readTables()
    {
        QHash<unsigned, DataRows> rows;
        RegisterSession session(KKT_Logic::instance());
        for (const TableInfo& table : session.openWithDescription()) {
            unsigned cells = 0;
            rows.insert(table.id, TableReader::read(session.link(), table, cells));
        }
        return rows;
    }

    RegisterSnapshot::Comparison compare(const QString& path, const RegisterSnapshot::Permissions& permissions = {})
    {
        SnapshotReader reader(path);
        RegisterSession session(KKT_Logic::instance());
        session.openWithDescription();
        return RegisterSnapshot::compare(reader, session, permissions);
    }

    // The snapshot at path with the file of table `number` edited, its digest made to match.
    static void editTable(const QString& path, unsigned number, const std::function<void(QByteArray&)>& edit)
    {
        SnapshotManifest manifest;
        QList<QByteArray> files;
        {
            SnapshotReader reader(path);
            manifest = reader.manifest();
            for (SnapshotManifest::Table& table : manifest.tables) {
                files << readFile(reader.extract(table, 1 << 22));
                if (table.number != number)
                    continue;
                edit(files.last());
                table.sha256 =
                    QString::fromLatin1(QCryptographicHash::hash(files.last(), QCryptographicHash::Sha256).toHex());
            }
        }
        KZip zip(path);
        QVERIFY(zip.open(QIODevice::WriteOnly));
        for (int k = 0; k < files.size(); ++k)
            QVERIFY(zip.writeFile(manifest.tables.at(k).file, files.at(k)));
        QVERIFY(zip.writeFile(QStringLiteral("manifest.json"), manifest.toJson()));
        QVERIFY(zip.close());
    }

    static QList<unsigned> tableNumbers(const QString& path)
    {
        const SnapshotReader reader(path);
        QList<unsigned> numbers;
        for (const SnapshotManifest::Table& table : reader.manifest().tables)
            numbers << table.number;
        return numbers;
    }

    RegisterSnapshot::Restore restore(const QString& path, const RegisterSnapshot::Permissions& permissions = {},
                                      bool dryRun = false, const QVector<unsigned>& tables = {})
    {
        SnapshotReader reader(path);
        RegisterSession session(KKT_Logic::instance());
        session.openWithDescription();
        JournalSession journal(QStringLiteral("test"), session.identity(), JournalFolder(file(QStringLiteral("journal"))));
        ProgressReporter progress;
        return RegisterSnapshot::restore(reader, session, journal, permissions, tables, dryRun,
                                         RegisterSnapshot::undoDirectory(file(QStringLiteral("journal"))), progress);
    }

private slots:
    void initTestCase() { KKT_Logic::instance().connect(); }
    void cleanupTestCase() { KKT_Logic::instance().destroy(); }

    // A register whose image is all hex, so that its cells compare one by one.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_image = EmulatorImage::defaultImage().install(*m_dir);
        QVERIFY(writeRawCells({{2, 1, 1, QByteArray::fromHex("01")}}));
        m_saved = registerCells(m_image);
    }

    void cleanup()
    {
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    // A damaged or foreign file is refused before anything of it is used,
    // the table at fault named.
    void damagedFileRefused_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("one byte of the tax table") << "6" << "таблица 6 (Налоговые ставки) повреждена";
        QTest::newRow("one byte of the modes table") << "2" << "таблица 2 (Режимы работы) повреждена";
        QTest::newRow("not an archive") << "text" << "это не архив ZIP";
        QTest::newRow("archive without manifest") << "no manifest" << "это не снимок ККТ: в архиве нет manifest.json";
        QTest::newRow("manifest of something else") << "foreign" << "не принадлежит снимку ККТ";
        QTest::newRow("table missing from the archive") << "missing table" << "таблица 2 (Режимы работы): в архиве нет файла 0057000001_2.csv";
        QTest::newRow("no such file") << "absent" << "файл не найден";
        QTest::newRow("a pipe in its place") << "pipe" << "это не обычный файл";
        const QString noList = QStringLiteral("в описании снимка нет списка таблиц (\"tables\")");
        QTest::newRow("manifest without tables") << "tables missing" << noList;
        QTest::newRow("manifest whose tables are a text") << "tables text" << noList;
        QTest::newRow("manifest whose tables are an object") << "tables object" << noList;
        // Refused by the size declared, before anything is inflated (the digest would fail after).
        const QString tooLarge = QStringLiteral("таблица 6 (Налоговые ставки): файл 0057000001_6.csv больше, чем может "
                                                "занять таблица (");
        QTest::newRow("a header declaring 3 GB") << "declared 3 GB" << tooLarge + "3000000000 байт";
        QTest::newRow("a member inflating past its table") << "inflates" << tooLarge + "8388608 байт";
        QTest::newRow("a member longer than its header says")
            << "longer than declared" << "таблица 6 (Налоговые ставки) повреждена: файл 0057000001_6.csv не читается";
    }

    void damagedFileRefused()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, {2, 6});
        const QByteArray good = readFile(path);
        QByteArray bad;
        if (damage == QLatin1String("text"))
            bad = "Это обычный текст, не архив.";
        else if (damage == QLatin1String("no manifest"))
            bad = zipWith(m_dir->path(), QStringLiteral("0057000001_6.csv"), "Налоговые ставки 1.1\n");
        else if (damage == QLatin1String("foreign"))
            bad = zipWith(m_dir->path(), QStringLiteral("manifest.json"), R"({"format": "something-else"})");
        else if (damage == QLatin1String("missing table"))
            bad = good;
        else if (damage == QLatin1String("tables missing"))
            bad = zipWith(m_dir->path(), QStringLiteral("manifest.json"), manifestWithTables(path, QJsonValue::Undefined));
        else if (damage == QLatin1String("tables text"))
            bad = zipWith(m_dir->path(), QStringLiteral("manifest.json"), manifestWithTables(path, QStringLiteral("x")));
        else if (damage == QLatin1String("tables object"))
            bad = zipWith(m_dir->path(), QStringLiteral("manifest.json"), manifestWithTables(path, QJsonObject()));
        else if (damage == QLatin1String("declared 3 GB"))
            bad = declaredSize(good, "0057000001_6.csv", 3000000000u);
        else if (damage == QLatin1String("longer than declared"))
            bad = declaredSize(good, "0057000001_6.csv", 10);
        else if (damage != QLatin1String("absent") && damage != QLatin1String("pipe"))
            bad = damagedEntry(good, Serial.toLatin1() + '_' + damage.toLatin1() + ".csv");
        if (damage == QLatin1String("missing table")) {
            SnapshotReader reader(path);
            SnapshotManifest manifest = reader.manifest();
            KZip zip(path);
            QVERIFY(zip.open(QIODevice::WriteOnly));
            QVERIFY(zip.writeFile(QStringLiteral("manifest.json"), manifest.toJson()));
            QVERIFY(zip.close());
        } else if (damage == QLatin1String("inflates")) {
            SnapshotReader reader(path);
            const SnapshotManifest manifest = reader.manifest();
            const QByteArray modes = readFile(reader.extract(manifest.tables.at(0), 1 << 20));
            KZip zip(path);
            QVERIFY(zip.open(QIODevice::WriteOnly));
            QVERIFY(zip.writeFile(manifest.tables.at(0).file, modes));
            QVERIFY(zip.writeFile(manifest.tables.at(1).file, QByteArray(8 << 20, ' ')));
            QVERIFY(zip.writeFile(QStringLiteral("manifest.json"), manifest.toJson()));
            QVERIFY(zip.close());
        } else if (damage == QLatin1String("absent")) {
            QVERIFY(QFile::remove(path));
        } else if (damage == QLatin1String("pipe")) {
            QVERIFY(QFile::remove(path));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QVERIFY(bad != good);
            QVERIFY(writeFile(path, bad));
        }
        try {
            SnapshotReader reader(path);
            QFAIL("the snapshot was accepted");
        } catch (const RunTimeError& error) {
            QVERIFY2(error.message().startsWith(QStringLiteral("Снимок ККТ %1 отклонен: ").arg(path)),
                     qPrintable(error.message()));
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
    }

    // The manifest tells where the snapshot comes from and what it holds.
    void manifestDescribesRegister()
    {
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, {4, 6});
        const SnapshotReader reader(path);
        const SnapshotManifest& manifest = reader.manifest();
        QCOMPARE(manifest.identity.modelCode, 57);
        QCOMPARE(manifest.identity.serialNumber, Serial);
        QCOMPARE(manifest.identity.firmware, QStringLiteral("3.0.25"));
        QCOMPARE(manifest.configuration, 25);
        QCOMPARE(manifest.time.timeSpec(), Qt::UTC);
        QCOMPARE(manifest.tables.size(), 2);
        // In the order of the model description.
        QCOMPARE(manifest.tables.at(0).name, QStringLiteral("Налоговые ставки"));
        QCOMPARE(manifest.tables.at(0).cells, 18u);
        QCOMPARE(manifest.tables.at(1).number, 4u);
        QCOMPARE(manifest.tables.at(1).file, QStringLiteral("0057000001_4.csv"));
        QCOMPARE(manifest.tables.at(1).rows, 6);
    }

    // save -> change cells behind the program's back -> the comparison lists
    // exactly them -> restore -> the register holds the saved cells again,
    // one write in the journal, the register before it in the undo snapshot.
    void restoreBringsBackSavedCells_data()
    {
        QTest::addColumn<QList<unsigned>>("tables");
        QTest::addColumn<QList<RawCell>>("changes");
        QTest::addColumn<bool>("dryRun");
        QTest::newRow("all tables") << QList<unsigned>{} << ThreeChanges << false;
        QTest::newRow("the changed tables") << QList<unsigned>{2, 6} << ThreeChanges << false;
        QTest::newRow("dry run") << QList<unsigned>{} << ThreeChanges << true;
        QTest::newRow("nothing changed") << QList<unsigned>{} << QList<RawCell>{} << false;
    }

    void restoreBringsBackSavedCells()
    {
        QFETCH(QList<unsigned>, tables);
        QFETCH(QList<RawCell>, changes);
        QFETCH(bool, dryRun);
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, tables);
        if (!changes.isEmpty())
            QVERIFY(writeRawCells(changes));
        const RegisterCells changed = registerCells(m_image);
        QCOMPARE(differences(m_saved, changed), keysOf(changes));

        QCOMPARE(keysOf(compare(path)), keysOf(changes));
        const RegisterSnapshot::Restore result = restore(path, {}, dryRun);
        QCOMPARE(keysOf(result.comparison), keysOf(changes));
        QCOMPARE(result.cellsWritten, unsigned(changes.size()));
        QCOMPARE(result.tablesWritten, changes.isEmpty() ? 0u : 2u);

        const QList<RecordedWrite> writes = JournalFolder(file(QStringLiteral("journal"))).writes(Serial);
        if (dryRun || changes.isEmpty()) {
            QVERIFY(differences(changed, registerCells(m_image)).isEmpty());
            QVERIFY(writes.isEmpty());
            QVERIFY(result.undoSnapshot.isEmpty());
            return;
        }
        QVERIFY(differences(m_saved, registerCells(m_image)).isEmpty());
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first().tables.size(), 2);
        QCOMPARE(writes.first().tables.at(0).cells.size() + writes.first().tables.at(1).cells.size(), changes.size());
        // The undo snapshot holds the register as the restore found it.
        QVERIFY(result.undoSnapshot.startsWith(file(QStringLiteral("journal/snapshots/"))));
        QCOMPARE(keysOf(compare(result.undoSnapshot)), keysOf(changes));
        // the tables found alike as well, the commodity base read before any differed
        QCOMPARE(tableNumbers(result.undoSnapshot), tableNumbers(path));
        restore(result.undoSnapshot);
        QVERIFY(differences(changed, registerCells(m_image)).isEmpty());
    }

    // What a window shows of a comparison: each table's rows as the register
    // holds them now, and the differing cells at their place in those rows
    // with the values the register held when the snapshot was saved.
    void comparisonHandsOverRowsRead_data()
    {
        QTest::addColumn<QList<RawCell>>("changes");
        QTest::newRow("three cells in two tables") << ThreeChanges;
        QTest::newRow("a cell of the commodity base") << QList<RawCell>{{1, 2, 6, QByteArray::fromHex("03")}};
        QTest::newRow("nothing changed") << QList<RawCell>{};
    }

    void comparisonHandsOverRowsRead()
    {
        QFETCH(QList<RawCell>, changes);
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path);
        const QHash<unsigned, DataRows> saved = readTables();
        if (!changes.isEmpty())
            QVERIFY(writeRawCells(changes));
        const QHash<unsigned, DataRows> changed = readTables();

        SnapshotReader reader(path);
        RegisterSession session(KKT_Logic::instance());
        session.openWithDescription();
        QList<unsigned> tables;
        QList<CellKey> keys;
        const RegisterSnapshot::Comparison comparison = RegisterSnapshot::compare(
            reader, session, {}, nullptr,
            [&](const TableInfo& table, const DataRows& rows, const QVector<RegisterSnapshot::SnapshotValue>& differing) {
                tables << table.id;
                QCOMPARE(rows.size(), changed.value(table.id).size());
                const RegisterAddress address(table, rows);
                for (const RegisterSnapshot::SnapshotValue& cell : differing) {
                    keys << CellKey{table.id, int(address.registerRow(cell.row)), cell.column + 1};
                    QCOMPARE(cell.value, saved.value(table.id).at(cell.row).at(cell.column).value);
                    QCOMPARE(rows.at(cell.row).at(cell.column).value,
                             changed.value(table.id).at(cell.row).at(cell.column).value);
                }
            });
        std::sort(keys.begin(), keys.end());
        QCOMPARE(keys, keysOf(changes));
        QCOMPARE(tables.size(), comparison.tables.size());
        QCOMPARE(tables.size(), saved.size());
    }

    // Another model or register, or a value the register's model refuses:
    // nothing is written unless allowed, and then only what fits.
    void restoreOfOtherRegister_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("otherDescription");
        QTest::addColumn<bool>("otherModel");
        QTest::addColumn<bool>("otherRegister");
        QTest::addColumn<QByteArray>("badRate");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QList<CellKey>>("written");
        const QList<CellKey> all = keysOf(ThreeChanges);
        const QList<CellKey> taxes = {CellKey{6, 1, 1}, CellKey{6, 2, 1}};
        QTest::newRow("another model") << 58 << Serial << false << false << false << QByteArray()
                                       << "сделан с ККТ модели 58 (Вескор-Эмулятор 57), а подключена модель 57"
                                       << QList<CellKey>{};
        QTest::newRow("another model allowed") << 58 << Serial << false << true << false << QByteArray() << ""
                                               << all;
        QTest::newRow("another model, a table described otherwise") << 58 << Serial << true << true << false
                                                                     << QByteArray() << "" << taxes;
        QTest::newRow("another register") << 57 << "0057000002" << false << false << false << QByteArray()
                                          << "сделан с ККТ с заводским номером 0057000002, а подключена ККТ "
                                             "0057000001; чтобы перенести его в эту ККТ, укажите --other-register"
                                          << QList<CellKey>{};
        QTest::newRow("another register allowed") << 57 << "0057000002" << false << false << true << QByteArray()
                                                  << "" << all;
        QTest::newRow("a rate over 100%") << 57 << Serial << false << false << false << QByteArray::fromHex("ffff")
                                          << "kassa.zip/0057000001_6.csv: Ошибка: таблица содержит некорректные данные в строке \"2\", "
                                             "поле \"Ставка, %\""
                                          << QList<CellKey>{};
    }

    void restoreOfOtherRegister()
    {
        QFETCH(int, model);
        QFETCH(QString, serial);
        QFETCH(bool, otherDescription);
        QFETCH(bool, otherModel);
        QFETCH(bool, otherRegister);
        QFETCH(QByteArray, badRate);
        QFETCH(QString, refusal);
        QFETCH(QList<CellKey>, written);
        if (!badRate.isEmpty())
            QVERIFY(writeRawCells({{6, 2, 1, badRate}}));
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, {2, 6},
             [&](SnapshotManifest& head) {
                 head.identity.modelCode = model;
                 head.identity.serialNumber = serial;
             },
             otherDescription);
        QVERIFY(writeRawCells(ThreeChanges));
        const RegisterCells changed = registerCells(m_image);

        RegisterSnapshot::Restore result;
        try {
            result = restore(path, {otherModel, otherRegister});
            QVERIFY2(refusal.isEmpty(), "the restore was not refused");
        } catch (const FlowFailure& failure) {
            QVERIFY2(failure.message().contains(refusal) && !refusal.isEmpty(), qPrintable(failure.message()));
            QCOMPARE(failure.kind(), FlowFailure::Refused);
            QVERIFY(differences(changed, registerCells(m_image)).isEmpty());
            QVERIFY(JournalFolder(file(QStringLiteral("journal"))).writes(Serial).isEmpty());
            return;
        }
        std::sort(written.begin(), written.end());
        QCOMPARE(differences(changed, registerCells(m_image)), written);
        QCOMPARE(result.comparison.skipped.size(), otherDescription ? 1 : 0);
    }

    // A restore that stops: before the first write when a table's file is
    // larger than its table can need, at the failing table when the register
    // refuses a write (the tables before it stay written, as an import's do).
    void restoreStops_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<CellKey>>("written");
        QTest::newRow("oversized table file") << "oversized"
                                              << "таблица 6 (Налоговые ставки): файл 0057000001_6.csv больше, чем "
                                                 "может занять таблица"
                                              << QList<CellKey>{};
        QTest::newRow("register refuses a write") << "write fault"
                                                  << "таблица 6 (Налоговые ставки): " << QList<CellKey>{{2, 1, 1}};
    }

    void restoreStops()
    {
        QFETCH(QString, cause);
        QFETCH(QString, message);
        QFETCH(QList<CellKey>, written);
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, {2, 6});
        if (cause == QLatin1String("oversized")) {
            SnapshotReader reader(path);
            SnapshotManifest manifest = reader.manifest();
            const QByteArray modes = readFile(reader.extract(manifest.tables.at(0), 1 << 20));
            QByteArray huge;
            {
                RegisterSession session(KKT_Logic::instance());
                for (const TableInfo& table : session.openWithDescription()) {
                    if (table.id == 6)
                        huge = QByteArray(int(ImportLimits::fileBytes(QList<TableInfo>{table})) + 1, ' ');
                }
            }
            manifest.tables[1].sha256 =
                QString::fromLatin1(QCryptographicHash::hash(huge, QCryptographicHash::Sha256).toHex());
            KZip zip(path);
            QVERIFY(zip.open(QIODevice::WriteOnly));
            QVERIFY(zip.writeFile(manifest.tables.at(0).file, modes));
            QVERIFY(zip.writeFile(manifest.tables.at(1).file, huge));
            QVERIFY(zip.writeFile(QStringLiteral("manifest.json"), manifest.toJson()));
            QVERIFY(zip.close());
        }
        QVERIFY(writeRawCells(ThreeChanges));
        if (cause == QLatin1String("write fault"))
            EmulatorImage::fromFile(m_image).addFault({QStringLiteral("write"), 6}).install(*m_dir);
        const RegisterCells changed = registerCells(m_image);
        try {
            restore(path);
            QFAIL("the restore went through");
        } catch (const FlowFailure& failure) {
            QVERIFY2(failure.message().contains(message), qPrintable(QString(failure.message()).replace(QLatin1Char('\n'), QStringLiteral(" | "))));
            QCOMPARE(differences(changed, registerCells(m_image)), written);
            const QList<RecordedWrite> writes = JournalFolder(file(QStringLiteral("journal"))).writes(Serial);
            QCOMPARE(writes.size(), written.isEmpty() ? 0 : 1);
            if (!written.isEmpty()) {
                QVERIFY(failure.message().contains(file(QStringLiteral("journal/snapshots/"))));
                QCOMPARE(writes.first().tables.size(), 1);
            }
        }
    }

    // A restore the user stops, between tables or inside one: the register
    // holds whole tables only, the message names the tables restored and the
    // ones not, and the journal has the committed tables alone.
    void restoreCancelled_data()
    {
        QTest::addColumn<QString>("stopAt");
        QTest::addColumn<QList<unsigned>>("committed");
        QTest::addColumn<QString>("report");
        const QString both = QStringLiteral("2 \"Режимы работы\", 6 \"Налоговые ставки\"");
        QTest::newRow("in the first table") << "Режимы работы: строка 0" << QList<unsigned>{}
                                            << "Записаны в ККТ таблицы: нет\nНе записаны таблицы: " + both;
        QTest::newRow("before the second table")
            << "Налоговые ставки: строка 0" << QList<unsigned>{2}
            << "Записаны в ККТ таблицы: 2 \"Режимы работы\"\nНе записаны таблицы: 6 \"Налоговые ставки\"";
        QTest::newRow("after a cell of the second table")
            << "Налоговые ставки: строка 1" << QList<unsigned>{2}
            << "Записаны в ККТ таблицы: 2 \"Режимы работы\"\nНе записаны таблицы: 6 \"Налоговые ставки\"";
    }

    void restoreCancelled()
    {
        QFETCH(QString, stopAt);
        QFETCH(QList<unsigned>, committed);
        QFETCH(QString, report);
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, {});
        QVERIFY(writeRawCells(ThreeChanges));
        const RegisterCells changed = registerCells(m_image);
        SnapshotReader reader(path);
        RegisterSession session(KKT_Logic::instance());
        session.openWithDescription();
        JournalSession journal(QStringLiteral("test"), session.identity(), JournalFolder(file(QStringLiteral("journal"))));
        StopAtText progress(stopAt);
        QList<unsigned> written = {99};
        try {
            RegisterSnapshot::restore(reader, session, journal, {}, {}, false,
                                      RegisterSnapshot::undoDirectory(file(QStringLiteral("journal"))), progress,
                                      &written);
            QFAIL("the restore went through");
        } catch (const FlowFailure& failure) {
            QCOMPARE(failure.kind(), FlowFailure::Cancelled);
            QVERIFY2(failure.message().startsWith(QStringLiteral("Операция записи прервана пользователем\n") + report
                                                  + QStringLiteral("\nККТ до восстановления сохранена в снимке ")
                                                  + file(QStringLiteral("journal/snapshots/"))),
                     qPrintable(failure.message()));
        }
        session.close();
        QCOMPARE(written, committed);
        QList<CellKey> restored;
        if (committed.contains(2))
            restored << CellKey{2, 1, 1};
        QCOMPARE(differences(changed, registerCells(m_image)), restored);
        const QList<RecordedWrite> writes = JournalFolder(file(QStringLiteral("journal"))).writes(Serial);
        QCOMPARE(writes.size(), committed.isEmpty() ? 0 : 1);
        if (!committed.isEmpty())
            QCOMPARE(writes.first().tables.size(), committed.size());
    }

    // A restore is checked whole before its first write, as an import checks
    // its files: its dry run refuses what it refuses, with the same message,
    // and lists the cells it writes; read-only cells are neither written nor
    // counted, but named apart; a choice of tables restores only them.
    void restoreCheckedBeforeWriting_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QVector<unsigned>>("chosen");
        QTest::addColumn<QList<RawCell>>("changes"); // on the register, after the save
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QList<CellKey>>("written");
        QTest::addColumn<QList<CellKey>>("readOnly");
        const QList<RawCell> readOnlyToo =
            ThreeChanges + QList<RawCell>{{6, 1, 3, QByteArray::fromHex("05")}, {6, 3, 1, QByteArray::fromHex("0834")}};
        QTest::newRow("a row beyond the register's in the last table")
            << "row 17 of table 7" << QVector<unsigned>{} << ThreeChanges
            << "kassa.zip/0057000001_7.csv: в ККТ нет ряда 17 таблицы 7 (Отделы)" << QList<CellKey>{}
            << QList<CellKey>{};
        QTest::newRow("a text too long in the last table")
            << "long name in table 7" << QVector<unsigned>{} << ThreeChanges
            << "kassa.zip/0057000001_7.csv: Ошибка: таблица содержит некорректные данные в строке \"16\"" << QList<CellKey>{}
            << QList<CellKey>{};
        QTest::newRow("read-only cells changed on the register")
            << "" << QVector<unsigned>{} << readOnlyToo << "" << keysOf(ThreeChanges)
            << QList<CellKey>{{6, 1, 3}, {6, 3, 1}};
        QTest::newRow("only the tax table chosen")
            << "" << QVector<unsigned>{6} << ThreeChanges << "" << QList<CellKey>{{6, 1, 1}, {6, 2, 1}}
            << QList<CellKey>{};
        QTest::newRow("a row beyond, in a table not chosen")
            << "row 17 of table 7" << QVector<unsigned>{2, 6} << ThreeChanges << "" << keysOf(ThreeChanges)
            << QList<CellKey>{};
        QTest::newRow("a table the snapshot lacks chosen")
            << "" << QVector<unsigned>{6, 5} << ThreeChanges << "В снимке %1 нет таблицы 5" << QList<CellKey>{}
            << QList<CellKey>{};
    }

    void restoreCheckedBeforeWriting()
    {
        QFETCH(QString, edit);
        QFETCH(QVector<unsigned>, chosen);
        QFETCH(QList<RawCell>, changes);
        QFETCH(QString, refusal);
        QFETCH(QList<CellKey>, written);
        QFETCH(QList<CellKey>, readOnly);
        const QString path = file(QStringLiteral("kassa.zip"));
        save(path, {2, 6, 7});
        // Both edits go to the last data line of the departments' table, row 16.
        const auto lastLine = [](QByteArray& csv) {
            while (csv.endsWith('\n') || csv.endsWith('\r'))
                csv.chop(1);
            return csv.lastIndexOf('\n') + 1;
        };
        if (edit == QLatin1String("row 17 of table 7")) {
            editTable(path, 7, [&](QByteArray& csv) {
                QByteArray line = csv.mid(lastLine(csv));
                line.replace(0, line.indexOf(';'), "\"17\"");
                csv += "\r\n" + line + "\r\n";
            });
        } else if (edit == QLatin1String("long name in table 7")) {
            editTable(path, 7, [&](QByteArray& csv) {
                const int name = csv.indexOf(';', lastLine(csv)) + 2;
                csv.insert(name, QByteArray(200, 'X'));
            });
        }
        QVERIFY(writeRawCells(changes));
        const RegisterCells changed = registerCells(m_image);
        refusal.replace(QLatin1String("%1"), path);

        const auto nothingWritten = [&] {
            QVERIFY(differences(changed, registerCells(m_image)).isEmpty());
            QVERIFY(JournalFolder(file(QStringLiteral("journal"))).writes(Serial).isEmpty());
            QVERIFY(QDir(file(QStringLiteral("journal/snapshots"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
        };
        // The dry run first, then the restore: the same answer from both.
        QList<RegisterSnapshot::Restore> results;
        for (const bool dryRun : {true, false}) {
            try {
                results << restore(path, {}, dryRun, chosen);
                QVERIFY2(refusal.isEmpty(), dryRun ? "the dry run went through" : "the restore went through");
            } catch (const FlowFailure& failure) {
                QVERIFY2(!refusal.isEmpty() && failure.message().contains(refusal), qPrintable(failure.message()));
                QCOMPARE(failure.kind(), FlowFailure::Refused);
                nothingWritten();
                continue;
            }
            if (dryRun)
                nothingWritten();
        }
        if (!refusal.isEmpty())
            return;
        const RegisterSnapshot::Restore& dry = results.at(0);
        const RegisterSnapshot::Restore& done = results.at(1);
        QCOMPARE(keysOf(dry.comparison), written);
        QCOMPARE(keysOf(done.comparison), written);
        QCOMPARE(readOnlyKeysOf(dry.comparison), readOnly);
        QCOMPARE(readOnlyKeysOf(done.comparison), readOnly);
        QCOMPARE(dry.cellsWritten, unsigned(written.size()));
        QCOMPARE(done.cellsWritten, dry.cellsWritten);
        QCOMPARE(done.tablesWritten, dry.tablesWritten);
        QCOMPARE(differences(changed, registerCells(m_image)), written);
        // Read-only cells are no difference the register could lose.
        // Nor are read-only cells a difference that stays after the restore.
        const RegisterSnapshot::Comparison after = compare(path);
        for (const CellKey& key : qAsConst(readOnly))
            QVERIFY(!keysOf(after).contains(key));
        QList<CellKey> readOnlyAfter = readOnlyKeysOf(after);
        if (!chosen.isEmpty()) {
            readOnlyAfter.erase(std::remove_if(readOnlyAfter.begin(), readOnlyAfter.end(),
                                               [&](const CellKey& key) { return !chosen.contains(std::get<0>(key)); }),
                                readOnlyAfter.end());
        }
        QCOMPARE(readOnlyAfter, readOnly);
    }

    // A save that fails leaves a file at its path as it was, and nothing beside it.
    void failedSaveKeepsFile_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("register fails a read") << "read fault";
        QTest::newRow("no such folder") << "no folder";
        QTest::newRow("archive outgrows the file size limit") << "size limit";
    }

    void failedSaveKeepsFile()
    {
        QFETCH(QString, cause);
        QString path = file(QStringLiteral("kassa.zip"));
        QVERIFY(writeFile(path, "прежний файл"));
        if (cause == QLatin1String("read fault"))
            EmulatorImage::fromFile(m_image).addFault({QStringLiteral("read"), 6}).install(*m_dir);
        else if (cause == QLatin1String("no folder"))
            path = file(QStringLiteral("missing/kassa.zip"));
        if (cause == QLatin1String("size limit")) {
            // Each small table's file fits under the limit, the archive of them all does not.
            QString message;
            {
                const FileSizeLimit limit(1500);
                QVERIFY(limit.isSet());
                try {
                    save(path, {2, 6, 5, 4, 16, 15, 7});
                } catch (const FlowFailure& failure) {
                    message = failure.message();
                }
            }
            QVERIFY2(message.startsWith(QStringLiteral("Не удалось записать снимок ККТ %1: ").arg(path))
                         && message.endsWith(QStringLiteral("файл слишком велик")),
                     qPrintable(message));
        } else {
            QVERIFY_EXCEPTION_THROWN(save(path), FlowFailure);
        }
        QCOMPARE(readFile(file(QStringLiteral("kassa.zip"))), QByteArray("прежний файл"));
        QCOMPARE(QDir(m_dir->path()).entryList(QStringList{QStringLiteral("*kassa*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("kassa.zip")});
    }
};

VESCOR_TEST(RegisterSnapshotTest)

#include "tst_RegisterSnapshot.moc"
