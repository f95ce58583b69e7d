#include "support/OddNode.h"
#include "support/TestMain.h"

#include "settings/DriverSettingsJson.h"
#include "settings/JsonText.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsMapping.h"
#include "settings/WindowLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString nested(int depth, const QString& open = QStringLiteral("["), const QString& close = QStringLiteral("]"))
{
    return QStringLiteral("{\"a\":") + open.repeated(depth) + close.repeated(depth) + QLatin1Char('}');
}

} // namespace

// Settings texts and files that cannot be used: every failure of the JSON
// library and of the file is caught and said in words, nothing throws.
class TestSettingsText : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // One parse for the settings text and the driver's lists of values.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QString>("error"); // the start of the reason

        QTest::newRow("object") << R"({"Port": 1})" << true << QString();
        QTest::newRow("array") << R"([{"key": 1, "description": "COM"}])" << true << QString();
        QTest::newRow("comments dropped") << "// c\n{\"Port\": 1 /* x */}" << true << QString();
        QTest::newRow("nested 900 deep") << nested(900) << true << QString();
        QTest::newRow("nested 5000 deep") << nested(5000) << false << "слишком глубокая вложенность JSON";
        QTest::newRow("objects nested 5000 deep") << nested(5000, "{\"b\":", "}") << false
                                                  << "слишком глубокая вложенность JSON";
        QTest::newRow("empty") << "" << false << "неверный JSON: Line 1, Column 1";
        QTest::newRow("unclosed") << "{\"Port\": 1" << false << "неверный JSON: Line 1, Column 11";
        QTest::newRow("not JSON") << "Port=1" << false << "неверный JSON: Line 1, Column 1";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, parses);
        QFETCH(QString, error);

        Json::Value root(7);
        QString why = QStringLiteral("old");
        QCOMPARE(JsonText::parse(text, root, why), parses);
        QVERIFY2(why.startsWith(error), qPrintable(why));
        QCOMPARE(why.isEmpty(), parses);
        QVERIFY(!why.contains(QLatin1Char('\n')));
        if (!parses)
            QVERIFY(root.isNull());

        // Neither user of the parse throws; a failed list says why.
        const DriverSettings settings = DriverSettingsJson::fromText(text);
        QCOMPARE(settings.Port, parses && text.contains(QLatin1String("{\"Port\": 1")) ? 1 : 0);
        QString mappingError;
        const auto entries = SettingsMapping::parse(text, &mappingError);
        QCOMPARE(mappingError, why);
        QCOMPARE(entries.size(), text.startsWith(QLatin1Char('[')) ? 1 : 0);
    }

    // What may go to the driver: nothing (its defaults) or a JSON object.
    void check_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << "" << QString();
        QTest::newRow("blank") << " \n\t" << QString();
        QTest::newRow("empty object") << "{}" << QString();
        QTest::newRow("object") << R"({"Port": 1, "IPAddress": "10.0.0.7"})" << QString();
        QTest::newRow("array") << "[1, 2]" << "настройки должны быть объектом JSON";
        QTest::newRow("number") << "7" << "настройки должны быть объектом JSON";
        QTest::newRow("string") << "\"Port\"" << "настройки должны быть объектом JSON";
        QTest::newRow("null") << "null" << "настройки должны быть объектом JSON";
        QTest::newRow("not JSON") << "Port=1" << "неверный JSON: ";
        QTest::newRow("nested 5000 deep") << nested(5000) << "слишком глубокая вложенность JSON";
    }

    void check()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString why = QStringLiteral("old");
        QCOMPARE(DriverSettingsJson::check(text, why), error.isEmpty());
        QVERIFY2(why.startsWith(error), qPrintable(why));
        QCOMPARE(why.isEmpty(), error.isEmpty());
    }

    // "Vescor.ini": looked at before it is read, and its text checked.
    void load_data()
    {
        QTest::addColumn<QString>("kind"); // how the file is made
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error"); // after "Не удалось прочитать сохраненные настройки из <path>: "

        QTest::newRow("no file") << "none" << QString() << QString() << QString();
        QTest::newRow("no key") << "bytes" << "[General]\nOTHER=1\n" << QString() << QString();
        QTest::newRow("stored object") << "value" << R"({"Port": 2})" << R"({"Port": 2})" << QString();
        QTest::newRow("stored empty") << "value" << "" << "" << QString();
        QTest::newRow("nested 5000 deep") << "value" << nested(5000) << QString() << "слишком глубокая вложенность JSON";
        QTest::newRow("an array") << "value" << "[1, 2]" << QString() << "настройки должны быть объектом JSON";
        QTest::newRow("not JSON") << "value" << "Port=1" << QString() << "неверный JSON: ";
        QTest::newRow("not INI") << "bytes" << "[General\nSETTINGS_STR={}\n" << QString() << "это не файл INI";
        QTest::newRow("a directory") << "directory" << QString() << QString() << "это не обычный файл";
        QTest::newRow("over 1 MB") << "big" << QString() << QString() << "файл больше 1 МБ (1048577 байт)";
        QTest::newRow("exactly 1 MB") << "exact" << QString() << QString() << QString();
    }

    void load()
    {
        QFETCH(QString, kind);
        QFETCH(QString, stored);
        QFETCH(QString, text);
        QFETCH(QString, error);

        const QString dir = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(dir));
        const QString ini = dir + QStringLiteral("/Vescor.ini");
        QFile file(ini);
        if (kind == QLatin1String("value")) {
            SettingsFile::save(ini, stored);
        } else if (kind == QLatin1String("bytes")) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(stored.toUtf8());
            file.close();
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(ini));
        } else if (kind == QLatin1String("big") || kind == QLatin1String("exact")) {
            const QByteArray head = "[General]\nSETTINGS_STR=\n";
            const qint64 size = SettingsFile::MaxSize + (kind == QLatin1String("big") ? 1 : 0);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(head + QByteArray(int(size) - head.size(), '\n'));
            file.close();
        }

        QString got = QStringLiteral("old");
        QString why = QStringLiteral("old");
        QCOMPARE(SettingsFile::load(ini, got, why), error.isEmpty());
        QCOMPARE(got, text);
        if (error.isEmpty())
            QCOMPARE(why, QString());
        else
            QVERIFY2(why.startsWith(QStringLiteral("Не удалось прочитать сохраненные настройки из %1: ").arg(ini) + error),
                     qPrintable(why));
    }

    // A settings text in a file of its own: read whole when it is small and a file.
    void readText_data()
    {
        QTest::addColumn<QString>("name"); // in the test's directory, or an absolute path
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("settings") << "s.json" << QByteArray("  {\"Port\": 1}\n") << "{\"Port\": 1}" << QString();
        QTest::newRow("not looked at") << "n.json" << QByteArray("[1]") << "[1]" << QString();
        QTest::newRow("missing") << "none.json" << QByteArray() << QString() << "Невозможно открыть файл none.json";
        QTest::newRow("device") << "/dev/zero" << QByteArray() << QString()
                                << "Файл настроек /dev/zero не прочитан: это не обычный файл";
        QTest::newRow("over 1 MB") << "big.json" << QByteArray(int(SettingsFile::MaxSize) + 1, ' ') << QString()
                                   << "Файл настроек %DIR%/big.json не прочитан: файл больше 1 МБ (1048577 байт)";
    }

    void readText()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, error);
        const QString path = name.startsWith(QLatin1Char('/')) ? name : m_dir.filePath(name);
        if (!bytes.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        QString got = QStringLiteral("old");
        QString why = QStringLiteral("old");
        QCOMPARE(SettingsFile::readText(path, got, why), error.isEmpty());
        QCOMPARE(got, text);
        QCOMPARE(why, QString(error).replace(QStringLiteral("%DIR%"), m_dir.path()));
    }

    // Vescor.ini is rewritten only where a regular file or nothing stands:
    // the connection settings and the window's layout alike.
    void storedOnlyInRegularFiles_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<bool>("layout"); // WindowLayout::save, else SettingsFile::save
        QTest::addColumn<QString>("name"); // where the node stands
        for (const char* name : {"Vescor.ini", "Vescor.ini.lock"}) {
            for (const bool layout : {false, true}) {
                for (const OddNode::Kind kind : OddNode::Kinds)
                    QTest::addRow("%s of the %s, %s", name, layout ? "layout" : "settings", OddNode::name(kind))
                        << int(kind) << layout << QString::fromLatin1(name);
            }
        }
    }

    void storedOnlyInRegularFiles()
    {
        QFETCH(int, node);
        QFETCH(bool, layout);
        QFETCH(QString, name);
        const QString ini = m_dir.filePath(QStringLiteral("Vescor.ini"));
        const OddNode planted(OddNode::Kind(node), m_dir.filePath(name));
        if (!planted.skipReason().isEmpty())
            QSKIP(qPrintable(planted.skipReason()));
        WindowLayout columns;
        columns.columnWidths.insert(6, {40, 80});
        const QString why = layout ? columns.save(ini) : SettingsFile::save(ini, "{\"Port\": 1}");
        QVERIFY2(why.startsWith(QStringLiteral("Настройки не сохранены в %1: ").arg(ini)), qPrintable(why));
        QVERIFY2(why.endsWith(planted.refusalWords()), qPrintable(why));
        QVERIFY2(planted.unchanged(), qPrintable(planted.change()));
        QCOMPARE(QDir(m_dir.path()).entryList({"Vescor.ini*"}, QDir::AllEntries | QDir::Hidden | QDir::System),
                 QStringList{name});
    }
};

VESCOR_TEST(TestSettingsText)
#include "tst_SettingsText.moc"
