// The image is read only from a regular file of a bounded size: anything
// else is refused at once, never waited on or read until memory runs out.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const int ImageCode = 20;
const qint64 MaxImageBytes = qint64(64) << 20; // as driver/README.md states

} // namespace

class DriverImageFilesTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();

private slots:
    void initTestCase() { QVERIFY2(api.isLoaded(), qPrintable(api.loadError())); }
    void cleanup() { EmulatorImage::uninstall(); }

    void refusedAtOnce_data()
    {
        QTest::addColumn<QString>("image"); // what TILLO10_EMULATOR names
        QTest::addColumn<QString>("why");
        QTest::newRow("FIFO") << "fifo" << "не является обычным файлом";
        QTest::newRow("/dev/zero") << "/dev/zero" << "не является обычным файлом";
        QTest::newRow("link to /dev/zero") << "link" << "не является обычным файлом";
        QTest::newRow("folder") << "folder" << "не является обычным файлом";
        QTest::newRow("one byte over the limit") << "sparse" << "файл больше 64 МиБ (67108865 байт)";
    }

    void refusedAtOnce()
    {
        QFETCH(QString, image);
        QFETCH(QString, why);
        QTemporaryDir dir;
        QString path = dir.filePath("register-image.json");
        if (image == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (image == "link") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (image == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (image == "sparse") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(MaxImageBytes + 1)); // no blocks: nothing to read but the size
        } else {
            path = image;
        }
        qputenv("TILLO10_EMULATOR", QFile::encodeName(path));

        TilloHandle h;
        // The calls before an open look at the image for its faults: they do not wait either.
        api.setSettings(h, L"{}");
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.errorCode(h), ImageCode);
        // A link is named by what it leads to, where the lock would be.
        const QFileInfo target(QFileInfo(path).canonicalFilePath());
        QCOMPARE(api.error(h), QStringLiteral("Образ ККТ %1: %2").arg(target.filePath(), why));
        // No lock file was made beside it.
        QVERIFY(!QFileInfo::exists(target.dir().filePath("." + target.fileName() + ".lock")));
    }

    // The limit itself is an image like any other.
    void largestImageAccepted()
    {
        QTemporaryDir dir;
        const QString path = EmulatorImage::defaultImage().install(dir);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray text = file.readAll();
        QVERIFY(file.seek(0));
        QVERIFY(file.write(text + QByteArray(int(MaxImageBytes - text.size()), ' ')) == MaxImageBytes);
        file.close();
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.close(h), 0);
    }
};

VESCOR_TEST(DriverImageFilesTest)

#include "tst_DriverImageFiles.moc"
