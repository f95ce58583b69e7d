#include "device/ValuePool.h"
#include "support/TestMain.h"

#include <QTest>

// Equal short values taken out of a reader's buffer share one buffer of
// their own; none of them is left pointing into the reader's bytes.
class tst_ValuePool : public QObject
{
    Q_OBJECT

private slots:
    void sharedCopies_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("poolSize");
        QTest::addColumn<bool>("sharesOneBuffer");
        QTest::newRow("short value") << QByteArray("7990") << 16 << true;
        QTest::newRow("empty value") << QByteArray("") << 16 << true;
        QTest::newRow("long value") << QByteArray("Молоко пастеризованное 3.2%") << 16 << false;
        QTest::newRow("pool full") << QByteArray("7990") << 0 << false;
    }

    void sharedCopies()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, poolSize);
        QFETCH(bool, sharesOneBuffer);
        ValuePool pool(poolSize);
        QByteArray reader = value; // the bytes a reader hands out, overwritten by its next record
        reader.detach();
        const QByteArray first = pool.shared(reader.constData(), reader.size());
        const QByteArray second = pool.shared(reader.constData(), reader.size());
        reader.fill('x');
        QCOMPARE(first, value);
        QCOMPARE(second, value);
        if (!value.isEmpty())
            QCOMPARE(first.constData() == second.constData(), sharesOneBuffer);
    }
};

VESCOR_TEST(tst_ValuePool)
#include "tst_ValuePool.moc"
