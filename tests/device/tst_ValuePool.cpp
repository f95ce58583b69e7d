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
        QTest::addColumn<QByteArray>("pooledBefore"); // a value the pool took first
        QTest::addColumn<bool>("sharesOneBuffer");
        const QByteArray none;
        QTest::newRow("short value") << QByteArray("7990") << 16 << none << true;
        QTest::newRow("empty value") << QByteArray("") << 16 << none << true;
        QTest::newRow("long value") << QByteArray("Молоко пастеризованное 3.2%") << 16 << none << false;
        QTest::newRow("pool full") << QByteArray("7990") << 0 << none << false;
        QTest::newRow("filled by the value") << QByteArray("7990") << 1 << none << true;
        QTest::newRow("filled by another value") << QByteArray("7990") << 1 << QByteArray("18") << false;
    }

    void sharedCopies()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, poolSize);
        QFETCH(QByteArray, pooledBefore);
        QFETCH(bool, sharesOneBuffer);
        ValuePool pool(poolSize);
        if (!pooledBefore.isNull())
            pool.shared(pooledBefore.constData(), pooledBefore.size());
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
