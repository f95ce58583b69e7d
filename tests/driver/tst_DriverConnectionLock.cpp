// One connection per register image: a second open of the same image, from
// this process or another, is refused while the first holds it; what an
// interrupted commit left beside the image goes at the next open.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString BusyText = QStringLiteral("ККТ занята другим подключением");
const int BusyCode = 22;
const int ImageCode = 20;

EmulatorImage oneTable()
{
    EmulatorImage image;
    image.addTable(3, {{2}, {4, true}}, 2);
    image.setCell(3, 1, 1, QByteArray::fromHex("0102"));
    return image;
}

// Runs `work` in a child process that reports one byte, then waits for `go`
// (when given) before it ends. Returns the child's pid; its byte arrives on `report`.
pid_t child(int report, int go, const std::function<char()>& work)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const char answer = work();
    (void)!::write(report, &answer, 1);
    if (go >= 0) {
        char ignored;
        (void)!::read(go, &ignored, 1);
    }
    ::_exit(0);
}

char readByte(int fd)
{
    char c = 0;
    return ::read(fd, &c, 1) == 1 ? c : char(-1);
}

bool finished(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

class DriverConnectionLockTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();

private slots:
    void initTestCase() { QVERIFY2(api.isLoaded(), qPrintable(api.loadError())); }
    void cleanup() { EmulatorImage::uninstall(); }

    void secondOpenIsRefused_data()
    {
        QTest::addColumn<QString>("second"); // how the second connection names the image
        QTest::newRow("same path") << "same";
        QTest::newRow("through a link") << "link";
        QTest::newRow("through a linked directory") << "linked directory";
    }

    void secondOpenIsRefused()
    {
        QFETCH(QString, second);
        QTemporaryDir dir;
        const QString path = oneTable().install(dir);
        TilloHandle first;
        QCOMPARE(api.open(first), 0);

        if (second == "link") {
            QVERIFY(QFile::link(path, dir.filePath("link.json")));
            qputenv("TILLO10_EMULATOR", QFile::encodeName(dir.filePath("link.json")));
        } else if (second == "linked directory") {
            QVERIFY(QFile::link(dir.path(), dir.filePath("alias")));
            qputenv("TILLO10_EMULATOR", QFile::encodeName(dir.filePath("alias/register-image.json")));
        }
        TilloHandle other;
        QCOMPARE(api.open(other), -1);
        QCOMPARE(api.errorCode(other), BusyCode);
        QCOMPARE(api.error(other), BusyText);
        api.setInt(other, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(other), -1); // no connection came of it
        QCOMPARE(api.errorCode(other), 3);

        // The first connection goes on undisturbed.
        QByteArray value;
        QCOMPARE(api.readCell(first, 3, 1, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0102"));
        QCOMPARE(api.writeCell(first, 3, 2, 1, QByteArray::fromHex("0A0B")), 0);
        QCOMPARE(api.commit(first), 0);
        QCOMPARE(api.open(other), -1); // a commit does not free the image
        QCOMPARE(api.errorCode(other), BusyCode);
        QCOMPARE(api.close(first), 0);
        QCOMPARE(api.open(other), 0);
        QCOMPARE(api.readCell(other, 3, 2, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0A0B"));
    }

    void lockEndsWithTheConnection_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("close") << "close";
        QTest::newRow("failed close") << "failed close";
        QTest::newRow("destroy") << "destroy";
        QTest::newRow("open of another image") << "other image";
        QTest::newRow("failed open again") << "failed open";
    }

    void lockEndsWithTheConnection()
    {
        QFETCH(QString, end);
        QTemporaryDir dir, otherDir;
        EmulatorImage image = oneTable();
        if (end == "failed close")
            image.addFault({"close", -1, -1, -1, 0, 1, 8, "Сбой"});
        if (end == "failed open")
            image.addFault({"open", -1, -1, -1, 1, 1, 2, "Нет связи"});
        const QString path = image.install(dir);
        libtillo_handle first = nullptr;
        QCOMPARE(api.create(&first), 0);
        QCOMPARE(api.open(first), 0);
        if (end == "close" || end == "failed close") {
            QCOMPARE(api.close(first), end == "close" ? 0 : -1);
        } else if (end == "destroy") {
            QCOMPARE(api.destroy(&first), 0);
        } else if (end == "other image") {
            oneTable().install(otherDir);
            QCOMPARE(api.open(first), 0);
            qputenv("TILLO10_EMULATOR", QFile::encodeName(path));
        } else {
            QCOMPARE(api.open(first), -1);
            QCOMPARE(api.errorCode(first), 2);
        }
        TilloHandle second;
        QCOMPARE(api.open(second), 0);
        if (first)
            QCOMPARE(api.destroy(&first), 0);
    }

    void failedOpenHoldsNothing_data()
    {
        QTest::addColumn<QString>("settings"); // of the handle whose open fails
        QTest::addColumn<bool>("fault");
        QTest::addColumn<int>("code");
        QTest::newRow("no link") << "{\"Port\": 2, \"IPAddress\": \"10.9.9.9\"}" << false << 2;
        QTest::newRow("injected fault") << "" << true << 7;
    }

    void failedOpenHoldsNothing()
    {
        QFETCH(QString, settings);
        QFETCH(bool, fault);
        QFETCH(int, code);
        QTemporaryDir dir;
        EmulatorImage image = oneTable();
        image.setLinkAddress(QStringLiteral("10.0.0.1"));
        if (fault)
            image.addFault({"open", -1, -1, -1, 0, 1, 7, "Сбой"});
        image.install(dir);
        TilloHandle failing, second;
        const std::wstring text = settings.toStdWString();
        QCOMPARE(api.setSettings(failing, text.c_str()), 0);
        QCOMPARE(api.open(failing), -1);
        QCOMPARE(api.errorCode(failing), code);
        if (fault) // the fault fires once for each handle
            QCOMPARE(api.open(second), -1);
        QCOMPARE(api.open(second), 0);
    }

    void missingImageMakesNoLockFile()
    {
        QTemporaryDir dir;
        qputenv("TILLO10_EMULATOR", QFile::encodeName(dir.filePath("none.json")));
        TilloHandle h;
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.errorCode(h), 20);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void imageInADirectoryWithoutWriteAccess_data()
    {
        QTest::addColumn<bool>("lockFileMade"); // by its owner, before the folder was closed
        QTest::newRow("lock file there") << true;
        QTest::newRow("no lock file: refused, no lock on the image") << false;
    }

    void imageInADirectoryWithoutWriteAccess()
    {
        QFETCH(bool, lockFileMade);
        if (::geteuid() == 0)
            QSKIP("the superuser writes into any directory");
        QTemporaryDir dir;
        const QString path = oneTable().install(dir);
        if (lockFileMade) {
            TilloHandle owner;
            QCOMPARE(api.open(owner), 0);
        }
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        TilloHandle first, second;
        if (lockFileMade) {
            QCOMPARE(api.open(first), 0);
            QCOMPARE(api.open(second), -1);
            QCOMPARE(api.errorCode(second), BusyCode);
            QCOMPARE(api.close(first), 0);
            QCOMPARE(api.open(second), 0);
        } else {
            QCOMPARE(api.open(first), -1);
            QCOMPARE(api.errorCode(first), ImageCode);
            QVERIFY2(api.error(first).contains(QStringLiteral("не удалось открыть файл блокировки")),
                     qPrintable(api.error(first)));
        }
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::exists(path));
    }

    // Whatever stands where the lock file belongs, the image is never locked in
    // its place: a commit would leave such a lock behind on the old file.
    void lockFileThatCannotServe_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addColumn<QString>("why");
        QTest::newRow("directory") << "directory" << "не удалось открыть файл блокировки";
        QTest::newRow("FIFO") << "fifo" << "не является обычным файлом";
        QTest::newRow("link to the image") << "link" << "не удалось открыть файл блокировки";
    }

    void lockFileThatCannotServe()
    {
        QFETCH(QString, occupant);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = oneTable().install(dir);
        const QByteArray lockPath = QFile::encodeName(dir.filePath(".register-image.json.lock"));
        if (occupant == "directory")
            QVERIFY(QDir(dir.path()).mkdir(".register-image.json.lock"));
        else if (occupant == "fifo")
            QCOMPARE(::mkfifo(lockPath.constData(), 0600), 0);
        else
            QVERIFY(QFile::link(path, QFile::decodeName(lockPath)));
        TilloHandle h;
        QCOMPARE(api.open(h), -1); // at once, also for a FIFO
        QCOMPARE(api.errorCode(h), ImageCode);
        QVERIFY2(api.error(h).contains(QFile::decodeName(lockPath)) && api.error(h).contains(why),
                 qPrintable(api.error(h)));
        // Nothing is held: the image's file is free.
        QFile image(path);
        QVERIFY(image.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(image.handle(), LOCK_EX | LOCK_NB), 0);
    }

    void lockFileGuardsAcrossCommits_data()
    {
        QTest::addColumn<QString>("second"); // how the second connection reaches the image
        QTest::addColumn<bool>("readOnlyLockFile");
        QTest::newRow("same path") << "same" << false;
        QTest::newRow("read-only lock file") << "same" << true;
        QTest::newRow("hard link") << "hard link" << false;
    }

    void lockFileGuardsAcrossCommits()
    {
        QFETCH(QString, second);
        QFETCH(bool, readOnlyLockFile);
        QTemporaryDir dir;
        const QString path = oneTable().install(dir);
        const QString lockPath = dir.filePath(".register-image.json.lock");
        if (readOnlyLockFile) {
            QFile lock(lockPath);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.close();
            QVERIFY(QFile::setPermissions(lockPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        TilloHandle first;
        QCOMPARE(api.open(first), 0);
        if (second == "hard link") {
            QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("alias.json")).constData()),
                     0);
            qputenv("TILLO10_EMULATOR", QFile::encodeName(dir.filePath("alias.json")));
        }
        TilloHandle other;
        QCOMPARE(api.open(other), -1);
        QCOMPARE(api.errorCode(other), BusyCode);
        // The commit replaces the image's file; the lock stays.
        QCOMPARE(api.writeCell(first, 3, 2, 1, QByteArray::fromHex("0A0B")), 0);
        QCOMPARE(api.commit(first), 0);
        QCOMPARE(api.open(other), -1);
        QCOMPARE(api.errorCode(other), BusyCode);
        QCOMPARE(api.close(first), 0);
        QCOMPARE(api.open(other), 0);
    }

    void lockFileTakesTheFolderPermissions_data()
    {
        QTest::addColumn<int>("folder");
        QTest::addColumn<int>("lockFile");
        QTest::newRow("private folder") << 0700 << 0600;
        QTest::newRow("shared with the group") << 02770 << 0660;
        QTest::newRow("readable by all") << 0755 << 0644;
    }

    void lockFileTakesTheFolderPermissions()
    {
        QFETCH(int, folder);
        QFETCH(int, lockFile);
        QTemporaryDir dir;
        oneTable().install(dir);
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), mode_t(folder)), 0);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        struct stat made;
        QCOMPARE(::stat(QFile::encodeName(dir.filePath(".register-image.json.lock")).constData(), &made), 0);
        QCOMPARE(int(made.st_mode & 07777), lockFile);
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0700), 0);
    }

    void anotherProcess_data()
    {
        QTest::addColumn<bool>("childHolds"); // false: this process holds the image, the child tries
        QTest::newRow("this process holds it") << false;
        QTest::newRow("another process holds it") << true;
    }

    void anotherProcess()
    {
        QFETCH(bool, childHolds);
        QTemporaryDir dir;
        oneTable().install(dir);
        int report[2], go[2];
        QCOMPARE(::pipe(report), 0);
        QCOMPARE(::pipe(go), 0);
        const TilloApi* a = &api;
        if (childHolds) {
            const pid_t pid = child(report[1], go[0], [a] {
                libtillo_handle h = nullptr;
                a->create(&h);
                return char(a->open(h) == 0 ? 'o' : 'f'); // holds it until told to go
            });
            QCOMPARE(readByte(report[0]), 'o');
            TilloHandle h;
            QCOMPARE(api.open(h), -1);
            QCOMPARE(api.errorCode(h), BusyCode);
            QCOMPARE(api.error(h), BusyText);
            QCOMPARE(::write(go[1], "x", 1), ssize_t(1));
            QVERIFY(finished(pid));
            QCOMPARE(api.open(h), 0); // the process's end ends its connection
        } else {
            TilloHandle h;
            QCOMPARE(api.open(h), 0);
            const pid_t pid = child(report[1], -1, [a] {
                libtillo_handle other = nullptr;
                a->create(&other);
                return char(a->open(other) == 0 ? 0 : a->errorCode(other));
            });
            QCOMPARE(int(readByte(report[0])), BusyCode);
            QVERIFY(finished(pid));
        }
        for (int fd : {report[0], report[1], go[0], go[1]})
            ::close(fd);
    }

    void leftoversOfAnInterruptedCommit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        QTest::newRow("temporary file of a commit") << "register-image.json.tmp-Ab12Yz" << true;
        QTest::newRow("suffix too short") << "register-image.json.tmp-Ab12Y" << false;
        QTest::newRow("suffix too long") << "register-image.json.tmp-Ab12Yz9" << false;
        QTest::newRow("not a random suffix") << "register-image.json.tmp-Ab.2Yz" << false;
        QTest::newRow("of another image") << "other.json.tmp-Ab12Yz" << false;
        QTest::newRow("a copy of the image") << "register-image.json.bak" << false;
    }

    void leftoversOfAnInterruptedCommit()
    {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        oneTable().install(dir);
        QFile left(dir.filePath(name));
        QVERIFY(left.open(QIODevice::WriteOnly));
        left.write("{\"half\": ");
        left.close();

        TilloHandle holder, refused;
        QCOMPARE(api.open(holder), 0);
        QCOMPARE(QFile::exists(dir.filePath(name)), !removed);

        // A refused open leaves alone what the holder's commit may be writing.
        QVERIFY(left.open(QIODevice::WriteOnly));
        left.close();
        QCOMPARE(api.open(refused), -1);
        QCOMPARE(api.errorCode(refused), BusyCode);
        QVERIFY(QFile::exists(dir.filePath(name)));
    }

    void interruptedCommitThenReopen()
    {
        QTemporaryDir dir;
        EmulatorImage image = oneTable();
        EmulatorImage::Fault crash{"commit", -1, -1, -1, 0, 1, 50, "Питание отключено"};
        crash.stage = "rename";
        image.addFault(crash);
        const QString path = image.install(dir);
        const QStringList pattern{"register-image.json.tmp-*"};
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 1, 1, QByteArray::fromHex("7777")), 0);
        QCOMPARE(api.commit(h), -1);
        QCOMPARE(QDir(dir.path()).entryList(pattern, QDir::Files).size(), 1);
        QCOMPARE(api.open(h), 0); // the same handle opens again: the leftover goes
        QCOMPARE(QDir(dir.path()).entryList(pattern, QDir::Files), QStringList());
        QCOMPARE(EmulatorImage::fromFile(path).cell(3, 1, 1), QByteArray::fromHex("0102"));
        // The next commit works as usual and leaves nothing behind.
        QCOMPARE(api.writeCell(h, 3, 1, 1, QByteArray::fromHex("7777")), 0);
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(QDir(dir.path()).entryList(pattern, QDir::Files), QStringList());
        QCOMPARE(EmulatorImage::fromFile(path).cell(3, 1, 1), QByteArray::fromHex("7777"));
    }
};

VESCOR_TEST(DriverConnectionLockTest)
#include "tst_DriverConnectionLock.moc"
