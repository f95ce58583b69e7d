// Settings, single settings, value lists and the channel rules of the open.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

QJsonObject settingsObject(const TilloApi& api, libtillo_handle h)
{
    return QJsonDocument::fromJson(api.settings(h).toUtf8()).object();
}

int setSettings(const TilloApi& api, libtillo_handle h, const QString& text)
{
    const std::wstring w = text.toStdWString();
    return api.setSettings(h, w.c_str());
}

QJsonArray mapping(const TilloApi& api, libtillo_handle h, const QString& key, int* result = nullptr)
{
    api.setText(h, LIBTILLO_PARAM_MAPPING_INPUT, key);
    const int r = api.mapping(h);
    if (result)
        *result = r;
    return QJsonDocument::fromJson(api.text(h, LIBTILLO_PARAM_MAPPING_OUTPUT).toUtf8()).array();
}

} // namespace

class DriverSettingsTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();

    // A terminal device that stands for a serial port: the secondary side of a pseudo-terminal.
    int m_terminalMaster = -1;
    QString m_terminal;

private slots:
    void initTestCase()
    {
        QVERIFY2(api.isLoaded(), qPrintable(api.loadError()));
        m_terminalMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(m_terminalMaster >= 0);
        QCOMPARE(::grantpt(m_terminalMaster), 0);
        QCOMPARE(::unlockpt(m_terminalMaster), 0);
        m_terminal = QString::fromLocal8Bit(::ptsname(m_terminalMaster));
    }

    void cleanupTestCase() { ::close(m_terminalMaster); }
    void cleanup() { EmulatorImage::uninstall(); }

    void defaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("Model") << "Model" << QVariant(57);
        QTest::newRow("Port") << "Port" << QVariant(1);
        QTest::newRow("ComFile") << "ComFile" << QVariant("");
        QTest::newRow("UsbDevicePath") << "UsbDevicePath" << QVariant("auto");
        QTest::newRow("BaudRate") << "BaudRate" << QVariant(115200);
        QTest::newRow("Bits") << "Bits" << QVariant(8);
        QTest::newRow("StopBits") << "StopBits" << QVariant(1);
        QTest::newRow("Parity") << "Parity" << QVariant(0);
        QTest::newRow("UserPassword") << "UserPassword" << QVariant("30");
        QTest::newRow("AccessPassword") << "AccessPassword" << QVariant("0");
        QTest::newRow("IPAddress") << "IPAddress" << QVariant("192.168.1.100");
        QTest::newRow("IPPort") << "IPPort" << QVariant(5555);
        QTest::newRow("MACAddress") << "MACAddress" << QVariant("");
        QTest::newRow("OfdChannel") << "OfdChannel" << QVariant(0);
    }

    void defaults()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        TilloHandle h;
        const QJsonObject settings = settingsObject(api, h);
        QCOMPARE(settings.size(), 14);
        QVERIFY(settings.contains(key));
        if (value.type() == QVariant::Int) {
            QVERIFY(settings[key].isDouble());
            QCOMPARE(settings[key].toInt(), value.toInt());
        } else {
            QVERIFY(settings[key].isString());
            QCOMPARE(settings[key].toString(), value.toString());
        }
    }

    void setSettings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("key");     // a key to look at afterwards
        QTest::addColumn<QJsonValue>("value"); // its value then
        QTest::newRow("empty keeps") << "" << 0 << "Port" << QJsonValue(1);
        QTest::newRow("blank keeps") << "  \n" << 0 << "BaudRate" << QJsonValue(115200);
        QTest::newRow("given key replaces") << "{\"BaudRate\": 9600}" << 0 << "BaudRate" << QJsonValue(9600);
        QTest::newRow("others stay") << "{\"BaudRate\": 9600}" << 0 << "IPPort" << QJsonValue(5555);
        QTest::newRow("unknown key kept") << "{\"Extra\": [1, 2]}" << 0 << "Extra" << QJsonValue(QJsonArray{1, 2});
        QTest::newRow("Russian text") << "{\"ComFile\": \"порт №1\"}" << 0 << "ComFile" << QJsonValue("порт №1");
        QTest::newRow("digits for a number") << "{\"Port\": \"2\"}" << 0 << "Port" << QJsonValue(2);
        QTest::newRow("array") << "[1]" << 4 << "Port" << QJsonValue(1);
        QTest::newRow("number") << "5" << 4 << "Port" << QJsonValue(1);
        QTest::newRow("string") << "\"x\"" << 4 << "Port" << QJsonValue(1);
        QTest::newRow("not JSON") << "{Port: 2" << 4 << "Port" << QJsonValue(1);
        QTest::newRow("text for a number") << "{\"Port\": \"USB\", \"BaudRate\": 9600}" << 4 << "BaudRate"
                                           << QJsonValue(115200);
        QTest::newRow("fraction for a number") << "{\"IPPort\": 1.5}" << 4 << "IPPort" << QJsonValue(5555);
        QTest::newRow("number too large") << "{\"IPPort\": 99999999999}" << 4 << "IPPort" << QJsonValue(5555);
        QTest::newRow("number for a text") << "{\"ComFile\": 5}" << 4 << "ComFile" << QJsonValue("");
        QTest::newRow("object for a text") << "{\"IPAddress\": {}}" << 4 << "IPAddress"
                                           << QJsonValue("192.168.1.100");
        // Deeper than the JSON reader goes: refused like any other text that is no settings object.
        QTest::newRow("nested 5000 levels") << "{\"Port\": 2, \"a\":" + QString(5000, '[') << 4 << "Port" << QJsonValue(1);
        QTest::newRow("nested 5000 levels, closed") << "{\"a\":" + QString(5000, '[') + QString(5000, ']') + "}" << 4
                                                    << "BaudRate" << QJsonValue(115200);
    }

    void setSettings()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        TilloHandle h;
        QCOMPARE(::setSettings(api, h, text), code ? -1 : 0);
        QCOMPARE(api.errorCode(h), code);
        if (code)
            QVERIFY(!api.error(h).isEmpty());
        QCOMPARE(settingsObject(api, h)[key], value);
    }

    void settingsRoundTrip()
    {
        TilloHandle a, b;
        QCOMPARE(::setSettings(api, a, "{\"Port\": 2, \"IPAddress\": \"10.1.2.3\", \"Own\": \"мой\"}"), 0);
        const QString text = api.settings(a);
        QCOMPARE(::setSettings(api, b, text), 0);
        QCOMPARE(api.settings(b), text);
        QCOMPARE(settingsObject(api, b)["Own"].toString(), QStringLiteral("мой"));
        QVERIFY(!text.contains(QChar(0)));
    }

    void refusedSettingsNull()
    {
        TilloHandle h;
        QCOMPARE(api.setSettings(h, nullptr), -1);
        QCOMPARE(api.errorCode(h), 4);
    }

    void singleSettings_data()
    {
        QTest::addColumn<QStringList>("pairs"); // key, value, key, value...
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        // The single setting Port is the device's number on its channel, not the channel:
        // the settings text keeps its own Port.
        QTest::newRow("Port 1") << QStringList{"Port", "1"} << 0 << "Port" << QJsonValue(1);
        QTest::newRow("Port 3 leaves the channel") << QStringList{"Port", "3"} << 0 << "Port" << QJsonValue(1);
        QTest::newRow("text key") << QStringList{"ComFile", "/dev/ttyS1"} << 0 << "ComFile" << QJsonValue("/dev/ttyS1");
        QTest::newRow("unknown key") << QStringList{"Color", "синий"} << 0 << "Color" << QJsonValue("синий");
        QTest::newRow("two keys") << QStringList{"Port", "2", "IPPort", "80"} << 0 << "IPPort" << QJsonValue(80);
        QTest::newRow("later wins") << QStringList{"IPPort", "80", "IPPort", "81"} << 0 << "IPPort" << QJsonValue(81);
        QTest::newRow("Port not a number") << QStringList{"Port", "USB"} << 4 << "Port" << QJsonValue(1);
        QTest::newRow("Port 0") << QStringList{"Port", "0"} << 4 << "Port" << QJsonValue(1);
        QTest::newRow("Port 256") << QStringList{"Port", "256"} << 4 << "Port" << QJsonValue(1);
        QTest::newRow("one bad, none applied") << QStringList{"IPPort", "80", "Port", "x"} << 4 << "IPPort"
                                               << QJsonValue(5555);
        QTest::newRow("bad number, none applied") << QStringList{"Port", "2", "IPPort", "x"} << 4 << "Port"
                                                  << QJsonValue(1);
    }

    void singleSettings()
    {
        QFETCH(QStringList, pairs);
        QFETCH(int, code);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        TilloHandle h;
        const QString before = api.settings(h);
        for (int i = 0; i + 1 < pairs.size(); i += 2) {
            const std::wstring k = pairs[i].toStdWString(), v = pairs[i + 1].toStdWString();
            QCOMPARE(api.setSingleSetting(h, k.c_str(), v.c_str()), 0);
        }
        QCOMPARE(api.settings(h), before); // nothing changes before the apply
        QCOMPARE(api.applySingleSettings(h), code ? -1 : 0);
        QCOMPARE(api.errorCode(h), code);
        QCOMPARE(settingsObject(api, h)[key], value);
        // Applied (or refused) settings are not applied a second time.
        QCOMPARE(::setSettings(api, h, "{\"Port\": 1, \"IPPort\": 5555}"), 0);
        QCOMPARE(api.applySingleSettings(h), 0);
        QCOMPARE(settingsObject(api, h)["Port"].toInt(), 1);
    }

    void singleSettingWithoutKey()
    {
        TilloHandle h;
        QCOMPARE(api.setSingleSetting(h, nullptr, L"1"), -1);
        QCOMPARE(api.errorCode(h), 4);
        QCOMPARE(api.setSingleSetting(h, L"", L"1"), -1);
        QCOMPARE(api.errorCode(h), 4);
    }

    void mappings_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("mustContain"); // keys as text
        QTest::newRow("Port") << "Port" << QStringList{"0", "1", "2", "3"};
        QTest::newRow("BaudRate") << "BaudRate" << QStringList{"9600", "19200", "57600", "115200"};
        QTest::newRow("UsbDevicePath") << "UsbDevicePath" << QStringList{"auto"};
        QTest::newRow("ComFile") << "ComFile" << QStringList{};
    }

    void mappings()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, mustContain);
        TilloHandle h;
        int result = -2;
        const QJsonArray list = mapping(api, h, key, &result);
        QCOMPARE(result, 0);
        QCOMPARE(api.errorCode(h), 0);
        QStringList keys;
        for (const QJsonValue& v : list) {
            const QJsonObject e = v.toObject();
            QVERIFY(e.contains("key") && e.contains("description"));
            QVERIFY(!e["description"].toString().isEmpty());
            keys << (e["key"].isDouble() ? QString::number(e["key"].toInt()) : e["key"].toString());
        }
        for (const QString& k : mustContain)
            QVERIFY2(keys.contains(k), qPrintable(k));
        if (key == "ComFile" || key == "UsbDevicePath") {
            for (const QString& k : keys)
                QVERIFY2(k == "auto" || (k.startsWith("/dev/") && QFile::exists(k)), qPrintable(k));
        }
        if (key == "Port") {
            QCOMPARE(list.size(), 4);
            QCOMPARE(list[0].toObject()["description"].toString(), QStringLiteral("COM-порт"));
            QCOMPARE(list[2].toObject()["description"].toString(), QStringLiteral("TCP/IP"));
        }
    }

    void unknownMapping_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("unknown") << "Parity";
        QTest::newRow("case differs") << "port";
        QTest::newRow("empty") << "";
    }

    void unknownMapping()
    {
        QFETCH(QString, key);
        TilloHandle h;
        mapping(api, h, "Port"); // an earlier answer must not stay
        int result = 0;
        mapping(api, h, key, &result);
        QCOMPARE(result, -1);
        QCOMPARE(api.errorCode(h), 5);
        QVERIFY(api.error(h).contains(key));
        QCOMPARE(api.text(h, LIBTILLO_PARAM_MAPPING_OUTPUT), QString());
    }

    void channels_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("registerAddress");
        QTest::addColumn<bool>("links");
        const QString com = QStringLiteral("{\"Port\": 0, \"ComFile\": \"%1\"}");
        QTest::newRow("USB") << "{\"Port\": 1}" << "" << true;
        QTest::newRow("COM without port") << "{\"Port\": 0, \"ComFile\": \"\"}" << "" << false;
        QTest::newRow("COM with port") << com.arg(m_terminal) << "" << true;
        QTest::newRow("COM, no such port") << com.arg("/dev/ttyVESCOR-missing") << "" << false;
        QTest::newRow("COM, a file") << com.arg(QCoreApplication::applicationFilePath()) << "" << false;
        QTest::newRow("COM, a directory") << com.arg("/dev") << "" << false;
        QTest::newRow("TCP/IP") << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 5555}" << "" << true;
        QTest::newRow("TCP/IP, register's address") << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\"}" << "10.0.0.5" << true;
        QTest::newRow("TCP/IP, another address") << "{\"Port\": 2, \"IPAddress\": \"10.0.0.6\"}" << "10.0.0.5" << false;
        QTest::newRow("TCP/IP, register's address and port")
            << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 7000}" << "10.0.0.5:7000" << true;
        QTest::newRow("TCP/IP, another port")
            << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 5555}" << "10.0.0.5:7000" << false;
        QTest::newRow("TCP/IP, register's port, any address")
            << "{\"Port\": 2, \"IPAddress\": \"10.0.0.9\", \"IPPort\": 7000}" << ":7000" << true;
        QTest::newRow("TCP/IP 0.0.0.0") << "{\"Port\": 2, \"IPAddress\": \"0.0.0.0\"}" << "" << false;
        QTest::newRow("TCP/IP bad number") << "{\"Port\": 2, \"IPAddress\": \"300.1.1.1\"}" << "" << false;
        QTest::newRow("TCP/IP three parts") << "{\"Port\": 2, \"IPAddress\": \"10.0.5\"}" << "" << false;
        QTest::newRow("TCP/IP name") << "{\"Port\": 2, \"IPAddress\": \"kassa\"}" << "" << false;
        QTest::newRow("TCP/IP empty") << "{\"Port\": 2, \"IPAddress\": \"\"}" << "" << false;
        QTest::newRow("TCP/IP port 0") << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 0}" << "" << false;
        QTest::newRow("TCP/IP port too big") << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 65536}" << ""
                                             << false;
        QTest::newRow("Bluetooth") << "{\"Port\": 3, \"MACAddress\": \"00:1A:2b:3C:4D:5E\"}" << "" << true;
        QTest::newRow("Bluetooth zero") << "{\"Port\": 3, \"MACAddress\": \"00:00:00:00:00:00\"}" << "" << false;
        QTest::newRow("Bluetooth empty") << "{\"Port\": 3, \"MACAddress\": \"\"}" << "" << false;
        QTest::newRow("Bluetooth short") << "{\"Port\": 3, \"MACAddress\": \"00:1A:2B:3C:4D\"}" << "" << false;
        QTest::newRow("Bluetooth not hex") << "{\"Port\": 3, \"MACAddress\": \"00:1A:2B:3C:4D:XY\"}" << "" << false;
        QTest::newRow("unknown channel") << "{\"Port\": 9}" << "" << false;
    }

    void channels()
    {
        QFETCH(QString, settings);
        QFETCH(QString, registerAddress);
        QFETCH(bool, links);
        QTemporaryDir dir;
        EmulatorImage image;
        const QStringList address = registerAddress.split(':'); // address[:port]
        if (!address[0].isEmpty())
            image.setLinkAddress(address[0]);
        if (address.size() > 1)
            image.setLinkPort(address[1].toInt());
        image.install(dir, true);
        TilloHandle h;
        QCOMPARE(::setSettings(api, h, settings), 0);
        QCOMPARE(api.open(h), links ? 0 : -1);
        QCOMPARE(api.errorCode(h), links ? 0 : 2);
        if (!links) {
            QVERIFY2(api.error(h).startsWith(QStringLiteral("Нет связи")), qPrintable(api.error(h)));
            api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
            QCOMPARE(api.queryData(h), -1);
            QCOMPARE(api.errorCode(h), 3);
        }
        // The program sets the single setting Port to 1 before each open of a
        // command: the device's number, which leaves the channel as it was.
        const QString before = api.settings(h);
        QCOMPARE(api.setSingleSetting(h, L"Port", L"1"), 0);
        QCOMPARE(api.applySingleSettings(h), 0);
        QCOMPARE(api.settings(h), before);
        QCOMPARE(api.open(h), links ? 0 : -1);
        QCOMPARE(api.errorCode(h), links ? 0 : 2);
    }

    void deviceNumber_data()
    {
        QTest::addColumn<QString>("number"); // the single setting Port
        QTest::addColumn<bool>("links");
        QTest::newRow("1: the register") << "1" << true;
        QTest::newRow("2: nobody") << "2" << false;
        QTest::newRow("255: nobody") << "255" << false;
    }

    // The emulated register is device 1 on its channel; other numbers find nobody.
    void deviceNumber()
    {
        QFETCH(QString, number);
        QFETCH(bool, links);
        QTemporaryDir dir;
        EmulatorImage().install(dir);
        TilloHandle h;
        const std::wstring n = number.toStdWString();
        QCOMPARE(api.setSingleSetting(h, L"Port", n.c_str()), 0);
        QCOMPARE(api.applySingleSettings(h), 0);
        QCOMPARE(settingsObject(api, h)["Port"].toInt(), 1); // still USB
        QCOMPARE(api.open(h), links ? 0 : -1);
        QCOMPARE(api.errorCode(h), links ? 0 : 2);
        if (!links)
            QCOMPARE(api.error(h), QStringLiteral("Нет связи: на канале USB нет устройства с номером %1").arg(number));
    }
};

VESCOR_TEST(DriverSettingsTest)
#include "tst_DriverSettings.moc"
