#include "support/TestMain.h"

#include "common/Errors.h"
#include "settings/GuardedCall.h"

#include <QTest>

#include <stdexcept>

class TestErrors : public QObject
{
    Q_OBJECT

private slots:
    void driverException_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QByteArray>("what");
        QTest::newRow("port") << 2 << QStringLiteral("Порт недоступен") << QStringLiteral("[2] Порт недоступен").toUtf8();
        QTest::newRow("negative") << -100 << QStringLiteral("no library") << QByteArray("[-100] no library");
        QTest::newRow("empty description") << 11 << QString() << QByteArray("[11] ");
        QTest::newRow("placeholders kept") << 5 << QStringLiteral("%1 %2") << QByteArray("[5] %1 %2");
    }

    void driverException()
    {
        QFETCH(int, code);
        QFETCH(QString, description);
        QFETCH(QByteArray, what);
        const DriverException e(code, description);
        QCOMPARE(e.code(), code);
        QCOMPARE(e.description(), description);
        QCOMPARE(QByteArray(e.what()), what);

        // Copies carry their own text.
        DriverException copy = e;
        { const DriverException other(1, QStringLiteral("x")); copy = other; }
        QCOMPARE(QByteArray(copy.what()), QByteArray("[1] x"));
        QCOMPARE(QByteArray(e.what()), what);
    }

    void unknownException()
    {
        const UnknownException e;
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Неизвестное исключение"));
        const UnknownException copy = e;
        QCOMPARE(QString::fromUtf8(copy.what()), QStringLiteral("Неизвестное исключение"));
    }

    void runTimeError()
    {
        const RunTimeError e(QStringLiteral("Файл не открыт"));
        QCOMPARE(QByteArray(e.what()), QByteArray("runtime_error"));
        QCOMPARE(e.message(), QStringLiteral("Файл не открыт"));
    }

    void guardedCallSuccess_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("0") << 0;
        QTest::newRow("positive") << 1;
    }

    void guardedCallSuccess()
    {
        QFETCH(int, result);
        int calls = 0;
        libtillo_handle seen = nullptr;
        int marker = 0;
        GuardedCall::run(&marker, [&](libtillo_handle h) { ++calls; seen = h; return result; });
        QCOMPARE(calls, 1);
        QCOMPARE(seen, static_cast<libtillo_handle>(&marker));
    }

    void guardedCallPassesDriverException()
    {
        try {
            GuardedCall::run(nullptr, [](libtillo_handle) -> int { throw DriverException(11, QStringLiteral("Нет ящика")); });
            QFAIL("no exception");
        } catch (const DriverException& e) {
            QCOMPARE(e.code(), 11);
            QCOMPARE(e.description(), QStringLiteral("Нет ящика"));
        }
    }

    void guardedCallReplacesOtherExceptions_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("std::runtime_error") << 0;
        QTest::newRow("std::bad_alloc") << 1;
        QTest::newRow("RunTimeError") << 2;
        QTest::newRow("not a std::exception") << 3;
    }

    void guardedCallReplacesOtherExceptions()
    {
        QFETCH(int, kind);
        try {
            GuardedCall::run(nullptr, [kind](libtillo_handle) -> int {
                switch (kind) {
                case 0: throw std::runtime_error("boom");
                case 1: throw std::bad_alloc();
                case 2: throw RunTimeError(QStringLiteral("x"));
                default: throw 42;
                }
            });
            QFAIL("no exception");
        } catch (const DriverException&) {
            QFAIL("a driver exception");
        } catch (const UnknownException& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Неизвестное исключение"));
        }
    }
};

VESCOR_TEST(TestErrors)
#include "tst_Errors.moc"
