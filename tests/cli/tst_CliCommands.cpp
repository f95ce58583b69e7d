#include "support/CliRunner.h"

#include "common/Product.h"
#include "settings/SettingsFile.h"
#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

#include <unistd.h>

Q_DECLARE_METATYPE(QVector<EmulatorImage::Fault>)

namespace {

EmulatorImage::Fault fault(const QString& call, int table = -1, int code = 2)
{
    EmulatorImage::Fault f;
    f.call = call;
    f.table = table;
    f.code = code;
    return f;
}

// A well-formed file of table 6 ("Налоговые ставки") with one row.
QByteArray taxFile(const QByteArray& row)
{
    return QStringLiteral("Налоговые ставки 1.1\n\"Ставка, %\";\"Наименование налога\";\"Зарезервировано\"\n")
               .toLocal8Bit()
        + row + '\n';
}

} // namespace

// The commands' answers and exit statuses against the emulated register.
class CliCommandsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    // %DIR% in an argument stands for the test's directory.
    QStringList expand(QStringList arguments) const
    {
        for (QString& argument : arguments)
            argument.replace(QStringLiteral("%DIR%"), m_dir->path());
        return arguments;
    }
    CliRun run(const QStringList& arguments) const { return runCli(expand(arguments), m_dir->path()); }

    static EmulatorImage smallRegister()
    {
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 3);
        return image;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QFile::exists(cliProgram()));
    }

    void cleanup()
    {
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    void identify_data()
    {
        QTest::addColumn<bool>("fiscal");
        QTest::addColumn<bool>("json");
        QTest::newRow("fiscal, lines") << true << false;
        QTest::newRow("not fiscal, lines") << false << false;
        QTest::newRow("fiscal, json") << true << true;
        QTest::newRow("not fiscal, json") << false << true;
    }

    void identify()
    {
        QFETCH(bool, fiscal);
        QFETCH(bool, json);
        EmulatorImage image = smallRegister();
        image.setIdentity(4242, QStringLiteral("Касса \"Тест\""), QStringLiteral("0042000777"), QStringLiteral("2.7.19"),
                          fiscal);
        image.install(*m_dir, true);

        const CliRun result = run(json ? QStringList{"identify", "--json"} : QStringList{"identify"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        if (json) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(result.out.toUtf8(), &error);
            QCOMPARE(error.error, QJsonParseError::NoError);
            const QJsonObject object = document.object();
            QCOMPARE(object.size(), 5);
            QCOMPARE(object.value("modelCode").toInt(), 4242);
            QCOMPARE(object.value("modelName").toString(), QStringLiteral("Касса \"Тест\""));
            QCOMPARE(object.value("serialNumber").toString(), QStringLiteral("0042000777"));
            QCOMPARE(object.value("firmware").toString(), QStringLiteral("2.7.19"));
            QCOMPARE(object.value("fiscal").toBool(), fiscal);
        } else {
            QCOMPARE(result.outLines(),
                     QStringList({QStringLiteral("Модель: 4242 (Касса \"Тест\")"),
                                  QStringLiteral("Заводской номер: 0042000777"), QStringLiteral("Версия ПО: 2.7.19"),
                                  fiscal ? QStringLiteral("Фискальный режим: да (ФИСК.)")
                                         : QStringLiteral("Фискальный режим: нет (НЕФИСК.)")}));
        }
        // One connection, closed again; nothing but the identification.
        const QStringList trace = EmulatorImage::traceLines(*m_dir);
        QCOMPARE(trace.filter(QRegExp("^open ")).size(), 1);
        QCOMPARE(trace.filter(QRegExp("^close ")).size(), 1);
        QCOMPARE(trace.filter(QRegExp("^(read|write|commit)")).size(), 0);
    }

    // The channel of the settings is the one used: over TCP/IP the default
    // register answers only at its own address and port.
    void channelOfTheSettings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("USB") << R"({"Port":1})" << 0 << QString();
        QTest::newRow("TCP/IP at the register's address")
            << R"({"Port":2,"IPAddress":"192.168.1.100","IPPort":5555})" << 0 << QString();
        QTest::newRow("TCP/IP at another address")
            << R"({"Port":2,"IPAddress":"10.0.0.5","IPPort":5555})" << 3 << QStringLiteral("Ошибка - 2 [Нет связи");
        QTest::newRow("TCP/IP at another port")
            << R"({"Port":2,"IPAddress":"192.168.1.100","IPPort":5556})" << 3 << QStringLiteral("Ошибка - 2 [Нет связи");
        QTest::newRow("unknown channel") << R"({"Port":7})" << 3 << QStringLiteral("Ошибка - 2 [Нет связи");
    }

    void channelOfTheSettings()
    {
        QFETCH(QString, settings);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        EmulatorImage::defaultImage().install(*m_dir);
        const CliRun result = run({"identify", "--settings", settings});
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.startsWith(message), qPrintable(result.err));
    }

    // The shell program links the core alone: no Qt Gui or Widgets, no display.
    void runsWithoutADisplay()
    {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {cliProgram()});
        QVERIFY(ldd.waitForFinished(-1));
        const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        QVERIFY2(libraries.contains(QLatin1String("libQt5Core")), qPrintable(libraries));
        QVERIFY2(!libraries.contains(QLatin1String("libQt5Gui")), qPrintable(libraries));
        QVERIFY2(!libraries.contains(QLatin1String("libQt5Widgets")), qPrintable(libraries));

        smallRegister().install(*m_dir, true);
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        cli.setProcessEnvironment(environment);
        cli.setWorkingDirectory(m_dir->path());
        cli.start(cliProgram(), {QStringLiteral("identify")});
        QVERIFY(cli.waitForFinished(-1));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardOutput()).section(QLatin1Char('\n'), 1, 1),
                 QStringLiteral("Заводской номер: 0057000001"));
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QVector<EmulatorImage::Fault>>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // the start of a line of standard error

        const QVector<EmulatorImage::Fault> none;
        const QString noLink = QStringLiteral("Ошибка - 2 [Нет связи]");

        QTest::newRow("no command") << QStringList{} << none << 2 << QStringLiteral("Использование: vescor-cli <команда> [параметры]");
        QTest::newRow("unknown command") << QStringList{"read"} << none << 2 << QStringLiteral("Неизвестная команда: read");
        QTest::newRow("version as a command") << QStringList{"version"} << none << 2
                                              << QStringLiteral("Неизвестная команда: version");
        QTest::newRow("short version option") << QStringList{"-V"} << none << 2 << QStringLiteral("Неизвестная команда: -V");
        QTest::newRow("unknown option") << QStringList{"identify", "--fast"} << none << 2
                                        << QStringLiteral("Неизвестный параметр «fast».");
        QTest::newRow("identify with an argument") << QStringList{"identify", "x"} << none << 2
                                                   << QStringLiteral("Лишние аргументы: x");
        QTest::newRow("export without a directory") << QStringList{"export"} << none << 2
                                                    << QStringLiteral("Не указан каталог");
        QTest::newRow("export into two directories") << QStringList{"export", "a", "b"} << none << 2
                                                     << QStringLiteral("Нужен один каталог, указано: 2");
        QTest::newRow("export of unknown tables") << QStringList{"export", "%DIR%/out", "--tables", "goods"} << none << 2
                                                  << QStringLiteral("Неверный список таблиц: \"goods\" (all, commodities, "
                                                                    "others или номера через запятую)");
        QTest::newRow("export of a table number out of range")
            << QStringList{"export", "%DIR%/out", "--tables", "4,70000"} << none << 2
            << QStringLiteral("Неверный список таблиц: \"4,70000\" (all, commodities, others или номера через запятую)");
        QTest::newRow("import without a file") << QStringList{"import", "--dry-run"} << none << 2
                                               << QStringLiteral("Не указан файл");
        QTest::newRow("diff of two files") << QStringList{"diff", "a.csv", "b.csv"} << none << 2
                                           << QStringLiteral("Нужен один файл, указано: 2");
        QTest::newRow("settings option without a value") << QStringList{"identify", "--settings"} << none << 2
                                                         << QStringLiteral("Отсутствует значение после «--settings».");

        QTest::newRow("export of a table the model lacks") << QStringList{"export", "%DIR%/out", "--tables", "4,99"} << none
                                                           << 1 << QStringLiteral("В описании модели нет таблицы 99");
        QTest::newRow("import of a missing file") << QStringList{"import", "%DIR%/none.csv"} << none << 1
                                                  << QStringLiteral("%DIR%/none.csv: Невозможно открыть файл none.csv");
        QTest::newRow("import of a FIFO: refused at once") << QStringList{"import", "%DIR%/fifo.csv"} << none << 1
                                                          << QStringLiteral("%DIR%/fifo.csv: Невозможно открыть файл "
                                                                            "fifo.csv: это не обычный файл");
        QTest::newRow("import of a file without title") << QStringList{"import", "%DIR%/empty.csv"} << none << 1
                                                        << QStringLiteral("%DIR%/empty.csv: Файл csv не содержит заголовка");
        QTest::newRow("import of a bad value")
            << QStringList{"import", "%DIR%/badvalue.csv"} << none << 1
            << QStringLiteral("%DIR%/badvalue.csv: Ошибка: таблица содержит некорректные данные в строке \"1\", поле "
                              "\"Зарезервировано\"");
        QTest::newRow("import of a short row") << QStringList{"import", "%DIR%/short.csv"} << none << 1
                                               << QStringLiteral("%DIR%/short.csv: Ошибка: файл содержит некорректные данные");
        QTest::newRow("import of a value the field cannot hold")
            << QStringList{"import", "%DIR%/toolong.csv"} << none << 1
            << QStringLiteral("%DIR%/toolong.csv: Ошибка: таблица содержит некорректные данные в строке \"1\", "
                              "поле \"Наименование налога\": значение \"%1\" - текст длиннее 30 символов")
                   .arg(QString(40, QLatin1Char('x')));
        QTest::newRow("import of 1 KB of zero bytes") << QStringList{"import", "%DIR%/zeros.csv"} << none << 1
                                                     << QStringLiteral("%DIR%/zeros.csv: Файл csv не содержит таблицы: в "
                                                                       "первой строке байт 00 - это не текстовый файл");
        QTest::newRow("import of 10 MB without a line end")
            << QStringList{"import", "%DIR%/oneline.csv"} << none << 1
            << QStringLiteral("%DIR%/oneline.csv: В заголовке файла csv неизвестная таблица: \"%1…\"").arg(QString(80, 'x'));
        QTest::newRow("diff of 10 MB without a line end")
            << QStringList{"diff", "%DIR%/oneline.csv"} << none << 1
            << QStringLiteral("В заголовке файла csv неизвестная таблица: \"%1…\"").arg(QString(80, 'x'));
        QTest::newRow("diff of a missing file") << QStringList{"diff", "%DIR%/none.csv"} << none << 1
                                                << QStringLiteral("Невозможно открыть файл none.csv");
        QTest::newRow("settings file missing") << QStringList{"identify", "--settings", "@%DIR%/none.json"} << none << 1
                                               << QStringLiteral("Невозможно открыть файл none.json");

        QTest::newRow("settings refused by the driver") << QStringList{"identify", "--settings", "{\"Port\": \"x\"}"} << none << 3
                                                        << QStringLiteral("Ошибка - 4 [");
        QTest::newRow("identify without link") << QStringList{"identify"} << QVector<EmulatorImage::Fault>{fault("open")}
                                               << 3 << noLink;
        QTest::newRow("status query fails") << QStringList{"identify", "--json"}
                                            << QVector<EmulatorImage::Fault>{fault("query", -1, 20)} << 3
                                            << QStringLiteral("Ошибка - 20 [Нет связи]");
        QTest::newRow("export: a read fails") << QStringList{"export", "%DIR%/out"}
                                              << QVector<EmulatorImage::Fault>{fault("read", 5)} << 3 << noLink;
        QTest::newRow("diff: the read fails") << QStringList{"diff", "%DIR%/good.csv"}
                                              << QVector<EmulatorImage::Fault>{fault("read", 6)} << 3 << noLink;
        QTest::newRow("import: the write fails") << QStringList{"import", "%DIR%/good.csv"}
                                                 << QVector<EmulatorImage::Fault>{fault("write", 6)} << 3
                                                 << QStringLiteral("%DIR%/good.csv: ") + noLink;
        QTest::newRow("import: the commit fails") << QStringList{"import", "%DIR%/good.csv"}
                                                  << QVector<EmulatorImage::Fault>{fault("commit")} << 3
                                                  << QStringLiteral("%DIR%/good.csv: ") + noLink;
        QTest::newRow("import --only-different: the read fails")
            << QStringList{"import", "--only-different", "%DIR%/good.csv"}
            << QVector<EmulatorImage::Fault>{fault("read", 6)} << 3 << QStringLiteral("%DIR%/good.csv: ") + noLink;
        // Without it, only the cells to write are read, still before anything is written.
        QTest::newRow("import: the read before the write fails")
            << QStringList{"import", "%DIR%/good.csv"} << QVector<EmulatorImage::Fault>{fault("read", 6)} << 3
            << QStringLiteral("%DIR%/good.csv: Запись не начата: не удалось прочитать из ККТ ряд 1 таблицы 6 (Налоговые "
                              "ставки): ") + noLink;
    }

    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QVector<EmulatorImage::Fault>, faults);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        EmulatorImage image = smallRegister();
        for (const EmulatorImage::Fault& f : faults)
            image.addFault(f);
        const QString imagePath = image.install(*m_dir, true);
        QVERIFY(writeBytes(path("empty.csv"), QByteArray()));
        QCOMPARE(::mkfifo(QFile::encodeName(path("fifo.csv")).constData(), 0600), 0);
        QVERIFY(writeBytes(path("good.csv"), taxFile("\"1\";\"18.00\";\"НДС 18%\";\"0\"")));
        QVERIFY(writeBytes(path("badvalue.csv"), taxFile("\"1\";\"18.00\";\"НДС 18%\";\"x\"")));
        QVERIFY(writeBytes(path("short.csv"), taxFile("\"1\";\"18.00\";\"НДС 18%\"")));
        QVERIFY(writeBytes(path("toolong.csv"), taxFile("\"1\";\"18.00\";\"" + QByteArray(40, 'x') + "\";\"0\"")));
        QVERIFY(writeBytes(path("zeros.csv"), QByteArray(1024, '\0')));
        if (arguments.contains(QStringLiteral("%DIR%/oneline.csv")))
            QVERIFY(writeBytes(path("oneline.csv"), QByteArray(10 << 20, 'x')));
        const QByteArray imageBefore = fileBytes(imagePath);

        const CliRun result = run(arguments);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        // The message starts a line: progress lines may come before it.
        QVERIFY2((QLatin1Char('\n') + result.err).contains(QLatin1Char('\n') + expand({message}).first()),
                 qPrintable(result.err));
        QCOMPARE(result.out, QString());
        // No failure leaves anything written, nor a connection open.
        QCOMPARE(fileBytes(imagePath), imageBefore);
        const QStringList trace = EmulatorImage::traceLines(*m_dir);
        QCOMPARE(trace.filter(QRegExp("^close ")).size(), trace.filter(QRegExp("^open ")).size());
        QVERIFY(!QFile::exists(path("out")) || QDir(path("out")).isEmpty());
    }

    void modelWithoutDescription()
    {
        EmulatorImage image = smallRegister();
        image.setIdentity(9991, QStringLiteral("Без описания"), QStringLiteral("1"), QStringLiteral("3.0.25"));
        image.install(*m_dir);
        QVERIFY(writeBytes(path("good.csv"), taxFile("\"1\";\"18.00\";\"НДС 18%\";\"0\"")));

        for (const QStringList& arguments : {QStringList{"export", path("out")}, QStringList{"import", path("good.csv")},
                                             QStringList{"diff", path("good.csv")}}) {
            const CliRun result = run(arguments);
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.startsWith(QStringLiteral("Ошибка чтения файла с информацией о таблицах.\n")),
                     qPrintable(result.err));
            QCOMPARE(result.out, QString());
        }
    }

    void help_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("identify") << "identify" << QStringList{"--json", "--settings", "--verbose"};
        QTest::newRow("export") << "export" << QStringList{"DIR", "--tables", "--settings", "--verbose"};
        QTest::newRow("import") << "import"
                                << QStringList{"FILE...", "--dry-run", "--only-different", "--settings", "--verbose"};
        QTest::newRow("diff") << "diff" << QStringList{"FILE", "--settings", "--verbose"};
    }

    void help()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, mentions);
        // Help needs no register: the image names a missing file.
        qputenv("TILLO10_EMULATOR", path("none.json").toLocal8Bit());
        const CliRun result = run({command, "--help"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        QVERIFY2(result.out.startsWith(QStringLiteral("Использование: vescor-cli %1 [параметры]").arg(command)),
                 qPrintable(result.out));
        for (const QString& mention : mentions)
            QVERIFY2(result.out.contains(mention), qPrintable(mention));

        const CliRun overview = run({"--help"});
        QCOMPARE(overview.exitCode, 0);
        QVERIFY(overview.out.contains(QStringLiteral("  %1\n").arg(command)));
    }

    // Options of the program itself, in place of a command; none needs a register.
    void programOptions_data()
    {
        const QString usage = QStringLiteral("Использование: vescor-cli <команда> [параметры]");
        const QString version = QStringLiteral("vescor-cli ") + product::version();
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<bool>("oneLine");
        QTest::newRow("version") << QStringList{"--version"} << version << true;
        QTest::newRow("version before a command") << QStringList{"--version", "identify"} << version << true;
        QTest::newRow("help") << QStringList{"--help"} << usage << false;
        QTest::newRow("short help") << QStringList{"-h"} << usage << false;
        QTest::newRow("help as a command") << QStringList{"help"} << usage << false;
    }

    void programOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, firstLine);
        QFETCH(bool, oneLine);
        qputenv("TILLO10_EMULATOR", path("none.json").toLocal8Bit());
        const CliRun result = run(arguments);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.outLines().value(0), firstLine);
        QCOMPARE(result.outLines().size() == 1, oneLine);
        // The window's title carries the same version.
        QCOMPARE(product::windowTitle(), QStringLiteral("Vescor ") + product::version());
    }

    // Without --settings the program hands over the settings file beside
    // itself; --settings takes its place; neither run changes the file.
    void settingsFileBesideProgram_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no file") << QString() << QStringList{} << 0;
        QTest::newRow("stored settings") << QStringLiteral("{\"Port\": 1, \"BaudRate\": 9600}") << QStringList{} << 0;
        QTest::newRow("stored settings the driver refuses") << QStringLiteral("{\"Port\": \"x\"}") << QStringList{} << 3;
        QTest::newRow("option in place of refused stored settings")
            << QStringLiteral("{\"Port\": \"x\"}") << QStringList{"--settings", "{\"Port\": 1}"} << 0;
        QTest::newRow("option from a file in place of refused stored settings")
            << QStringLiteral("{\"Port\": \"x\"}") << QStringList{"--settings", "@%DIR%/settings.json"} << 0;
        QTest::newRow("refused option in place of good stored settings")
            << QStringLiteral("{\"Port\": 1}") << QStringList{"--settings", "@%DIR%/bad.json"} << 3;
    }

    void settingsFileBesideProgram()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);

        // A copy of the program with its driver and models, so that the test
        // owns the settings file beside it.
        const QString bin = QCoreApplication::applicationDirPath();
        const QString program = path("app/vescor-cli");
        QVERIFY(QDir().mkpath(path("app/models")));
        QVERIFY(QFile::copy(cliProgram(), program));
        QVERIFY(QFile::copy(bin + "/libtillo10.so", path("app/libtillo10.so")));
        QVERIFY(QFile::copy(bin + "/models/57.json", path("app/models/57.json")));
        const QString ini = path("app/Vescor.ini");
        if (!stored.isNull())
            SettingsFile::save(ini, stored);
        QVERIFY(writeBytes(path("settings.json"), "{\"Port\": 1, \"IPPort\": 5555}\n"));
        QVERIFY(writeBytes(path("bad.json"), "{\"Port\": \"x\"}\n"));
        const QByteArray iniBefore = fileBytes(ini);

        smallRegister().install(*m_dir, true);
        const CliRun result = runCli(expand(QStringList{"identify"} + options), m_dir->path(), program);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0)
            QCOMPARE(result.outLines().value(1), QStringLiteral("Заводской номер: 0057000001"));
        else
            QVERIFY2(result.err.startsWith(QStringLiteral("Ошибка - 4 [")), qPrintable(result.err));
        QCOMPARE(fileBytes(ini), iniBefore);
        QCOMPARE(QFile::exists(ini), !stored.isNull());
        // The settings go to the driver before the connection opens.
        const QStringList trace = EmulatorImage::traceLines(*m_dir);
        QVERIFY(!trace.isEmpty());
        QVERIFY(trace.first().startsWith(QStringLiteral("set_settings")));
    }

    // An installed program keeps no files in its folder, whoever runs it: the
    // settings file is the one in the user's configuration folder, and the
    // program never writes it.
    void settingsFileInUserFolder_data()
    {
        QTest::addColumn<QString>("storedForUser");
        QTest::addColumn<QString>("storedBeside");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no file") << QString() << QString() << 0;
        QTest::newRow("stored settings") << QStringLiteral("{\"Port\": 1}") << QString() << 0;
        QTest::newRow("stored settings that are not a JSON object") << QStringLiteral("[1, 2]") << QString() << 2;
        QTest::newRow("file beside the program left aside") << QString() << QStringLiteral("[1, 2]") << 0;
    }

    void settingsFileInUserFolder()
    {
        QFETCH(QString, storedForUser);
        QFETCH(QString, storedBeside);
        QFETCH(int, exitCode);
        // A portable folder holding the file keeps it, unless the folder takes no new files.
        if (!storedBeside.isNull() && ::geteuid() == 0)
            QSKIP("Permission bits do not stop root from writing");

        const QString bin = QCoreApplication::applicationDirPath();
        const QString program = path("app/vescor-cli");
        QVERIFY(QDir().mkpath(path("app/models")));
        QVERIFY(QFile::copy(cliProgram(), program));
        QVERIFY(QFile::copy(bin + "/libtillo10.so", path("app/libtillo10.so")));
        QVERIFY(QFile::copy(bin + "/models/57.json", path("app/models/57.json")));
        if (!storedBeside.isNull())
            SettingsFile::save(path("app/Vescor.ini"), storedBeside);
        const QString userIni = path("config/Vescor/Vescor.ini");
        if (!storedForUser.isNull())
            SettingsFile::save(userIni, storedForUser);
        QVERIFY(QFile::setPermissions(path("app"), QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());

        smallRegister().install(*m_dir, true);
        const CliRun result = runCli({"identify"}, m_dir->path(), program);
        qputenv("XDG_CONFIG_HOME", configHome);
        QFile::setPermissions(path("app"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(QFile::exists(userIni), !storedForUser.isNull());
    }
};

VESCOR_TEST(CliCommandsTest)

#include "tst_CliCommands.moc"
