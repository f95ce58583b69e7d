#include "exchange/CsvRecordReader.h"
#include "support/TestMain.h"

#include <QTest>

namespace {

using Records = QList<QList<QByteArray>>;

} // namespace

// The records of CSV bytes as the import reads them: values split at the
// separator outside quotes, quotes undoubled, nothing trimmed, and bytes that
// are not well-formed refused after the records before them.
class tst_CsvRecordReader : public QObject
{
    Q_OBJECT

    static bool read(const QByteArray& bytes, int from, int stopAfter, Records& records)
    {
        const CsvRecordReader reader(';');
        return reader.parse(bytes, from, [&](const CsvRecord& record) {
            QList<QByteArray> values;
            for (int i = 0; i < record.size(); ++i)
                values << record.at(i);
            records << values;
            return records.size() != stopAfter;
        });
    }

private slots:
    void records_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("stopAfter"); // the sink says stop after that many records; 0 never
        QTest::addColumn<bool>("wellFormed");
        QTest::addColumn<Records>("records");

        QTest::newRow("bare values") << QByteArray("a;b;c\n1;2;3\n") << 0 << 0 << true
                                     << Records{{"a", "b", "c"}, {"1", "2", "3"}};
        QTest::newRow("quoted values") << QByteArray("\"a\";\"b\"\n") << 0 << 0 << true << Records{{"a", "b"}};
        QTest::newRow("doubled quotes beside views")
            << QByteArray("\"a\"\"b\";\"\"\"\";c;\"d\"") << 0 << 0 << true << Records{{"a\"b", "\"", "c", "d"}};
        QTest::newRow("separator and line ends inside quotes")
            << QByteArray("\"a;b\";\"x\ny\r\nz\"\r\n\"w\"") << 0 << 0 << true << Records{{"a;b", "x\ny\r\nz"}, {"w"}};
        QTest::newRow("CR, LF and CR LF end records; blank lines give none")
            << QByteArray("\n\na\r\rb\r\n\r\nc\n\n") << 0 << 0 << true << Records{{"a"}, {"b"}, {"c"}};
        QTest::newRow("empty values") << QByteArray(";a;;\n\"\";x\n") << 0 << 0 << true
                                      << Records{{"", "a", "", ""}, {"", "x"}};
        QTest::newRow("separator at the very end") << QByteArray("a;") << 0 << 0 << true << Records{{"a", ""}};
        QTest::newRow("no line end at the end") << QByteArray("a;\"b\"") << 0 << 0 << true << Records{{"a", "b"}};
        QTest::newRow("blanks kept") << QByteArray(" a ; \t;\" b \"") << 0 << 0 << true
                                     << Records{{" a ", " \t", " b "}};
        QTest::newRow("NUL kept") << QByteArray("a\0b;\"\0\"", 7) << 0 << 0 << true
                                  << Records{{QByteArray("a\0b", 3), QByteArray("\0", 1)}};
        QTest::newRow("from an offset") << QByteArray("title\n1;2\n") << 6 << 0 << true << Records{{"1", "2"}};
        QTest::newRow("offset past the end") << QByteArray("1;2\n") << 10 << 0 << true << Records{};
        QTest::newRow("the sink stops") << QByteArray("1\n2\n\"3\n") << 0 << 2 << true << Records{{"1"}, {"2"}};
        QTest::newRow("quote inside a bare value") << QByteArray("x\na\"b;c\n") << 0 << 0 << false << Records{{"x"}};
        QTest::newRow("text after a closing quote") << QByteArray("x\n\"a\"b\n") << 0 << 0 << false << Records{{"x"}};
        QTest::newRow("blank after a closing quote") << QByteArray("\"a\" ;b") << 0 << 0 << false << Records{};
        QTest::newRow("quote left open") << QByteArray("x\n\"abc;d\n") << 0 << 0 << false << Records{{"x"}};
        QTest::newRow("quote left open after a doubled one") << QByteArray("\"a\"\"") << 0 << 0 << false << Records{};

        // Quotes looked for eight bytes at a time: a doubled one, a separator
        // and line ends inside, and the closing quote at each place of a block.
        for (int length = 0; length <= 17; ++length) {
            const QByteArray inside(length, 'x');
            QTest::newRow(qPrintable(QStringLiteral("closing quote after %1 bytes").arg(length)))
                << QByteArray("\"" + inside + "\";\"" + inside + "\"\"" + inside + "\"\r\n\"" + inside + ";\r\n" + inside + "\"")
                << 0 << 0 << true
                << Records{{inside, inside + "\"" + inside}, {inside + ";\r\n" + inside}};
            QTest::newRow(qPrintable(QStringLiteral("left open after %1 bytes").arg(length)))
                << QByteArray("\"" + inside + "\"\"" + inside) << 0 << 0 << false << Records{};
        }
        // A value longer than any buffer the reader might use, a doubled quote in its middle.
        const QByteArray half(70000, 'x');
        QTest::newRow("long quoted value") << QByteArray("\"" + half + "\"\"" + half + "\";1\n") << 0 << 0 << true
                                           << Records{{half + "\"" + half, "1"}};
    }

    void records()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, from);
        QFETCH(int, stopAfter);
        QFETCH(bool, wellFormed);
        QFETCH(Records, records);
        Records read;
        QCOMPARE(tst_CsvRecordReader::read(bytes, from, stopAfter, read), wellFormed);
        QCOMPARE(read, records);
    }
};

VESCOR_TEST(tst_CsvRecordReader)
#include "tst_CsvRecordReader.moc"
