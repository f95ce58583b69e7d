#include "device/KKT_Logic.h"
#include "device/ValueCodec.h"
#include "model/FieldInfo.h"
#include "support/TestMain.h"

#include <QTest>
#include <QTextCodec>

// Cell values: raw register bytes to text and back, by the field's device type.
class tst_ValueCodec : public QObject
{
    Q_OBJECT

private:
    static FieldInfo field(int deviceType, bool ipAddress = false, int fill = 32, int maxLength = 128,
                           const QString& mask = QString())
    {
        FieldInfo f;
        f.m_name = QStringLiteral("Поле");
        f.m_deviceType = FieldInfo::DeviceType(deviceType);
        f.m_ipAddress = ipAddress;
        f.m_fillCharCode = uint8_t(fill);
        f.m_maxLength = maxLength;
        f.m_mask = mask;
        return f;
    }

    static QTextCodec* external() { return KKT_Logic::externalCodec(); }
    static QTextCodec* internal() { return KKT_Logic::internalCodec(); }

    static QByteArray decode(const FieldInfo& f, const QByteArray& raw) { return ValueCodec::decode(f, raw, external()); }

    static QByteArray encoded(const FieldInfo& f, const QByteArray& value)
    {
        const EncodedValue e = ValueCodec::encode(f, value, external());
        return e.ok ? e.bytes : QByteArray("<refused: ") + e.problem.toUtf8() + '>';
    }

    // decode(encode(value)) must give the value back.
    static bool roundTrips(const FieldInfo& f, const QByteArray& value, QByteArray* back = nullptr)
    {
        const EncodedValue e = ValueCodec::encode(f, value, external());
        const QByteArray read = e.ok ? decode(f, e.bytes) : QByteArray("<refused>");
        if (back)
            *back = read;
        return read == value;
    }

    static void addTypeColumns()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<bool>("ip");
        QTest::addColumn<int>("fill");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("mask");
    }

private slots:
    void decodeValue_data()
    {
        addTypeColumns();
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("value");
        const QString none;
        QTest::newRow("bin1 0") << 1 << false << 32 << 128 << none << QByteArray::fromHex("00") << QByteArray("0");
        QTest::newRow("bin1 255") << 1 << false << 32 << 128 << none << QByteArray::fromHex("FF") << QByteArray("255");
        QTest::newRow("bin1 first byte only") << 1 << false << 32 << 128 << none << QByteArray::fromHex("0710") << QByteArray("7");
        QTest::newRow("bin1 empty") << 1 << false << 32 << 128 << none << QByteArray() << QByteArray("0");
        QTest::newRow("bin2 01 02") << 2 << false << 32 << 128 << none << QByteArray::fromHex("0102") << QByteArray("258");
        QTest::newRow("bin2_big_endian 01 02") << 3 << false << 32 << 128 << none << QByteArray::fromHex("0102") << QByteArray("258");
        QTest::newRow("bin2 FF FF") << 2 << false << 32 << 128 << none << QByteArray::fromHex("FFFF") << QByteArray("65535");
        QTest::newRow("bin2 one byte") << 2 << false << 32 << 128 << none << QByteArray::fromHex("05") << QByteArray("5");
        QTest::newRow("bin2 extra bytes ignored") << 2 << false << 32 << 128 << none << QByteArray::fromHex("010203") << QByteArray("258");
        QTest::newRow("bin2 empty") << 2 << false << 32 << 128 << none << QByteArray() << QByteArray("0");
        QTest::newRow("bin4") << 4 << false << 32 << 128 << none << QByteArray::fromHex("00000005") << QByteArray("5");
        QTest::newRow("bin4 largest") << 4 << false << 32 << 128 << none << QByteArray::fromHex("FFFFFFFF") << QByteArray("4294967295");
        QTest::newRow("bin4 high byte") << 4 << false << 32 << 128 << none << QByteArray::fromHex("80000000") << QByteArray("2147483648");
        QTest::newRow("bin4 three bytes") << 4 << false << 32 << 128 << none << QByteArray::fromHex("010000") << QByteArray("65536");
        QTest::newRow("bin4 empty") << 4 << false << 32 << 128 << none << QByteArray() << QByteArray("0");
        QTest::newRow("bin4 address") << 4 << true << 32 << 128 << none << QByteArray::fromHex("C0A8010A") << QByteArray("192.168.1.10");
        QTest::newRow("bin4 address short") << 4 << true << 32 << 128 << none << QByteArray::fromHex("0A01") << QByteArray("10.1.0.0");
        QTest::newRow("bin4 address empty") << 4 << true << 32 << 128 << none << QByteArray() << QByteArray("0.0.0.0");
        QTest::newRow("bin6") << 5 << false << 32 << 128 << none << QByteArray::fromHex("001A2B0C4DFF") << QByteArray("0:1a:2b:c:4d:ff");
        QTest::newRow("bin6 short") << 5 << false << 32 << 128 << none << QByteArray::fromHex("AB") << QByteArray("ab:0:0:0:0:0");
        QTest::newRow("bcd2 12 34") << 7 << false << 32 << 128 << none << QByteArray::fromHex("1234") << QByteArray("1234");
        QTest::newRow("bcd2 00 05") << 7 << false << 32 << 128 << none << QByteArray::fromHex("0005") << QByteArray("5");
        QTest::newRow("bcd2 00 00") << 7 << false << 32 << 128 << none << QByteArray::fromHex("0000") << QByteArray("0");
        QTest::newRow("bcd1 99") << 6 << false << 32 << 128 << none << QByteArray::fromHex("99") << QByteArray("99");
        QTest::newRow("bcd3") << 8 << false << 32 << 128 << none << QByteArray::fromHex("123456") << QByteArray("123456");
        QTest::newRow("bcd8 all nines") << 12 << false << 32 << 128 << none << QByteArray::fromHex("9999999999999999") << QByteArray("9999999999999999");
        QTest::newRow("bcd nibble above 9") << 7 << false << 32 << 128 << none << QByteArray::fromHex("001A") << QByteArray("20");
        QTest::newRow("bcd nibbles FF") << 6 << false << 32 << 128 << none << QByteArray::fromHex("FF") << QByteArray("165");
        QTest::newRow("bcd nibble above 9 after digits") << 7 << false << 32 << 128 << none << QByteArray::fromHex("12A4") << QByteArray("1304");
        QTest::newRow("bcd last eight bytes count") << 7 << false << 32 << 128 << none << QByteArray::fromHex("991234567890123456") << QByteArray("1234567890123456");
        QTest::newRow("bcd all given bytes count") << 6 << false << 32 << 128 << none << QByteArray::fromHex("123456") << QByteArray("123456");
        QTest::newRow("bcd empty") << 9 << false << 32 << 128 << none << QByteArray() << QByteArray("0");
        QTest::newRow("string866 fill stripped") << 13 << false << 32 << 8 << none << QByteArray::fromHex("4142202020202020") << QByteArray("AB");
        QTest::newRow("string866 blank before zeros stays") << 13 << false << 32 << 8 << none << QByteArray::fromHex("41200000") << QByteArray("A ");
        QTest::newRow("string866 all fill") << 13 << false << 32 << 8 << none << QByteArray::fromHex("20202020") << QByteArray();
        QTest::newRow("string866 all zeros") << 13 << false << 32 << 8 << none << QByteArray::fromHex("000000") << QByteArray();
        QTest::newRow("string866 fill before zeros stays") << 13 << false << 32 << 8 << none << QByteArray::fromHex("2020000000") << QByteArray("  ");
        QTest::newRow("string866 other fill") << 13 << false << 0x2A << 8 << none << QByteArray::fromHex("41202A2A") << QByteArray("A ");
        QTest::newRow("string866 fill above 127") << 13 << false << 0xFF << 8 << none << QByteArray::fromHex("41FFFF") << QByteArray("A");
        QTest::newRow("string866 empty") << 13 << false << 32 << 8 << none << QByteArray() << QByteArray();
        QTest::newRow("string866 Cyrillic") << 13 << false << 32 << 8 << none << QByteArray::fromHex("84A02020") << QString::fromUtf8("Да").toUtf8();
        QTest::newRow("string866 numero and dollar") << 13 << false << 32 << 8 << none << QByteArray::fromHex("24FC") << QString::fromUtf8("№$").toUtf8();
        QTest::newRow("string866 FD form") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD050007") << QString::fromUtf8("©5,7").toUtf8();
        QTest::newRow("string866 FD form 3 1") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD030001") << QString::fromUtf8("©3,1").toUtf8();
        QTest::newRow("string866 FD form third byte ignored") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD0563FF") << QString::fromUtf8("©5,255").toUtf8();
        QTest::newRow("string866 FD form last zero stripped") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD050000") << QString::fromUtf8("©5,0").toUtf8();
        QTest::newRow("string866 FD form alone") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD") << QString::fromUtf8("©0,0").toUtf8();
        QTest::newRow("string866 FD form number equal to fill") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD200020") << QString::fromUtf8("©32,32").toUtf8();
        QTest::newRow("string866 FD form with fill after it") << 13 << false << 32 << 8 << none << QByteArray::fromHex("FD0500072020") << QString::fromUtf8("©5,7").toUtf8();
        QTest::newRow("ascii unchanged") << 14 << false << 32 << 128 << none << QByteArray::fromHex("C0A8010A") << QByteArray::fromHex("C0A8010A");
        QTest::newRow("ascii keeps fill and zeros") << 14 << false << 32 << 128 << none << QByteArray::fromHex("41200000") << QByteArray::fromHex("41200000");
        QTest::newRow("bcd64_1 05") << 15 << false << 32 << 128 << none << QByteArray::fromHex("05") << QByteArray("5");
        QTest::newRow("bcd64_1 10") << 15 << false << 32 << 128 << none << QByteArray::fromHex("10") << QByteArray("a");
        QTest::newRow("bcd64_1 42") << 15 << false << 32 << 128 << none << QByteArray::fromHex("42") << QByteArray("2a");
        QTest::newRow("bcd64_1 FF") << 15 << false << 32 << 128 << none << QByteArray::fromHex("FF") << QByteArray("a5");
        QTest::newRow("bcd64_1 only the first byte") << 15 << false << 32 << 128 << none << QByteArray::fromHex("0712") + QByteArray(62, '\0') << QByteArray("7");
        QTest::newRow("bcd64_1 empty") << 15 << false << 32 << 128 << none << QByteArray() << QByteArray("0");
    }
    void decodeValue()
    {
        QFETCH(int, deviceType);
        QFETCH(bool, ip);
        QFETCH(int, fill);
        QFETCH(int, maxLength);
        QFETCH(QString, mask);
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, value);
        QCOMPARE(decode(field(deviceType, ip, fill, maxLength, mask), raw), value);
    }

    // The flag of a separate cell read picks the register's own set; a whole-row read the 866 variant.
    void decodePicksCharacterSet_data()
    {
        QTest::addColumn<bool>("internalCodec");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("value");
        QTest::newRow("internal") << true << QByteArray::fromHex("0080F0A02020") << QString::fromUtf8("АаЁ$");
        QTest::newRow("external") << false << QByteArray::fromHex("4180F0FC2020") << QString::fromUtf8("AАЁ$");
        QTest::newRow("internal numero") << true << QByteArray::fromHex("24") << QString::fromUtf8("№");
        QTest::newRow("internal А before the fill") << true << QByteArray::fromHex("0E02002020") << QString::fromUtf8("ОВА");
        QTest::newRow("internal А only") << true << QByteArray::fromHex("002020") << QString::fromUtf8("А");
        QTest::newRow("internal zeros after blanks") << true << QByteArray::fromHex("0E02200000") << QString::fromUtf8("ОВ ");
        QTest::newRow("internal all zeros") << true << QByteArray::fromHex("000000") << QString();
        QTest::newRow("external zero before the fill") << false << QByteArray::fromHex("41002020") << QString::fromUtf8("A");
    }
    void decodePicksCharacterSet()
    {
        QFETCH(bool, internalCodec);
        QFETCH(QByteArray, raw);
        QFETCH(QString, value);
        const QByteArray decoded = KKT_Logic::instance().decodeValue(field(FieldInfo::String866), raw, internalCodec);
        QCOMPARE(QString::fromUtf8(decoded), value);
        QCOMPARE(ValueCodec::decode(field(FieldInfo::String866), raw, internalCodec ? internal() : external()), decoded);
    }

    void unknownDeviceType_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::newRow("0") << 0;
        QTest::newRow("16") << 16;
        QTest::newRow("-1") << -1;
    }
    void unknownDeviceType()
    {
        QFETCH(int, deviceType);
        const FieldInfo f = field(deviceType);
        QTest::ignoreMessage(QtDebugMsg, "ERROR in FieldInfo::DeviceType");
        QCOMPARE(decode(f, QByteArray::fromHex("0102")), QByteArray());
        QTest::ignoreMessage(QtDebugMsg, "ERROR in FieldInfo::DeviceType");
        const EncodedValue e = ValueCodec::encode(f, "12", external());
        QVERIFY(!e.ok);
        QVERIFY(e.bytes.isEmpty());
        QCOMPARE(e.problem, QStringLiteral("Значение \"12\" не подходит для поля \"Поле\": тип хранения поля в ККТ не распознан"));
    }

    void encodeValue_data()
    {
        addTypeColumns();
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("bytes");
        const QString none;
        QTest::newRow("bin1 0") << 1 << false << 32 << 128 << none << QByteArray("0") << QByteArray::fromHex("00");
        QTest::newRow("bin1 255") << 1 << false << 32 << 128 << none << QByteArray("255") << QByteArray::fromHex("FF");
        QTest::newRow("bin1 leading zeros") << 1 << false << 32 << 128 << none << QByteArray("007") << QByteArray::fromHex("07");
        QTest::newRow("bin1 blanks around") << 1 << false << 32 << 128 << none << QByteArray(" 7 ") << QByteArray::fromHex("07");
        QTest::newRow("bin2 258") << 2 << false << 32 << 128 << none << QByteArray("258") << QByteArray::fromHex("0102");
        QTest::newRow("bin2 5") << 2 << false << 32 << 128 << none << QByteArray("5") << QByteArray::fromHex("0005");
        QTest::newRow("bin2 65535") << 2 << false << 32 << 128 << none << QByteArray("65535") << QByteArray::fromHex("FFFF");
        QTest::newRow("bin2_big_endian 258") << 3 << false << 32 << 128 << none << QByteArray("258") << QByteArray::fromHex("0102");
        QTest::newRow("bin4 5") << 4 << false << 32 << 128 << none << QByteArray("5") << QByteArray::fromHex("00000005");
        QTest::newRow("bin4 largest") << 4 << false << 32 << 128 << none << QByteArray("4294967295") << QByteArray::fromHex("FFFFFFFF");
        QTest::newRow("bin4 address") << 4 << true << 32 << 128 << none << QByteArray("192.168.1.10") << QByteArray::fromHex("C0A8010A");
        QTest::newRow("bin4 address zeros") << 4 << true << 32 << 128 << none << QByteArray("0.0.0.0") << QByteArray::fromHex("00000000");
        QTest::newRow("bin4 address leading zeros") << 4 << true << 32 << 128 << none << QByteArray("010.001.0.255") << QByteArray::fromHex("0A0100FF");
        QTest::newRow("bin6") << 5 << false << 32 << 128 << none << QByteArray("0:1a:2b:c:4d:ff") << QByteArray::fromHex("001A2B0C4DFF");
        QTest::newRow("bin6 capitals") << 5 << false << 32 << 128 << none << QByteArray("00:1A:2B:0C:4D:FF") << QByteArray::fromHex("001A2B0C4DFF");
        QTest::newRow("bcd2 1234") << 7 << false << 32 << 128 << none << QByteArray("1234") << QByteArray::fromHex("1234");
        QTest::newRow("bcd2 7") << 7 << false << 32 << 128 << none << QByteArray("7") << QByteArray::fromHex("0007");
        QTest::newRow("bcd1 99") << 6 << false << 32 << 128 << none << QByteArray("99") << QByteArray::fromHex("99");
        QTest::newRow("bcd3 7") << 8 << false << 32 << 128 << none << QByteArray("7") << QByteArray::fromHex("000007");
        QTest::newRow("bcd3 0") << 8 << false << 32 << 128 << none << QByteArray("0") << QByteArray::fromHex("000000");
        QTest::newRow("bcd4 largest") << 9 << false << 32 << 128 << none << QByteArray("99999999") << QByteArray::fromHex("99999999");
        QTest::newRow("bcd5") << 10 << false << 32 << 128 << none << QByteArray("1234567890") << QByteArray::fromHex("1234567890");
        QTest::newRow("bcd6") << 11 << false << 32 << 128 << none << QByteArray("12345") << QByteArray::fromHex("000000012345");
        QTest::newRow("bcd8 largest") << 12 << false << 32 << 128 << none << QByteArray("9999999999999999") << QByteArray::fromHex("9999999999999999");
        QTest::newRow("string866 AB filled") << 13 << false << 32 << 8 << none << QByteArray("AB") << QByteArray::fromHex("4142202020202020");
        QTest::newRow("string866 empty is all fill") << 13 << false << 32 << 4 << none << QByteArray() << QByteArray::fromHex("20202020");
        QTest::newRow("string866 exactly the length") << 13 << false << 32 << 4 << none << QByteArray("ABCD") << QByteArray("ABCD");
        QTest::newRow("string866 Cyrillic") << 13 << false << 32 << 4 << none << QString::fromUtf8("Да").toUtf8() << QByteArray::fromHex("84A02020");
        QTest::newRow("string866 guillemets") << 13 << false << 32 << 4 << none << QString::fromUtf8("«Да»").toUtf8() << QByteArray::fromHex("2284A022");
        QTest::newRow("string866 dollar numero euro dash") << 13 << false << 32 << 4 << none << QString::fromUtf8("$№€—").toUtf8() << QByteArray::fromHex("FC24F2FA");
        QTest::newRow("string866 ASCII dollar") << 13 << false << 32 << 4 << none << QByteArray("A$") << QByteArray::fromHex("41FC2020");
        QTest::newRow("string866 NUL inside the text") << 13 << false << 32 << 4 << none << QByteArray("A\0B", 3) << QByteArray::fromHex("41004220");
        QTest::newRow("string866 zero fill") << 13 << false << 0 << 4 << none << QByteArray("A") << QByteArray::fromHex("41000000");
        QTest::newRow("string866 fill byte 24") << 13 << false << 0x24 << 4 << none << QByteArray("A") << QByteArray::fromHex("41242424");
        QTest::newRow("string866 fill above 127") << 13 << false << 0xFF << 4 << none << QByteArray("A") << QByteArray::fromHex("41FFFFFF");
        QTest::newRow("string866 mask shortens the count") << 13 << false << 32 << 8 << QString("9999") << QByteArray("12") << QByteArray::fromHex("31322020");
        QTest::newRow("string866 mask longer than the field") << 13 << false << 32 << 4 << QString("99999999") << QByteArray("12") << QByteArray::fromHex("31322020");
        QTest::newRow("string866 zero length") << 13 << false << 32 << 0 << none << QByteArray() << QByteArray();
        QTest::newRow("string866 FD form") << 13 << false << 32 << 8 << none << QString::fromUtf8("©5,7").toUtf8() << QByteArray::fromHex("FD050007");
        QTest::newRow("string866 FD form blanks") << 13 << false << 32 << 8 << none << QString::fromUtf8("© 5 , 7 ").toUtf8() << QByteArray::fromHex("FD050007");
        QTest::newRow("string866 FD form largest") << 13 << false << 32 << 8 << none << QString::fromUtf8("©255,255").toUtf8() << QByteArray::fromHex("FDFF00FF");
        QTest::newRow("string866 FD form ignores mask beyond it") << 13 << false << 32 << 8 << QString("XXXXXX") << QString::fromUtf8("©3,1").toUtf8() << QByteArray::fromHex("FD030001");
        QTest::newRow("ascii unchanged") << 14 << false << 32 << 2 << none << QByteArray("abc\xC0") << QByteArray("abc\xC0");
        QTest::newRow("ascii empty") << 14 << false << 32 << 2 << none << QByteArray() << QByteArray();
        QTest::newRow("bcd64_1 5") << 15 << false << 32 << 128 << none << QByteArray("5") << QByteArray::fromHex("05") + QByteArray(63, '\0');
        QTest::newRow("bcd64_1 10 plain byte") << 15 << false << 32 << 128 << none << QByteArray("10") << QByteArray::fromHex("0A") + QByteArray(63, '\0');
        QTest::newRow("bcd64_1 255") << 15 << false << 32 << 128 << none << QByteArray("255") << QByteArray::fromHex("FF") + QByteArray(63, '\0');
    }
    void encodeValue()
    {
        QFETCH(int, deviceType);
        QFETCH(bool, ip);
        QFETCH(int, fill);
        QFETCH(int, maxLength);
        QFETCH(QString, mask);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, bytes);
        const EncodedValue e = ValueCodec::encode(field(deviceType, ip, fill, maxLength, mask), value, external());
        QVERIFY2(e.ok, qPrintable(e.problem));
        QVERIFY(e.problem.isEmpty());
        QCOMPARE(e.bytes.toHex(' '), bytes.toHex(' '));
        QCOMPARE(ValueCodec::refusalReason(field(deviceType, ip, fill, maxLength, mask), value, external()), QString());
    }

    // Values the encoder cannot write as they stand: refused with the reason, nothing to send.
    void encodeRefuses_data()
    {
        addTypeColumns();
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("reason");
        const QString none;
        const QString upTo255 = QStringLiteral("нужно целое число от 0 до 255");
        const QString upTo65535 = QStringLiteral("нужно целое число от 0 до 65535");
        const QString upTo4G = QStringLiteral("нужно целое число от 0 до 4294967295");
        const QString address = QStringLiteral("нужен IPv4-адрес: четыре числа от 0 до 255 через точку");
        const QString sixBytes = QStringLiteral("нужны шесть шестнадцатеричных чисел от 0 до ff через двоеточие");
        const QString form = QStringLiteral("нужна запись вида ©число,число с числами от 0 до 255");
        QTest::newRow("bin1 256") << 1 << false << 32 << 128 << none << QByteArray("256") << upTo255;
        QTest::newRow("bin1 300") << 1 << false << 32 << 128 << none << QByteArray("300") << upTo255;
        QTest::newRow("bin1 empty") << 1 << false << 32 << 128 << none << QByteArray() << upTo255;
        QTest::newRow("bin1 blank") << 1 << false << 32 << 128 << none << QByteArray("  ") << upTo255;
        QTest::newRow("bin1 negative") << 1 << false << 32 << 128 << none << QByteArray("-1") << upTo255;
        QTest::newRow("bin1 plus sign") << 1 << false << 32 << 128 << none << QByteArray("+1") << upTo255;
        QTest::newRow("bin1 letters") << 1 << false << 32 << 128 << none << QByteArray("abc") << upTo255;
        QTest::newRow("bin2 65536") << 2 << false << 32 << 128 << none << QByteArray("65536") << upTo65535;
        QTest::newRow("bin2 70000") << 2 << false << 32 << 128 << none << QByteArray("70000") << upTo65535;
        QTest::newRow("bin2 digits then letters") << 2 << false << 32 << 128 << none << QByteArray("12abc") << upTo65535;
        QTest::newRow("bin2 no leading digits") << 2 << false << 32 << 128 << none << QByteArray("x12") << upTo65535;
        QTest::newRow("bin2 empty") << 2 << false << 32 << 128 << none << QByteArray() << upTo65535;
        QTest::newRow("bin2 decimal point") << 2 << false << 32 << 128 << none << QByteArray("1.5") << upTo65535;
        QTest::newRow("bin2_big_endian 65536") << 3 << false << 32 << 128 << none << QByteArray("65536") << upTo65535;
        QTest::newRow("bin4 4294967296") << 4 << false << 32 << 128 << none << QByteArray("4294967296") << upTo4G;
        QTest::newRow("bin4 beyond 64 bits") << 4 << false << 32 << 128 << none << QByteArray("18446744073709551616") << upTo4G;
        QTest::newRow("bin4 negative") << 4 << false << 32 << 128 << none << QByteArray("-5") << upTo4G;
        QTest::newRow("bin4 empty") << 4 << false << 32 << 128 << none << QByteArray() << upTo4G;
        QTest::newRow("bin4 address three parts") << 4 << true << 32 << 128 << none << QByteArray("192.168.1") << address;
        QTest::newRow("bin4 address five parts") << 4 << true << 32 << 128 << none << QByteArray("1.2.3.4.5") << address;
        QTest::newRow("bin4 address 256") << 4 << true << 32 << 128 << none << QByteArray("192.168.1.256") << address;
        QTest::newRow("bin4 address empty part") << 4 << true << 32 << 128 << none << QByteArray("192..1.1") << address;
        QTest::newRow("bin4 address letters") << 4 << true << 32 << 128 << none << QByteArray("a.b.c.d") << address;
        QTest::newRow("bin4 address blank inside") << 4 << true << 32 << 128 << none << QByteArray("192. 168.1.1") << address;
        QTest::newRow("bin4 address long part") << 4 << true << 32 << 128 << none << QByteArray("0001.1.1.1") << address;
        QTest::newRow("bin4 address plain number") << 4 << true << 32 << 128 << none << QByteArray("3232235786") << address;
        QTest::newRow("bin4 address empty") << 4 << true << 32 << 128 << none << QByteArray() << address;
        QTest::newRow("bin6 five parts") << 5 << false << 32 << 128 << none << QByteArray("0:1a:2b:c:4d") << sixBytes;
        QTest::newRow("bin6 seven parts") << 5 << false << 32 << 128 << none << QByteArray("0:1a:2b:c:4d:ff:1") << sixBytes;
        QTest::newRow("bin6 three digits") << 5 << false << 32 << 128 << none << QByteArray("0:1a:2b:c:4d:100") << sixBytes;
        QTest::newRow("bin6 not hexadecimal") << 5 << false << 32 << 128 << none << QByteArray("0:1g:2b:c:4d:ff") << sixBytes;
        QTest::newRow("bin6 empty part") << 5 << false << 32 << 128 << none << QByteArray("0::2b:c:4d:ff") << sixBytes;
        QTest::newRow("bin6 dashes") << 5 << false << 32 << 128 << none << QByteArray("00-1a-2b-0c-4d-ff") << sixBytes;
        QTest::newRow("bin6 empty") << 5 << false << 32 << 128 << none << QByteArray() << sixBytes;
        QTest::newRow("bcd1 100") << 6 << false << 32 << 128 << none << QByteArray("100") << QStringLiteral("нужно целое число от 0 до 99");
        QTest::newRow("bcd1 150") << 6 << false << 32 << 128 << none << QByteArray("150") << QStringLiteral("нужно целое число от 0 до 99");
        QTest::newRow("bcd2 10000") << 7 << false << 32 << 128 << none << QByteArray("10000") << QStringLiteral("нужно целое число от 0 до 9999");
        QTest::newRow("bcd3 1000000") << 8 << false << 32 << 128 << none << QByteArray("1000000") << QStringLiteral("нужно целое число от 0 до 999999");
        QTest::newRow("bcd4 100000000") << 9 << false << 32 << 128 << none << QByteArray("100000000") << QStringLiteral("нужно целое число от 0 до 99999999");
        QTest::newRow("bcd5 10000000000") << 10 << false << 32 << 128 << none << QByteArray("10000000000") << QStringLiteral("нужно целое число от 0 до 9999999999");
        QTest::newRow("bcd6 10^12") << 11 << false << 32 << 128 << none << QByteArray("1000000000000") << QStringLiteral("нужно целое число от 0 до 999999999999");
        QTest::newRow("bcd8 10^16") << 12 << false << 32 << 128 << none << QByteArray("10000000000000000") << QStringLiteral("нужно целое число от 0 до 9999999999999999");
        QTest::newRow("bcd2 empty") << 7 << false << 32 << 128 << none << QByteArray() << QStringLiteral("нужно целое число от 0 до 9999");
        QTest::newRow("bcd2 letters") << 7 << false << 32 << 128 << none << QByteArray("12a") << QStringLiteral("нужно целое число от 0 до 9999");
        QTest::newRow("bcd2 negative") << 7 << false << 32 << 128 << none << QByteArray("-12") << QStringLiteral("нужно целое число от 0 до 9999");
        QTest::newRow("string866 longer than the field") << 13 << false << 32 << 4 << none << QByteArray("ABCDE") << QStringLiteral("текст длиннее 4 символов");
        QTest::newRow("string866 NUL past the length") << 13 << false << 32 << 4 << none << QByteArray("AB\0CD", 5) << QStringLiteral("текст длиннее 4 символов");
        QTest::newRow("string866 Cyrillic longer than the field") << 13 << false << 32 << 2 << none << QString::fromUtf8("Дом").toUtf8() << QStringLiteral("текст длиннее 2 символов");
        QTest::newRow("string866 longer than the mask") << 13 << false << 32 << 8 << QString("999") << QByteArray("1234") << QStringLiteral("текст длиннее 3 символов");
        QTest::newRow("string866 text on a zero-length field") << 13 << false << 32 << 0 << none << QByteArray("A") << QStringLiteral("текст длиннее 0 символов");
        QTest::newRow("string866 accented letter") << 13 << false << 32 << 8 << none << QString::fromUtf8("café").toUtf8() << QStringLiteral("символ \"é\" не может быть записан в ККТ");
        QTest::newRow("string866 Є") << 13 << false << 32 << 8 << none << QString::fromUtf8("AЄ").toUtf8() << QStringLiteral("символ \"Є\" не может быть записан в ККТ");
        QTest::newRow("string866 outside the BMP") << 13 << false << 32 << 8 << none << QString::fromUtf8("a😀").toUtf8() << QStringLiteral("символ \"😀\" не может быть записан в ККТ");
        QTest::newRow("string866 invalid UTF-8") << 13 << false << 32 << 8 << none << QByteArray("a\xFF") << QStringLiteral("символ \"\uFFFD\" не может быть записан в ККТ");
        QTest::newRow("string866 copyright inside text") << 13 << false << 32 << 8 << none << QString::fromUtf8("A©1,2").toUtf8() << QStringLiteral("символ \"©\" не может быть записан в ККТ");
        QTest::newRow("string866 FD form without comma") << 13 << false << 32 << 8 << none << QString::fromUtf8("©5").toUtf8() << form;
        QTest::newRow("string866 FD form 256") << 13 << false << 32 << 8 << none << QString::fromUtf8("©256,1").toUtf8() << form;
        QTest::newRow("string866 FD form second 256") << 13 << false << 32 << 8 << none << QString::fromUtf8("©1,256").toUtf8() << form;
        QTest::newRow("string866 FD form empty number") << 13 << false << 32 << 8 << none << QString::fromUtf8("©,1").toUtf8() << form;
        QTest::newRow("string866 FD form three numbers") << 13 << false << 32 << 8 << none << QString::fromUtf8("©1,2,3").toUtf8() << form;
        QTest::newRow("string866 FD form two marks") << 13 << false << 32 << 8 << none << QString::fromUtf8("©1©,2").toUtf8() << form;
        QTest::newRow("string866 FD form letters") << 13 << false << 32 << 8 << none << QString::fromUtf8("©a,b").toUtf8() << form;
        QTest::newRow("string866 FD form longer than the field") << 13 << false << 32 << 4 << none << QString::fromUtf8("©12,3").toUtf8() << QStringLiteral("текст длиннее 4 символов");
        QTest::newRow("string866 negative length") << 13 << false << 32 << -1 << none << QByteArray() << QStringLiteral("длина поля -1 недопустима");
        QTest::newRow("string866 huge length") << 13 << false << 32 << 2000000000 << none << QByteArray("A") << QStringLiteral("длина поля 2000000000 недопустима");
        QTest::newRow("bcd64_1 256") << 15 << false << 32 << 128 << none << QByteArray("256") << upTo255;
        QTest::newRow("bcd64_1 hexadecimal a") << 15 << false << 32 << 128 << none << QByteArray("a") << upTo255;
        QTest::newRow("bcd64_1 empty") << 15 << false << 32 << 128 << none << QByteArray() << upTo255;
    }
    void encodeRefuses()
    {
        QFETCH(int, deviceType);
        QFETCH(bool, ip);
        QFETCH(int, fill);
        QFETCH(int, maxLength);
        QFETCH(QString, mask);
        QFETCH(QByteArray, value);
        QFETCH(QString, reason);
        const EncodedValue e = ValueCodec::encode(field(deviceType, ip, fill, maxLength, mask), value, external());
        QVERIFY(!e.ok);
        QVERIFY(e.bytes.isEmpty());
        QCOMPARE(e.problem, QStringLiteral("Значение \"%1\" не подходит для поля \"%2\": %3")
                                .arg(QString::fromUtf8(value.constData(), value.size()), QStringLiteral("Поле"), reason));
        // The check without bytes gives the same reason.
        QCOMPARE(ValueCodec::refusalReason(field(deviceType, ip, fill, maxLength, mask), value, external()), reason);
    }

    void problemQuotesValueAndFieldLiterally()
    {
        FieldInfo f = field(FieldInfo::Bin1);
        f.m_name = QStringLiteral("Ставка %1");
        const EncodedValue e = ValueCodec::encode(f, "%2x", external());
        QVERIFY(!e.ok);
        QCOMPARE(e.problem, QStringLiteral("Значение \"%2x\" не подходит для поля \"Ставка %1\": нужно целое число от 0 до 255"));
    }

    void bin2TypesAgree()
    {
        const FieldInfo bin2 = field(FieldInfo::Bin2);
        const FieldInfo bigEndian = field(FieldInfo::Bin2BigEndian);
        for (int b = 0; b < 256; ++b) {
            const QByteArray raw = QByteArray(1, char(b)) + QByteArray(1, char(255 - b));
            QCOMPARE(decode(bin2, raw), decode(bigEndian, raw));
            const QByteArray value = QByteArray::number(b * 257);
            QCOMPARE(ValueCodec::encode(bin2, value, external()).bytes, ValueCodec::encode(bigEndian, value, external()).bytes);
        }
    }

    void roundTripBin1()
    {
        const FieldInfo f = field(FieldInfo::Bin1);
        for (int v = 0; v <= 255; ++v) {
            const QByteArray value = QByteArray::number(v);
            QCOMPARE(ValueCodec::encode(f, value, external()).bytes.size(), 1);
            QVERIFY2(roundTrips(f, value), value.constData());
        }
    }

    void roundTripBin2_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::newRow("bin2") << int(FieldInfo::Bin2);
        QTest::newRow("bin2_big_endian") << int(FieldInfo::Bin2BigEndian);
    }
    void roundTripBin2()
    {
        QFETCH(int, deviceType);
        const FieldInfo f = field(deviceType);
        for (int v = 0; v <= 65535; ++v) {
            const QByteArray value = QByteArray::number(v);
            QByteArray back;
            if (!roundTrips(f, value, &back))
                QFAIL(qPrintable(value + " read back as " + back));
        }
    }

    void roundTripBin4()
    {
        const FieldInfo f = field(FieldInfo::Bin4);
        for (quint64 v = 0; v <= 0xFFFFFFFFull; v += 65521) {
            QVERIFY2(roundTrips(f, QByteArray::number(v)), QByteArray::number(v).constData());
            QVERIFY2(roundTrips(f, QByteArray::number(0xFFFFFFFFull - v)), QByteArray::number(v).constData());
        }
        for (int shift = 0; shift < 32; ++shift)
            QVERIFY(roundTrips(f, QByteArray::number(quint64(1) << shift)));
    }

    void roundTripBin4Address()
    {
        const FieldInfo f = field(FieldInfo::Bin4, true);
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; b += 15) {
                const QByteArray value = QByteArray::number(a) + '.' + QByteArray::number(b) + '.'
                    + QByteArray::number(255 - a) + '.' + QByteArray::number((a * 7 + b) % 256);
                QVERIFY2(roundTrips(f, value), value.constData());
            }
        }
    }

    void roundTripBin6()
    {
        const FieldInfo f = field(FieldInfo::Bin6);
        for (int position = 0; position < 6; ++position) {
            for (int b = 0; b < 256; ++b) {
                QByteArray raw = QByteArray::fromHex("0A1B2C3D4E5F");
                raw[position] = char(b);
                const QByteArray value = decode(f, raw);
                const EncodedValue e = ValueCodec::encode(f, value, external());
                QVERIFY(e.ok);
                QCOMPARE(e.bytes, raw);
                QVERIFY(roundTrips(f, value));
            }
        }
    }

    void roundTripBcd_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<int>("width");
        QTest::newRow("bcd1") << int(FieldInfo::Bcd1) << 1;
        QTest::newRow("bcd2") << int(FieldInfo::Bcd2) << 2;
        QTest::newRow("bcd3") << int(FieldInfo::Bcd3) << 3;
        QTest::newRow("bcd4") << int(FieldInfo::Bcd4) << 4;
        QTest::newRow("bcd5") << int(FieldInfo::Bcd5) << 5;
        QTest::newRow("bcd6") << int(FieldInfo::Bcd6) << 6;
        QTest::newRow("bcd8") << int(FieldInfo::Bcd8) << 8;
    }
    void roundTripBcd()
    {
        QFETCH(int, deviceType);
        QFETCH(int, width);
        const FieldInfo f = field(deviceType);
        quint64 largest = 1;
        for (int i = 0; i < 2 * width; ++i)
            largest *= 10;
        --largest;
        const quint64 step = largest < 100000 ? 1 : largest / 99991;
        int checked = 0;
        for (quint64 v = 0; v <= largest; v += step) {
            for (const quint64 x : { v, largest - v }) {
                const QByteArray value = QByteArray::number(x);
                const EncodedValue e = ValueCodec::encode(f, value, external());
                QVERIFY2(e.ok, value.constData());
                QCOMPARE(e.bytes.size(), width);
                QCOMPARE(QByteArray::number(x).rightJustified(2 * width, '0'), e.bytes.toHex());
                QCOMPARE(decode(f, e.bytes), value);
                ++checked;
            }
        }
        QVERIFY(checked > 100);
    }

    void roundTripFdForm()
    {
        const FieldInfo f = field(FieldInfo::String866, false, 32, 16);
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                const QByteArray value = QStringLiteral("\u00A9%1,%2").arg(a).arg(b).toUtf8();
                QByteArray back;
                if (!roundTrips(f, value, &back))
                    QFAIL(qPrintable(QString::fromUtf8(value + " read back as " + back)));
            }
        }
    }

    // Every character of the set, in texts of every length up to the field's, with a blank fill.
    void roundTripStrings()
    {
        const FieldInfo f = field(FieldInfo::String866, false, 32, 10);
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString table = external()->toUnicode(all);
        QString characters;
        for (const QChar c : table) {
            // Blanks and NUL at the end of a text are the fill; they are tested inside texts.
            if (!characters.contains(c))
                characters.append(c);
        }
        QVERIFY(characters.size() > 200);
        for (int start = 0; start < characters.size(); ++start) {
            for (int length = 1; length <= 10; ++length) {
                QString text = QStringLiteral("Ж") + characters.mid(start, length - 1);
                if (text.size() > 1 && (text.endsWith(QChar(' ')) || text.endsWith(QChar(0))))
                    text.chop(1), text.append(QChar(u'я'));
                const QByteArray value = text.toUtf8();
                const EncodedValue e = ValueCodec::encode(f, value, external());
                QVERIFY2(e.ok, qPrintable(e.problem));
                QCOMPARE(e.bytes.size(), 10);
                QByteArray back;
                if (!roundTrips(f, value, &back))
                    QFAIL(qPrintable(value.toHex(' ') + " read back as " + back.toHex(' ')));
            }
        }
    }

    void roundTripStringWithOtherFills_data()
    {
        QTest::addColumn<int>("fill");
        QTest::newRow("zero") << 0;
        QTest::newRow("star") << 0x2A;
        QTest::newRow("dollar byte") << 0x24;
        QTest::newRow("FF") << 0xFF;
    }
    void roundTripStringWithOtherFills()
    {
        QFETCH(int, fill);
        const FieldInfo f = field(FieldInfo::String866, false, fill, 6);
        for (const char* text : { "", "A", "AB C", "ABCDEF" })
            QVERIFY2(roundTrips(f, QByteArray(text)), text);
    }

    // The first byte alone is the value: only 00..09 read back as the number that wrote them.
    void bcd64_1RoundTrip()
    {
        const FieldInfo f = field(FieldInfo::Bcd64_1);
        for (int v = 0; v <= 9; ++v)
            QVERIFY(roundTrips(f, QByteArray::number(v)));
        QCOMPARE(decode(f, ValueCodec::encode(f, "10", external()).bytes), QByteArray("a"));
        QVERIFY(!ValueCodec::encode(f, "a", external()).ok);
    }

    void asciiRoundTrip()
    {
        const FieldInfo f = field(FieldInfo::Ascii);
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QVERIFY(roundTrips(f, all));
        QVERIFY(roundTrips(f, QByteArray()));
    }
};

VESCOR_TEST(tst_ValueCodec)
#include "tst_ValueCodec.moc"
