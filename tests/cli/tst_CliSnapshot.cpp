#include "support/CliRunner.h"

#include "support/EmulatorImage.h"
#include "support/InternalLetters.h"
#include "support/RegisterCells.h"
#include "support/RegisterFolder.h"
#include "support/ReportHtml.h"
#include "support/RegisterWrite.h"
#include "support/TestMain.h"

#include "device/KKT_Logic.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

// The wiring of vescor-cli snapshot: actions, exit statuses and what goes to
// which stream. What a snapshot holds and restores is the flows' test.
class CliSnapshotTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RegisterFolder> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }

private slots:
    void initTestCase() { KKT_Logic::instance().connect(); }
    void cleanupTestCase() { KKT_Logic::instance().destroy(); }

    // A snapshot of the default register, then three cells in two tables changed.
    void init()
    {
        m_dir = std::make_unique<RegisterFolder>();
        QVERIFY(m_dir->isValid());
        const CliRun saved = runCli({"snapshot", "save", path("kassa.zip"), "--tables", "2,6"}, m_dir->path());
        QCOMPARE(saved.exitCode, 0);
        QCOMPARE(saved.outLines(), QStringList{path("kassa.zip")});
        QVERIFY(saved.err.contains(QStringLiteral("Успешно сохранено 32 ячейки в 2 таблицах")));
        QVERIFY(writeRawCells({{2, 1, 1, QByteArray::fromHex("07")},
                               {6, 1, 1, QByteArray::fromHex("0834")},
                               {6, 2, 1, QByteArray::fromHex("044c")}}));
        QVERIFY(writeBytes(path("junk.zip"), "не архив"));
    }

    void cleanup()
    {
        m_dir.reset();
    }

    void actions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("outLines"); // -1: any number
        QTest::newRow("no action") << QStringList{} << 2 << "" << "Не указано действие" << 0;
        QTest::newRow("unknown action") << QStringList{"copy", "kassa.zip"} << 2 << "" << "Неизвестное действие: copy"
                                        << 0;
        QTest::newRow("no file") << QStringList{"diff"} << 2 << "" << "Не указан файл снимка" << 0;
        QTest::newRow("show") << QStringList{"show", "kassa.zip"} << 0 << "Заводской номер: 0057000001" << "" << 8;
        QTest::newRow("show json") << QStringList{"show", "kassa.zip", "--json"} << 0
                                   << "\"serial_number\":\"0057000001\"" << "" << 1;
        QTest::newRow("show refused") << QStringList{"show", "junk.zip"} << 1 << ""
                                      << "отклонен: это не архив ZIP" << 0;
        QTest::newRow("diff") << QStringList{"diff", "kassa.zip"} << 1 << "\"6\";\"1\";\"1\";\"21.00\";\"20.00\""
                              << "Снимок и ККТ расходятся в 3 ячейках" << 3;
        QTest::newRow("diff json") << QStringList{"diff", "kassa.zip", "--json"} << 1 << "\"different\":true" << ""
                                   << 1;
        QTest::newRow("restore dry run") << QStringList{"restore", "kassa.zip", "--dry-run"} << 0
                                         << "Будет записано 3 ячейки в 2 таблицах" << "" << 4;
        QTest::newRow("restore") << QStringList{"restore", "kassa.zip"} << 0 << "Успешно записано 3 ячейки в 2 таблицах"
                                 << "ККТ до восстановления сохранена в снимке " + QStringLiteral("%1/data/Orvane/Vescor/journal/snapshots/0057000001_") << 1;
        QTest::newRow("restore refused") << QStringList{"restore", "junk.zip"} << 1 << "" << "это не архив ZIP" << 0;
    }

    void actions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, outLines);
        for (QString& argument : arguments) {
            if (argument.endsWith(QLatin1String(".zip")))
                argument = path(argument);
        }
        const CliRun result = runCli(QStringList{"snapshot"} + arguments, m_dir->path());
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.out.contains(out), qPrintable(result.out));
        QVERIFY2(result.err.contains(QString(err).replace(QLatin1String("%1"), m_dir->path())), qPrintable(result.err));
        if (outLines >= 0)
            QCOMPARE(result.outLines().size(), outLines);
        if (arguments.value(0) == QLatin1String("restore") && exitCode == 0 && !arguments.contains("--dry-run"))
            QCOMPARE(runCli({"snapshot", "diff", path("kassa.zip")}, m_dir->path()).exitCode, 0);
    }

    // --tables of a restore: only the chosen tables of the snapshot, the dry
    // run listing what the restore writes; a choice the snapshot cannot meet
    // is refused before anything is written.
    void restoreChosenTables_data()
    {
        QTest::addColumn<QString>("tables");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("leftDifferent"); // cells diff finds afterwards
        QTest::newRow("the tax table") << "6" << 0 << "записано 2 ячейки в 1 таблице" << "" << 1;
        QTest::newRow("both tables") << "6,2" << 0 << "записано 3 ячейки в 2 таблицах" << "" << 0;
        QTest::newRow("all but the commodities") << "others" << 0 << "записано 3 ячейки в 2 таблицах" << "" << 0;
        QTest::newRow("a table the snapshot lacks") << "6,5" << 1 << "" << "В снимке %1/kassa.zip нет таблицы 5" << 3;
        QTest::newRow("a table the model lacks") << "99" << 1 << "" << "В описании модели нет таблицы 99" << 3;
        QTest::newRow("only tables the snapshot lacks") << "commodities" << 1 << ""
                                                        << "нет ни одной из выбранных таблиц (--tables commodities)" << 3;
        QTest::newRow("not a list of tables") << "6;2" << 2 << "" << "Неверный список таблиц: \"6;2\"" << 3;
    }

    void restoreChosenTables()
    {
        QFETCH(QString, tables);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, leftDifferent);
        const QStringList restore = {"snapshot", "restore", path("kassa.zip"), "--tables", tables};
        const CliRun dry = runCli(restore + QStringList{"--dry-run"}, m_dir->path());
        const CliRun done = runCli(restore, m_dir->path());
        err.replace(QLatin1String("%1"), m_dir->path());
        for (const CliRun* run : {&dry, &done}) {
            QCOMPARE(run->exitCode, exitCode);
            QVERIFY2(run->err.contains(err), qPrintable(run->err));
            QVERIFY2(run->out.contains(out), qPrintable(run->out));
        }
        if (exitCode == 0) {
            // The dry run's listing: one line a cell the restore then wrote.
            const int cells = out.section(QLatin1Char(' '), 1, 1).toInt();
            QCOMPARE(dry.outLines().size(), cells + 1);
            QVERIFY(dry.out.contains(QStringLiteral("Будет ") + out));
            QVERIFY(done.out.contains(QStringLiteral("Успешно ") + out));
        }
        const CliRun diff = runCli({"snapshot", "diff", path("kassa.zip")}, m_dir->path());
        QCOMPARE(diff.outLines().size(), leftDifferent);
        QCOMPARE(diff.exitCode, leftDifferent > 0 ? 1 : 0);
    }

    // A read-only cell that differs: the dry run and the restore name it as
    // not written and count only what they write; diff leaves it out, and
    // reports no difference once the rest is restored.
    void readOnlyCellsNamedApart()
    {
        QVERIFY(writeRawCells({{6, 1, 3, QByteArray::fromHex("05")}}));
        const QString note = QStringLiteral("Таблица 6 (Налоговые ставки), ряд 1, поле 3 (Зарезервировано): ");
        const CliRun before = runCli({"snapshot", "diff", path("kassa.zip")}, m_dir->path());
        QCOMPARE(before.exitCode, 1);
        QCOMPARE(before.outLines().size(), 3);
        QCOMPARE(before.err, QStringLiteral("Снимок и ККТ расходятся в 3 ячейках\n"));
        for (const QString& option : {QStringLiteral("--dry-run"), QString()}) {
            QStringList arguments = {"snapshot", "restore", path("kassa.zip")};
            if (!option.isEmpty())
                arguments << option;
            const CliRun run = runCli(arguments, m_dir->path());
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.err.contains(note + QStringLiteral("не записано: только для чтения")), qPrintable(run.err));
            QVERIFY2(run.out.contains(QStringLiteral("записано 3 ячейки в 2 таблицах")), qPrintable(run.out));
            QVERIFY(!run.out.contains(QStringLiteral("\"6\";\"1\";\"3\"")));
        }
        const CliRun after = runCli({"snapshot", "diff", path("kassa.zip")}, m_dir->path());
        QCOMPARE(after.exitCode, 0);
        QCOMPARE(after.outLines(), QStringList());
        QCOMPARE(after.err, QString());
    }

    // Two files compared: the cells in which they differ, as the register's
    // diff lists them, and the exit status a script asks about.
    void diffOfTwoFiles_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("three cells")
            << QStringList{"kassa.zip", "now.zip"} << 1
            << QStringList{"\"2\";\"1\";\"1\";\"1\";\"7\"", "\"6\";\"1\";\"1\";\"20.00\";\"21.00\"",
                           "\"6\";\"2\";\"1\";\"10.00\";\"11.00\""}
            << "Снимки расходятся в 3 ячейках";
        QTest::newRow("the same file twice") << QStringList{"kassa.zip", "kassa.zip"} << 0 << QStringList{} << "";
        QTest::newRow("a table only in one")
            << QStringList{"kassa.zip", "taxes.zip"} << 1
            << QStringList{"\"6\";\"1\";\"1\";\"20.00\";\"21.00\"", "\"6\";\"2\";\"1\";\"10.00\";\"11.00\""}
            << "Не сравнивалась таблица 2 (Режимы работы): есть только в снимке %1/kassa.zip";
        QTest::newRow("json") << QStringList{"kassa.zip", "now.zip", "--json"} << 1
                              << QStringList{"\"different\":true"} << "";
        QTest::newRow("json, the same") << QStringList{"now.zip", "now.zip", "--json"} << 0
                                        << QStringList{"\"different\":false"} << "";
        QTest::newRow("html report") << QStringList{"kassa.zip", "now.zip", "--html", "r.html"} << 1
                                     << QStringList{"\"2\";\"1\";\"1\";\"1\";\"7\"", "\"6\";\"1\";\"1\";\"20.00\";\"21.00\"",
                                                    "\"6\";\"2\";\"1\";\"10.00\";\"11.00\""}
                                     << "";
        QTest::newRow("html of the register diff") << QStringList{"kassa.zip", "--html", "r.html"} << 2 << QStringList{}
                                                   << "--html пишет отчёт о сравнении двух снимков";
        QTest::newRow("second file refused") << QStringList{"kassa.zip", "junk.zip"} << 1 << QStringList{}
                                             << "отклонен: это не архив ZIP";
        QTest::newRow("three files") << QStringList{"kassa.zip", "now.zip", "junk.zip"} << 2 << QStringList{}
                                     << "Нужны один или два файла снимка, указано: 3";
    }

    void diffOfTwoFiles()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QCOMPARE(runCli({"snapshot", "save", path("now.zip"), "--tables", "2,6"}, m_dir->path()).exitCode, 0);
        QCOMPARE(runCli({"snapshot", "save", path("taxes.zip"), "--tables", "6"}, m_dir->path()).exitCode, 0);
        for (QString& argument : arguments) {
            if (argument.endsWith(QLatin1String(".zip")))
                argument = path(argument);
        }
        const CliRun result = runCli(QStringList{"snapshot", "diff"} + arguments, m_dir->path());
        QCOMPARE(result.exitCode, exitCode);
        if (arguments.contains("--json")) {
            QCOMPARE(result.outLines().size(), 1);
            QVERIFY2(result.out.contains(out.first()), qPrintable(result.out));
        } else {
            QCOMPARE(result.outLines(), out);
        }
        QVERIFY2(result.err.contains(QString(err).replace(QLatin1String("%1"), m_dir->path())), qPrintable(result.err));
        if (arguments.contains("--html") && exitCode != 2) {
            const ReportHtml html = ReportHtml::parse(QString::fromUtf8(fileBytes(path("r.html"))));
            QVERIFY2(html.wellFormed, qPrintable(html.error));
            QCOMPARE(html.cellRows.size(), 3);
            QCOMPARE(html.cellRows.at(1).value("field"), QStringLiteral("1. Ставка, %"));
            QCOMPARE(html.cellRows.at(1).value("before"), QStringLiteral("20.00"));
            QCOMPARE(html.cellRows.at(1).value("after"), QStringLiteral("21.00"));
            QCOMPARE(html.only("total-cells"), QStringLiteral("3"));
            QCOMPARE(html.byClass.value("serial"), (QStringList{"0057000001", "0057000001"}));
        }
    }

    // An option that the command or its action does not take is a usage
    // error before any work: no connection to the register, no file written.
    void foreignOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err"); // the start of standard error
        const auto notTaken = [](const char* action, const char* option, const char* takers) {
            return QStringLiteral("Действие %1 не принимает параметр --%2 (его принимают: %3)\n"
                                  "Справка: vescor-cli snapshot --help")
                .arg(QLatin1String(action), QLatin1String(option), QLatin1String(takers));
        };
        QTest::newRow("save --dry-run") << QStringList{"snapshot", "save", "new.zip", "--dry-run"}
                                        << notTaken("save", "dry-run", "restore");
        QTest::newRow("save --other-model") << QStringList{"snapshot", "save", "new.zip", "--other-model"}
                                            << notTaken("save", "other-model", "restore, diff");
        QTest::newRow("save --html") << QStringList{"snapshot", "save", "new.zip", "--html", "r.html"}
                                     << notTaken("save", "html", "diff");
        QTest::newRow("show --tables") << QStringList{"snapshot", "show", "kassa.zip", "--tables", "2"}
                                       << notTaken("show", "tables", "save, restore");
        QTest::newRow("diff --other-register") << QStringList{"snapshot", "diff", "kassa.zip", "--other-register"}
                                               << notTaken("diff", "other-register", "restore");
        QTest::newRow("diff --dry-run") << QStringList{"snapshot", "diff", "kassa.zip", "--dry-run"}
                                        << notTaken("diff", "dry-run", "restore");
        QTest::newRow("diff of two files --tables") << QStringList{"snapshot", "diff", "kassa.zip", "kassa.zip", "--tables", "6"}
                                                    << notTaken("diff", "tables", "save, restore");
        QTest::newRow("restore --html") << QStringList{"snapshot", "restore", "kassa.zip", "--html", "r.html"}
                                        << notTaken("restore", "html", "diff");
        QTest::newRow("unknown action before its options") << QStringList{"snapshot", "copy", "kassa.zip", "--dry-run"}
                                                           << "Неизвестное действие: copy";
        QTest::newRow("export --dry-run") << QStringList{"export", "out", "--dry-run"} << "Неизвестный параметр «dry-run».";
        QTest::newRow("export --other-model") << QStringList{"export", "out", "--other-model"}
                                              << "Неизвестный параметр «other-model».";
        QTest::newRow("import --tables") << QStringList{"import", "t.csv", "--tables", "6"} << "Неизвестный параметр «tables».";
        QTest::newRow("csv diff --dry-run") << QStringList{"diff", "t.csv", "--dry-run"} << "Неизвестный параметр «dry-run».";
        QTest::newRow("revert --tables") << QStringList{"revert", "1", "--tables", "6"} << "Неизвестный параметр «tables».";
        QTest::newRow("identify --json --dry-run") << QStringList{"identify", "--json", "--dry-run"}
                                                   << "Неизвестный параметр «dry-run».";
    }

    void foreignOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        for (QString& argument : arguments) {
            if (argument.endsWith(QLatin1String(".zip")) || argument.endsWith(QLatin1String(".csv"))
                || argument.endsWith(QLatin1String(".html")) || argument == QLatin1String("out"))
                argument = path(argument);
        }
        QVERIFY(writeBytes(path("t.csv"), "Налоговые ставки 1.1\n"));
        const auto everything = [this] {
            QStringList files;
            QDirIterator it(m_dir->path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                files << file + QLatin1Char(' ') + QString::fromLatin1(fileBytes(file).toHex());
            }
            files.sort();
            return files;
        };
        const QStringList before = everything();
        const CliRun result = runCli(arguments, m_dir->path());
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.startsWith(err), qPrintable(result.err));
        QCOMPARE(result.out, QString());
        QCOMPARE(everything(), before);
        // The same as JSON to a caller that asked for it.
        if (arguments.first() == QLatin1String("snapshot") && !arguments.contains("copy")) {
            const CliRun json = runCli(arguments + QStringList{"--json"}, m_dir->path());
            QCOMPARE(json.exitCode, 2);
            QVERIFY2(json.out.contains(QStringLiteral("\"message\":\"") + err.section(QLatin1Char('\n'), 0, 0)), qPrintable(json.out));
            QCOMPARE(everything(), before);
        }
    }

    // A restore killed mid-way (SIGKILL: nothing of the program runs after it)
    // leaves each table wholly as it was or wholly as the snapshot has it, as
    // each table is one commit and the register stores a commit whole. A slow
    // line gives the kill its moment; a second restore then completes the job.
    void killedRestore_data()
    {
        QTest::addColumn<int>("writes"); // cells written, as the register's trace shows, before the kill
        QTest::newRow("in the first table") << 1;
        QTest::newRow("in the second table") << 2;
    }

    void killedRestore()
    {
        QFETCH(int, writes);
        const QString image = path("register-image.json");
        const RegisterCells before = registerCells(image);
        EmulatorImage slow = EmulatorImage::fromFile(image);
        slow.json()["link"]["latencyMs"] = 150;
        slow.install(*m_dir, true);

        QProcess restore;
        restore.setWorkingDirectory(m_dir->path());
        restore.start(cliProgram(), {"snapshot", "restore", path("kassa.zip")});
        QVERIFY(restore.waitForStarted());
        const auto writesTraced = [this] {
            const QStringList lines = EmulatorImage::traceLines(*m_dir);
            return int(std::count_if(lines.cbegin(), lines.cend(),
                                     [](const QString& line) { return line.startsWith(QLatin1String("write ")); }));
        };
        while (restore.state() == QProcess::Running && writesTraced() < writes)
            QTest::qWait(5);
        QVERIFY2(restore.state() == QProcess::Running, "the restore ended before it was killed");
        restore.kill();
        QVERIFY(restore.waitForFinished(-1));
        QCOMPARE(restore.exitStatus(), QProcess::CrashExit);
        const RegisterCells killed = registerCells(image);

        EmulatorImage fast = EmulatorImage::fromFile(image);
        fast.json()["link"]["latencyMs"] = 0;
        fast.install(*m_dir);
        const CliRun again = runCli({"snapshot", "restore", path("kassa.zip")}, m_dir->path());
        QCOMPARE(again.exitCode, 0);
        const RegisterCells after = registerCells(image);
        QCOMPARE(differences(before, after), (QList<CellKey>{{2, 1, 1}, {6, 1, 1}, {6, 2, 1}}));
        for (const unsigned table : {2u, 6u}) {
            const auto ofTable = [table](const RegisterCells& cells) {
                RegisterCells part;
                for (const auto& cell : cells) {
                    if (std::get<0>(cell.first) == table)
                        part.insert(cell);
                }
                return part;
            };
            QVERIFY2(ofTable(killed) == ofTable(before) || ofTable(killed) == ofTable(after),
                     qPrintable(QStringLiteral("table %1 was left half restored").arg(table)));
        }
        // The kill came before the restore's end.
        QVERIFY(killed != after);
    }
};

VESCOR_TEST(CliSnapshotTest)

// Texts of the receipt header ending in each letter of the register's own
// set, six at a time (one per line): imported, read back by diff, exported,
// saved in a snapshot and restored over other texts, every time whole. "А"
// is the set's byte 0x00, which stands before the field's blank fill.
class CliLastLetterTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RegisterFolder> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    CliRun cli(const QStringList& arguments) const { return runCli(arguments, m_dir->path()); }

private slots:
    void initTestCase() { KKT_Logic::instance().connect(); }
    void cleanupTestCase() { KKT_Logic::instance().destroy(); }

    void init()
    {
        m_dir = std::make_unique<RegisterFolder>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_dir.reset();
    }

    void roundTrips_data()
    {
        QTest::addColumn<QStringList>("letters");
        const QStringList letters = internalLetters(KKT_Logic::internalCodec());
        QVERIFY(letters.size() > 100);
        for (int first = 0; first < letters.size(); first += 6) {
            const QStringList six = letters.mid(first, 6);
            QTest::newRow(qPrintable(six.join(QString()))) << six;
        }
    }

    void roundTrips()
    {
        QFETCH(QStringList, letters);
        // The lines as the file holds them, quotes doubled.
        const QStringList lines{"ООО \"\"ВЕСКОР-ТОРГ\"\"", "г. Москва, ул. Лесная, д. 5", "ИНН 7701234567",
                                "Тел. +7 (495) 123-45-67", "СПАСИБО ЗА ПОКУПКУ!", "Режим работы: 8:00—22:00"};
        QVERIFY(QDir(m_dir->path()).mkpath("first") && QDir(m_dir->path()).mkpath("again"));
        const QString file = cliExport(path("first"), 4, m_dir->path());
        QVERIFY(!file.isEmpty());
        for (int i = 0; i < letters.size(); ++i)
            QVERIFY(replaceInTableFile(file, lines[i], QStringLiteral("ЖДЁМ ВАС СНОВ") + letters[i]));

        const CliRun imported = cli({"import", file});
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        const CliRun read = cli({"diff", file});
        QVERIFY2(read.exitCode == 0, qPrintable(read.out));
        QCOMPARE(fileBytes(cliExport(path("again"), 4, m_dir->path())), fileBytes(file));

        QCOMPARE(cli({"snapshot", "save", path("kassa.zip"), "--tables", "4"}).exitCode, 0);
        QList<RawCell> others;
        for (int row = 1; row <= letters.size(); ++row)
            others << RawCell{4, row, 1, QByteArray("AB")};
        QVERIFY(writeRawCells(others));
        QCOMPARE(cli({"diff", file}).exitCode, 1);
        const CliRun restored = cli({"snapshot", "restore", path("kassa.zip")});
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
        const CliRun after = cli({"diff", file});
        QVERIFY2(after.exitCode == 0, qPrintable(after.out));
        QCOMPARE(cli({"snapshot", "diff", path("kassa.zip")}).exitCode, 0);
    }
};

VESCOR_TEST(CliLastLetterTest)

#include "tst_CliSnapshot.moc"
