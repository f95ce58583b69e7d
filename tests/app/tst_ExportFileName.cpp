#include "exchange/ExportFileName.h"

#include "support/TestMain.h"

#include <QTest>

class ExportFileNameTest : public QObject
{
    Q_OBJECT

private slots:
    void path_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "0057000001" << 1 << "/out/0057000001_1.csv";
        QTest::newRow("table number") << "0057000001" << 65535 << "/out/0057000001_65535.csv";
        QTest::newRow("empty serial") << "" << 4 << "/out/_4.csv";
        QTest::newRow("slash stays inside") << "../../etc/x" << 2 << "/out/.._.._etc_x_2.csv";
        QTest::newRow("backslash") << "a\\b" << 2 << "/out/a_b_2.csv";
        QTest::newRow("control character") << QStringLiteral("a\nb") << 3 << "/out/a_b_3.csv";
        QTest::newRow("cyrillic kept") << "ККТ-1" << 3 << "/out/ККТ-1_3.csv";
    }

    void path()
    {
        QFETCH(QString, serial);
        QFETCH(int, table);
        QFETCH(QString, expected);
        QCOMPARE(ExportFileName::path(QStringLiteral("/out"), serial, uint16_t(table)), expected);
    }

    // The files of one export of all tables, in table order: only a number
    // met before gets a count.
    void next_data()
    {
        QTest::addColumn<QList<int>>("tables");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("numbers apart") << QList<int>{1, 4, 2} << QStringList{"S_1.csv", "S_4.csv", "S_2.csv"};
        QTest::newRow("one number twice") << QList<int>{4, 1, 4} << QStringList{"S_4.csv", "S_1.csv", "S_4_2.csv"};
        QTest::newRow("one number three times") << QList<int>{0, 0, 0} << QStringList{"S_0.csv", "S_0_2.csv", "S_0_3.csv"};
    }

    void next()
    {
        QFETCH(QList<int>, tables);
        QFETCH(QStringList, files);
        ExportFileName names(QStringLiteral("/out"), QStringLiteral("S"));
        QStringList given;
        for (const int table : tables)
            given << names.next(uint16_t(table)).mid(5);
        QCOMPARE(given, files);
    }
};

VESCOR_TEST(ExportFileNameTest)

#include "tst_ExportFileName.moc"
