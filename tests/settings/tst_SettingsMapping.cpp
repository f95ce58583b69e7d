#include "support/TestMain.h"

#include "settings/SettingsMapping.h"

#include <QTest>

class TestSettingsMapping : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("descriptions");

        QTest::newRow("string keys")
            << QStringLiteral(R"([{"key":"/dev/ttyS0","description":"COM1"},{"key":"/dev/ttyS1","description":"COM2"}])")
            << QStringList{"/dev/ttyS0", "/dev/ttyS1"} << QStringList{"COM1", "COM2"};
        QTest::newRow("number keys")
            << QStringLiteral(R"([{"key":0,"description":"COM"},{"key":2,"description":"TCP/IP"},{"key":-1,"description":"нет"}])")
            << QStringList{"0", "2", "-1"} << QStringList{"COM", "TCP/IP", "нет"};
        QTest::newRow("missing members")
            << QStringLiteral(R"([{"description":"без ключа"},{"key":9600},{}])")
            << QStringList{"", "9600", ""} << QStringList{"без ключа", "", ""};
        QTest::newRow("other members ignored")
            << QStringLiteral(R"([{"key":1,"description":"USB","hint":[1,2]}])")
            << QStringList{"1"} << QStringList{"USB"};
        QTest::newRow("comments")
            << QStringLiteral("[ // ports\n {\"key\":1, /* usb */ \"description\":\"USB\"}]")
            << QStringList{"1"} << QStringList{"USB"};
        QTest::newRow("empty array") << QStringLiteral("[]") << QStringList() << QStringList();
        QTest::newRow("empty text") << QString() << QStringList() << QStringList();
        QTest::newRow("not JSON") << QStringLiteral("COM1,COM2") << QStringList() << QStringList();
        QTest::newRow("cut short") << QStringLiteral("[{\"key\":1,\"description\":\"US") << QStringList() << QStringList();
        QTest::newRow("top level object")
            << QStringLiteral(R"({"key":1,"description":"USB"})") << QStringList() << QStringList();
        QTest::newRow("top level string") << QStringLiteral(R"("USB")") << QStringList() << QStringList();
        QTest::newRow("top level number") << QStringLiteral("1") << QStringList() << QStringList();
        QTest::newRow("top level boolean") << QStringLiteral("true") << QStringList() << QStringList();
        QTest::newRow("array or object members skipped")
            << QStringLiteral(R"([{"key":[1],"description":"a"},{"key":2,"description":{"ru":"b"}},
                                 {"key":3,"description":"c"},{"key":{},"description":[]}])")
            << QStringList{"3"} << QStringList{"c"};
        QTest::newRow("elements that are not objects skipped")
            << QStringLiteral(R"(["COM1",7,null,[1,"x"],{"key":"4","description":"d"}])")
            << QStringList{"4"} << QStringList{"d"};
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, descriptions);

        QStringList actualKeys, actualDescriptions;
        for (const SettingsMapping::Entry& e : SettingsMapping::parse(text)) {
            actualKeys << e.key;
            actualDescriptions << e.description;
        }
        QCOMPARE(actualKeys, keys);
        QCOMPARE(actualDescriptions, descriptions);
    }
};

VESCOR_TEST(TestSettingsMapping)
#include "tst_SettingsMapping.moc"
