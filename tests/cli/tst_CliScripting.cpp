#include "support/CliRunner.h"

#include "common/RussianPlural.h"
#include "settings/SettingsFile.h"
#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A settings text nested `depth` arrays deep: {"a":[[[...]]]}.
QByteArray nested(int depth)
{
    return "{\"a\":" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}";
}

} // namespace

// What a script relies on: exit statuses, settings it cannot use refused
// before the driver sees them, and standard error free of per-cell lines.
class CliScriptingTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString expand(QString text) const
    {
        text.replace(QStringLiteral("%APP%"), path(QStringLiteral("app")));
        return text.replace(QStringLiteral("%DIR%"), m_dir->path());
    }
    QStringList expand(QStringList arguments) const
    {
        for (QString& argument : arguments)
            argument = expand(argument);
        return arguments;
    }

    // A copy of the program with its driver and models, so that the test
    // owns the settings file beside it.
    QString programCopy() const
    {
        const QString bin = QCoreApplication::applicationDirPath();
        const QString program = path(QStringLiteral("app/vescor-cli"));
        if (!QDir().mkpath(path(QStringLiteral("app/models"))) || !QFile::copy(cliProgram(), program)
            || !QFile::copy(bin + "/libtillo10.so", path(QStringLiteral("app/libtillo10.so")))
            || !QFile::copy(bin + "/models/57.json", path(QStringLiteral("app/models/57.json"))))
            return QString();
        return program;
    }

    CliRun run(const QStringList& arguments, const QString& program = cliProgram()) const
    {
        return runCli(expand(arguments), m_dir->path(), program);
    }

    // The taxes table exported from the register, as a file to compare.
    QString exportedTaxes()
    {
        const CliRun result = run({"export", path("out"), "--tables", "6"});
        if (result.exitCode != 0)
            qWarning() << result.err;
        return result.outLines().value(0);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 3);
        image.install(*m_dir, true);
    }

    void cleanup()
    {
        qunsetenv("QT_LOGGING_RULES");
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    // Settings that cannot be used end the run before the driver sees them:
    // exit status 2 for a text or a stored file that cannot be read, 1 for a
    // --settings file refused unread; a message says where and why.
    void unusableSettings_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("stored"); // the settings string in Vescor.ini; null: no file
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        const QByteArray none;
        QTest::newRow("option nested 5000 deep")
            << QStringList{"identify", "--settings", QString::fromLatin1(nested(5000))} << none << 2
            << "Неверная строка настроек --settings: слишком глубокая вложенность JSON";
        QTest::newRow("option not JSON") << QStringList{"identify", "--settings", "{Port: 1"} << none << 2
                                         << "Неверная строка настроек --settings: неверный JSON: Line 1, Column 2";
        QTest::newRow("option an array") << QStringList{"identify", "--settings", "[1]"} << none << 2
                                         << "Неверная строка настроек --settings: настройки должны быть объектом JSON";
        QTest::newRow("option a number") << QStringList{"diff", "x.csv", "--settings", "7"} << none << 2
                                         << "Неверная строка настроек --settings: настройки должны быть объектом JSON";
        QTest::newRow("file nested 5000 deep") << QStringList{"export", "%DIR%/out", "--settings", "@%DIR%/deep.json"}
                                               << none << 2
                                               << "Неверные настройки в файле %DIR%/deep.json: слишком глубокая вложенность";
        QTest::newRow("file over 1 MB") << QStringList{"identify", "--settings", "@%DIR%/big.json"} << none << 1
                                        << "Файл настроек %DIR%/big.json не прочитан: файл больше 1 МБ";
        QTest::newRow("file a device") << QStringList{"identify", "--settings", "@/dev/zero"} << none << 1
                                       << "Файл настроек /dev/zero не прочитан: это не обычный файл";
        QTest::newRow("file a directory") << QStringList{"identify", "--settings", "@%DIR%"} << none << 1
                                          << "Файл настроек %DIR% не прочитан: это не обычный файл";
        QTest::newRow("stored nested 5000 deep")
            << QStringList{"identify"} << nested(5000) << 2
            << "Не удалось прочитать сохраненные настройки из %APP%/Vescor.ini: слишком глубокая вложенность JSON";
        QTest::newRow("stored not JSON") << QStringList{"import", "a.csv"} << QByteArray("Port=1") << 2
                                         << "Не удалось прочитать сохраненные настройки из %APP%/Vescor.ini: неверный JSON";
        QTest::newRow("stored an array")
            << QStringList{"identify"} << QByteArray("[1, 2]") << 2
            << "Не удалось прочитать сохраненные настройки из %APP%/Vescor.ini: настройки должны быть объектом JSON";
        QTest::newRow("stored file over 1 MB")
            << QStringList{"identify"} << QByteArray(1100 * 1024, ' ') << 2
            << "Не удалось прочитать сохраненные настройки из %APP%/Vescor.ini: файл больше 1 МБ";
        QTest::newRow("stored file a directory")
            << QStringList{"identify"} << QByteArray("<dir>") << 2
            << "Не удалось прочитать сохраненные настройки из %APP%/Vescor.ini: это не обычный файл";
    }

    void unusableSettings()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, stored);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        const QString program = programCopy();
        QVERIFY(!program.isEmpty());
        const QString ini = path(QStringLiteral("app/Vescor.ini"));
        if (stored == "<dir>")
            QVERIFY(QDir().mkpath(ini));
        else if (!stored.isNull())
            SettingsFile::save(ini, QString::fromUtf8(stored));
        QVERIFY(writeBytes(path("deep.json"), nested(5000)));
        QVERIFY(writeBytes(path("big.json"), "{\"Port\": 1}" + QByteArray(1100 * 1024, ' ')));

        const CliRun result = run(arguments, program);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.startsWith(expand(message)), qPrintable(result.err));
        QCOMPARE(result.err.count(QLatin1Char('\n')), 1);
        QCOMPARE(result.out, QString());
        // The driver never received the settings, nor opened a connection.
        for (const QString& call : EmulatorImage::traceLines(*m_dir)) {
            QVERIFY2(!call.startsWith(QLatin1String("set_settings")), qPrintable(call));
            QVERIFY2(!call.startsWith(QLatin1String("open")), qPrintable(call));
        }
    }

    // diff: 0 when the register holds the file, 1 when they differ, with the
    // count of differing cells on standard error.
    void diffExitStatus_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("differences");
        QTest::newRow("same") << QByteArray() << QByteArray() << 0 << 0;
        QTest::newRow("one cell differs") << QByteArray("\"10.00\"") << QByteArray("\"11.00\"") << 1 << 1;
        QTest::newRow("several cells differ") << QByteArray(".00\"") << QByteArray(".50\"") << 1 << -1;
    }

    void diffExitStatus()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, exitCode);
        QFETCH(int, differences);

        const QString file = exportedTaxes();
        QVERIFY(!file.isEmpty());
        QByteArray bytes = fileBytes(file);
        if (!from.isEmpty()) {
            // After the title and column lines: the first match only, or every one.
            const int header = bytes.indexOf('\n', bytes.indexOf('\n') + 1) + 1;
            const int first = bytes.indexOf(from, header);
            QVERIFY(first > 0);
            if (differences == 1)
                bytes.replace(first, from.size(), to);
            else
                bytes = bytes.left(header) + bytes.mid(header).replace(from, to);
        }
        QVERIFY(writeBytes(file, bytes));

        const CliRun result = run({"diff", file});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        const int listed = result.outLines().size();
        if (differences >= 0)
            QCOMPARE(listed, differences);
        if (exitCode == 0) {
            QCOMPARE(result.err, QString());
            return;
        }
        QVERIFY(listed > 0);
        QCOMPARE(result.err, QStringLiteral("Файл и ККТ расходятся в %1\n")
                                 .arg(RussianPlural::count(qulonglong(listed), "ячейке", "ячейках", "ячейках")));
    }

    // The engines' per-cell lines reach standard error with --verbose only,
    // whatever QT_LOGGING_RULES says.
    void verbose_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("loggingRules");
        QTest::addColumn<bool>("cellLines");
        QTest::addColumn<QString>("table"); // 6 is read cell by cell, 1 (the commodity base) by whole rows
        QTest::newRow("quiet") << QStringList{} << QByteArray() << false << "6";
        QTest::newRow("quiet despite logging rules") << QStringList{} << QByteArray("*.debug=true\n*.info=true")
                                                     << false << "6";
        QTest::newRow("--verbose") << QStringList{"--verbose"} << QByteArray() << true << "6";
        QTest::newRow("rows read whole, quiet despite logging rules")
            << QStringList{} << QByteArray("vescor.rows.debug=true") << false << "1";
        QTest::newRow("rows read whole, --verbose") << QStringList{"--verbose"} << QByteArray() << true << "1";
    }

    void verbose()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, loggingRules);
        QFETCH(bool, cellLines);
        QFETCH(QString, table);
        if (!loggingRules.isEmpty())
            qputenv("QT_LOGGING_RULES", loggingRules);

        const CliRun result = run(QStringList{"export", "%DIR%/out", "--tables", table} + options);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        const QStringList lines = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QStringLiteral("CELL READED")).isEmpty(), !cellLines);
        if (!cellLines) {
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(0).startsWith(QStringLiteral("Прочитано таблиц: 1 из 1, ячеек: ")), qPrintable(lines.at(0)));
            QVERIFY2(lines.at(1).startsWith(QStringLiteral("Успешно прочитано ")), qPrintable(lines.at(1)));
        }
        QCOMPARE(result.outLines().size(), 1);
    }

    // Words that agree with their number.
    void plural_data()
    {
        QTest::addColumn<qulonglong>("n");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QString>("tables");
        QTest::newRow("0") << 0ull << "0 ячеек" << "0 таблиц";
        QTest::newRow("1") << 1ull << "1 ячейка" << "1 таблица";
        QTest::newRow("2") << 2ull << "2 ячейки" << "2 таблицы";
        QTest::newRow("4") << 4ull << "4 ячейки" << "4 таблицы";
        QTest::newRow("5") << 5ull << "5 ячеек" << "5 таблиц";
        QTest::newRow("11") << 11ull << "11 ячеек" << "11 таблиц";
        QTest::newRow("12") << 12ull << "12 ячеек" << "12 таблиц";
        QTest::newRow("14") << 14ull << "14 ячеек" << "14 таблиц";
        QTest::newRow("21") << 21ull << "21 ячейка" << "21 таблица";
        QTest::newRow("22") << 22ull << "22 ячейки" << "22 таблицы";
        QTest::newRow("25") << 25ull << "25 ячеек" << "25 таблиц";
        QTest::newRow("101") << 101ull << "101 ячейка" << "101 таблица";
        QTest::newRow("111") << 111ull << "111 ячеек" << "111 таблиц";
        QTest::newRow("112") << 112ull << "112 ячеек" << "112 таблиц";
        QTest::newRow("1003") << 1003ull << "1003 ячейки" << "1003 таблицы";
        QTest::newRow("1000000") << 1000000ull << "1000000 ячеек" << "1000000 таблиц";
    }

    void plural()
    {
        QFETCH(qulonglong, n);
        QFETCH(QString, cells);
        QFETCH(QString, tables);
        QCOMPARE(RussianPlural::count(n, "ячейка", "ячейки", "ячеек"), cells);
        QCOMPARE(RussianPlural::count(n, "таблица", "таблицы", "таблиц"), tables);
    }
};

VESCOR_TEST(CliScriptingTest)

#include "tst_CliScripting.moc"
