#include "LogCapture.h"
#include "model/FieldInfo.h"
#include "support/TestMain.h"

#include <QTest>

// Field descriptors: the classification of the type names and the derived queries.
class tst_FieldInfo : public QObject
{
    Q_OBJECT

private slots:
    void classification_data()
    {
        QTest::addColumn<QString>("deviceText");
        QTest::addColumn<QString>("guiText");
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<int>("guiType");
        const char* const devices[] = { "bin1", "bin2", "bin2_big_endian", "bin4", "bin6", "bcd1", "bcd2", "bcd3",
                                        "bcd4", "bcd5", "bcd6", "bcd8", "string866", "ascii", "bcd64_1" };
        const char* const guis[] = { "int", "money", "string", "string_masked", "list" };
        for (int d = 0; d < 15; ++d)
            QTest::addRow("%s", devices[d]) << QString(devices[d]) << QString(guis[d % 5]) << d + 1 << d % 5 + 1;
        QTest::newRow("Money capital") << "bin4" << "Money" << 4 << 0;
        QTest::newRow("bcd7") << "bcd7" << "int" << 0 << 1;
        QTest::newRow("BIN1 capitals") << "BIN1" << "int" << 0 << 1;
        QTest::newRow("trailing blank") << "bin1 " << "list " << 0 << 0;
        QTest::newRow("both empty") << "" << "" << 0 << 0;
    }
    void classification()
    {
        QFETCH(QString, deviceText);
        QFETCH(QString, guiText);
        QFETCH(int, deviceType);
        QFETCH(int, guiType);
        LogCapture log;
        const FieldInfo field(QStringLiteral("Номер"), deviceText, guiText);
        QCOMPARE(int(field.m_deviceType), deviceType);
        QCOMPARE(int(field.m_guiType), guiType);
        QCOMPARE(FieldInfo::isValidDeviceType(field.m_deviceType), deviceType != 0);
        QCOMPARE(field.m_name, QStringLiteral("Номер"));
        QVERIFY(field.m_items.empty());
        QVERIFY(field.m_mask.isEmpty());

        QStringList expected;
        const QString texts = QStringLiteral(" _deviceTypeStr =  \"%1\" _guiTypeStr  \"%2\"").arg(deviceText, guiText);
        if (guiType == 0)
            expected << QStringLiteral("Error in FieldInfo::FieldInfo(), wrong _guiTypeStr. _name =  \"Номер\" ") + texts;
        if (deviceType == 0)
            expected << QStringLiteral("Error in FieldInfo::FieldInfo(), wrong _deviceType. _name =  \"Номер\" ") + texts;
        expected << QStringLiteral("\"Номер\"   \"%1\"   \"%2\" m_guiType =  %3  m_deviceType =  %4")
                        .arg(deviceText, guiText).arg(guiType).arg(deviceType);
        QCOMPARE(log.lines(), expected);
    }

    void zeroMaskLength_data()
    {
        QTest::addColumn<QString>("deviceText");
        QTest::addColumn<QString>("guiText");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("length");
        QTest::newRow("bcd3 masked 000000") << "bcd3" << "string_masked" << "000000" << 6;
        QTest::newRow("bcd1 masked 00") << "bcd1" << "string_masked" << "00" << 2;
        QTest::newRow("bcd8 masked 0") << "bcd8" << "string_masked" << "0" << 1;
        QTest::newRow("bcd3 masked 00-00") << "bcd3" << "string_masked" << "00-00" << 0;
        QTest::newRow("bcd3 masked 0009") << "bcd3" << "string_masked" << "0009" << 0;
        QTest::newRow("bcd3 masked empty") << "bcd3" << "string_masked" << "" << 0;
        QTest::newRow("bcd64_1 masked 00") << "bcd64_1" << "string_masked" << "00" << 0;
        QTest::newRow("bin4 masked 0000") << "bin4" << "string_masked" << "0000" << 0;
        QTest::newRow("bcd3 string 000000") << "bcd3" << "string" << "000000" << 0;
        QTest::newRow("bcd3 int 000000") << "bcd3" << "int" << "000000" << 0;
        QTest::newRow("unknown type masked 00") << "bcd7" << "string_masked" << "00" << 0;
    }
    void zeroMaskLength()
    {
        QFETCH(QString, deviceText);
        QFETCH(QString, guiText);
        QFETCH(QString, mask);
        QFETCH(int, length);
        LogCapture quiet;
        FieldInfo field(QStringLiteral("f"), deviceText, guiText);
        field.m_mask = mask;
        QCOMPARE(field.zeroMaskLength(), length);
    }

    void rowWidth_data()
    {
        QTest::addColumn<QString>("deviceText");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("width");
        const struct { const char* text; int width; } fixed[] = {
            { "bin1", 1 }, { "bcd1", 1 }, { "bin2", 2 }, { "bin2_big_endian", 2 }, { "bcd2", 2 }, { "bcd3", 3 },
            { "bin4", 4 }, { "bcd4", 4 }, { "bcd5", 5 }, { "bin6", 6 }, { "bcd6", 6 }, { "bcd8", 8 },
            { "bcd64_1", 64 }, { "nonsense", 0 },
        };
        for (const auto& f : fixed)
            QTest::addRow("%s", f.text) << QString(f.text) << 10 << f.width;
        QTest::newRow("string866 10") << "string866" << 10 << 10;
        QTest::newRow("string866 128") << "string866" << 128 << 128;
        QTest::newRow("ascii 16") << "ascii" << 16 << 16;
        QTest::newRow("string866 negative") << "string866" << -3 << 0;
    }
    void rowWidth()
    {
        QFETCH(QString, deviceText);
        QFETCH(int, maxLength);
        QFETCH(int, width);
        LogCapture quiet;
        FieldInfo field(QStringLiteral("f"), deviceText, QStringLiteral("int"));
        field.m_maxLength = maxLength;
        QCOMPARE(field.rowWidth(), width);
    }

    void copiesAreIndependent()
    {
        LogCapture quiet;
        FieldInfo source(QStringLiteral("Режим"), QStringLiteral("bin1"), QStringLiteral("list"));
        source.m_items = { { 0, QStringLiteral("Выкл") }, { 1, QStringLiteral("Вкл") }, { 2, QStringLiteral("Авто") } };
        FieldInfo copy = source;
        copy.m_items[1] = QStringLiteral("Иначе");
        copy.m_items.erase(2);
        QCOMPARE(source.m_items.size(), size_t(3));
        QCOMPARE(source.m_items.at(1), QStringLiteral("Вкл"));
        QCOMPARE(source.m_items.at(2), QStringLiteral("Авто"));
        QCOMPARE(copy.m_items.size(), size_t(2));
    }
};

VESCOR_TEST(tst_FieldInfo)
#include "tst_FieldInfo.moc"
