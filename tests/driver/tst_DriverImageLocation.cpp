// Where the library finds its image when no test names one.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString installedImage()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath("tillo10-image.json");
}

} // namespace

class DriverImageLocationTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();
    QByteArray m_home, m_dataHome;

private slots:
    void initTestCase()
    {
        QVERIFY2(api.isLoaded(), qPrintable(api.loadError()));
        QVERIFY2(QFile::exists(installedImage()), "the default image is installed beside the library");
        m_home = qgetenv("HOME");
        m_dataHome = qgetenv("XDG_DATA_HOME");
    }

    void cleanup()
    {
        EmulatorImage::uninstall();
        qputenv("HOME", m_home);
        if (m_dataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_dataHome);
    }

    void perUserCopy_data()
    {
        QTest::addColumn<bool>("xdg");
        QTest::addColumn<QString>("relative"); // below the temporary directory
        QTest::newRow("XDG_DATA_HOME") << true << "data/tillo10/register-image.json";
        QTest::newRow("home") << false << "home/.local/share/tillo10/register-image.json";
    }

    // The first open copies the installed image; commits change the copy only,
    // and later opens keep using it.
    void perUserCopy()
    {
        QFETCH(bool, xdg);
        QFETCH(QString, relative);
        QTemporaryDir dir;
        EmulatorImage::uninstall();
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
        if (xdg)
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        else
            qunsetenv("XDG_DATA_HOME");
        const QString copy = dir.filePath(relative);
        const QByteArray installed = fileBytes(installedImage());

        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(fileBytes(copy), installed);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 57u);

        QCOMPARE(api.writeCell(h, 16, 1, 4, QByteArray::fromHex("0050")), 0);
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(api.close(h), 0);
        QCOMPARE(fileBytes(installedImage()), installed);
        QCOMPARE(EmulatorImage::fromFile(copy).cell(16, 1, 4), QByteArray::fromHex("0050"));

        TilloHandle again;
        QCOMPARE(api.open(again), 0);
        QByteArray value;
        QCOMPARE(api.readCell(again, 16, 1, 4, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0050"));
    }

    void relativeDataHomeIsIgnored()
    {
        QTemporaryDir dir;
        EmulatorImage::uninstall();
        qputenv("HOME", QFile::encodeName(dir.path()));
        qputenv("XDG_DATA_HOME", "relative/data");
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QVERIFY(QFile::exists(dir.filePath(".local/share/tillo10/register-image.json")));
    }

    void variableWins()
    {
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        EmulatorImage image;
        image.setIdentity(99, "Другая", "1", "1.1.1");
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 99u);
        QVERIFY(!QFile::exists(dir.filePath("data/tillo10/register-image.json")));
    }

    void commitThroughALinkReplacesTheTarget_data()
    {
        QTest::addColumn<QString>("linkAt");   // below the temporary directory
        QTest::addColumn<QString>("linkText"); // what the link says
        QTest::addColumn<bool>("named");       // TILLO10_EMULATOR names the link; else the per-user copy is it
        QTest::newRow("named link") << "link.json" << "real.json" << true;
        QTest::newRow("link to a link") << "link2.json" << "link.json" << true;
        QTest::newRow("per-user copy is a link") << "data/tillo10/register-image.json" << "../../real.json" << false;
    }

    void commitThroughALinkReplacesTheTarget()
    {
        QFETCH(QString, linkAt);
        QFETCH(QString, linkText);
        QFETCH(bool, named);
        QTemporaryDir dir;
        EmulatorImage image;
        image.addTable(1, {{1}}, 1);
        image.save(dir.filePath("real.json"));
        QVERIFY(QFile::link("real.json", dir.filePath("link.json")));
        QVERIFY(QDir(dir.path()).mkpath("data/tillo10"));
        const QString link = dir.filePath(linkAt);
        if (!QFileInfo(link).isSymLink())
            QVERIFY(QFile::link(linkText, link));
        if (named) {
            qputenv("TILLO10_EMULATOR", QFile::encodeName(link));
        } else {
            EmulatorImage::uninstall();
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        }
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 1, 1, 1, "\x42"), 0);
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(api.writeCell(h, 1, 1, 1, "\x43"), 0);
        QCOMPARE(api.commit(h), 0); // the second commit goes to the same file
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QDir::cleanPath(QFileInfo(link).symLinkTarget()),
                 QDir::cleanPath(QFileInfo(link).absolutePath() + "/" + linkText));
        QCOMPARE(EmulatorImage::fromFile(dir.filePath("real.json")).cell(1, 1, 1), QByteArray("\x43"));
        QCOMPARE(EmulatorImage::fromFile(link).cell(1, 1, 1), QByteArray("\x43"));
        // The link leads a second connection to the same image: it is refused.
        TilloHandle other;
        qputenv("TILLO10_EMULATOR", QFile::encodeName(dir.filePath("real.json")));
        QCOMPARE(api.open(other), -1);
        QCOMPARE(api.errorCode(other), 22);
    }
};

VESCOR_TEST(DriverImageLocationTest)
#include "tst_DriverImageLocation.moc"
