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

    // A device that refuses the bytes: the entry and the directory report it.
    void refusedWritesReported()
    {
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            QSKIP("no /dev/full here");
        ZipFileWriter writer(full);
        QVERIFY(!writer.add(QStringLiteral("a.csv"), "1;2\n", QDateTime::currentDateTime()));
        QVERIFY(!writer.finish());
    }
};

VESCOR_TEST(ZipFileWriterTest)

#include "tst_ZipFileWriter.moc"
