// Which bytes go out as they are stored: valid UTF-8 without a zero byte,
// wherever in a long text a fault stands.
#include "support/TestMain.h"

#include "common/PlainUtf8.h"

#include <QTest>

class PlainUtf8Test : public QObject
{
    Q_OBJECT

private slots:
    void check_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("plain");
        const QByteArray word = QStringLiteral("Молоко").toUtf8(); // twelve bytes of two-byte letters
        QTest::newRow("Russian words and spaces") << QStringLiteral("Молоко пастеризованное 3,2% Хлеб").toUtf8() << true;
        QTest::newRow("long run of letters") << (word + word + word) << true;
        QTest::newRow("letters after one ASCII byte") << ("a" + word + word) << true;
        QTest::newRow("three- and four-byte letters") << QStringLiteral("€ 😀 Молоко").toUtf8() << true;
        QTest::newRow("overlong pair C0 in a run") << (word + "\xC0\xAF" + word) << false;
        QTest::newRow("overlong pair C1 in a run") << (word.left(4) + "\xC1\xBF" + word) << false;
        QTest::newRow("lead without its follower in a run") << (word.left(6) + "\xD0" "a" + word) << false;
        QTest::newRow("follower without its lead in a run") << (word + "\xBC" + word) << false;
        QTest::newRow("zero byte in a run") << (word + QByteArray(1, '\0') + word) << false;
        QTest::newRow("run cut at its end") << word.left(word.size() - 1) << false;
        const QByteArray digits = "\"4600000000000\";\"79.90\";"; // ASCII longer than sixteen bytes
        QTest::newRow("long ASCII") << (digits + digits + "1") << true;
        QTest::newRow("zero byte in long ASCII") << (digits.left(13) + QByteArray(1, '\0') + digits) << false;
        QTest::newRow("Windows-1251 letter after long ASCII") << (digits + digits.left(3) + "\xEC" + digits) << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("Windows-1251 text") << QByteArray("\xCC\xEE\xEB\xEE\xEA\xEE \xEF\xE0\xF1\xF2") << false;
    }

    void check()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, plain);
        QCOMPARE(PlainUtf8::check(bytes.constData(), bytes.constData() + bytes.size()), plain);
    }
};

VESCOR_TEST(PlainUtf8Test)
#include "tst_PlainUtf8.moc"
