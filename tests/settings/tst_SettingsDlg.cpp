#include "support/FieldNames.h"
#include "support/TestMain.h"

#include "support/EmulatorImage.h"

#include "device/DriverLibrary.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SettingsDlg.h"
#include "settings/SettingsMapping.h"

#include <json/json.h>

#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const char* const ModelName = "ТИЛЛО-Ф";
const char* const SerialNumber = "00106101234";
const char* const Firmware = "3.0.8";
const int ReportedModel = 69;
const char* const LinkAddress = "10.0.0.7";

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

QString jsonText(const Json::Value& value)
{
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return QString::fromStdString(Json::writeString(writer, value));
}

// The register: its identity, drawer and link address, and the faults it injects.
struct Register
{
    bool fiscal = true;
    bool drawer = true;
    QString faults = QStringLiteral("[]");

    EmulatorImage image() const
    {
        EmulatorImage image;
        image.setIdentity(ReportedModel, QString::fromUtf8(ModelName), QString::fromLatin1(SerialNumber),
                          QString::fromLatin1(Firmware), fiscal);
        image.setDrawer(drawer);
        image.setLinkAddress(QString::fromLatin1(LinkAddress));
        image.json()["faults"] = parseJson(faults);
        return image;
    }
};

QString okLine(bool fiscal)
{
    return QStringLiteral("%1, №%2, версия: %3, %4")
        .arg(QString::fromUtf8(ModelName), QString::fromUtf8(SerialNumber), QString::fromUtf8(Firmware),
             fiscal ? QStringLiteral("ФИСК.") : QStringLiteral("НЕФИСК."));
}

} // namespace

Q_DECLARE_METATYPE(Register)

class TestSettingsDlg : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    libtillo_handle m_handle = nullptr;
    QList<MessageBox::Request> m_boxes;
    QStringList m_resultWhenBoxShown;
    SettingsDlg* m_shownDialog = nullptr;

    DriverLibrary& driver() { return DriverLibrary::instance(); }

    QString imagePath() const { return m_dir.filePath(QStringLiteral("register.json")); }
    QString tracePath() const { return m_dir.filePath(QStringLiteral("trace.txt")); }

    void writeImage(const Register& reg) { QVERIFY(reg.image().save(imagePath())); }

    void setDriverSettings(const QString& json)
    {
        QCOMPARE(driver().setSettings(m_handle, json.toStdWString().c_str()), 0);
    }

    QString driverSettingsText() { return driver().settingsString(m_handle); }
    Json::Value driverSettings() { return parseJson(driverSettingsText()); }

    QStringList mappingKeys(const char* key)
    {
        driver().setParamStr(m_handle, LIBTILLO_PARAM_MAPPING_INPUT, QString::fromLatin1(key).toStdWString().c_str());
        if (driver().utilMapping(m_handle) != 0)
            return {};
        QStringList keys;
        for (const auto& e : SettingsMapping::parse(driver().paramString(m_handle, LIBTILLO_PARAM_MAPPING_OUTPUT)))
            keys << e.key;
        return keys;
    }

    QStringList trace()
    {
        QFile file(tracePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // No connection is left open: an open connection answers a status query.
    bool connectionClosed()
    {
        driver().setParamInt(m_handle, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
        return driver().queryData(m_handle) < 0;
    }

    template <typename T>
    static T* child(SettingsDlg& dlg, const char* name)
    {
        T* widget = dlg.findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no child %s", name);
        return widget;
    }

    static QString result(SettingsDlg& dlg) { return child<QLineEdit>(dlg, "leResult")->text(); }

    static void clickCheck(SettingsDlg& dlg)
    {
        QTest::mouseClick(child<QPushButton>(dlg, "pbtnCheckConnection"), Qt::LeftButton);
    }

    static void selectKey(QComboBox* box, const QString& key)
    {
        const int index = box->findData(key);
        QVERIFY2(index >= 0, qPrintable(key));
        box->setCurrentIndex(index);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(driver().load(), qPrintable(driver().loadError()));
        m_libraryPath = driver().fileName();
    }

    void init()
    {
        writeImage(Register());
        qputenv("TILLO10_EMULATOR", QFile::encodeName(imagePath()));
        qputenv("TILLO10_TRACE", QFile::encodeName(tracePath()));
        QFile::remove(tracePath());
        QCOMPARE(driver().create(&m_handle), 0);
        QVERIFY(m_handle);
        m_boxes.clear();
        m_resultWhenBoxShown.clear();
        MessageBox::setHandler([this](const MessageBox::Request& r) {
            m_boxes << r;
            if (m_shownDialog)
                m_resultWhenBoxShown << result(*m_shownDialog);
            return QMessageBox::Ok;
        });
    }

    void cleanup()
    {
        m_shownDialog = nullptr;
        MessageBox::setHandler({});
        driver().destroy(&m_handle);
        m_handle = nullptr;
        qunsetenv("TILLO10_TRACE");
    }

    void form()
    {
        setDriverSettings(QStringLiteral(R"({"Port":1})"));
        SettingsDlg dlg(m_handle);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));

        QCOMPARE(dlg.objectName(), QStringLiteral("SettingsDlg"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Настройки"));
        QCOMPARE(dlg.minimumWidth(), 500);
        QCOMPARE(dlg.size(), QSize(676, 242).expandedTo(dlg.minimumSizeHint()));
        QCOMPARE(dlg.width(), 676);
        QVERIFY(!(dlg.windowFlags() & Qt::WindowContextHelpButtonHint));

        auto* form = child<QFormLayout>(dlg, "formLayout");
        QVERIFY(form);
        QVERIFY(child<QGridLayout>(dlg, "gridLayout_2"));
        struct Row { const char* label; const char* text; const char* field; };
        const Row rows[] = {
            {"lblConnection", "Канал связи:", "cmbConnectionType"},
            {"lblComFile", "COM-порт:", "cmbComFile"},
            {"lblBaudrate", "Скорость:", "cmbBaudrate"},
            {"lblIP", "IP-адрес:", "horizontalLayout"},
            {"lblMAC", "MAC адрес:", "leMACAddress"},
            {"lblResult", "Результат:", "leResult"},
        };
        // The USB row is gone from the form, so the rows after it move up.
        QCOMPARE(form->rowCount(), 7);
        for (int i = 0; i < 6; ++i) {
            auto* label = qobject_cast<QLabel*>(form->itemAt(i, QFormLayout::LabelRole)->widget());
            QVERIFY(label);
            QCOMPARE(label->objectName(), QString::fromLatin1(rows[i].label));
            QCOMPARE(label->text(), QString::fromUtf8(rows[i].text));
            QLayoutItem* field = form->itemAt(i, QFormLayout::FieldRole);
            const QString fieldName = field->widget() ? field->widget()->objectName() : field->layout()->objectName();
            QCOMPARE(fieldName, QString::fromLatin1(rows[i].field));
        }
        QLayoutItem* buttons = form->itemAt(6, QFormLayout::FieldRole);
        QVERIFY(buttons && buttons->layout());
        QCOMPARE(buttons->layout()->objectName(), QStringLiteral("horizontalLayout_3"));
        QCOMPARE(child<QPushButton>(dlg, "pbtnCheckConnection")->text(), QStringLiteral("Проверка связи"));
        QCOMPARE(child<QPushButton>(dlg, "pbtnOK")->text(), QStringLiteral("OK"));

        auto* usb = child<QComboBox>(dlg, "cmbUsbDevicePath");
        QVERIFY(!usb->isVisible());
        QVERIFY(!child<QLabel>(dlg, "lblUsbDevicePath")->isVisible());
        QCOMPARE(form->indexOf(usb), -1);
        QCOMPARE(form->indexOf(child<QLabel>(dlg, "lblUsbDevicePath")), -1);

        for (const char* name : {"cmbConnectionType", "cmbComFile", "cmbBaudrate", "cmbUsbDevicePath"})
            QVERIFY2(!child<QComboBox>(dlg, name)->isEditable(), name);
        auto* ipLayout = child<QHBoxLayout>(dlg, "horizontalLayout");
        QCOMPARE(ipLayout->stretch(0), 5);
        QCOMPARE(ipLayout->stretch(2), 1);
        QCOMPARE(child<QLabel>(dlg, "label")->text(), QStringLiteral(":"));
        QCOMPARE(child<QSpinBox>(dlg, "spinIPPort")->minimum(), 1);
        QCOMPARE(child<QSpinBox>(dlg, "spinIPPort")->maximum(), 65535);
        QCOMPARE(child<QLineEdit>(dlg, "leMACAddress")->inputMask(), QStringLiteral("HH:HH:HH:HH:HH:HH;_"));
        QVERIFY(child<QLineEdit>(dlg, "leIPAddress")->inputMask().isEmpty());
        QVERIFY(!child<QLineEdit>(dlg, "leIPAddress")->validator());

        // The combo boxes show the driver's descriptions and carry its keys.
        auto* channel = child<QComboBox>(dlg, "cmbConnectionType");
        QCOMPARE(channel->count(), mappingKeys("Port").size());
        QCOMPARE(channel->currentData().toString(), QStringLiteral("1"));
        QCOMPARE(channel->currentText(), QStringLiteral("USB"));
        QCOMPARE(child<QComboBox>(dlg, "cmbBaudrate")->count(), mappingKeys("BaudRate").size());
        QCOMPARE(usb->count(), mappingKeys("UsbDevicePath").size());
        QVERIFY(result(dlg).isEmpty());
    }

    void centredOverParent()
    {
        QWidget parent;
        parent.setGeometry(100, 80, 1000, 700);
        SettingsDlg dlg(m_handle, &parent);
        QCOMPARE(dlg.parentWidget(), &parent);
        QCOMPARE(dlg.geometry().center(), parent.geometry().center());
    }

    // What the dialog shows of the driver's settings.
    void shows_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("comFile");   // "<first>": the first entry, if any
        QTest::addColumn<QString>("baudRate");
        QTest::addColumn<QString>("usb");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<int>("ipPort");
        QTest::addColumn<QString>("mac");

        QTest::newRow("stored values")
            << R"({"Port":2,"ComFile":"/dev/ttyS0","BaudRate":9600,"UsbDevicePath":"auto","IPAddress":"10.1.2.3","IPPort":7778,"MACAddress":"AA:BB:CC:DD:EE:FF"})"
            << "2" << "/dev/ttyS0" << "9600" << "auto" << "10.1.2.3" << 7778 << "AA:BB:CC:DD:EE:FF";
        QTest::newRow("COM port not among the entries")
            << R"({"Port":0,"ComFile":"/dev/ttyNONE","BaudRate":115200})"
            << "0" << "<first>" << "115200" << "auto" << "192.168.1.100" << 5555 << "00:00:00:00:00:00";
        QTest::newRow("rate and USB path not among the entries")
            << R"({"BaudRate":12345,"UsbDevicePath":"/dev/ttyNONE"})"
            << "1" << "<first>" << "1200" << "auto" << "192.168.1.100" << 5555 << "00:00:00:00:00:00";
        QTest::newRow("channel not among the entries")
            << R"({"Port":9})" << "0" << "<first>" << "115200" << "auto" << "192.168.1.100" << 5555
            << "00:00:00:00:00:00";
        QTest::newRow("port above 25000") << R"({"IPPort":25001})" << "1" << "<first>" << "115200" << "auto"
                                          << "192.168.1.100" << 25001 << "00:00:00:00:00:00";
        QTest::newRow("port above 65535") << R"({"IPPort":70000})" << "1" << "<first>" << "115200" << "auto"
                                          << "192.168.1.100" << 65535 << "00:00:00:00:00:00";
        QTest::newRow("port at 25000") << R"({"IPPort":25000})" << "1" << "<first>" << "115200" << "auto"
                                       << "192.168.1.100" << 25000 << "00:00:00:00:00:00";
        QTest::newRow("negative port") << R"({"IPPort":-5})" << "1" << "<first>" << "115200" << "auto"
                                       << "192.168.1.100" << 1 << "00:00:00:00:00:00";
        QTest::newRow("empty MAC and IP") << R"({"MACAddress":"","IPAddress":""})" << "1" << "<first>" << "115200"
                                          << "auto" << "" << 5555 << "00:00:00:00:00:00";
        QTest::newRow("lower-case MAC") << R"({"MACAddress":"0a:1b:2c:3d:4e:5f"})" << "1" << "<first>" << "115200"
                                        << "auto" << "192.168.1.100" << 5555 << "0a:1b:2c:3d:4e:5f";
    }

    void shows()
    {
        QFETCH(QString, settings);
        QFETCH(QString, port);
        QFETCH(QString, comFile);
        QFETCH(QString, baudRate);
        QFETCH(QString, usb);
        QFETCH(QString, ip);
        QFETCH(int, ipPort);
        QFETCH(QString, mac);

        if (comFile == QLatin1String("<first>")) {
            const QStringList ports = mappingKeys("ComFile");
            comFile = ports.isEmpty() ? QString() : ports.first();
        } else if (!mappingKeys("ComFile").contains(comFile)) {
            QSKIP("this machine has no such serial port");
        }
        setDriverSettings(settings);
        SettingsDlg dlg(m_handle);
        QCOMPARE(child<QComboBox>(dlg, "cmbConnectionType")->currentData().toString(), port);
        QCOMPARE(child<QComboBox>(dlg, "cmbComFile")->currentData().toString(), comFile);
        QCOMPARE(child<QComboBox>(dlg, "cmbBaudrate")->currentData().toString(), baudRate);
        QCOMPARE(child<QComboBox>(dlg, "cmbUsbDevicePath")->currentData().toString(), usb);
        QCOMPARE(child<QLineEdit>(dlg, "leIPAddress")->text(), ip);
        QCOMPARE(child<QSpinBox>(dlg, "spinIPPort")->value(), ipPort);
        QCOMPARE(child<QLineEdit>(dlg, "leMACAddress")->text(), mac);
        QVERIFY(result(dlg).isEmpty());
    }

    // A screen reader names every field, whichever channel is chosen, and a
    // drop-down by what it chooses, not by its choice.
    void everyFieldNamed_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("COM") << R"({"Port":0,"BaudRate":115200})";
        QTest::newRow("USB") << R"({"Port":1,"UsbDevicePath":"auto"})";
        QTest::newRow("TCP/IP") << R"({"Port":2,"IPAddress":"10.1.2.3","IPPort":7778})";
        QTest::newRow("Bluetooth") << R"({"Port":3,"MACAddress":"AA:BB:CC:DD:EE:FF"})";
    }

    void everyFieldNamed()
    {
        QFETCH(QString, settings);
        setDriverSettings(settings);
        SettingsDlg dlg(m_handle);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(FieldNames::unnamed(dlg), QStringList());
        QCOMPARE(FieldNames::nameOf(dlg, *child<QSpinBox>(dlg, "spinIPPort")), QStringLiteral("Порт TCP"));
        QCOMPARE(FieldNames::nameOf(dlg, *child<QComboBox>(dlg, "cmbBaudrate")), QStringLiteral("Скорость"));
    }

    // What a check hands to the driver: the widgets' values and the rest as read.
    void checkWrites_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("edits");    // channel;ip;port;mac typed by the user, empty: untouched
        QTest::addColumn<QString>("expected"); // the keys to find in the driver afterwards

        QTest::newRow("pass-through keys")
            << R"({"Model":99999,"Bits":7,"StopBits":2,"Parity":3,"UserPassword":"Кассир №1","AccessPassword":"тайна","OfdChannel":2,"Port":1})"
            << ""
            << R"({"Model":99999,"Bits":7,"StopBits":2,"Parity":3,"UserPassword":"Кассир №1","AccessPassword":"тайна","OfdChannel":2,"Port":1,"UsbDevicePath":"auto","IPAddress":"192.168.1.100","IPPort":5555,"BaudRate":115200})";
        {
            const QString longText = QString(700, QChar(0x0416)); // beyond the first settings buffer
            QTest::newRow("long settings text")
                << QStringLiteral(R"({"Port":1,"UserPassword":"%1","Bits":5})").arg(longText) << ""
                << QStringLiteral(R"({"UserPassword":"%1","Bits":5})").arg(longText);
        }
        QTest::newRow("COM port not among the entries, written as the first")
            << R"({"Port":1,"ComFile":"/dev/ttyNONE"})" << "" << R"({"ComFile":"<first>"})";
        QTest::newRow("USB path not among the entries, written as the first")
            << R"({"Port":1,"UsbDevicePath":"/dev/ttyNONE"})" << "" << R"({"UsbDevicePath":"auto"})";
        QTest::newRow("port above 25000 written as it was")
            << R"({"Port":1,"IPPort":60000})" << "" << R"({"IPPort":60000})";
        QTest::newRow("port above 65535 written as 65535")
            << R"({"Port":1,"IPPort":70000})" << "" << R"({"IPPort":65535})";
        QTest::newRow("empty MAC written as zeros")
            << R"({"Port":1,"MACAddress":""})" << "" << R"({"MACAddress":"00:00:00:00:00:00"})";
        QTest::newRow("rate not among the entries written as the first")
            << R"({"Port":1,"BaudRate":14400})" << "" << R"({"BaudRate":1200})";
        QTest::newRow("user picks TCP/IP and types the address")
            << R"({"Port":1,"Model":69})" << "2;10.0.0.7;7777;"
            << R"({"Port":2,"IPAddress":"10.0.0.7","IPPort":7777,"Model":69})";
        QTest::newRow("user types a MAC")
            << R"({"Port":1})" << ";;;a1b2c3d4e5f6" << R"({"MACAddress":"a1:b2:c3:d4:e5:f6"})";
    }

    void checkWrites()
    {
        QFETCH(QString, settings);
        QFETCH(QString, edits);
        QFETCH(QString, expected);

        setDriverSettings(settings);
        SettingsDlg dlg(m_handle);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        if (!edits.isEmpty()) {
            const QStringList e = edits.split(';');
            if (!e[0].isEmpty())
                selectKey(child<QComboBox>(dlg, "cmbConnectionType"), e[0]);
            if (!e[1].isEmpty()) {
                auto* ip = child<QLineEdit>(dlg, "leIPAddress");
                ip->selectAll();
                QTest::keyClicks(ip, e[1]);
            }
            if (!e[2].isEmpty()) {
                auto* port = child<QSpinBox>(dlg, "spinIPPort");
                port->selectAll();
                QTest::keyClicks(port, e[2]);
            }
            if (!e[3].isEmpty()) {
                auto* mac = child<QLineEdit>(dlg, "leMACAddress");
                mac->setFocus();
                mac->setCursorPosition(0);
                QTest::keyClicks(mac, e[3]);
            }
        }
        clickCheck(dlg);

        const Json::Value written = driverSettings();
        const Json::Value want = parseJson(expected);
        QVERIFY(want.isObject());
        for (const std::string& key : want.getMemberNames()) {
            Json::Value value = want[key];
            if (value.isString() && value.asString() == "<first>") {
                const QStringList ports = mappingKeys(key.c_str());
                value = ports.isEmpty() ? std::string() : ports.first().toStdString();
            }
            QVERIFY2(written[key] == value, qPrintable(QStringLiteral("%1: %2 instead of %3")
                                                           .arg(QString::fromStdString(key),
                                                                jsonText(written[key]), jsonText(value))));
        }
    }

    // The check hands over all fourteen keys, and only those, in the JSON types of the settings text.
    void checkHandsOverFourteenKeys()
    {
        SettingsDlg dlg(m_handle);
        clickCheck(dlg);
        const QStringList calls = trace();
        QVERIFY(calls.contains(QStringLiteral("set_settings -> 0")));
        const Json::Value written = driverSettings();
        for (const char* key : {"Model", "Port", "BaudRate", "Bits", "StopBits", "Parity", "IPPort", "OfdChannel"})
            QVERIFY2(written[key].isInt(), key);
        for (const char* key : {"ComFile", "UsbDevicePath", "UserPassword", "AccessPassword", "IPAddress", "MACAddress"})
            QVERIFY2(written[key].isString(), key);
    }

    // "OK" hands the chosen settings to the driver without opening the link;
    // Esc and the window's close button hand nothing over, also after a check
    // of the link with the dialog's settings; a refusal keeps the dialog open
    // with the driver's reason.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("handed");
        QTest::addColumn<int>("dialogResult");
        QTest::addColumn<QString>("shown");
        QTest::newRow("OK") << "ok" << false << "[]" << true << int(QDialog::Accepted) << QString();
        QTest::newRow("Esc") << "esc" << false << "[]" << false << int(QDialog::Rejected) << QString();
        QTest::newRow("close button") << "close" << false << "[]" << false << int(QDialog::Rejected) << QString();
        QTest::newRow("OK refused by the driver")
            << "ok" << false << R"([{"call":"set_settings","times":1,"code":5,"description":"Настройки не приняты"}])"
            << false << -1 << "[5] Настройки не приняты";
        const QString answered = QStringLiteral("ТИЛЛО-Ф, №00106101234, версия: 3.0.8, ФИСК.");
        QTest::newRow("check, then OK") << "ok" << true << "[]" << true << int(QDialog::Accepted) << answered;
        QTest::newRow("check, then Esc") << "esc" << true << "[]" << false << int(QDialog::Rejected) << answered;
        QTest::newRow("check, then close button")
            << "close" << true << "[]" << false << int(QDialog::Rejected) << answered;
    }

    void closing()
    {
        QFETCH(QString, how);
        QFETCH(bool, checked);
        QFETCH(QString, faults);
        QFETCH(bool, handed);
        QFETCH(int, dialogResult);
        QFETCH(QString, shown);

        setDriverSettings(QStringLiteral(R"({"Port":1,"BaudRate":115200,"IPAddress":"10.9.9.9","IPPort":5556})"));
        const QString before = driverSettingsText();
        Register reg;
        reg.faults = faults;
        writeImage(reg);
        QFile::remove(tracePath());
        {
            SettingsDlg dlg(m_handle);
            dlg.setResult(-1);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            selectKey(child<QComboBox>(dlg, "cmbConnectionType"), QStringLiteral("2"));
            selectKey(child<QComboBox>(dlg, "cmbBaudrate"), QStringLiteral("4800"));
            auto* ip = child<QLineEdit>(dlg, "leIPAddress");
            ip->setFocus();
            ip->selectAll();
            QTest::keyClicks(ip, QStringLiteral("10.0.0.7"));
            if (checked)
                clickCheck(dlg);
            if (how == QLatin1String("ok"))
                QTest::mouseClick(child<QPushButton>(dlg, "pbtnOK"), Qt::LeftButton);
            else if (how == QLatin1String("esc"))
                QTest::keyClick(ip, Qt::Key_Escape);
            else
                QVERIFY(dlg.close());
            QCOMPARE(dlg.result(), dialogResult);
            QCOMPARE(dlg.isHidden(), dialogResult != -1);
            QCOMPARE(result(dlg), shown);
        }
        const Json::Value now = driverSettings();
        if (handed) {
            QCOMPARE(now["Port"].asInt(), 2);
            QCOMPARE(now["BaudRate"].asInt(), 4800);
            QCOMPARE(now["IPAddress"].asString(), std::string("10.0.0.7"));
            QCOMPARE(now["IPPort"].asInt(), 5556);
        } else {
            QCOMPARE(driverSettingsText(), before);
        }
        // Never a connection: "OK" does not check the link.
        for (const QString& call : checked ? QStringList() : trace()) {
            QVERIFY2(!call.startsWith(QLatin1String("open")), qPrintable(call));
            QVERIFY2(handed || faults != QLatin1String("[]") || !call.startsWith(QLatin1String("set_settings")),
                     qPrintable(call));
        }
        // A check may warn that the register is another model; nothing else is shown.
        QVERIFY(checked || m_boxes.isEmpty());
    }

    // The port takes every TCP port, 1 to 65535.
    void port_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("handed");
        QTest::newRow("50000") << "50000" << 50000;
        QTest::newRow("highest") << "65535" << 65535;
        QTest::newRow("beyond the highest") << "65536" << 6553;
        QTest::newRow("lowest") << "1" << 1;
    }

    void port()
    {
        QFETCH(QString, typed);
        QFETCH(int, handed);
        setDriverSettings(QStringLiteral(R"({"Port":2,"IPPort":5556})"));
        SettingsDlg dlg(m_handle);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* port = child<QSpinBox>(dlg, "spinIPPort");
        QCOMPARE(port->minimum(), 1);
        QCOMPARE(port->maximum(), 65535);
        port->setFocus();
        port->selectAll();
        QTest::keyClicks(port, typed);
        QTest::mouseClick(child<QPushButton>(dlg, "pbtnOK"), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(driverSettings()["IPPort"].asInt(), handed);
    }

    void mappingFailures_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QStringList>("emptyBoxes");
        QTest::addColumn<QString>("shown");

        QTest::newRow("Port")
            << R"([{"call":"mapping","times":1,"code":7,"description":"Список каналов недоступен"}])"
            << QStringList{"cmbConnectionType"} << "[7] Список каналов недоступен";
        QTest::newRow("BaudRate")
            << R"([{"call":"mapping","after":2,"times":1,"code":-3,"description":"нет"}])"
            << QStringList{"cmbBaudrate"} << "[-3] нет";
        QTest::newRow("all, the last one shown")
            << R"([{"call":"mapping","times":3,"code":1,"description":"сбой"},{"call":"mapping","code":2,"description":"последний"}])"
            << QStringList{"cmbConnectionType", "cmbComFile", "cmbBaudrate", "cmbUsbDevicePath"}
            << "[2] последний";
    }

    void mappingFailures()
    {
        QFETCH(QString, faults);
        QFETCH(QStringList, emptyBoxes);
        QFETCH(QString, shown);

        setDriverSettings(QStringLiteral(R"({"Port":1,"BaudRate":9600,"UsbDevicePath":"auto"})"));
        Register reg;
        reg.faults = faults;
        writeImage(reg);

        SettingsDlg dlg(m_handle);
        QCOMPARE(result(dlg), shown);
        for (const char* name : {"cmbConnectionType", "cmbComFile", "cmbBaudrate", "cmbUsbDevicePath"}) {
            auto* box = child<QComboBox>(dlg, name);
            if (emptyBoxes.contains(QLatin1String(name)))
                QVERIFY2(box->count() == 0, name);
            else if (QLatin1String(name) != QLatin1String("cmbComFile"))
                QVERIFY2(box->count() > 0, name);
        }

        // Only the check hands settings over; the failed lists give 0 and empty texts.
        writeImage(Register());
        clickCheck(dlg);
        const Json::Value written = driverSettings();
        if (emptyBoxes.contains(QStringLiteral("cmbConnectionType")))
            QCOMPARE(written["Port"].asInt(), 0);
        else
            QCOMPARE(written["Port"].asInt(), 1);
        if (emptyBoxes.contains(QStringLiteral("cmbBaudrate")))
            QCOMPARE(written["BaudRate"].asInt(), 0);
        else
            QCOMPARE(written["BaudRate"].asInt(), 9600);
        if (emptyBoxes.contains(QStringLiteral("cmbUsbDevicePath")))
            QCOMPARE(written["UsbDevicePath"].asString(), std::string());
        else
            QCOMPARE(written["UsbDevicePath"].asString(), std::string("auto"));
        QVERIFY(connectionClosed());
    }

    void settingsUnreadable()
    {
        setDriverSettings(QStringLiteral(R"({"Port":2,"IPAddress":"10.1.1.1","IPPort":80,"MACAddress":"AA:BB:CC:DD:EE:FF"})"));
        Register reg;
        reg.faults = QStringLiteral(R"([{"call":"get_settings","times":1,"code":9,"description":"Настройки недоступны"}])");
        writeImage(reg);

        SettingsDlg dlg(m_handle);
        QCOMPARE(result(dlg), QStringLiteral("[9] Настройки недоступны"));
        auto* channel = child<QComboBox>(dlg, "cmbConnectionType");
        QCOMPARE(channel->currentIndex(), 0);
        QCOMPARE(child<QLineEdit>(dlg, "leIPAddress")->text(), QString());
        QCOMPARE(child<QSpinBox>(dlg, "spinIPPort")->value(), 1);
        QCOMPARE(child<QLineEdit>(dlg, "leMACAddress")->text(), QStringLiteral("00:00:00:00:00:00"));
    }

    // The result line and the connection after one check.
    void check_data()
    {
        QTest::addColumn<Register>("reg");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("applied"); // the dialog's settings reached the driver

        const QString usb = QStringLiteral(R"({"Port":1,"Model":69})");
        Register fiscal;
        QTest::newRow("fiscal") << fiscal << usb << okLine(true) << true;
        Register nonFiscal;
        nonFiscal.fiscal = false;
        QTest::newRow("not fiscal") << nonFiscal << usb << okLine(false) << true;
        Register noDrawer;
        noDrawer.drawer = false;
        QTest::newRow("no drawer, code 11") << noDrawer << usb << okLine(true) << true;
        Register drawer11;
        drawer11.faults = QStringLiteral(R"([{"call":"drawer","code":11,"description":"Нет ящика"}])");
        QTest::newRow("drawer fails with 11") << drawer11 << usb << okLine(true) << true;
        Register drawer12;
        drawer12.faults = QStringLiteral(R"([{"call":"drawer","code":12,"description":"Ящик заклинило"}])");
        QTest::newRow("drawer fails with 12") << drawer12 << usb << "[12] Ящик заклинило" << true;
        Register openFails;
        openFails.faults = QStringLiteral(R"([{"call":"open","code":2,"description":"Порт занят"}])");
        QTest::newRow("open fails") << openFails << usb << "[2] Порт занят" << true;
        QTest::newRow("no link over Bluetooth")
            << Register() << QStringLiteral(R"({"Port":3,"MACAddress":""})")
            << QStringLiteral("[2] Нет связи: неверный MAC-адрес \"00:00:00:00:00:00\"") << true;
        QTest::newRow("no answer at that address")
            << Register() << QStringLiteral(R"({"Port":2,"IPAddress":"10.0.0.8","IPPort":5555})")
            << QStringLiteral("[2] Нет связи: ККТ не отвечает по адресу 10.0.0.8:5555") << true;
        Register queryFails;
        queryFails.faults = QStringLiteral(R"([{"call":"query","code":-1,"description":"Нет ответа"}])");
        QTest::newRow("query fails") << queryFails << usb << "[-1] Нет ответа" << true;
        Register closeFails;
        closeFails.faults = QStringLiteral(R"([{"call":"close","times":1,"code":4,"description":"Ошибка закрытия"}])");
        QTest::newRow("close fails") << closeFails << usb << "[4] Ошибка закрытия" << true;
        Register refused;
        refused.faults = QStringLiteral(R"([{"call":"set_settings","code":4,"description":"Настройки отклонены"}])");
        QTest::newRow("settings refused") << refused << usb << "[4] Настройки отклонены" << false;
    }

    void check()
    {
        QFETCH(Register, reg);
        QFETCH(QString, settings);
        QFETCH(QString, expected);
        QFETCH(bool, applied);

        setDriverSettings(settings);
        writeImage(reg);
        SettingsDlg dlg(m_handle);
        const QString before = driverSettingsText();

        child<QLineEdit>(dlg, "leResult")->setText(QStringLiteral("старый результат"));
        QFile::remove(tracePath());
        clickCheck(dlg);
        QCOMPARE(result(dlg), expected);
        // The user reads the line but cannot edit it; its tooltip shows it whole.
        QVERIFY(child<QLineEdit>(dlg, "leResult")->isReadOnly());
        QCOMPARE(child<QLineEdit>(dlg, "leResult")->toolTip(), expected);
        if (expected.startsWith(QLatin1String(ModelName))) // the start of a good answer is in sight
            QCOMPARE(child<QLineEdit>(dlg, "leResult")->cursorPosition(), 0);
        QVERIFY(connectionClosed());
        QCOMPARE(trace().contains(QStringLiteral("set_settings -> 0")), applied);
        if (!applied)
            QCOMPARE(driverSettingsText(), before);
        // Model 69 is the register's own: no warning on success, and none ever on failure.
        QVERIFY(m_boxes.isEmpty());
    }

    void modelWarning_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("warns");
        QTest::newRow("500") << 500 << false;
        QTest::newRow("99999") << 99999 << false;
        QTest::newRow("the register's model") << ReportedModel << false;
        QTest::newRow("another model") << 57 << true;
        QTest::newRow("model 0") << 0 << true;
        QTest::newRow("501") << 501 << true;
    }

    void modelWarning()
    {
        QFETCH(int, model);
        QFETCH(bool, warns);

        setDriverSettings(QStringLiteral(R"({"Port":1,"Model":%1})").arg(model));
        SettingsDlg dlg(m_handle);
        m_shownDialog = &dlg;
        clickCheck(dlg);
        QCOMPARE(result(dlg), okLine(true));
        QCOMPARE(m_boxes.size(), warns ? 1 : 0);
        if (warns) {
            const MessageBox::Request& box = m_boxes.first();
            QCOMPARE(box.parent, static_cast<QWidget*>(&dlg));
            QCOMPARE(box.icon, QMessageBox::Warning);
            QCOMPARE(box.title, QStringLiteral("Внимание!"));
            QCOMPARE(box.text,
                     QStringLiteral("Выбранная модель отличается от определенной. Пожалуйста, проверьте настройки."));
            QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box.defaultButton, QMessageBox::NoButton);
            // The line is already there when the warning comes, and the connection closed.
            QCOMPARE(m_resultWhenBoxShown, QStringList{okLine(true)});
        }
        QVERIFY(connectionClosed());
    }

    // The model compared is the one read when the dialog opened, not a later one.
    void modelComparedAsRead()
    {
        setDriverSettings(QStringLiteral(R"({"Port":1,"Model":57})"));
        SettingsDlg dlg(m_handle);
        setDriverSettings(QStringLiteral(R"({"Model":69})"));
        clickCheck(dlg);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(driverSettings()["Model"].asInt(), 57);
    }

    void twoChecksInARow()
    {
        setDriverSettings(QStringLiteral(R"({"Port":1,"Model":500})"));
        SettingsDlg dlg(m_handle);
        clickCheck(dlg);
        QCOMPARE(result(dlg), okLine(true));
        QVERIFY(connectionClosed());
        clickCheck(dlg);
        QCOMPARE(result(dlg), okLine(true));
        QVERIFY(connectionClosed());

        QStringList opens;
        for (const QString& call : trace())
            if (call.startsWith(QLatin1String("open")) || call.startsWith(QLatin1String("close")))
                opens << call;
        QCOMPARE(opens, (QStringList{"open -> 0", "close -> 0", "open -> 0", "close -> 0"}));
    }

    // A failed check followed by a good one: the old failure text does not stay.
    void failedThenGoodCheck()
    {
        setDriverSettings(QStringLiteral(R"({"Port":1,"Model":500})"));
        Register reg;
        reg.faults = QStringLiteral(R"([{"call":"open","times":1,"code":2,"description":"Порт занят"}])");
        writeImage(reg);
        SettingsDlg dlg(m_handle);
        clickCheck(dlg);
        QCOMPARE(result(dlg), QStringLiteral("[2] Порт занят"));
        QVERIFY(connectionClosed());
        clickCheck(dlg);
        QCOMPARE(result(dlg), okLine(true));
        QVERIFY(connectionClosed());
    }

    // Without the driver library the dialog still opens and the check reports why it cannot work.
    void withoutDriverLibrary()
    {
        driver().destroy(&m_handle);
        driver().unload();
        auto* dlg = new SettingsDlg(nullptr);
        QCOMPARE(child<QComboBox>(*dlg, "cmbConnectionType")->count(), 0);
        QCOMPARE(child<QLineEdit>(*dlg, "leMACAddress")->text(), QStringLiteral("00:00:00:00:00:00"));
        clickCheck(*dlg);
        QVERIFY(result(*dlg).startsWith(QStringLiteral("[%1] ").arg(DriverLibrary::NotLoadedCode)));
        QVERIFY(m_boxes.isEmpty());
        delete dlg;
        QVERIFY(driver().loadFrom(m_libraryPath));
        QCOMPARE(driver().create(&m_handle), 0);
    }

private:
    QString m_libraryPath;
};

VESCOR_TEST(TestSettingsDlg)
#include "tst_SettingsDlg.moc"
