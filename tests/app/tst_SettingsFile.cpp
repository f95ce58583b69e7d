#include "support/TestMain.h"

#include "settings/SettingsFile.h"
#include "settings/WindowLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

// Where the settings file lives: beside the program when it runs from its build
// folder or from a portable folder holding the file, and that folder takes new
// files; in the user's configuration folder otherwise (an installed program).
class SettingsFileTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    static bool writeFile(const QString& name)
    {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        // Give the folders back their write permission so that they can go.
        QFile::setPermissions(path("app"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_dir.reset();
    }

    void pathFor_data()
    {
        QTest::addColumn<QString>("programDir");   // relative to the test's folder
        QTest::addColumn<QStringList>("setUp");     // "dir", "file", "ini", "read-only" in this order;
                                                    // "build": the folder is the build folder
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<bool>("bitsMatter");       // root writes whatever the permission bits say

        QTest::newRow("writable folder") << "app" << QStringList{"dir"} << false << false;
        QTest::newRow("writable folder holding the file") << "app" << QStringList{"dir", "ini"} << true << false;
        QTest::newRow("folder given with a trailing slash") << "app/" << QStringList{"dir", "build"} << true << false;
        QTest::newRow("build folder") << "app" << QStringList{"dir", "build"} << true << false;
        QTest::newRow("read-only build folder") << "app" << QStringList{"dir", "build", "read-only"} << false << true;
        QTest::newRow("missing folder, missing build folder") << "app" << QStringList{"build"} << false << false;
        QTest::newRow("read-only folder") << "app" << QStringList{"dir", "read-only"} << false << true;
        QTest::newRow("read-only folder holding the file")
            << "app" << QStringList{"dir", "ini", "read-only"} << false << true;
        QTest::newRow("missing folder") << "app" << QStringList{} << false << false;
        QTest::newRow("folder under a regular file") << "app/bin" << QStringList{"file"} << false << false;
        QTest::newRow("regular file in place of the folder") << "app" << QStringList{"file"} << false << false;
    }

    void pathFor()
    {
        QFETCH(QString, programDir);
        QFETCH(QStringList, setUp);
        QFETCH(bool, besideProgram);
        QFETCH(bool, bitsMatter);
        if (bitsMatter && ::geteuid() == 0)
            QSKIP("Permission bits do not stop root from writing");

        if (setUp.contains("dir"))
            QVERIFY(QDir().mkpath(path("app")));
        if (setUp.contains("file"))
            QVERIFY(writeFile(path("app")));
        if (setUp.contains("ini"))
            QVERIFY(writeFile(path("app/Vescor.ini")));
        if (setUp.contains("read-only"))
            QVERIFY(QFile::setPermissions(path("app"), QFile::ReadOwner | QFile::ExeOwner));

        const QString config = path("config");
        const QString buildDir = setUp.contains("build") ? path("app") : path("build");
        const QString chosen = SettingsFile::pathFor(path(programDir), config, buildDir);
        QCOMPARE(QFileInfo(chosen).absoluteFilePath(),
                 besideProgram ? path("app/Vescor.ini") : config + QStringLiteral("/Vescor/Vescor.ini"));
    }

    // The file in the user's folder is created with its folders on the first
    // save and read back on the next load.
    void fileInUserFolder_data()
    {
        QTest::addColumn<QString>("userConfigDir");
        QTest::addColumn<QString>("settings");
        QTest::newRow("existing configuration folder") << "config" << QStringLiteral("{\"Port\": 3}");
        QTest::newRow("missing configuration folders") << "home/user/.config" << QStringLiteral("{\"Port\": 4}");
        QTest::newRow("empty settings string") << "config" << QString();
    }

    // The stored string, or the reason it could not be read.
    static QString stored(const QString& file)
    {
        QString text;
        QString error;
        return SettingsFile::load(file, text, error) ? text : error;
    }

    void fileInUserFolder()
    {
        QFETCH(QString, userConfigDir);
        QFETCH(QString, settings);
        QVERIFY(QDir().mkpath(path("config")));
        QVERIFY(writeFile(path("app")));

        const QString chosen = SettingsFile::pathFor(path("app/bin"), path(userConfigDir), path("build"));
        QCOMPARE(stored(chosen), QString());
        SettingsFile::save(chosen, settings);
        QVERIFY(QFile::exists(path(userConfigDir + "/Vescor/Vescor.ini")));
        QCOMPARE(stored(chosen), settings);
        QCOMPARE(stored(SettingsFile::pathFor(path("app/bin"), path(userConfigDir), path("build"))), settings);
    }

    // A settings file left in a system folder (an older package's, in the
    // installed program's folder) is never read, even by root, who may write there.
    void systemFolder_data()
    {
        QTest::addColumn<QString>("folder"); // %DIR%: the test's folder
        QTest::addColumn<bool>("system");
        QTest::newRow("installed program's folder") << "/usr/lib/vescor" << true;
        QTest::newRow("locally installed") << "/usr/local/lib/vescor" << true;
        QTest::newRow("add-on software") << "/opt/vescor/bin" << true;
        QTest::newRow("system configuration") << "/etc" << true;
        QTest::newRow("through a link") << "%DIR%/link/vescor" << true;
        QTest::newRow("up and down again") << "%DIR%/../../usr/lib" << true;
        QTest::newRow("portable folder") << "%DIR%/portable" << false;
        QTest::newRow("name that only starts alike") << "/usrdata/vescor" << false;
    }

    void systemFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        QVERIFY(QFile::link(QStringLiteral("/usr/lib"), path("link")));
        QCOMPARE(SettingsFile::isSystemFolder(folder.replace(QStringLiteral("%DIR%"), m_dir->path())), system);
    }

    // The file holds the register's passwords: its owner alone reads it,
    // however it came to be written and whatever mode it had.
    void ownerOnly_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("modeBefore"); // -1: no file yet
        QTest::newRow("settings, new file") << "settings" << -1;
        QTest::newRow("settings, file readable by all") << "settings" << 0644;
        QTest::newRow("window layout, new file") << "layout" << -1;
        QTest::newRow("window layout, file readable by all") << "layout" << 0664;
    }

    void ownerOnly()
    {
        QFETCH(QString, writer);
        QFETCH(int, modeBefore);
        const QString file = path("config/Vescor/Vescor.ini");
        if (modeBefore >= 0) {
            SettingsFile::save(file, QStringLiteral("{\"Port\": 1}"));
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(modeBefore)), 0);
        }
        const mode_t umaskBefore = ::umask(0);
        if (writer == QLatin1String("settings"))
            SettingsFile::save(file, QStringLiteral("{\"Port\": 2}"));
        else
            WindowLayout::load(file).save(file);
        ::umask(umaskBefore);
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), 0600);
        // Nothing else of the file is lost on the way.
        const QString kept = writer == QLatin1String("settings") ? QStringLiteral("{\"Port\": 2}")
                             : modeBefore >= 0                   ? QStringLiteral("{\"Port\": 1}")
                                                                 : QString();
        QCOMPARE(stored(file), kept);
    }
};

VESCOR_TEST(SettingsFileTest)

#include "tst_SettingsFile.moc"
