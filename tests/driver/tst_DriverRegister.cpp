// The emulated register through the C interface: identity, cell and row
// reads, writes, commits and what the image file holds afterwards.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Table 3: a bin2 field, an 8-byte text field, a bin1 field; four rows.
// Text cells hold internal-set bytes: 00 01 02 is "АБВ", A0 "$", 24 "№", A2 "—".
EmulatorImage smallRegister()
{
    EmulatorImage image;
    image.addTable(3, {{2}, {8, true}, {1}}, 4);
    image.setCell(3, 1, 1, QByteArray::fromHex("0102"));
    image.setCell(3, 1, 2, QByteArray::fromHex("000102A024A2A520"));
    image.setCell(3, 1, 3, QByteArray::fromHex("07"));
    image.setCell(3, 2, 1, QByteArray::fromHex("0A0B"));
    image.setCell(3, 2, 2, QByteArray::fromHex("4142"));
    image.setCell(3, 4, 3, QByteArray::fromHex("FF"));
    image.addTable(9, {}, 0); // a table without rows
    return image;
}

} // namespace

class DriverRegisterTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();

private slots:
    void initTestCase() { QVERIFY2(api.isLoaded(), qPrintable(api.loadError())); }
    void cleanup() { EmulatorImage::uninstall(); }

    void identity_data()
    {
        QTest::addColumn<bool>("fiscal");
        QTest::newRow("fiscal") << true;
        QTest::newRow("not fiscal") << false;
    }

    void identity()
    {
        QFETCH(bool, fiscal);
        QTemporaryDir dir;
        EmulatorImage image;
        image.setIdentity(123456, QStringLiteral("Касса «Тест»"), QStringLiteral("0099000042"),
                          QStringLiteral("4.1.77"), fiscal);
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 0u); // nothing before the query

        api.setInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.errorCode(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 123456u);
        QCOMPARE(api.text(h, LIBTILLO_PARAM_MODEL_NAME), QStringLiteral("Касса «Тест»"));
        QCOMPARE(api.text(h, LIBTILLO_PARAM_SERIAL_NUMBER), QStringLiteral("0099000042"));
        QCOMPARE(api.getBool(h, LIBTILLO_PARAM_FISCAL), fiscal ? 1 : 0);
        QCOMPARE(api.text(h, LIBTILLO_PARAM_FIRMWARE), QStringLiteral("4.1.77"));
        QCOMPARE(api.close(h), 0); // one connection per image at a time

        TilloHandle v;
        QCOMPARE(api.open(v), 0);
        api.setInt(v, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_VERSION);
        api.setInt(v, LIBTILLO_PARAM_QUERY_VERSION, 1);
        QCOMPARE(api.queryData(v), 0);
        QCOMPARE(api.text(v, LIBTILLO_PARAM_FIRMWARE), QStringLiteral("4.1.77"));
        QCOMPARE(api.getInt(v, LIBTILLO_PARAM_MODEL_CODE), 0u); // the version query gives the version only
    }

    void refusedQueries_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<unsigned>("query");
        QTest::addColumn<unsigned>("versionFlag");
        QTest::addColumn<int>("code");
        QTest::newRow("status, not open") << false << 0u << 0u << 3;
        QTest::newRow("version, not open") << false << 2u << 1u << 3;
        QTest::newRow("version without flag") << true << 2u << 0u << 4;
        QTest::newRow("unknown query") << true << 7u << 1u << 4;
    }

    void refusedQueries()
    {
        QFETCH(bool, open);
        QFETCH(unsigned, query);
        QFETCH(unsigned, versionFlag);
        QFETCH(int, code);
        QTemporaryDir dir;
        EmulatorImage().install(dir);
        TilloHandle h;
        if (open)
            QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, query);
        api.setInt(h, LIBTILLO_PARAM_QUERY_VERSION, versionFlag);
        QCOMPARE(api.queryData(h), -1);
        QCOMPARE(api.errorCode(h), code);
        QVERIFY(!api.error(h).isEmpty());
        QCOMPARE(api.text(h, LIBTILLO_PARAM_FIRMWARE), QString());
    }

    void read_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<unsigned>("row");
        QTest::addColumn<unsigned>("field");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bin2 cell") << 3u << 1u << 1u << 0 << QByteArray::fromHex("0102");
        QTest::newRow("text cell: internal bytes") << 3u << 1u << 2u << 0 << QByteArray::fromHex("000102A024A2A520");
        QTest::newRow("short text padded with zeros") << 3u << 2u << 2u << 0 << QByteArray::fromHex("4142000000000000");
        QTest::newRow("last row, last field") << 3u << 4u << 3u << 0 << QByteArray::fromHex("FF");
        QTest::newRow("untouched cell") << 3u << 3u << 1u << 0 << QByteArray::fromHex("0000");
        // The whole row: fields one after another, text in the external set.
        QTest::newRow("row") << 3u << 1u << 0u << 0 << QByteArray::fromHex("0102" "808182FC24FA2020" "07");
        QTest::newRow("row with zero text") << 3u << 3u << 0u << 0 << QByteArray::fromHex("0000" "8080808080808080" "00");
        QTest::newRow("row beyond the end") << 3u << 5u << 1u << 75 << QByteArray();
        QTest::newRow("row beyond, row read") << 3u << 5u << 0u << 75 << QByteArray();
        QTest::newRow("row 0") << 3u << 0u << 1u << 75 << QByteArray();
        QTest::newRow("field beyond the row") << 3u << 1u << 4u << 76 << QByteArray();
        QTest::newRow("field far beyond") << 3u << 4u << 4000000000u << 76 << QByteArray();
        QTest::newRow("table without rows") << 9u << 1u << 1u << 75 << QByteArray();
        QTest::newRow("unknown table") << 4u << 1u << 1u << 74 << QByteArray();
    }

    void read()
    {
        QFETCH(unsigned, table);
        QFETCH(unsigned, row);
        QFETCH(unsigned, field);
        QFETCH(int, code);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        smallRegister().install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        // A value left from an earlier read must not pass for this one.
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 1, 1, value), 0);

        QCOMPARE(api.readCell(h, table, row, field, value), code == 0 ? 0 : -1);
        QCOMPARE(api.errorCode(h), code);
        QCOMPARE(value, bytes);
        if (code != 0)
            QVERIFY(!api.error(h).isEmpty());
    }

    void readNeedsAnOpenConnection()
    {
        QTemporaryDir dir;
        smallRegister().install(dir);
        TilloHandle h;
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 1, 1, value), -1);
        QCOMPARE(api.errorCode(h), 3);
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.close(h), 0);
        QCOMPARE(api.readCell(h, 3, 1, 1, value), -1);
        QCOMPARE(api.errorCode(h), 3);
        QCOMPARE(api.writeCell(h, 3, 1, 1, "\x01"), -1);
        QCOMPARE(api.errorCode(h), 3);
        QCOMPARE(api.commit(h), -1);
        QCOMPARE(api.errorCode(h), 3);
        QCOMPARE(api.openDrawer(h), -1);
        QCOMPARE(api.errorCode(h), 3);
    }

    void write_data()
    {
        QTest::addColumn<unsigned>("row");
        QTest::addColumn<unsigned>("field");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("storedRow"); // the row's internal bytes afterwards
        const QByteArray row1 = QByteArray::fromHex("0102" "000102A024A2A520" "07");
        QTest::newRow("exact width") << 1u << 1u << QByteArray::fromHex("BEEF") << 0
                                     << QByteArray::fromHex("BEEF" "000102A024A2A520" "07");
        QTest::newRow("short: zero padded") << 1u << 1u << QByteArray::fromHex("05") << 0
                                            << QByteArray::fromHex("0500" "000102A024A2A520" "07");
        QTest::newRow("empty: all zeros") << 1u << 3u << QByteArray() << 0
                                          << QByteArray::fromHex("0102" "000102A024A2A520" "00");
        // External 80 81 = "АБ" -> internal 00 01; FC "$" -> A0; B0 "Ә" is not in the internal set -> 20.
        QTest::newRow("text converted") << 1u << 2u << QByteArray::fromHex("8081FCB0414220") << 0
                                        << QByteArray::fromHex("0102" "0001A020414220" "00" "07");
        QTest::newRow("text: zero bytes stay padding") << 1u << 2u << QByteArray::fromHex("8000") << 0
                                                       << QByteArray::fromHex("0102" "0000000000000000" "07");
        QTest::newRow("too long") << 1u << 1u << QByteArray::fromHex("010203") << 78 << row1;
        QTest::newRow("text too long") << 1u << 2u << QByteArray(9, 'A') << 78 << row1;
        QTest::newRow("row beyond") << 5u << 1u << QByteArray::fromHex("01") << 75 << QByteArray();
        QTest::newRow("field beyond") << 1u << 4u << QByteArray::fromHex("01") << 76 << row1;
        QTest::newRow("whole row, text converted") << 1u << 0u << QByteArray::fromHex("1111" "8182") << 0
                                                   << QByteArray::fromHex("1111" "0102000000000000" "00");
        QTest::newRow("whole row too long") << 1u << 0u << QByteArray(12, '\x01') << 78 << row1;
    }

    // A write is pending: reads see it, the file does not; a commit stores it.
    void write()
    {
        QFETCH(unsigned, row);
        QFETCH(unsigned, field);
        QFETCH(QByteArray, sent);
        QFETCH(int, code);
        QFETCH(QByteArray, storedRow);
        QTemporaryDir dir;
        const QString path = smallRegister().install(dir);
        const QByteArray before = fileBytes(path);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, row, field, sent), code == 0 ? 0 : -1);
        QCOMPARE(api.errorCode(h), code);
        if (storedRow.isEmpty())
            return;
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, row, 2, value), 0);
        QCOMPARE(value, storedRow.mid(2, 8));
        QCOMPARE(fileBytes(path), before);

        QCOMPARE(api.commit(h), 0);
        const EmulatorImage saved = EmulatorImage::fromFile(path);
        QCOMPARE(saved.cell(3, int(row), 1) + saved.cell(3, int(row), 2) + saved.cell(3, int(row), 3), storedRow);
        if (code != 0)
            QCOMPARE(fileBytes(path), before); // nothing to store: the file is not rewritten
    }

    void numberPairs_data()
    {
        QTest::addColumn<unsigned>("field"); // 2: the text cell; 0: the whole row
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("stored"); // the text cell afterwards, as a cell read gives it
        QTest::addColumn<QByteArray>("inRow");  // as a row read gives it; empty: the same
        QTest::newRow("cell: ©5,7") << 2u << QByteArray::fromHex("FD050007") << 0
                                    << QByteArray::fromHex("FD05000700000000") << QByteArray();
        QTest::newRow("cell: numbers equal to the fill") << 2u << QByteArray::fromHex("FD200020") << 0
                                                         << QByteArray::fromHex("FD20002000000000") << QByteArray();
        QTest::newRow("cell: ©0,0") << 2u << QByteArray::fromHex("FD000000") << 0
                                    << QByteArray::fromHex("FD00000000000000") << QByteArray();
        QTest::newRow("cell: numbers that are letters elsewhere") << 2u << QByteArray::fromHex("FDFF00FD") << 0
                                                                  << QByteArray::fromHex("FDFF00FD00000000") << QByteArray();
        QTest::newRow("cell: the mark alone") << 2u << QByteArray::fromHex("FD") << 0
                                              << QByteArray::fromHex("FD00000000000000") << QByteArray();
        QTest::newRow("cell: as long as the field") << 2u << QByteArray::fromHex("FD01000241424344") << 0
                                                    << QByteArray::fromHex("FD01000241424344") << QByteArray();
        QTest::newRow("cell: longer than the field") << 2u << QByteArray::fromHex("FD0100024142434445") << 78
                                                     << QByteArray::fromHex("000102A024A2A520")
                                                     << QByteArray::fromHex("808182FC24FA2020");
        QTest::newRow("row: pair in the text field") << 0u << QByteArray::fromHex("1111" "FD090003") << 0
                                                     << QByteArray::fromHex("FD09000300000000") << QByteArray();
        QTest::newRow("row: text field of blanks is text") << 0u << QByteArray::fromHex("1111" "20FD0003") << 0
                                                           << QByteArray::fromHex("2020002000000000")
                                                           << QByteArray::fromHex("2020802080808080");
    }

    // The pair form of a text cell (FD a 00 b) is no text: it is kept as sent,
    // padded with zero bytes, and read back unchanged by cell and by row.
    void numberPairs()
    {
        QFETCH(unsigned, field);
        QFETCH(QByteArray, sent);
        QFETCH(int, code);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, inRow);
        QTemporaryDir dir;
        const QString path = smallRegister().install(dir);
        {
            TilloHandle h;
            QCOMPARE(api.open(h), 0);
            QCOMPARE(api.writeCell(h, 3, 1, field, sent), code ? -1 : 0);
            QCOMPARE(api.errorCode(h), code);
            QCOMPARE(api.commit(h), 0);
        }
        if (code == 0)
            QCOMPARE(EmulatorImage::fromFile(path).cell(3, 1, 2), stored);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 1, 2, value), 0);
        QCOMPARE(value, stored);
        QCOMPARE(api.readCell(h, 3, 1, 0, value), 0);
        QCOMPARE(value.mid(2, 8), inRow.isEmpty() ? stored : inRow);
    }

    void slowLineKeepsTheAnswers_data()
    {
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<int>("bytesPerSecond");
        QTest::newRow("no wait") << 0 << 0;
        QTest::newRow("latency only") << 1 << 0;
        QTest::newRow("rate only") << 0 << 1000000;
        QTest::newRow("both") << 1 << 1000000;
    }

    // A simulated slow line changes how long requests take, never what they answer.
    void slowLineKeepsTheAnswers()
    {
        QFETCH(int, latencyMs);
        QFETCH(int, bytesPerSecond);
        QTemporaryDir dir;
        EmulatorImage image = smallRegister();
        image.json()["link"]["latencyMs"] = latencyMs;
        image.json()["link"]["bytesPerSecond"] = bytesPerSecond;
        const QString path = image.install(dir, true);
        {
            TilloHandle h;
            QCOMPARE(api.open(h), 0);
            api.setInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
            QCOMPARE(api.queryData(h), 0);
            QByteArray value;
            QCOMPARE(api.readCell(h, 3, 1, 0, value), 0);
            QCOMPARE(value, QByteArray::fromHex("0102" "808182FC24FA2020" "07"));
            QCOMPARE(api.readCell(h, 3, 5, 1, value), -1);
            QCOMPARE(api.errorCode(h), 75);
            QCOMPARE(api.writeCell(h, 3, 2, 1, QByteArray::fromHex("ABCD")), 0);
            QCOMPARE(api.commit(h), 0);
            QCOMPARE(api.close(h), 0);
        }
        QCOMPARE(EmulatorImage::fromFile(path).cell(3, 2, 1), QByteArray::fromHex("ABCD"));
        QCOMPARE(EmulatorImage::fromFile(path).json()["link"]["latencyMs"].asInt(), latencyMs); // kept by the commit
        QCOMPARE(EmulatorImage::traceLines(dir),
                 QStringList({"open -> 0", "query 0 -> 0", "read-row 3 1 -> 0", "read 3 5 1 -> 75",
                              "write 3 2 1 ABCD -> 0", "commit -> 0", "close -> 0"}));
    }

    void commitThenReopenReadsTheNewValues()
    {
        QTemporaryDir dir;
        const QString path = smallRegister().install(dir, true);
        {
            TilloHandle h;
            QCOMPARE(api.open(h), 0);
            QCOMPARE(api.writeCell(h, 3, 2, 1, QByteArray::fromHex("4142")), 0);
            QCOMPARE(api.writeCell(h, 3, 4, 3, QByteArray::fromHex("01")), 0);
            QCOMPARE(api.writeCell(h, 3, 2, 1, QByteArray::fromHex("4344")), 0); // the later write wins
            QCOMPARE(api.commit(h), 0);
            QCOMPARE(api.close(h), 0);
        }
        const EmulatorImage saved = EmulatorImage::fromFile(path);
        QVERIFY(saved.isValid());
        QCOMPARE(saved.cell(3, 2, 1), QByteArray::fromHex("4344"));
        QCOMPARE(saved.cell(3, 4, 3), QByteArray::fromHex("01"));
        QCOMPARE(saved.cell(3, 1, 2), QByteArray::fromHex("000102A024A2A520"));
        QCOMPARE(saved.rowCount(3), 4);
        QCOMPARE(saved.json()["identity"]["serialNumber"].asString(), std::string("0057000001"));
        // No temporary file is left beside the image.
        QCOMPARE(QDir(dir.path()).entryList({"register-image.json*"}, QDir::Files), QStringList{"register-image.json"});

        TilloHandle again;
        QCOMPARE(api.open(again), 0);
        QByteArray value;
        QCOMPARE(api.readCell(again, 3, 2, 0, value), 0);
        // Zero bytes of the text field are the letter А of the internal set: 80 outside.
        QCOMPARE(value, QByteArray::fromHex("4344" "4142808080808080" "00"));
        QCOMPARE(EmulatorImage::traceLines(dir),
                 QStringList({"open -> 0", "write 3 2 1 4142 -> 0", "write 3 4 3 01 -> 0", "write 3 2 1 4344 -> 0",
                              "commit -> 0", "close -> 0", "open -> 0", "read-row 3 2 -> 0"}));
    }

    void commitKeepsWhatTheImageSays()
    {
        QTemporaryDir dir;
        EmulatorImage image = smallRegister();
        image.setLinkAddress(QStringLiteral("10.0.0.7"));
        image.addFault({QStringLiteral("drawer")});
        image.json()["comment"] = "kept";
        image.setText(3, 3, 2, QStringLiteral("Да"));
        const QString path = image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 1, 3, "\x02"), 0);
        QCOMPARE(api.commit(h), 0);
        const EmulatorImage saved = EmulatorImage::fromFile(path);
        QCOMPARE(saved.json()["comment"].asString(), std::string("kept"));
        QCOMPARE(saved.json()["link"]["ipAddress"].asString(), std::string("10.0.0.7"));
        QCOMPARE(saved.json()["faults"].size(), 1u);
        // A typed text cell is stored as its bytes: "Да" is 04 80 internally, then fill 20.
        QCOMPARE(saved.cell(3, 3, 2), QByteArray::fromHex("0480202020202020"));
    }

    void closeWithoutCommitDiscards_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("close") << "close";
        QTest::newRow("destroy") << "destroy";
        QTest::newRow("open again") << "reopen";
    }

    void closeWithoutCommitDiscards()
    {
        QFETCH(QString, end);
        QTemporaryDir dir;
        const QString path = smallRegister().install(dir);
        const QByteArray before = fileBytes(path);
        libtillo_handle h = nullptr;
        QCOMPARE(api.create(&h), 0);
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 1, 1, QByteArray::fromHex("FFFF")), 0);
        if (end == "close")
            QCOMPARE(api.close(h), 0);
        else if (end == "destroy")
            QCOMPARE(api.destroy(&h), 0);
        if (h == nullptr)
            QCOMPARE(api.create(&h), 0);
        QCOMPARE(api.open(h), 0);
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 1, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0102"));
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(api.destroy(&h), 0);
    }

    void pendingWritesBelongToTheirConnection()
    {
        QTemporaryDir dir;
        smallRegister().install(dir);
        TilloHandle a, b;
        QCOMPARE(api.open(a), 0);
        QCOMPARE(api.writeCell(a, 3, 1, 1, QByteArray::fromHex("AAAA")), 0);
        QCOMPARE(api.open(b), -1); // the image serves one connection at a time
        QByteArray value;
        QCOMPARE(api.readCell(b, 3, 1, 1, value), -1);
        QCOMPARE(api.readCell(a, 3, 1, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("AAAA"));
        QCOMPARE(api.close(a), 0);
        QCOMPARE(api.open(b), 0);
        QCOMPARE(api.readCell(b, 3, 1, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0102"));
    }

    void eachOpenReadsTheImageNamedThen()
    {
        QTemporaryDir first, second;
        EmulatorImage one = smallRegister();
        one.setIdentity(11, "Один", "1", "1.0.1");
        EmulatorImage two;
        two.setIdentity(22, "Два", "2", "2.0.2");
        one.install(first);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        two.install(second);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 11u); // the open connection keeps its register
        QCOMPARE(api.close(h), 0);
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 22u);
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 1, 1, value), -1);
        QCOMPARE(api.errorCode(h), 74);
    }

    void typedCells()
    {
        QTemporaryDir dir;
        EmulatorImage image;
        image.addTable(1, {{3}, {4}, {6, true}, {4, false, 0x2E}, {6, true, 0}}, 1);
        Json::Value bcd(Json::objectValue), uint(Json::objectValue);
        bcd["bcd"] = 12345;
        uint["uint"] = 258;
        image.json()["tables"][0]["rows"][0][0] = bcd;
        image.json()["tables"][0]["rows"][0][1] = uint;
        image.setText(1, 1, 3, QStringLiteral("Ёж $1"));
        image.setText(1, 1, 4, QStringLiteral("ab"));
        image.setText(1, 1, 5, QStringLiteral("Я"));
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        const QList<QByteArray> expected = {QByteArray::fromHex("012345"), QByteArray::fromHex("00000102"),
                                            QByteArray::fromHex("F086" "20A0" "3120"), QByteArray("ab.."),
                                            QByteArray::fromHex("1F0000000000")};
        for (int f = 0; f < expected.size(); ++f) {
            QByteArray value;
            QCOMPARE(api.readCell(h, 1, 1, unsigned(f + 1), value), 0);
            QCOMPARE(value, expected[f]);
        }
    }

    void brokenImages_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not JSON") << QByteArray("{ tables: ") << "JSON";
        QTest::newRow("an array") << QByteArray("[]") << "JSON";
        QTest::newRow("no identity") << QByteArray("{\"tables\": []}") << "identity";
        QTest::newRow("tables not an array") << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": 5}")
                                             << "tables";
        QTest::newRow("no width") << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": "
                                                "[{\"id\": 1, \"fields\": [{}]}]}") << "width";
        QTest::newRow("cell longer than its field")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": [{\"id\": 1, \"fields\": [{\"width\": 1}], "
                          "\"rows\": [[\"0102\"]]}]}") << "ряд 1, поле 1";
        QTest::newRow("odd hex") << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": [{\"id\": 1, "
                                               "\"fields\": [{\"width\": 2}], \"rows\": [[\"012\"]]}]}") << "шестнадцатеричн";
        QTest::newRow("more cells than fields")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": [{\"id\": 1, \"fields\": [{\"width\": 1}], "
                          "\"rows\": [[\"01\", \"02\"]]}]}") << "ряд 1";
        QTest::newRow("same table twice")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": [{\"id\": 1, \"fields\": []}, "
                          "{\"id\": 1, \"fields\": []}]}") << "дважды";
        QTest::newRow("number too big") << QByteArray("{\"identity\": {\"modelCode\": 1}, \"tables\": [{\"id\": 1, "
                                                      "\"fields\": [{\"width\": 1}], \"rows\": [[{\"uint\": 256}]]}]}")
                                        << "не помещается";
        QTest::newRow("link not an object") << QByteArray("{\"identity\": {\"modelCode\": 1}, \"link\": 5}") << "\"link\"";
        QTest::newRow("negative latency")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"link\": {\"latencyMs\": -5}}") << "link.latencyMs";
        QTest::newRow("latency beyond a minute")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"link\": {\"latencyMs\": 60001}}") << "link.latencyMs";
        QTest::newRow("rate as text")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"link\": {\"bytesPerSecond\": \"fast\"}}")
            << "link.bytesPerSecond";
        QTest::newRow("port 0") << QByteArray("{\"identity\": {\"modelCode\": 1}, \"link\": {\"ipPort\": 0}}")
                                << "link.ipPort";
        QTest::newRow("device number 256")
            << QByteArray("{\"identity\": {\"modelCode\": 1}, \"link\": {\"deviceNumber\": 256}}")
            << "link.deviceNumber";
        // Deeper than the JSON reader goes: the image cannot be read.
        QTest::newRow("nested 5000 levels") << "{\"identity\": {\"modelCode\": 1}, \"a\":" + QByteArray(5000, '[')
                                            << "не удалось прочитать образ";
        QTest::newRow("nested 5000 levels in the faults")
            << "{\"identity\": {\"modelCode\": 1}, \"faults\": [" + QByteArray(5000, '[') + QByteArray(5001, ']') + "}"
            << "не удалось прочитать образ";
    }

    void brokenImages()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("image.json");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        qputenv("TILLO10_EMULATOR", QFile::encodeName(path));
        TilloHandle h;
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.errorCode(h), 20);
        QVERIFY2(api.error(h).contains(path) && api.error(h).contains(reason), qPrintable(api.error(h)));
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        QCOMPARE(api.queryData(h), -1); // a failed open leaves no connection
        QCOMPARE(api.errorCode(h), 3);
        QCOMPARE(fileBytes(path), content);
    }

    // A table of many rows is decoded on its first use, not at the open: a
    // broken cell there fails the calls that need the table, never the others.
    void largeTableDecodedOnFirstUse_data()
    {
        QTest::addColumn<QString>("lastCell"); // table 5's last row, field 1, as the image gives it
        QTest::addColumn<QString>("reason");   // empty: the table is sound
        QTest::addColumn<bool>("escaped");     // row 2's text written with \u escapes
        QTest::newRow("sound") << "0A0B" << QString() << false;
        QTest::newRow("text with escapes") << "0A0B" << QString() << true;
        QTest::newRow("odd hex in the last row") << "0A0" << "ряд 5000, поле 1" << false;
        QTest::newRow("longer than its field") << "0A0B0C" << "ряд 5000, поле 1" << false;
        QTest::newRow("a row of three cells") << QString() << "ряд 5000" << false;
    }

    void largeTableDecodedOnFirstUse()
    {
        QFETCH(QString, lastCell);
        QFETCH(QString, reason);
        QFETCH(bool, escaped);
        QTemporaryDir dir;
        EmulatorImage image = smallRegister();
        image.addTable(5, {{2}, {8, true}}, 5000);
        image.setCell(5, 1, 2, QByteArray::fromHex("0102"));
        image.setText(5, 2, 2, QStringLiteral("Ёж"));
        for (Json::Value& table : image.json()["tables"]) {
            if (table["id"].asUInt() != 5)
                continue;
            Json::Value number(Json::objectValue), bcd(Json::objectValue);
            number["uint"] = 258;
            bcd["bcd"] = 1234;
            table["rows"][1][0] = number;
            table["rows"][2][0] = bcd;
            Json::Value& last = table["rows"][4999];
            if (lastCell.isEmpty())
                last.append("01");
            else
                last[0] = lastCell.toStdString();
        }
        const QString path = image.install(dir);
        if (escaped)
            QVERIFY(writeBytes(path, fileBytes(path).replace("\"Ёж\"", "\"\\u0401\\u0436\"")));
        QCOMPARE(fileBytes(path).contains("\\u0401"), escaped);
        const QByteArray before = fileBytes(path);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QByteArray value;
        QCOMPARE(api.readCell(h, 3, 1, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0102"));
        QCOMPARE(api.writeCell(h, 3, 2, 1, QByteArray::fromHex("ABCD")), 0);
        if (reason.isEmpty()) {
            QCOMPARE(api.readCell(h, 5, 1, 2, value), 0);
            QCOMPARE(value, QByteArray::fromHex("0102000000000000"));
            QCOMPARE(api.readCell(h, 5, 5000, 1, value), 0);
            QCOMPARE(value, QByteArray::fromHex("0A0B"));
            QCOMPARE(api.readCell(h, 5, 2, 1, value), 0);
            QCOMPARE(value, QByteArray::fromHex("0102"));
            QCOMPARE(api.readCell(h, 5, 2, 2, value), 0);
            QCOMPARE(value, QByteArray::fromHex("F086202020202020"));
            QCOMPARE(api.readCell(h, 5, 3, 1, value), 0);
            QCOMPARE(value, QByteArray::fromHex("1234"));
            QCOMPARE(api.commit(h), 0);
            const EmulatorImage saved = EmulatorImage::fromFile(path);
            QCOMPARE(saved.cell(3, 2, 1), QByteArray::fromHex("ABCD"));
            QCOMPARE(saved.rowCount(5), 5000);
            QCOMPARE(saved.cell(5, 5000, 1), QByteArray::fromHex("0A0B"));
            return;
        }
        QCOMPARE(api.readCell(h, 5, 1, 1, value), -1);
        QCOMPARE(api.errorCode(h), 20);
        QVERIFY2(api.error(h).contains(path) && api.error(h).contains(reason), qPrintable(api.error(h)));
        QCOMPARE(api.commit(h), -1); // a commit writes every table
        QCOMPARE(api.errorCode(h), 20);
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(api.readCell(h, 3, 2, 1, value), 0);
    }

    // The end of a large table's rows is found past texts that look like
    // its brackets, quotes, backslashes or comments, wherever they fall in
    // the text: the cells come back as written, and so does the table after.
    void largeTableEndPastItsTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringLiteral("Молоко");
        QTest::newRow("brackets") << QStringLiteral("]}]][{");
        QTest::newRow("quotes and backslashes") << QStringLiteral("a\\\"]\\");
        QTest::newRow("slashes") << QStringLiteral("1/2 //x");
        QTest::newRow("comment marks") << QStringLiteral("/* ] */");
    }

    void largeTableEndPastItsTexts()
    {
        QFETCH(QString, text);
        QTemporaryDir dir;
        EmulatorImage image = smallRegister();
        image.addTable(5, {{2}, {16}}, 5000);
        image.addTable(6, {{2}}, 1);
        image.setCell(6, 1, 1, QByteArray::fromHex("0A0B"));
        const QList<int> rows{1, 2, 3, 17, 18, 19, 20, 21, 2500, 4999, 5000};
        for (const int row : rows)
            image.setText(5, row, 2, text);
        image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QByteArray value;
        const QByteArray stored = text.toUtf8() + QByteArray(16 - text.toUtf8().size(), '\0');
        for (const int row : rows) {
            QCOMPARE(api.readCell(h, 5, unsigned(row), 2, value), 0);
            QCOMPARE(value, stored);
        }
        QCOMPARE(api.readCell(h, 5, 5001, 1, value), -1);
        QCOMPARE(api.errorCode(h), LIBTILLO_ERROR_ROW_BEYOND);
        QCOMPARE(api.readCell(h, 6, 1, 1, value), 0);
        QCOMPARE(value, QByteArray::fromHex("0A0B"));
    }

    // A whole row of a large table not used yet is read from that row's own
    // text: a sound row comes as the decoded table gives it, though another
    // row is broken; the broken row, a cell, the first row (where a read of
    // the whole table starts) and a row beyond are refused.
    void wholeRowOfATableNotUsedYet_data()
    {
        QTest::addColumn<unsigned>("row");
        QTest::addColumn<unsigned>("field");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a sound row") << 2u << 0u << 0 << QString();
        QTest::newRow("the last sound row") << 4999u << 0u << 0 << QString();
        QTest::newRow("the broken row") << 5000u << 0u << 20 << "ряд 5000, поле 1";
        QTest::newRow("a row beyond") << 5001u << 0u << 75 << "рядов: 5000";
        QTest::newRow("a cell of a sound row") << 2u << 1u << 20 << "ряд 5000, поле 1";
        // A read from the top goes on through the table, which is decoded whole.
        QTest::newRow("the first row") << 1u << 0u << 20 << "ряд 5000, поле 1";
    }

    void wholeRowOfATableNotUsedYet()
    {
        QFETCH(unsigned, row);
        QFETCH(unsigned, field);
        QFETCH(int, code);
        QFETCH(QString, reason);
        EmulatorImage image = smallRegister();
        image.addTable(5, {{2}, {8, true}}, 5000);
        image.setCell(5, 2, 1, QByteArray::fromHex("0102"));
        image.setText(5, 2, 2, QStringLiteral("Ёж [1]"));
        image.setCell(5, 4999, 1, QByteArray::fromHex("0A0B"));

        // What the decoded table gives: the table used first through a cell.
        QByteArray decoded;
        {
            QTemporaryDir dir;
            image.install(dir);
            TilloHandle h;
            QCOMPARE(api.open(h), 0);
            QByteArray cell;
            QCOMPARE(api.readCell(h, 5, 1, 1, cell), 0);
            if (code == 0)
                QCOMPARE(api.readCell(h, 5, row, 0, decoded), 0);
        }

        for (Json::Value& table : image.json()["tables"]) {
            if (table["id"].asUInt() == 5)
                table["rows"][4999][0] = "0A0";
        }
        QTemporaryDir dir;
        const QString path = image.install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QByteArray value;
        QCOMPARE(api.readCell(h, 5, row, field, value), code ? -1 : 0);
        QCOMPARE(api.errorCode(h), code);
        if (code == 0) {
            QCOMPARE(value, decoded);
            QCOMPARE(value.size(), 10);
        } else {
            QVERIFY2(api.error(h).contains(reason), qPrintable(api.error(h)));
        }
    }

    // A whole row read alone answers as the decoded table does, whatever the
    // rows' text holds around it: a row that is not an array fails the read
    // as it fails the table's decoding.
    void wholeRowWhateverTheRowsAround_data()
    {
        QTest::addColumn<QString>("edit"); // what row 3 of table 5 becomes
        QTest::addColumn<unsigned>("row");
        QTest::addColumn<int>("code");
        QTest::newRow("texts like brackets before it") << "brackets" << 4u << 0;
        QTest::newRow("an empty row") << "empty" << 3u << 0;
        QTest::newRow("after an empty row") << "empty" << 4u << 0;
        QTest::newRow("a number among the rows") << "number" << 4u << 20;
        QTest::newRow("a text among the rows") << "text" << 2u << 20;
        QTest::newRow("null among the rows") << "null" << 4999u << 20;
        QTest::newRow("an object as a row") << "object" << 4u << 20;
    }

    void wholeRowWhateverTheRowsAround()
    {
        QFETCH(QString, edit);
        QFETCH(unsigned, row);
        QFETCH(int, code);
        EmulatorImage image = smallRegister();
        image.addTable(5, {{2}, {8, true}}, 5000);
        image.setCell(5, 4, 1, QByteArray::fromHex("0A0B"));
        image.setText(5, 4, 2, QStringLiteral("Ёж"));
        for (Json::Value& table : image.json()["tables"]) {
            if (table["id"].asUInt() != 5)
                continue;
            Json::Value& third = table["rows"][2];
            if (edit == "brackets") {
                Json::Value text(Json::objectValue);
                text["text"] = "]],[{\"";
                third[1] = text;
            } else if (edit == "empty") {
                third = Json::Value(Json::arrayValue);
            } else if (edit == "number") {
                third = 7;
            } else if (edit == "text") {
                third = "0A0B";
            } else if (edit == "null") {
                third = Json::Value();
            } else {
                third = Json::Value(Json::objectValue);
                third["uint"] = 1;
            }
        }
        QTemporaryDir dir;
        image.install(dir);
        const auto readRow = [&](bool decodedFirst, QByteArray& value) {
            TilloHandle h;
            if (api.open(h) != 0)
                return -2;
            QByteArray cell;
            if (decodedFirst)
                api.readCell(h, 5, 1, 1, cell);
            api.readCell(h, 5, row, 0, value);
            return api.errorCode(h);
        };
        QByteArray alone, decoded;
        QCOMPARE(readRow(false, alone), code);
        QCOMPARE(readRow(true, decoded), code);
        QCOMPARE(alone, decoded);
        if (code == 0)
            QCOMPARE(alone.size(), 10);
    }

    // The cells of a large table, decoded on its first use, come as the
    // typed forms of a small table give them, however the image writes them;
    // a cell that does not fit its field fails the table's use, naming it.
    void typedCellsOfALargeTable_data()
    {
        QTest::addColumn<QByteArray>("cell"); // row 2's cell as the image's text has it
        QTest::addColumn<unsigned>("field");  // 1: 3 bytes, 2: 4 bytes, 3: text of 6, 4: 4 bytes filled with '.'
        QTest::addColumn<QByteArray>("bytes"); // empty: refused
        QTest::newRow("bcd number") << QByteArray(R"({"bcd":12345})") << 1u << QByteArray::fromHex("012345");
        QTest::newRow("bcd digits, blanks around") << QByteArray(R"({ "bcd" : "012" })") << 1u
                                                   << QByteArray::fromHex("000012");
        QTest::newRow("bcd longer than its field") << QByteArray(R"({"bcd":1234567})") << 1u << QByteArray();
        QTest::newRow("uint") << QByteArray(R"({"uint":258})") << 2u << QByteArray::fromHex("00000102");
        QTest::newRow("uint over its field") << QByteArray(R"({"uint":4294967296})") << 2u << QByteArray();
        QTest::newRow("text in the register's set") << QByteArray(R"({"text":"Ёж $1"})") << 3u
                                                    << QByteArray::fromHex("F08620A03120");
        QTest::newRow("text longer than its field") << QByteArray(R"({"text":"Ёжик ёж"})") << 3u << QByteArray();
        QTest::newRow("text with its fill") << QByteArray(R"({"text":"ab"})") << 4u << QByteArray("ab..");
        QTest::newRow("text filling its field") << QByteArray(R"({"text":"abcd"})") << 4u << QByteArray("abcd");
        QTest::newRow("text over a field") << QByteArray(R"({"text":"abcde"})") << 4u << QByteArray();
        QTest::newRow("hex with separators") << QByteArray(R"("0A:0B")") << 2u << QByteArray::fromHex("0A0B0000");
        QTest::newRow("hex longer than its field") << QByteArray(R"("0A0B0C0D0E")") << 2u << QByteArray();
        QTest::newRow("null") << QByteArray("null") << 3u << QByteArray::fromHex("000000000000");
    }

    void typedCellsOfALargeTable()
    {
        QFETCH(QByteArray, cell);
        QFETCH(unsigned, field);
        QFETCH(QByteArray, bytes);
        EmulatorImage image = smallRegister();
        image.addTable(5, {{3}, {4}, {6, true}, {4, false, 0x2E}}, 5000);
        image.json()["tables"][2]["rows"][1][field - 1] = "@CELL@";
        QCOMPARE(image.json()["tables"][2]["id"].asUInt(), 5u);
        QTemporaryDir dir;
        const QString path = image.install(dir);
        QVERIFY(writeBytes(path, fileBytes(path).replace("\"@CELL@\"", cell)));
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QByteArray value;
        QCOMPARE(api.readCell(h, 5, 2, field, value), bytes.isEmpty() ? -1 : 0);
        if (bytes.isEmpty()) {
            QCOMPARE(api.errorCode(h), 20);
            QVERIFY2(api.error(h).contains("ряд 2, поле " + QString::number(field)), qPrintable(api.error(h)));
        } else {
            QCOMPARE(value, bytes);
        }
    }

    void missingImage()
    {
        QTemporaryDir dir;
        qputenv("TILLO10_EMULATOR", QFile::encodeName(dir.filePath("none.json")));
        TilloHandle h;
        QCOMPARE(api.open(h), -1);
        QCOMPARE(api.errorCode(h), 20);
        QVERIFY(!QFile::exists(dir.filePath("none.json")));
    }

    void drawer_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("code");
        QTest::newRow("with drawer") << true << 0;
        QTest::newRow("without drawer") << false << 11;
    }

    void drawer()
    {
        QFETCH(bool, present);
        QFETCH(int, code);
        QTemporaryDir dir;
        EmulatorImage().setDrawer(present).install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.openDrawer(h), code ? -1 : 0);
        QCOMPARE(api.errorCode(h), code);
    }

    void commitFailureKeepsTheWrites()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QString path = dir.filePath("sub/image.json");
        QVERIFY(smallRegister().save(path));
        qputenv("TILLO10_EMULATOR", QFile::encodeName(path));
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        QCOMPARE(api.writeCell(h, 3, 1, 1, QByteArray::fromHex("ABCD")), 0);
        // The image's directory has gone: the commit fails and says where.
        QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
        QCOMPARE(api.commit(h), -1);
        QCOMPARE(api.errorCode(h), 21);
        QVERIFY2(api.error(h).contains(path), qPrintable(api.error(h)));
        // The writes are still pending: once the directory is back, a commit stores them.
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QCOMPARE(api.commit(h), 0);
        const EmulatorImage saved = EmulatorImage::fromFile(path);
        QCOMPARE(saved.cell(3, 1, 1), QByteArray::fromHex("ABCD"));
        QCOMPARE(saved.cell(3, 1, 2), QByteArray::fromHex("000102A024A2A520"));
    }
};

VESCOR_TEST(DriverRegisterTest)
#include "tst_DriverRegister.moc"
