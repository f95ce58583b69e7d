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
        QTest::addColumn<int>("othersBefore"); // distinct values pooled after pooledBefore
        const QByteArray none;
        QTest::newRow("short value") << QByteArray("7990") << 16 << none << true << 0;
        QTest::newRow("empty value") << QByteArray("") << 16 << none << true << 0;
        QTest::newRow("long value") << QByteArray("Молоко пастеризованное 3.2%") << 16 << none << false << 0;
        QTest::newRow("pool full") << QByteArray("7990") << 0 << none << false << 0;
        QTest::newRow("filled by the value") << QByteArray("7990") << 1 << none << true << 0;
        QTest::newRow("filled by another value") << QByteArray("7990") << 1 << QByteArray("18") << false << 0;
        // The pool grows as it takes values and finds every one it took.
        QTest::newRow("after a thousand others") << QByteArray("7990") << (1 << 16) << none << true << 1000;
        QTest::newRow("the first of a full pool") << QByteArray("18") << 1001 << QByteArray("18") << true << 1000;
        QTest::newRow("filled by a thousand others") << QByteArray("7990") << 1000 << none << false << 1000;
    }

    void sharedCopies()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, poolSize);
        QFETCH(QByteArray, pooledBefore);
        QFETCH(bool, sharesOneBuffer);
        QFETCH(int, othersBefore);
        ValuePool pool(poolSize);
        if (!pooledBefore.isNull())
            pool.shared(pooledBefore.constData(), pooledBefore.size());
        for (int i = 0; i < othersBefore; ++i)
            pool.shared(QByteArray("other ") + QByteArray::number(i));
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
