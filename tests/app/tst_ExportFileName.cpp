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
};

VESCOR_TEST(ExportFileNameTest)

#include "tst_ExportFileName.moc"
