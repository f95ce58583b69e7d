#include "exchange/CheckedValues.h"
#include "support/TestMain.h"

#include <QTest>

// The values of a column: each short one checked once, equal ones sharing one
// buffer, every value given back with its own reason whatever was met before.
class tst_CheckedValues : public QObject
{
    Q_OBJECT

private slots:
    void take_data()
    {
        QTest::addColumn<QList<QByteArray>>("values");
        QTest::addColumn<int>("maxValues");
        QTest::addColumn<int>("checks");
        QTest::addColumn<bool>("repeatsShare");
        const QByteArray longValue("Молоко пастеризованное 3.2%");
        QTest::newRow("repeats checked once") << QList<QByteArray>{"7990", "bad", "7990", "bad", "7990"} << 16 << 2
                                              << true;
        QTest::newRow("empty value") << QList<QByteArray>{"", "", "1"} << 16 << 2 << true;
        QTest::newRow("long values each checked")
            << QList<QByteArray>{longValue, longValue} << 16 << 2 << false;
        QTest::newRow("full: the rest each checked")
            << QList<QByteArray>{"1", "2", "2"} << 1 << 3 << false;
        QTest::newRow("none kept") << QList<QByteArray>{"bad", "bad"} << 0 << 2 << false;
    }

    void take()
    {
        QFETCH(QList<QByteArray>, values);
        QFETCH(int, maxValues);
        QFETCH(int, checks);
        QFETCH(bool, repeatsShare);
        CheckedValues column(maxValues);
        int checked = 0;
        const auto reasonOf = [&](const QByteArray& value) {
            ++checked;
            return value.startsWith("bad") ? QStringLiteral("refused ") + QString::fromUtf8(value) : QString();
        };
        QList<QByteArray> taken;
        for (const QByteArray& value : values) {
            QByteArray reader = value; // the bytes a reader hands out, overwritten by its next record
            reader.detach();
            QString reason = QStringLiteral("left over");
            taken << column.take(reader.constData(), reader.size(), reason, reasonOf);
            reader.fill('x');
            QCOMPARE(taken.last(), value);
            QCOMPARE(reason, reasonOf(value));
            --checked; // the comparison's own call
        }
        QCOMPARE(checked, checks);
        const QByteArray& last = taken.last();
        const int first = values.indexOf(values.last());
        if (!last.isEmpty() && first < taken.size() - 1)
            QCOMPARE(taken.at(first).constData() == last.constData(), repeatsShare);
    }
};

VESCOR_TEST(tst_CheckedValues)
#include "tst_CheckedValues.moc"
