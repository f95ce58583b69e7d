// Faults injected by the image, and the call trace.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <map>

namespace {

EmulatorImage tableRegister()
{
    EmulatorImage image;
    image.addTable(3, {{2}, {2}}, 3);
    image.setCell(3, 1, 1, QByteArray::fromHex("0101"));
    image.setCell(3, 2, 1, QByteArray::fromHex("0201"));
    image.setCell(3, 2, 2, QByteArray::fromHex("0202"));
    return image;
}

} // namespace

class DriverFaultsTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();

    // The call under test on a handle that is ready for it.
    int perform(const QString& call, libtillo_handle h)
    {
        if (call == "open")
            return api.open(h);
        if (call == "close")
            return api.close(h);
        if (call == "query") {
            api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
            return api.queryData(h);
        }
        if (call == "read") {
            QByteArray v;
            return api.readCell(h, 3, 2, 1, v);
        }
        if (call == "write")
            return api.writeCell(h, 3, 2, 1, "\x01");
        if (call == "commit")
            return api.commit(h);
        if (call == "mapping") {
            api.setText(h, LIBTILLO_PARAM_MAPPING_INPUT, "Port");
            return api.mapping(h);
        }
        if (call == "drawer")
            return api.openDrawer(h);
        if (call == "set_settings")
            return api.setSettings(h, L"{\"BaudRate\": 9600}");
        if (call == "get_settings") {
            wchar_t buffer[512];
            return api.getSettings(h, buffer, 512) < 0 ? -1 : 0;
        }
        if (call == "set_single_setting")
            return api.setSingleSetting(h, L"Port", L"1");
        if (call == "apply_single_settings") {
            api.setSingleSetting(h, L"BaudRate", L"9600");
            return api.applySingleSettings(h);
        }
        return -100;
    }

private slots:
    void initTestCase() { QVERIFY2(api.isLoaded(), qPrintable(api.loadError())); }
    void cleanup() { EmulatorImage::uninstall(); }

    void everyCall_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("needsOpen");
        QTest::newRow("open") << "open" << false;
        QTest::newRow("close") << "close" << true;
        QTest::newRow("query") << "query" << true;
        QTest::newRow("read") << "read" << true;
        QTest::newRow("write") << "write" << true;
        QTest::newRow("commit") << "commit" << true;
        QTest::newRow("mapping") << "mapping" << false;
        QTest::newRow("drawer") << "drawer" << true;
        QTest::newRow("set_settings") << "set_settings" << false;
        QTest::newRow("get_settings") << "get_settings" << false;
        QTest::newRow("set_single_setting") << "set_single_setting" << false;
        QTest::newRow("apply_single_settings") << "apply_single_settings" << false;
    }

    // The call fails with the fault's code and description exactly once
    // (times 1), after which the same call works again.
    void everyCall()
    {
        QFETCH(QString, call);
        QFETCH(bool, needsOpen);
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.addFault({call, -1, -1, -1, 0, 1, 117, QStringLiteral("Сбой: %1").arg(call)});
        image.install(dir, true);
        TilloHandle h;
        if (needsOpen)
            QCOMPARE(api.open(h), 0);
        QCOMPARE(perform(call, h), -1);
        QCOMPARE(api.errorCode(h), 117);
        QCOMPARE(api.error(h), QStringLiteral("Сбой: %1").arg(call));
        QVERIFY2(EmulatorImage::traceLines(dir).last().endsWith(" -> 117"),
                 qPrintable(EmulatorImage::traceLines(dir).join('|')));
        if (needsOpen && call != "close")
            QCOMPARE(api.errorCode(h), 117);
        if (call == "close" || call == "open")
            QCOMPARE(api.open(h), 0);
        QCOMPARE(perform(call, h), 0);
        QCOMPARE(api.errorCode(h), 0);
    }

    void exceptionInEveryCall_data() { everyCall_data(); }

    // An exception inside the library never leaves it: the call fails with
    // code 99 and a text that names the C function and the reason, and the
    // handle goes on working (a close that failed so has still closed).
    void exceptionInEveryCall()
    {
        QFETCH(QString, call);
        QFETCH(bool, needsOpen);
        const std::map<QString, QString> functions = {
            {"open", "libtillo_open"}, {"close", "libtillo_close"}, {"query", "libtillo_query_data"},
            {"read", "libtillo_read_device_setting_raw"}, {"write", "libtillo_write_device_setting_raw"},
            {"commit", "libtillo_commit_settings"}, {"mapping", "libtillo_util_mapping"},
            {"drawer", "libtillo_open_drawer"}, {"set_settings", "libtillo_set_settings"},
            {"get_settings", "libtillo_get_settings"}, {"set_single_setting", "libtillo_set_single_setting"},
            {"apply_single_settings", "libtillo_apply_single_settings"}};
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        EmulatorImage::Fault fault{call, -1, -1, -1, 0, 1, 117, QStringLiteral("поломка: %1").arg(call)};
        fault.throws = true;
        image.addFault(fault);
        image.install(dir, true);
        TilloHandle h;
        if (needsOpen)
            QCOMPARE(api.open(h), 0);
        QCOMPARE(perform(call, h), -1);
        QCOMPARE(api.errorCode(h), 99);
        QCOMPARE(api.error(h), QStringLiteral("Внутренняя ошибка драйвера в %1: поломка: %2").arg(functions.at(call), call));
        QCOMPARE(EmulatorImage::traceLines(dir).last(), functions.at(call) + " -> 99");
        if (call == "close" || call == "open")
            QCOMPARE(api.open(h), 0);
        QCOMPARE(perform(call, h), 0);
        QCOMPARE(api.errorCode(h), 0);
    }

    // The image read for its faults before the open serves the open only while
    // the file is as it was then; replaced in between, the open reads it anew.
    void openTakesTheImageAsItIsNow_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<int>("rows");
        QTest::newRow("unchanged") << false << 4;
        QTest::newRow("replaced after set_settings") << true << 4;
        QTest::newRow("large table, unchanged") << false << 5000;
        QTest::newRow("large table, replaced after set_settings") << true << 5000;
    }

    void openTakesTheImageAsItIsNow()
    {
        QFETCH(bool, replaced);
        QFETCH(int, rows);
        QTemporaryDir dir;
        EmulatorImage image;
        image.addTable(3, {{2}}, rows);
        image.addFault({"query", -1, -1, -1, 0, 1, 7, QStringLiteral("Первый запрос")});
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.setSettings(h, L"{\"BaudRate\": 9600}"), 0);
        if (replaced) {
            image.setIdentity(99, QStringLiteral("Другая"), QStringLiteral("0099000001"), QStringLiteral("3.0.1"));
            image.setCell(3, rows, 1, QByteArray::fromHex("ABCD"));
            image.clearFaults();
            image.addFault({"query", -1, -1, -1, 0, 1, 8, QStringLiteral("Второй образ")});
            image.install(dir);
        }
        QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
        QCOMPARE(api.queryData(h), -1);
        QCOMPARE(api.errorCode(h), replaced ? 8 : 7);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), replaced ? 99u : 57u);
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, unsigned(rows), 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex(replaced ? "ABCD" : "0000"));
    }

    // An open connection keeps the image it loaded. Its large tables are
    // decoded from the file's text on first use: a file replaced meanwhile
    // leaves them as loaded; one rewritten in place is refused, not misread.
    void changedImageUnderAnOpenConnection_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("replaced by another file") << false;
        QTest::newRow("rewritten in place") << true;
    }

    void changedImageUnderAnOpenConnection()
    {
        QFETCH(bool, inPlace);
        QTemporaryDir dir;
        EmulatorImage image;
        image.addTable(3, {{2}}, 5000);
        const QString path = image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        image.setCell(3, 5000, 1, QByteArray::fromHex("ABCD"));
        if (inPlace) {
            QVERIFY(image.save(path));
        } else {
            QVERIFY(image.save(path + ".new"));
            QVERIFY(QFile::remove(path) && QFile::rename(path + ".new", path));
        }
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 5000, 1, value), inPlace ? -1 : 0);
        if (inPlace)
            QCOMPARE(api.errorCode(h), 20);
        if (inPlace)
            QVERIFY2(api.error(h).contains(QStringLiteral("файл образа изменён другой программой")), qPrintable(api.error(h)));
        else
            QCOMPARE(value, QByteArray::fromHex("0000"));
        QCOMPARE(api.close(h), 0);
    }

    void settingsStayAfterRefusal()
    {
        QTemporaryDir dir;
        EmulatorImage image;
        image.addFault({"set_settings"});
        image.addFault({"apply_single_settings"});
        image.install(dir);
        TilloHandle h;
        const QString before = api.settings(h);
        QCOMPARE(api.setSettings(h, L"{\"Port\": 2}"), -1);
        QCOMPARE(api.setSingleSetting(h, L"Port", L"3"), 0);
        QCOMPARE(api.applySingleSettings(h), -1);
        QCOMPARE(api.errorCode(h), 2);
        QCOMPARE(api.error(h), QStringLiteral("Нет связи"));
        QCOMPARE(api.settings(h), before);
    }

    void afterAndTimes_data()
    {
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("outcomes"); // one letter per read: o ok, f failed
        QTest::newRow("every time") << 0 << -1 << "fffff";
        QTest::newRow("once") << 0 << 1 << "foooo";
        QTest::newRow("after two, once") << 2 << 1 << "oofoo";
        QTest::newRow("after two, twice") << 2 << 2 << "ooffo";
        QTest::newRow("after three, always") << 3 << -1 << "oooff";
        QTest::newRow("never") << 0 << 0 << "ooooo";
    }

    void afterAndTimes()
    {
        QFETCH(int, after);
        QFETCH(int, times);
        QFETCH(QString, outcomes);
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.addFault({"read", 3, -1, -1, after, times, 30, "Сбой чтения"});
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QString seen;
        for (int i = 0; i < outcomes.size(); ++i) {
            QByteArray v;
            seen += api.readCell(h, 3, 1, 1, v) == 0 ? 'o' : 'f';
        }
        QCOMPARE(seen, outcomes);
    }

    void addressFilters_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("outcomes"); // reads of 3/1/1, 3/2/1, 3/2/2, 3/2/0 (row)
        QTest::newRow("any cell") << -1 << -1 << -1 << "ffff";
        QTest::newRow("table 3") << 3 << -1 << -1 << "ffff";
        QTest::newRow("table 4") << 4 << -1 << -1 << "oooo";
        QTest::newRow("row 2") << -1 << 2 << -1 << "offf";
        QTest::newRow("row 2, field 1") << 3 << 2 << 1 << "ofoo";
        QTest::newRow("row reads only") << -1 << -1 << 0 << "ooof";
    }

    void addressFilters()
    {
        QFETCH(int, table);
        QFETCH(int, row);
        QFETCH(int, field);
        QFETCH(QString, outcomes);
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.addFault({"read", table, row, field, 0, -1, 2, "Нет связи"});
        image.addFault({"write", table, row, field, 0, -1, 2, "Нет связи"});
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        const unsigned cells[4][2] = {{1, 1}, {2, 1}, {2, 2}, {2, 0}};
        QString reads, writes;
        for (const auto& c : cells) {
            QByteArray v;
            reads += api.readCell(h, 3, c[0], c[1], v) == 0 ? 'o' : 'f';
            writes += api.writeCell(h, 3, c[0], c[1], "\x01") == 0 ? 'o' : 'f';
        }
        QCOMPARE(reads, outcomes);
        QCOMPARE(writes, outcomes);
    }

    void queryFilter()
    {
        QTemporaryDir dir;
        EmulatorImage image;
        EmulatorImage::Fault fault{"query"};
        fault.query = 2;
        image.addFault(fault);
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 2);
        api.setInt(h, LIBTILLO_PARAM_QUERY_VERSION, 1);
        QCOMPARE(api.queryData(h), -1);
        QCOMPARE(api.errorCode(h), 2);
    }

    void countersLastAcrossOpensAndCommits()
    {
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.addFault({"open", -1, -1, -1, 2, 1, 9, "Третье открытие"});
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 1, 1, "\x05"), 0);
        QCOMPARE(api.commit(h), 0); // rewrites the image: the counters go on
        QCOMPARE(api.close(h), 0);
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.errorCode(h), 9);
        QCOMPARE(api.open(h), 0);
    }

    void countersStartAgainWithAnotherImage()
    {
        QTemporaryDir first, second;
        EmulatorImage image;
        image.addFault({"open", -1, -1, -1, 0, 1, 9, "Первое открытие"});
        image.install(first);
        TilloHandle h;
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.open(h), 0);
        image.install(second);
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.open(h), 0);
    }

    void faultsBeforeAnyOpenComeFromTheImage()
    {
        QTemporaryDir dir;
        EmulatorImage image;
        image.addFault({"mapping", -1, -1, -1, 1, -1, 7, "Нет списка"});
        image.install(dir);
        TilloHandle h;
        api.setText(h, LIBTILLO_PARAM_MAPPING_INPUT, "Port");
        QCOMPARE(api.mapping(h), 0);
        QCOMPARE(api.mapping(h), -1);
        QCOMPARE(api.errorCode(h), 7);
        QCOMPARE(api.text(h, LIBTILLO_PARAM_MAPPING_OUTPUT), QString());
    }

    void commitFaultKeepsTheWrites()
    {
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.addFault({"commit", -1, -1, -1, 0, 1, 40, "Сбой записи"});
        const QString path = image.install(dir);
        const QByteArray before = fileBytes(path);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 3, 2, QByteArray::fromHex("3302")), 0);
        QCOMPARE(api.commit(h), -1);
        QCOMPARE(api.errorCode(h), 40);
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(EmulatorImage::fromFile(path).cell(3, 3, 2), QByteArray::fromHex("3302"));
    }

    // A crash between writing the new image and putting it in place leaves
    // the old image whole; the next open reads the old values.
    void crashMidCommitLeavesTheOldImage()
    {
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        EmulatorImage::Fault crash{"commit", -1, -1, -1, 0, 1, 50, "Питание отключено"};
        crash.stage = "rename";
        image.addFault(crash);
        const QString path = image.install(dir);
        const QByteArray before = fileBytes(path);
        {
            TilloHandle h;
            QCOMPARE(api.open(h), 0);
            QCOMPARE(api.writeCell(h, 3, 1, 1, QByteArray::fromHex("7777")), 0);
            QCOMPARE(api.commit(h), -1);
            QCOMPARE(api.errorCode(h), 50);
        } // the handle goes as the process would
        QCOMPARE(fileBytes(path), before);
        const QStringList temporary = QDir(dir.path()).entryList({"register-image.json.tmp-*"}, QDir::Files);
        QCOMPARE(temporary.size(), 1);
        // The temporary file holds the complete new image.
        QCOMPARE(EmulatorImage::fromFile(dir.filePath(temporary.first())).cell(3, 1, 1), QByteArray::fromHex("7777"));

        TilloHandle again;
        QCOMPARE(api.open(again), 0);
        QByteArray v;
        QCOMPARE(api.readCell(again, 3, 1, 1, v), 0);
        QCOMPARE(v, QByteArray::fromHex("0101"));
        // The open took away what the interrupted commit left.
        QCOMPARE(QDir(dir.path()).entryList({"register-image.json.tmp-*"}, QDir::Files), QStringList());
    }

    void failedCloseStillCloses()
    {
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.addFault({"close", -1, -1, -1, 0, 1, 8, "Сбой"});
        const QString path = image.install(dir);
        const QByteArray before = fileBytes(path);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 1, 1, "\x09"), 0);
        QCOMPARE(api.close(h), -1);
        QByteArray v;
        QCOMPARE(api.readCell(h, 3, 1, 1, v), -1);
        QCOMPARE(api.errorCode(h), 3);
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(fileBytes(path), before);
    }

    void trace()
    {
        QTemporaryDir dir;
        EmulatorImage image = tableRegister();
        image.install(dir, true);
        TilloHandle h;
        QCOMPARE(api.setSettings(h, L""), 0);
        QCOMPARE(api.setSingleSetting(h, L"Port", L"1"), 0);
        QCOMPARE(api.applySingleSettings(h), 0);
        QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(h), 0);
        QByteArray v;
        api.readCell(h, 3, 1, 2, v);
        api.readCell(h, 3, 9, 1, v);
        api.readCell(h, 3, 2, 0, v);
        api.writeCell(h, 3, 1, 1, QByteArray::fromHex("4142"));
        api.writeCell(h, 3, 1, 0, QByteArray::fromHex("01020304"));
        api.writeCell(h, 3, 1, 1, QByteArray::fromHex("010203"));
        api.commit(h);
        api.openDrawer(h);
        api.setText(h, LIBTILLO_PARAM_MAPPING_INPUT, "BaudRate");
        api.mapping(h);
        api.settings(h);
        api.close(h);
        api.getInt(h, LIBTILLO_PARAM_MODEL_CODE); // parameters are not traced
        QCOMPARE(EmulatorImage::traceLines(dir),
                 QStringList({"set_settings -> 0", "set_single_setting Port 1 -> 0", "apply_single_settings -> 0",
                              "open -> 0", "query 0 -> 0", "read 3 1 2 -> 0", "read 3 9 1 -> 75",
                              "read-row 3 2 -> 0", "write 3 1 1 4142 -> 0", "write-row 3 1 01020304 -> 0",
                              "write 3 1 1 010203 -> 78", "commit -> 0", "drawer -> 0", "mapping BaudRate -> 0",
                              "get_settings -> 0", "get_settings -> 0", "close -> 0"}));
    }

    void noTraceWithoutTheVariable()
    {
        QTemporaryDir dir;
        tableRegister().install(dir, false);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QVERIFY(!QFile::exists(EmulatorImage::tracePath(dir)));
    }
};

VESCOR_TEST(DriverFaultsTest)
#include "tst_DriverFaults.moc"
