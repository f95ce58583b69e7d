#include "support/TestMain.h"

#include "settings/DriverSettingsJson.h"

#include <json/json.h>

#include <QTest>

#include <memory>

namespace {

Json::Value parseJson(const QString& text)
{
    const std::string utf8 = text.toStdString();
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &errors))
        return Json::Value();
    return root;
}

DriverSettings fullRecord()
{
    DriverSettings s;
    s.Model = 69;
    s.Port = 2;
    s.ComFile = QStringLiteral("/dev/ttyS3");
    s.UsbDevicePath = QStringLiteral("auto");
    s.BaudRate = 115200;
    s.Bits = 8;
    s.StopBits = 2;
    s.Parity = 1;
    s.UserPassword = QStringLiteral("Кассир-30");
    s.AccessPassword = QStringLiteral("0");
    s.IPAddress = QStringLiteral("192.168.1.10");
    s.IPPort = 5555;
    s.MACAddress = QStringLiteral("AA:BB:CC:DD:EE:0F");
    s.OfdChannel = 3;
    return s;
}

const char* const FullText = R"({"Model":69,"Port":2,"ComFile":"/dev/ttyS3","UsbDevicePath":"auto",
    "BaudRate":115200,"Bits":8,"StopBits":2,"Parity":1,"UserPassword":"Кассир-30","AccessPassword":"0",
    "IPAddress":"192.168.1.10","IPPort":5555,"MACAddress":"AA:BB:CC:DD:EE:0F","OfdChannel":3,
    "AutoReconnect":true})";

void compare(const DriverSettings& actual, const DriverSettings& expected)
{
    QCOMPARE(actual.Model, expected.Model);
    QCOMPARE(actual.Port, expected.Port);
    QCOMPARE(actual.ComFile, expected.ComFile);
    QCOMPARE(actual.UsbDevicePath, expected.UsbDevicePath);
    QCOMPARE(actual.BaudRate, expected.BaudRate);
    QCOMPARE(actual.Bits, expected.Bits);
    QCOMPARE(actual.StopBits, expected.StopBits);
    QCOMPARE(actual.Parity, expected.Parity);
    QCOMPARE(actual.UserPassword, expected.UserPassword);
    QCOMPARE(actual.AccessPassword, expected.AccessPassword);
    QCOMPARE(actual.IPAddress, expected.IPAddress);
    QCOMPARE(actual.IPPort, expected.IPPort);
    QCOMPARE(actual.MACAddress, expected.MACAddress);
    QCOMPARE(actual.OfdChannel, expected.OfdChannel);
}

} // namespace

Q_DECLARE_METATYPE(DriverSettings)

class TestDriverSettingsJson : public QObject
{
    Q_OBJECT

private slots:
    void fromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<DriverSettings>("expected");

        QTest::newRow("all keys, others ignored") << QString::fromUtf8(FullText) << fullRecord();
        QTest::newRow("empty text") << QString() << DriverSettings();
        QTest::newRow("not JSON") << QStringLiteral("Port=1;BaudRate=9600") << DriverSettings();
        QTest::newRow("cut short") << QStringLiteral(R"({"Model":69,"Port":)") << DriverSettings();
        QTest::newRow("top level array") << QStringLiteral(R"([{"Model":69}])") << DriverSettings();
        QTest::newRow("top level number") << QStringLiteral("42") << DriverSettings();
        QTest::newRow("top level string") << QStringLiteral(R"("Model")") << DriverSettings();
        QTest::newRow("null") << QStringLiteral("null") << DriverSettings();
        {
            DriverSettings s;
            s.Port = 1;
            s.IPAddress = QStringLiteral("10.0.0.1");
            QTest::newRow("missing keys read empty")
                << QStringLiteral(R"({"Port":1,"IPAddress":"10.0.0.1"})") << s;
        }
        {
            DriverSettings s;
            s.BaudRate = 9600;
            QTest::newRow("comments")
                << QStringLiteral("{ /* speed */ \"BaudRate\": 9600 // bits per second\n}") << s;
        }
        {
            // A key of the wrong type reads empty; the others still read.
            DriverSettings s = fullRecord();
            s.Model = 0;
            s.Port = 0;
            s.BaudRate = 0;
            s.ComFile.clear();
            s.MACAddress.clear();
            s.IPPort = 0;
            QTest::newRow("wrong types")
                << QStringLiteral(R"({"Model":"69","Port":[1],"ComFile":{"name":"/dev/ttyS3"},
                    "UsbDevicePath":"auto","BaudRate":{"v":1},"Bits":8,"StopBits":2,"Parity":1,
                    "UserPassword":"Кассир-30","AccessPassword":"0","IPAddress":"192.168.1.10",
                    "IPPort":99999999999,"MACAddress":["AA"],"OfdChannel":3})")
                << s;
        }
        {
            DriverSettings s;
            s.ComFile = QStringLiteral("3");
            s.UserPassword = QStringLiteral("30");
            s.IPPort = 5555;
            QTest::newRow("numbers for strings, whole real for number")
                << QStringLiteral(R"({"ComFile":3,"UserPassword":30,"IPPort":5555.0})") << s;
        }
        {
            DriverSettings s;
            s.IPPort = -1;
            s.Model = 2147483647;
            QTest::newRow("integer limits")
                << QStringLiteral(R"({"IPPort":-1,"Model":2147483647})") << s;
        }
    }

    void fromText()
    {
        QFETCH(QString, text);
        QFETCH(DriverSettings, expected);
        compare(DriverSettingsJson::fromText(text), expected);
    }

    void toText_data()
    {
        QTest::addColumn<DriverSettings>("settings");
        QTest::newRow("full") << fullRecord();
        QTest::newRow("empty") << DriverSettings();
        DriverSettings quotes;
        quotes.AccessPassword = QStringLiteral("a\"b\\c\n");
        quotes.IPPort = 25000;
        quotes.Model = -7;
        QTest::newRow("characters that need escaping") << quotes;
    }

    // The written text holds exactly the fourteen keys with their JSON types, and reads back the same.
    void toText()
    {
        QFETCH(DriverSettings, settings);
        const QString text = DriverSettingsJson::toText(settings);

        const Json::Value root = parseJson(text);
        QVERIFY(root.isObject());
        const std::vector<std::string> numbers = {"Model", "Port", "BaudRate", "Bits", "StopBits",
                                                  "Parity", "IPPort", "OfdChannel"};
        const std::vector<std::string> strings = {"ComFile", "UsbDevicePath", "UserPassword",
                                                  "AccessPassword", "IPAddress", "MACAddress"};
        QCOMPARE(root.size(), Json::ArrayIndex(numbers.size() + strings.size()));
        for (const std::string& key : numbers)
            QVERIFY2(root[key].isInt(), key.c_str());
        for (const std::string& key : strings)
            QVERIFY2(root[key].isString(), key.c_str());

        compare(DriverSettingsJson::fromText(text), settings);
    }

    void toTextIsIndented()
    {
        const QString text = DriverSettingsJson::toText(fullRecord());
        QVERIFY(text.startsWith(QStringLiteral("{\n")));
        QVERIFY(text.contains(QStringLiteral("\n   \"BaudRate\" : 115200,\n")));
    }
};

VESCOR_TEST(TestDriverSettingsJson)
#include "tst_DriverSettingsJson.moc"
