#include "device/ValueCheck.h"
#include "device/KKT_Logic.h"
#include "model/FieldInfo.h"
#include "support/TestMain.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(FieldInfo)

// One check of a stored cell value against its field, for every place that
// takes values in: the model's limits, texts that survive whole, the encoder.
class tst_ValueCheck : public QObject
{
    Q_OBJECT

    static FieldInfo field(FieldInfo::DeviceType device, FieldInfo::GuiType gui, double min = 0, double max = 0,
                           int maxLength = 128)
    {
        FieldInfo f;
        f.m_name = QStringLiteral("Поле");
        f.m_deviceType = device;
        f.m_guiType = gui;
        f.m_min = min;
        f.m_max = max;
        f.m_maxLength = maxLength;
        return f;
    }

    static FieldInfo list()
    {
        FieldInfo f = field(FieldInfo::Bin1, FieldInfo::List);
        f.m_items = {{0, QStringLiteral("Нет")}, {1, QStringLiteral("Да")}, {3, QStringLiteral("Иногда")}};
        return f;
    }

private slots:
    void reasons_data()
    {
        QTest::addColumn<FieldInfo>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("reason"); // empty: accepted

        const FieldInfo department = field(FieldInfo::Bin1, FieldInfo::Int, 0, 16);
        const QString upTo16 = QStringLiteral("нужно целое число от 0 до 16");
        QTest::newRow("int lowest") << department << QByteArray("0") << QString();
        QTest::newRow("int highest") << department << QByteArray("16") << QString();
        QTest::newRow("int above the model") << department << QByteArray("17") << upTo16;
        QTest::newRow("int empty") << department << QByteArray() << upTo16;
        QTest::newRow("int negative") << department << QByteArray("-1") << upTo16;
        // Blanks around the digits are allowed, as the encoder reads them.
        QTest::newRow("int blank inside") << department << QByteArray(" 5") << QString();
        QTest::newRow("int blanks around") << department << QByteArray("\t16 ") << QString();
        QTest::newRow("int blank between digits") << department << QByteArray("1 6") << upTo16;
        QTest::newRow("int blanks around, above the model") << department << QByteArray(" 17") << upTo16;
        QTest::newRow("int decimal") << department << QByteArray("5.5") << upTo16;
        QTest::newRow("int below the model") << field(FieldInfo::Bin1, FieldInfo::Int, 1, 10) << QByteArray("0")
                                             << QStringLiteral("нужно целое число от 1 до 10");
        QTest::newRow("int model wider than the field")
            << field(FieldInfo::Bin1, FieldInfo::Int, 0, 2147483647) << QByteArray("256")
            << QStringLiteral("нужно целое число от 0 до 255");

        const FieldInfo rate = field(FieldInfo::Bin2, FieldInfo::Money, 0, 100);
        QTest::newRow("money at the limit") << rate << QByteArray("10000") << QString();
        QTest::newRow("money 200 %") << rate << QByteArray("20000") << QStringLiteral("нужна сумма от 0.00 до 100.00");
        QTest::newRow("money with a point")
            << field(FieldInfo::Bcd6, FieldInfo::Money, 0, 9999999999.99) << QByteArray("150000.00")
            << QStringLiteral("нужна сумма в копейках: целое число от 0 до 999999999999");
        QTest::newRow("money empty") << rate << QByteArray() << QStringLiteral("нужна сумма в копейках: целое число от 0 до 10000");
        QTest::newRow("money without limits")
            << field(FieldInfo::Bcd5, FieldInfo::Money, 0, std::numeric_limits<double>::max()) << QByteArray("9999999999") << QString();
        QTest::newRow("money beyond the field")
            << field(FieldInfo::Bcd5, FieldInfo::Money, 0, std::numeric_limits<double>::max()) << QByteArray("10000000000")
            << QStringLiteral("нужно целое число от 0 до 9999999999");

        QTest::newRow("list code") << list() << QByteArray("3") << QString();
        QTest::newRow("list code with blanks") << list() << QByteArray(" 3 ") << QString();
        QTest::newRow("list not a code") << list() << QByteArray("2") << QStringLiteral("нужен код из списка: 0, 1, 3");
        QTest::newRow("list name in place of the code") << list() << QByteArray("Да") << QStringLiteral("нужен код из списка: 0, 1, 3");

        const FieldInfo line = field(FieldInfo::String866, FieldInfo::String, 0, 0, 48);
        QTest::newRow("header line of 48") << line << QByteArray(48, 'a') << QString();
        QTest::newRow("header line of 61") << line << QByteArray(61, 'a') << QStringLiteral("текст длиннее 48 символов");
        QTest::newRow("cyrillic") << line << QString::fromUtf8("Добро пожаловать №1").toUtf8() << QString();
        QTest::newRow("character the register lacks") << line << QString::fromUtf8("café").toUtf8()
                                                       << QStringLiteral("символ \"é\" не может быть записан в ККТ");
        // Characters of the set a text travels in that the register's own set lacks would be stored as blanks.
        const QString notStored = QStringLiteral("символ \"%1\" не может быть сохранён в ККТ: его нет во внутренней кодировке ККТ");
        QTest::newRow("schwa") << line << QString::fromUtf8("Әлем").toUtf8() << notStored.arg(QStringLiteral("Ә"));
        QTest::newRow("small schwa later") << line << QString::fromUtf8("Сәлем").toUtf8() << notStored.arg(QStringLiteral("ә"));
        QTest::newRow("box drawing") << line << QString::fromUtf8("╔══╗").toUtf8() << notStored.arg(QStringLiteral("╔"));
        QTest::newRow("no-break space") << line << QString::fromUtf8("1\u00A0000").toUtf8()
                                        << notStored.arg(QStringLiteral("неразрывный пробел"));
        QTest::newRow("control character") << line << QByteArray("a\x1b[1m") << notStored.arg(QStringLiteral("\\x1b"));
        QTest::newRow("guillemets become quotes") << line << QString::fromUtf8("«Ромашка»").toUtf8() << QString();
        QTest::newRow("signs both sets hold") << line << QString::fromUtf8("€ — $ № Ёё").toUtf8() << QString();
        QTest::newRow("NUL inside a text") << line << QByteArray("a\0b", 3) << QStringLiteral("текст содержит нулевой символ");
        QTest::newRow("encoder form") << line << QString::fromUtf8("©3,1").toUtf8() << QString();
        QTest::newRow("encoder form out of range") << line << QString::fromUtf8("©300,1").toUtf8()
                                                   << QStringLiteral("нужна запись вида ©число,число с числами от 0 до 255");

        const FieldInfo host = field(FieldInfo::Ascii, FieldInfo::String, 0, 0, 16);
        QTest::newRow("ascii name") << host << QByteArray("kassa-58.local") << QString();
        QTest::newRow("ascii too long") << host << QByteArray(17, 'k') << QStringLiteral("не более 16 символов");
        QTest::newRow("ascii bytes with a zero byte") << host << QByteArray::fromHex("FFFE0041")
                                                      << QStringLiteral("текст содержит нулевой символ");
        QTest::newRow("ascii bytes that are not UTF-8") << host << QByteArray::fromHex("FFFE41")
                                                        << QStringLiteral("символ «\uFFFD» ККТ не печатает: допустимы только латинские буквы, цифры и знаки ASCII");
        QTest::newRow("ascii replacement character") << host << QString(QChar(0xFFFD)).toUtf8()
                                                     << QStringLiteral("символ «\uFFFD» ККТ не печатает: допустимы только латинские буквы, цифры и знаки ASCII");
        QTest::newRow("ascii cyrillic") << host << QString::fromUtf8("касса").toUtf8()
                                        << QStringLiteral("символ «к» ККТ не печатает: допустимы только латинские буквы, цифры и знаки ASCII");
        QTest::newRow("ascii line feed") << host << QByteArray("a\nb")
                                         << QStringLiteral("символ «\\x0a» ККТ не печатает: допустимы только латинские буквы, цифры и знаки ASCII");

        QTest::newRow("address") << [] { FieldInfo f = field(FieldInfo::Bin4, FieldInfo::String); f.m_ipAddress = true; return f; }()
                                 << QByteArray("192.168.1.300") << QStringLiteral("нужен IPv4-адрес: четыре числа от 0 до 255 через точку");
        QTest::newRow("unknown storage") << field(FieldInfo::DeviceUnknown, FieldInfo::String) << QByteArray("1")
                                         << QStringLiteral("тип хранения поля в ККТ не распознан");
    }

    void reasons()
    {
        QFETCH(FieldInfo, field);
        QFETCH(QByteArray, value);
        QFETCH(QString, reason);

        const ValueCheck check(KKT_Logic::charsets());
        QCOMPARE(check.reason(field, value), reason);
        QCOMPARE(check.accepts(field, value), reason.isEmpty());
        const EncodedValue encoded = check.encode(field, value);
        QCOMPARE(encoded.ok, reason.isEmpty());
        QCOMPARE(encoded.reason, reason);
        if (!encoded.ok) {
            QVERIFY(encoded.bytes.isEmpty());
            QVERIFY(encoded.problem.endsWith(QStringLiteral("для поля \"Поле\": ") + reason));
        }
    }

    // A text is told acceptable from its bytes where it can be; whatever the
    // bytes hold, the answer is the encoder's, which reads the whole text.
    void textsAsBytesAsTheEncoderReadsThem_data()
    {
        QTest::addColumn<FieldInfo>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("accepted");
        const FieldInfo line = field(FieldInfo::String866, FieldInfo::String, 0, 0, 48);
        const QByteArray cyrillic = QString(48, QChar(0x0416)).toUtf8(); // Ж, two bytes each
        QTest::newRow("cyrillic as long as the field") << line << cyrillic << true;
        QTest::newRow("cyrillic one too long") << line << cyrillic + "\xd0\x96" << false;
        FieldInfo masked = line;
        masked.m_mask = QStringLiteral("99999");
        QTest::newRow("mask as long") << masked << QString::fromUtf8("абвгд").toUtf8() << true;
        QTest::newRow("mask one too long") << masked << QString::fromUtf8("абвгде").toUtf8() << false;
        QTest::newRow("four bytes") << line << QByteArray("a\xf0\x9f\x98\x80") << false;
        QTest::newRow("byte order mark") << line << QByteArray("\xef\xbb\xbf" "a") << true;
        QTest::newRow("not UTF-8") << line << QByteArray("\xcf\xf0\xe8") << false;
        QTest::newRow("overlong") << line << QByteArray("\xc0\xaf") << false;
        QTest::newRow("surrogate") << line << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("cut short") << line << QByteArray("a\xd0") << false;
        QTest::newRow("three bytes held") << line << QString::fromUtf8("№ 5 — €").toUtf8() << true;
        QTest::newRow("encoder form") << line << QString::fromUtf8("©3,1").toUtf8() << true;
        QTest::newRow("empty") << line << QByteArray() << true;
        const FieldInfo wide = field(FieldInfo::String866, FieldInfo::String, 0, 0, 400);
        QTest::newRow("more bytes than looked at") << wide << QString(300, QChar(0x0416)).toUtf8() << true;
        QTest::newRow("field wider than the register's") << field(FieldInfo::String866, FieldInfo::String, 0, 0, 70000)
                                                         << QByteArray("a") << false;
        // Sixteen bytes at a time while they are Russian letters and ASCII:
        // what stops a block at each place of it and across its end.
        for (int at = 0; at <= 17; ++at) {
            const QByteArray ascii(at, 'x');
            const QString place = QStringLiteral(" at byte %1").arg(at);
            QTest::newRow(qPrintable(QStringLiteral("letter") + place)) << line << ascii + "Ж" + "yyyy" << true;
            QTest::newRow(qPrintable(QStringLiteral("letter Ё") + place)) << line << ascii + "Ё" + "Жy" << true;
            QTest::newRow(qPrintable(QStringLiteral("lead alone") + place)) << line << ascii + "\xd0" << false;
            QTest::newRow(qPrintable(QStringLiteral("lead before ASCII") + place)) << line << ascii + "\xd0y" << false;
            QTest::newRow(qPrintable(QStringLiteral("follower alone") + place)) << line << ascii + "\xb6y" << false;
            QTest::newRow(qPrintable(QStringLiteral("delete") + place)) << line << ascii + "\x7f" + "Ж" << true;
            QTest::newRow(qPrintable(QStringLiteral("escape") + place)) << line << ascii + "\x1b" + "Ж" << false;
            QTest::newRow(qPrintable(QStringLiteral("letter the register lacks") + place))
                << line << ascii + "é" + "Ж" << false;
            QTest::newRow(qPrintable(QStringLiteral("encoder form") + place)) << line << ascii + "©3,1" << (at == 0);
        }
        QTest::newRow("letters and ASCII as long as the field") << line << QByteArray(47, 'a') + "Ж" << true;
        QTest::newRow("letters and ASCII one too long") << line << cyrillic.left(80) + QByteArray(9, 'a') << false;
        QTest::newRow("slow letter as the last of the field") << line << cyrillic.left(94) + "Ё" << true;
        QTest::newRow("slow letter one too long") << line << cyrillic + "Ё" << false;
        QTest::newRow("number in a text field") << field(FieldInfo::String866, FieldInfo::Int, 0, 16) << QByteArray("17")
                                                << false;
    }

    void textsAsBytesAsTheEncoderReadsThem()
    {
        QFETCH(FieldInfo, field);
        QFETCH(QByteArray, value);
        QFETCH(bool, accepted);
        const ValueCheck check(KKT_Logic::charsets());
        const EncodedValue encoded = check.encode(field, value);
        QCOMPARE(check.reason(field, value), encoded.reason);
        QCOMPARE(encoded.ok, accepted);
        // Without the register's character sets no text is accepted (the
        // encoder's own form needs none).
        if (!value.startsWith("\xc2\xa9"))
            QVERIFY(!ValueCheck(RegisterCharsets()).accepts(field, value));
    }

    // A number is told acceptable from its digits where it can be; at every
    // edge the answer is the encoder's, which reads the value whole.
    void numbersAsDigitsAsTheEncoderReadsThem_data()
    {
        QTest::addColumn<FieldInfo>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("accepted");
        const FieldInfo wide = field(FieldInfo::Bin1, FieldInfo::Int, 0, 1e9);
        QTest::newRow("one byte full") << wide << QByteArray("255") << true;
        QTest::newRow("one byte over") << wide << QByteArray("256") << false;
        QTest::newRow("leading zeros") << wide << QByteArray("000255") << true;
        QTest::newRow("beyond 64 bits") << wide << QByteArray("99999999999999999999") << false;
        QTest::newRow("two bytes full") << field(FieldInfo::Bin2, FieldInfo::Int, 0, 1e9) << QByteArray("65535") << true;
        QTest::newRow("two bytes over") << field(FieldInfo::Bin2BigEndian, FieldInfo::Int, 0, 1e9) << QByteArray("65536")
                                        << false;
        const FieldInfo stock = field(FieldInfo::Bin4, FieldInfo::Int, 0, 2147483647);
        QTest::newRow("model's highest") << stock << QByteArray("2147483647") << true;
        QTest::newRow("model's highest, one over") << stock << QByteArray("2147483648") << false;
        QTest::newRow("model's lowest, one under") << field(FieldInfo::Bcd3, FieldInfo::Int, 1, 999999)
                                                   << QByteArray("0") << false;
        QTest::newRow("no limits of its own") << field(FieldInfo::Bin4, FieldInfo::Int, 0, qInf())
                                              << QByteArray("4294967295") << true;
        QTest::newRow("no limits, the field's over") << field(FieldInfo::Bin4, FieldInfo::Int, 0, qInf())
                                                     << QByteArray("4294967296") << false;
        const QList<QPair<FieldInfo::DeviceType, QByteArray>> packed{
            {FieldInfo::Bcd1, "99"}, {FieldInfo::Bcd2, "9999"}, {FieldInfo::Bcd3, "999999"},
            {FieldInfo::Bcd4, "99999999"}, {FieldInfo::Bcd5, "9999999999"}, {FieldInfo::Bcd6, "999999999999"}};
        for (const auto& [type, most] : packed) {
            const FieldInfo digits = field(type, FieldInfo::Int, 0, 1e20);
            QTest::newRow(qPrintable(QStringLiteral("%1 digits packed").arg(most.size()))) << digits << most << true;
            QTest::newRow(qPrintable(QStringLiteral("%1 digits packed, one over").arg(most.size())))
                << digits << QByteArray::number(most.toULongLong() + 1) << false;
        }
        const FieldInfo barcode = field(FieldInfo::Bcd8, FieldInfo::StringMasked);
        QTest::newRow("sixteen digits") << barcode << QByteArray("9999999999999999") << true;
        QTest::newRow("seventeen digits") << barcode << QByteArray("10000000000000000") << false;
        QTest::newRow("digits with a blank") << barcode << QByteArray("4600000000000 ") << true;
        QTest::newRow("digits with a letter") << barcode << QByteArray("46000000000x") << false;
        QTest::newRow("no digits") << barcode << QByteArray() << false;
        const FieldInfo price = field(FieldInfo::Bcd5, FieldInfo::Money, 0.5, 99999999.99);
        QTest::newRow("kopecks at the least") << price << QByteArray("50") << true;
        QTest::newRow("kopecks under the least") << price << QByteArray("49") << false;
        QTest::newRow("kopecks at the most") << price << QByteArray("9999999999") << true;
        QTest::newRow("list code") << list() << QByteArray("1") << true;
        QTest::newRow("list not a code") << list() << QByteArray("2") << false;
        QTest::newRow("byte of 64") << field(FieldInfo::Bcd64_1, FieldInfo::String) << QByteArray("255") << true;
        QTest::newRow("byte of 64 over") << field(FieldInfo::Bcd64_1, FieldInfo::String) << QByteArray("256") << false;
        QTest::newRow("digits of an address") << [] { FieldInfo f = field(FieldInfo::Bin4, FieldInfo::String); f.m_ipAddress = true; return f; }()
                                              << QByteArray("1") << false;
    }

    void numbersAsDigitsAsTheEncoderReadsThem()
    {
        QFETCH(FieldInfo, field);
        QFETCH(QByteArray, value);
        QFETCH(bool, accepted);
        const ValueCheck check(KKT_Logic::charsets());
        const EncodedValue encoded = check.encode(field, value);
        QCOMPARE(check.reason(field, value), encoded.reason);
        QCOMPARE(encoded.ok, accepted);
    }

    // A message quotes at most 80 characters of the value.
    void longValuesAreCutInMessages()
    {
        const FieldInfo line = field(FieldInfo::String866, FieldInfo::String, 0, 0, 48);
        const EncodedValue encoded = ValueCheck(KKT_Logic::charsets()).encode(line, QByteArray(100000, 'a'));
        QVERIFY(!encoded.ok);
        QCOMPARE(encoded.problem, QStringLiteral("Значение \"%1…\" не подходит для поля \"Поле\": текст длиннее 48 символов")
                                      .arg(QString(80, QLatin1Char('a'))));
    }
};

VESCOR_TEST(tst_ValueCheck)
#include "tst_ValueCheck.moc"
