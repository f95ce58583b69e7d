#include "support/TestMain.h"

#include "snapshot/ZipFileWriter.h"

#include <KZip> // first: the entry headers need KArchive declared
#include <KArchiveDirectory>
#include <KArchiveFile>

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sys/stat.h>

using Entries = QList<QPair<QString, QByteArray>>;
Q_DECLARE_METATYPE(Entries)

namespace {

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(39);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// Takes the first bytes it is given up to a limit, then refuses the rest.
class ShortDevice : public QIODevice
{
public:
    explicit ShortDevice(qint64 limit) : m_limit(limit) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override
    {
        const qint64 taken = qMin(size, m_limit - m_written);
        m_written += taken;
        return taken > 0 ? taken : -1;
    }

private:
    qint64 m_limit;
    qint64 m_written = 0;
};

} // namespace

class ZipFileWriterTest : public QObject
{
    Q_OBJECT

private slots:
    // What the writer packs, KZip (the snapshot's reader) unpacks: every
    // name, the bytes, regular files of mode 0644 dated as given.
    void entriesReadBack_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::newRow("one table") << Entries{{"0057000001_6.csv", "\"1\";\"20\"\n\"2\";\"10\"\n"}};
        QTest::newRow("an empty file") << Entries{{"empty.csv", QByteArray()}, {"manifest.json", "{}"}};
        QTest::newRow("every byte value") << Entries{{"bytes.bin", randomBytes(256 * 4)}};
        QTest::newRow("large and incompressible, then a small one")
            << Entries{{"0057000001_1.csv", randomBytes(3 << 20)}, {"0057000001_2.csv", QByteArray(70000, 'x')}};
    }

    void entriesReadBack()
    {
        QFETCH(Entries, entries);
        const QDateTime time(QDate(2026, 3, 14), QTime(15, 9, 26));
        QBuffer archive;
        QVERIFY(archive.open(QIODevice::WriteOnly));
        ZipFileWriter writer(archive);
        for (const auto& entry : entries)
            QVERIFY(writer.add(entry.first, entry.second, time));
        QVERIFY(writer.finish());
        archive.close();

        QVERIFY(archive.open(QIODevice::ReadOnly));
        KZip zip(&archive);
        QVERIFY(zip.open(QIODevice::ReadOnly));
        QStringList names;
        for (const auto& entry : entries)
            names << entry.first;
        QStringList found = zip.directory()->entries();
        found.sort();
        names.sort();
        QCOMPARE(found, names);
        for (const auto& entry : entries) {
            const KArchiveEntry* found = zip.directory()->entry(entry.first);
            QVERIFY(found && found->isFile());
            const auto* file = static_cast<const KArchiveFile*>(found);
            QCOMPARE(file->data(), entry.second);
            QCOMPARE(file->permissions(), mode_t(S_IFREG | 0644));
            QCOMPARE(file->date(), time);
        }
    }

    // A device that refuses the bytes: the archive, packed in memory and
    // written whole by finish(), reports it there.
    void refusedWritesReported()
    {
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            QSKIP("no /dev/full here");
        ZipFileWriter writer(full);
        QVERIFY(writer.add(QStringLiteral("a.csv"), "1;2\n", QDateTime::currentDateTime()));
        QVERIFY(!writer.finish());
    }

    // A device that takes only the first bytes, or none.
    void shortWritesReported_data()
    {
        QTest::addColumn<qint64>("accepted");
        QTest::newRow("nothing") << qint64(0);
        QTest::newRow("the first entry's header") << qint64(30);
        QTest::newRow("all but the last byte") << qint64(-1);
    }

    void shortWritesReported()
    {
        QFETCH(qint64, accepted);
        QBuffer whole;
        QVERIFY(whole.open(QIODevice::WriteOnly));
        ZipFileWriter reference(whole);
        QVERIFY(reference.add(QStringLiteral("a.csv"), randomBytes(5000), QDateTime::currentDateTime()));
        QVERIFY(reference.finish());

        ShortDevice device(accepted >= 0 ? accepted : whole.size() - 1);
        QVERIFY(device.open(QIODevice::WriteOnly));
        ZipFileWriter writer(device);
        QVERIFY(writer.add(QStringLiteral("a.csv"), randomBytes(5000), QDateTime::currentDateTime()));
        QVERIFY(!writer.finish());
    }

    // Once written, the archive takes no more entries.
    void entryAfterFinishRefused()
    {
        QBuffer archive;
        QVERIFY(archive.open(QIODevice::WriteOnly));
        ZipFileWriter writer(archive);
        QVERIFY(writer.add(QStringLiteral("a.csv"), "1\n", QDateTime::currentDateTime()));
        QVERIFY(writer.finish());
        QVERIFY(!writer.add(QStringLiteral("late.csv"), "1\n", QDateTime::currentDateTime()));
        QVERIFY(!writer.finish());
    }
};

VESCOR_TEST(ZipFileWriterTest)

#include "tst_ZipFileWriter.moc"
