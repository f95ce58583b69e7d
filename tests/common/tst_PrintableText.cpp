// Texts from files and journals on a terminal or in a message box: control
// characters escaped, everything else as it is.
#include "support/TestMain.h"

#include "common/PrintableText.h"
#include "dialogs/MessageBox.h"

#include <QTest>

class PrintableTextTest : public QObject
{
    Q_OBJECT

private slots:
    void escaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain Russian") << "Молоко 3,2%" << "Молоко 3,2%";
        QTest::newRow("terminal sequence") << "\x1b[2Jчисто" << "\\x1b[2Jчисто";
        QTest::newRow("NUL") << QString(QChar(0)) + "a" << "\\x00a";
        QTest::newRow("carriage return hides the line") << "было\rстало" << "было\\x0dстало";
        QTest::newRow("bell and delete") << "\a\x7f" << "\\x07\\x7f";
        QTest::newRow("C1 control") << QString(QChar(0x9b)) + "31m" << "\\x9b31m";
        QTest::newRow("line ends and tabs stay") << "a\n\tb" << "a\n\tb";
        QTest::newRow("backslash stays") << "C:\\x1b" << "C:\\x1b";
    }

    void escaped()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(PrintableText::of(text), shown);

        // A message box shows the same.
        QString boxText;
        MessageBox::setHandler([&](const MessageBox::Request& request) {
            boxText = request.text;
            return QMessageBox::Ok;
        });
        MessageBox::critical(nullptr, QStringLiteral("Vescor"), QStringLiteral("Файл: ") + text);
        MessageBox::setHandler(nullptr);
        QCOMPARE(boxText, QStringLiteral("Файл: ") + shown);
    }

    // Bytes said to be printable go out unconverted: they must be exactly
    // what the conversion and the escaping would give.
    void printableBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("printable");
        QTest::newRow("plain Russian") << QByteArray("\"1\";\"Молоко 3,2%\"") << true;
        QTest::newRow("line ends and tabs") << QByteArray("a\n\tb") << true;
        QTest::newRow("terminal sequence") << QByteArray("\x1b[2J") << false;
        QTest::newRow("carriage return") << QByteArray("было\rстало") << false;
        QTest::newRow("delete") << QByteArray("a\x7f") << false;
        QTest::newRow("C1 control") << QByteArray("\xc2\x9b" "31m") << false;
        QTest::newRow("after the C1 controls") << QByteArray("\xc2\xa0") << true;
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << false;
        QTest::newRow("not UTF-8") << QByteArray("\xcf\xf0\xe8") << false;
        QTest::newRow("cut short") << QByteArray("\xd0") << false;
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf" "a") << false;
        QTest::newRow("four-byte character") << QByteArray("\xf0\x9f\x98\x80") << true;
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf") << false;
        QTest::newRow("overlong in three bytes") << QByteArray("\xe0\x80\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
        QTest::newRow("four bytes cut short") << QByteArray("\xf0\x9f\x98") << false;
        QTest::newRow("continuation alone") << QByteArray("\x80") << false;
        QTest::newRow("byte order mark inside") << QByteArray("\"1\";\"\xef\xbb\xbf\"") << false;
        QTest::newRow("escape after a long line") << QByteArray("\"1\";\"2\";\"Кефир 2\";\"\x1b\"") << false;
        QTest::newRow("long Russian line") << QByteArray("\"1\";\"2\";\"Сыр Российский 6\";\"189.90\"") << true;
        // Eight bytes at a time, four two-byte letters at a time: what stops
        // either at each place of its block, and what carries on past it.
        const QByteArray run("абвгдежзийклмноп"); // 32 bytes of letters
        for (int at = 0; at <= 8; ++at) {
            const QByteArray ascii = QByteArray(at, 'x');
            QTest::newRow(qPrintable(QStringLiteral("delete after %1 ASCII bytes").arg(at)))
                << QByteArray(ascii + "\x7f" + "12345678") << false;
            QTest::newRow(qPrintable(QStringLiteral("escape after %1 letter bytes").arg(at * 2)))
                << QByteArray(ascii + run.left(at * 2) + "\x1b" + run) << false;
            QTest::newRow(qPrintable(QStringLiteral("C1 control after %1 letter bytes").arg(at * 2)))
                << QByteArray(ascii + run.left(at * 2) + "\xc2\x85" + run) << false;
            QTest::newRow(qPrintable(QStringLiteral("letter cut short after %1 letter bytes").arg(at * 2)))
                << QByteArray(ascii + run.left(at * 2 + 1)) << false;
            QTest::newRow(qPrintable(QStringLiteral("letters across a block after %1 bytes").arg(at)))
                << QByteArray(ascii + run + "ю\n\t" + run.left(at * 2)) << true;
        }
        // Sixteen bytes at a time: a letter, a control byte or a stray byte
        // at each place of the block and across its end.
        for (int at = 0; at <= 17; ++at) {
            const QByteArray ascii = QByteArray(at, 'x');
            QTest::newRow(qPrintable(QStringLiteral("letter at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "ж" + QByteArray(16, 'y')) << true;
            QTest::newRow(qPrintable(QStringLiteral("delete at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "\x7f" + QByteArray(16, 'y')) << false;
            QTest::newRow(qPrintable(QStringLiteral("carriage return at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "\r" + QByteArray(16, 'y')) << false;
            QTest::newRow(qPrintable(QStringLiteral("lead byte alone at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "\xd0" + QByteArray(16, 'y')) << false;
            QTest::newRow(qPrintable(QStringLiteral("follower alone at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "\xb6" + QByteArray(16, 'y')) << false;
            QTest::newRow(qPrintable(QStringLiteral("C1 control at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "\xc2\x9b" + QByteArray(16, 'y')) << false;
            QTest::newRow(qPrintable(QStringLiteral("two leads at byte %1 of sixteen").arg(at)))
                << QByteArray(ascii + "\xd0\xd0\xb6" + QByteArray(16, 'y')) << false;
        }
        QTest::newRow("overlong letters in a block") << QByteArray("xxxx\xc1\xbf\xc1\xbf\xc1\xbf\xc1\xbfxxxx") << false;
        QTest::newRow("no-break spaces in a block") << QByteArray("\xc2\xa0\xc2\xa0\xc2\xa0\xc2\xa0\xc2\xa0") << true;
        QTest::newRow("letter lead without its follower in a block") << QByteArray("абв\xd0xгде") << false;
        QTest::newRow("three-byte character among letters") << QByteArray("абвг№абвгдежз") << true;
    }

    void printableBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, printable);
        QCOMPARE(PrintableText::isPrintable(bytes.constData(), bytes.constData() + bytes.size()), printable);
        if (printable)
            QCOMPARE(PrintableText::of(QString::fromUtf8(bytes)).toUtf8(), bytes);
    }
};

VESCOR_TEST(PrintableTextTest)
#include "tst_PrintableText.moc"
