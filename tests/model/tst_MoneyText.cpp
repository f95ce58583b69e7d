#include "model/MoneyText.h"
#include "model/WholeNumber.h"
#include "support/TestMain.h"

#include <QTest>

// Money texts and kopecks, and the whole numbers of stored cell texts.
class tst_MoneyText : public QObject
{
    Q_OBJECT

private slots:
    void toKopecks_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("kopecks"); // what an accepted text gives
        QTest::newRow("roubles and kopecks") << QByteArray("12.34") << true << QByteArray("1234");
        QTest::newRow("comma") << QByteArray("12,5") << true << QByteArray("1250");
        QTest::newRow("roubles only") << QByteArray("12") << true << QByteArray("1200");
        QTest::newRow("point without decimals") << QByteArray("12.") << true << QByteArray("1200");
        QTest::newRow("leading zeros") << QByteArray("0007.05") << true << QByteArray("705");
        QTest::newRow("zero") << QByteArray("0") << true << QByteArray("0");
        QTest::newRow("blanks around") << QByteArray(" \t12.3\r\n") << true << QByteArray("1230");
        QTest::newRow("empty") << QByteArray() << true << QByteArray();
        QTest::newRow("blanks only") << QByteArray("  ") << true << QByteArray();
        QTest::newRow("largest kopecks") << QByteArray("184467440737095516.15") << true
                                         << QByteArray("18446744073709551615");
        QTest::newRow("beyond 64 bits") << QByteArray("184467440737095516.16") << false << QByteArray();
        QTest::newRow("roubles beyond 64 bits") << QByteArray("18446744073709551616") << false << QByteArray();
        QTest::newRow("three decimals") << QByteArray("1.234") << false << QByteArray();
        QTest::newRow("two points") << QByteArray("1.2.3") << false << QByteArray();
        QTest::newRow("point at the end of decimals") << QByteArray("1.2.") << false << QByteArray();
        QTest::newRow("no roubles") << QByteArray(".5") << true << QByteArray("50");
        QTest::newRow("no roubles, comma and two decimals") << QByteArray(" ,05") << true << QByteArray("5");
        QTest::newRow("separator alone") << QByteArray(".") << false << QByteArray();
        QTest::newRow("no roubles, three decimals") << QByteArray(".505") << false << QByteArray();
        QTest::newRow("sign") << QByteArray("-5") << false << QByteArray();
        QTest::newRow("plus") << QByteArray("+5") << false << QByteArray();
        QTest::newRow("blank inside") << QByteArray("1 000") << false << QByteArray();
        QTest::newRow("letters in decimals") << QByteArray("1.a") << false << QByteArray();
        QTest::newRow("exponent") << QByteArray("1e3") << false << QByteArray();
    }
    void toKopecks()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, kopecks);
        QByteArray fromBytes = "untouched";
        QCOMPARE(MoneyText::toKopecks(text, fromBytes), ok);
        QCOMPARE(fromBytes, ok ? kopecks : QByteArray("untouched"));
        QByteArray fromText = "untouched";
        QCOMPARE(MoneyText::toKopecks(QString::fromUtf8(text), fromText), ok);
        QCOMPARE(fromText, fromBytes);
        // Into digits of the caller's: the same digits, none for an empty text.
        char digits[MoneyText::KopecksDigits];
        const int length = MoneyText::toKopecks(text.constData(), text.constData() + text.size(), digits);
        QCOMPARE(length, ok ? kopecks.size() : -1);
        if (length > 0)
            QCOMPARE(QByteArray(digits, length), kopecks);
        // The money text of the kopecks reads back as the same kopecks.
        if (ok && !kopecks.isEmpty()) {
            QByteArray back;
            QVERIFY(MoneyText::toKopecks(MoneyText::bytesFromKopecks(kopecks), back));
            QCOMPARE(back, kopecks);
        }
    }

    // Kopecks as the file and the window show them: roubles, a point, two digits.
    void fromKopecks_data()
    {
        QTest::addColumn<QByteArray>("kopecks");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("none") << QByteArray() << QByteArray();
        QTest::newRow("zero") << QByteArray("0") << QByteArray("0.00");
        QTest::newRow("one digit") << QByteArray("5") << QByteArray("0.05");
        QTest::newRow("two digits") << QByteArray("42") << QByteArray("0.42");
        QTest::newRow("a rouble") << QByteArray("100") << QByteArray("1.00");
        QTest::newRow("leading zeros kept") << QByteArray("007") << QByteArray("0.07");
        QTest::newRow("long") << QByteArray("12345678901234567890") << QByteArray("123456789012345678.90");
    }

    void fromKopecks()
    {
        QFETCH(QByteArray, kopecks);
        QFETCH(QByteArray, text);
        QCOMPARE(MoneyText::bytesFromKopecks(kopecks), text);
        QCOMPARE(MoneyText::fromKopecks(kopecks), QString::fromLatin1(text));
        // Into the caller's room: the same bytes, nothing written beyond the room promised.
        QByteArray room(kopecks.size() + 4, '#');
        const int length = MoneyText::bytesFromKopecks(kopecks.constData(), kopecks.size(), room.data());
        QCOMPARE(room.left(length), text);
        QCOMPARE(room.mid(kopecks.size() + 3), QByteArray("#"));
    }

    void wholeNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qulonglong>("most");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qulonglong>("number");
        const qulonglong any = ~0ULL;
        QTest::newRow("zero") << QByteArray("0") << any << true << 0ULL;
        QTest::newRow("leading zeros") << QByteArray("000000000000000000000042") << any << true << 42ULL;
        QTest::newRow("largest") << QByteArray("18446744073709551615") << any << true << any;
        QTest::newRow("beyond 64 bits") << QByteArray("18446744073709551616") << any << false << 0ULL;
        QTest::newRow("at the limit") << QByteArray("255") << 255ULL << true << 255ULL;
        QTest::newRow("above the limit") << QByteArray("256") << 255ULL << false << 0ULL;
        QTest::newRow("one digit above a limit under ten") << QByteArray("5") << 3ULL << false << 0ULL;
        QTest::newRow("limit zero") << QByteArray("0") << 0ULL << true << 0ULL;
        QTest::newRow("empty") << QByteArray() << any << false << 0ULL;
        QTest::newRow("sign") << QByteArray("-1") << any << false << 0ULL;
        QTest::newRow("blank") << QByteArray(" 1") << any << false << 0ULL;
        QTest::newRow("point") << QByteArray("1.0") << any << false << 0ULL;
    }
    void wholeNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(qulonglong, most);
        QFETCH(bool, ok);
        QFETCH(qulonglong, number);
        const std::optional<uint64_t> read = WholeNumber::read(text, most);
        QCOMPARE(read.has_value(), ok);
        if (ok)
            QCOMPARE(qulonglong(*read), number);
        // Blanks around are allowed only where asked for.
        const std::optional<uint64_t> padded = WholeNumber::readTrimmed(" \t" + text + "\n", most);
        QCOMPARE(padded.has_value(), ok || text == " 1");
    }
};

VESCOR_TEST(tst_MoneyText)
#include "tst_MoneyText.moc"
