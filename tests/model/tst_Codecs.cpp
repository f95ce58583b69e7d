#include "device/KKT_Logic.h"
#include "model/CharsetCodec.h"
#include "support/TestMain.h"

#include <QTest>
#include <QTextCodec>

#include <iconv.h>

// The register's two character sets, through the ordinary QTextCodec conversions.
class tst_Codecs : public QObject
{
    Q_OBJECT

private:
    static QTextCodec* codec(const QString& which)
    {
        return which == QLatin1String("internal") ? KKT_Logic::internalCodec() : KKT_Logic::externalCodec();
    }

    // The character each byte decodes to, as the codec itself reports it.
    static QString decodedTable(QTextCodec* c)
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        return c->toUnicode(all);
    }

private slots:
    void identity_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("mib");
        QTest::newRow("internal") << "internal" << QByteArray("RU-internal-866") << 121;
        QTest::newRow("external") << "external" << QByteArray("RU-866") << 119;
    }
    void identity()
    {
        QFETCH(QString, which);
        QFETCH(QByteArray, name);
        QFETCH(int, mib);
        QTextCodec* c = codec(which);
        QVERIFY(c);
        QCOMPARE(c->name(), name);
        QCOMPARE(c->aliases(), QList<QByteArray>{ name });
        QCOMPARE(c->mibEnum(), mib);
        // Constructing the codec made it known to Qt under its name.
        QCOMPARE(QTextCodec::codecForName(name), c);
    }

    void codecsAreCreatedOnce()
    {
        QTextCodec* internal = KKT_Logic::internalCodec();
        QTextCodec* external = KKT_Logic::externalCodec();
        QVERIFY(internal != external);
        QCOMPARE(KKT_Logic::internalCodec(), internal);
        QCOMPARE(KKT_Logic::externalCodec(), external);
    }

    // The internal set, range by range: `first` is the character of byte `from`;
    // `step` 1 means consecutive characters, 0 the same character throughout.
    void internalTable_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("step");
        QTest::newRow("capitals А..Я") << 0x00 << 0x1F << 0x0410 << 1;
        QTest::newRow("blank to #") << 0x20 << 0x23 << 0x0020 << 1;
        QTest::newRow("numero") << 0x24 << 0x24 << 0x2116 << 0;
        QTest::newRow("ascii % to DEL") << 0x25 << 0x7F << 0x0025 << 1;
        QTest::newRow("small а..я") << 0x80 << 0x9F << 0x0430 << 1;
        QTest::newRow("dollar") << 0xA0 << 0xA0 << 0x0024 << 0;
        QTest::newRow("euro") << 0xA1 << 0xA1 << 0x20AC << 0;
        QTest::newRow("em dash") << 0xA2 << 0xA2 << 0x2014 << 0;
        QTest::newRow("blanks A3..EF") << 0xA3 << 0xEF << 0x0020 << 0;
        QTest::newRow("Ё") << 0xF0 << 0xF0 << 0x0401 << 0;
        QTest::newRow("ё") << 0xF1 << 0xF1 << 0x0451 << 0;
        QTest::newRow("blanks F2..FF") << 0xF2 << 0xFF << 0x0020 << 0;
    }
    void internalTable()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, first);
        QFETCH(int, step);
        const QString table = decodedTable(KKT_Logic::internalCodec());
        QCOMPARE(table.size(), 256);
        for (int b = from; b <= to; ++b)
            QCOMPARE(int(table[b].unicode()), first + step * (b - from));
    }

    // Code page 866 as the system knows it, except for the bytes listed here.
    void externalDiffersFromCp866_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("character");
        QTest::newRow("24 numero") << 0x24 << 0x2116;
        QTest::newRow("B0 Ә") << 0xB0 << 0x04D8;
        QTest::newRow("B1 ә") << 0xB1 << 0x04D9;
        QTest::newRow("F2 euro") << 0xF2 << 0x20AC;
        for (int b = 0xF3; b <= 0xF9; ++b)
            QTest::addRow("%X blank", b) << b << 0x0020;
        QTest::newRow("FA em dash") << 0xFA << 0x2014;
        QTest::newRow("FB blank") << 0xFB << 0x0020;
        QTest::newRow("FC dollar") << 0xFC << 0x0024;
        QTest::newRow("FD blank") << 0xFD << 0x0020;
        QTest::newRow("FE blank") << 0xFE << 0x0020;
    }
    void externalDiffersFromCp866()
    {
        QFETCH(int, byte);
        QFETCH(int, character);
        QCOMPARE(int(decodedTable(KKT_Logic::externalCodec())[byte].unicode()), character);
    }

    // Code page 866 as the C library converts it (Qt's own IBM866 swaps some
    // control codes the IBM way, so it is not the reference here).
    static QString systemCp866()
    {
        iconv_t cd = iconv_open("UTF-16LE", "CP866");
        if (cd == iconv_t(-1))
            return {};
        char in[256];
        for (int b = 0; b < 256; ++b)
            in[b] = char(b);
        char out[512];
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = sizeof in;
        size_t outLeft = sizeof out;
        const size_t converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        iconv_close(cd);
        if (converted == size_t(-1) || inLeft != 0)
            return {};
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(out), 256);
    }

    void externalAgreesWithCp866Elsewhere()
    {
        const QString system = systemCp866();
        QCOMPARE(system.size(), 256);
        const QSet<int> different = { 0x24, 0xB0, 0xB1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
                                      0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE };
        const QString ours = decodedTable(KKT_Logic::externalCodec());
        QCOMPARE(ours.size(), 256);
        int compared = 0;
        for (int b = 0; b < 256; ++b) {
            if (different.contains(b))
                continue;
            QVERIFY2(ours[b] == system[b], qPrintable(QString::number(b, 16)));
            ++compared;
        }
        QCOMPARE(compared, 240);
        // Every byte listed as different really is.
        for (const int b : different)
            QVERIFY2(ours[b] != system[b], qPrintable(QString::number(b, 16)));
    }

    // Qt's IBM866 agrees too, apart from the control codes it draws as graphics.
    void externalAgreesWithQtIbm866OnPrintables()
    {
        QTextCodec* cp866 = QTextCodec::codecForName("IBM866");
        QVERIFY(cp866);
        const QString system = decodedTable(cp866);
        const QString ours = decodedTable(KKT_Logic::externalCodec());
        const QString reference = systemCp866();
        for (int b = 0x20; b < 256; ++b) {
            if (b == 0x7F || ours[b] != reference[b])
                continue;
            QVERIFY2(ours[b] == system[b], qPrintable(QString::number(b, 16)));
        }
    }

    void decode_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("internal А а Ё") << "internal" << QByteArray::fromHex("0080F0") << QString::fromUtf16(u"Аа\u0401");
        QTest::newRow("external NUL А Ё") << "external" << QByteArray::fromHex("0080F0") << QString::fromUtf16(u"\0А\u0401", 3);
        QTest::newRow("external № $") << "external" << QByteArray::fromHex("24FC") << QString::fromUtf16(u"\u2116$");
        QTest::newRow("internal № $") << "internal" << QByteArray::fromHex("24A0") << QString::fromUtf16(u"\u2116$");
        QTest::newRow("internal A3 blank") << "internal" << QByteArray::fromHex("A3") << QString(" ");
        QTest::newRow("external F3 blank") << "external" << QByteArray::fromHex("F3") << QString(" ");
        QTest::newRow("external FF nbsp") << "external" << QByteArray::fromHex("FF") << QString::fromUtf16(u"\u00A0");
        QTest::newRow("internal empty") << "internal" << QByteArray() << QString();
        QTest::newRow("external empty") << "external" << QByteArray() << QString();
    }
    void decode()
    {
        QFETCH(QString, which);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString decoded = codec(which)->toUnicode(bytes);
        QCOMPARE(decoded, text);
        QCOMPARE(decoded.size(), bytes.size());
        const auto* charset = dynamic_cast<const CharsetCodec*>(codec(which));
        QVERIFY(charset);
        QCOMPARE(charset->toUtf8(bytes.constData(), bytes.size()), text.toUtf8());
    }

    // The UTF-8 of a text without the UTF-16 between is that of the UTF-16.
    void utf8OfEveryByte_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("internal") << "internal";
        QTest::newRow("external") << "external";
    }
    void utf8OfEveryByte()
    {
        QFETCH(QString, which);
        QByteArray bytes;
        for (int b = 255; b >= 0; --b)
            bytes += char(b) + QByteArray(1, char(255 - b)) + char(b);
        const auto* charset = dynamic_cast<const CharsetCodec*>(codec(which));
        QVERIFY(charset);
        QCOMPARE(charset->toUtf8(bytes.constData(), bytes.size()), codec(which)->toUnicode(bytes).toUtf8());
    }

    void encode_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("external guillemets fold") << "external" << QString::fromUtf16(u"«Да»") << QByteArray::fromHex("2284A022");
        QTest::newRow("internal guillemets dropped") << "internal" << QString::fromUtf16(u"«Да»") << QByteArray::fromHex("0480");
        QTest::newRow("internal blank") << "internal" << QString(" ") << QByteArray::fromHex("20");
        QTest::newRow("external blank") << "external" << QString(" ") << QByteArray::fromHex("20");
        QTest::newRow("internal box drawing dropped") << "internal" << QString::fromUtf16(u"\u2554") << QByteArray();
        QTest::newRow("external box drawing") << "external" << QString::fromUtf16(u"\u2554") << QByteArray::fromHex("C9");
        QTest::newRow("internal dollar") << "internal" << QString("$") << QByteArray::fromHex("A0");
        QTest::newRow("external dollar") << "external" << QString("$") << QByteArray::fromHex("FC");
        QTest::newRow("internal numero") << "internal" << QString::fromUtf16(u"\u2116") << QByteArray::fromHex("24");
        QTest::newRow("external numero") << "external" << QString::fromUtf16(u"\u2116") << QByteArray::fromHex("24");
        QTest::newRow("internal euro") << "internal" << QString::fromUtf16(u"\u20AC") << QByteArray::fromHex("A1");
        QTest::newRow("external euro") << "external" << QString::fromUtf16(u"\u20AC") << QByteArray::fromHex("F2");
        QTest::newRow("internal em dash") << "internal" << QString::fromUtf16(u"\u2014") << QByteArray::fromHex("A2");
        QTest::newRow("external em dash") << "external" << QString::fromUtf16(u"\u2014") << QByteArray::fromHex("FA");
        QTest::newRow("internal Ёё") << "internal" << QString::fromUtf16(u"\u0401\u0451") << QByteArray::fromHex("F0F1");
        QTest::newRow("external Ёё") << "external" << QString::fromUtf16(u"\u0401\u0451") << QByteArray::fromHex("F0F1");
        QTest::newRow("internal accented and Є dropped") << "internal" << QString::fromUtf16(u"é\u0404x") << QByteArray("x");
        QTest::newRow("external accented and Є dropped") << "external" << QString::fromUtf16(u"é\u0404x") << QByteArray("x");
        QTest::newRow("internal outside the BMP dropped") << "internal" << QString::fromUtf16(u"a\U0001F600b") << QByteArray("ab");
        QTest::newRow("external outside the BMP dropped") << "external" << QString::fromUtf16(u"a\U0001F600b") << QByteArray("ab");
        QTest::newRow("internal empty") << "internal" << QString() << QByteArray();
        QTest::newRow("external empty") << "external" << QString() << QByteArray();
    }
    void encode()
    {
        QFETCH(QString, which);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(codec(which)->fromUnicode(text), bytes);
    }

    // Every code unit encodes to the lowest byte that decodes to it, or to nothing.
    void encodeTakesLowestByte_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("internal") << "internal";
        QTest::newRow("external") << "external";
    }
    void encodeTakesLowestByte()
    {
        QFETCH(QString, which);
        QTextCodec* c = codec(which);
        const QString table = decodedTable(c);
        QString all;
        QByteArray expected;
        for (int unit = 0; unit < 0x10000; ++unit) {
            QChar ch = QChar(ushort(unit));
            all.append(ch);
            if (which == QLatin1String("external") && (unit == 0xAB || unit == 0xBB))
                ch = QLatin1Char('"');
            const int lowest = table.indexOf(ch);
            if (lowest >= 0)
                expected.append(char(lowest));
        }
        QCOMPARE(c->fromUnicode(all), expected);
    }

    // Every byte reads back as itself when it is the lowest byte of its character.
    void distinctBytesRoundTrip_data() { encodeTakesLowestByte_data(); }
    void distinctBytesRoundTrip()
    {
        QFETCH(QString, which);
        QTextCodec* c = codec(which);
        const QString table = decodedTable(c);
        for (int b = 0; b < 256; ++b) {
            const QByteArray back = c->fromUnicode(table.mid(b, 1));
            QCOMPARE(back.size(), 1);
            QCOMPARE(uchar(back[0]), uchar(table.indexOf(table[b])));
        }
    }

    // Asking whether a text encodes whole agrees with encoding it, character by character.
    void encodesEveryAgreesWithEncoding_data() { encodeTakesLowestByte_data(); }
    void encodesEveryAgreesWithEncoding()
    {
        QFETCH(QString, which);
        const auto* c = dynamic_cast<const CharsetCodec*>(codec(which));
        QVERIFY(c);
        bool everyAscii = true;
        for (int unit = 0; unit < 0x10000; ++unit) {
            const QChar ch{ushort(unit)};
            const bool encodes = c->fromUnicode(&ch, 1).size() == 1;
            QCOMPARE(c->encodesEvery(&ch, 1), encodes);
            if (unit < 0x80)
                everyAscii = everyAscii && encodes;
        }
        QCOMPARE(c->encodesAscii(), everyAscii);
        const QString mixed = QStringLiteral("Да «x» $");
        QCOMPARE(c->encodesEvery(mixed.constData(), mixed.size()), c->fromUnicode(mixed).size() == mixed.size());
        QVERIFY(c->encodesEvery(nullptr, 0));
    }
};

VESCOR_TEST(tst_Codecs)
#include "tst_Codecs.moc"
