#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include "app/MainWindow.h"
#include "common/RussianPlural.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <memory>

namespace {

const QString Serial = QStringLiteral("0057000001");

// One edit of an exported file and how the commands see it.
struct Edit
{
    int table;
    QString from;       // first occurrence replaced
    QString to;
    QString difference; // the diff line
    QString write;      // the start of the one traced write that carries it
};

} // namespace

Q_DECLARE_METATYPE(Edit)

// Export, import and diff against the emulated register, and against the window.
class CliExchangeTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_image;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    CliRun run(const QStringList& arguments) const { return runCli(arguments, m_dir->path()); }
    QStringList trace() const { return EmulatorImage::traceLines(*m_dir); }
    QStringList writes() const { return trace().filter(QRegExp(QStringLiteral("^write"))); }
    void clearTrace() const { QVERIFY(writeBytes(EmulatorImage::tracePath(*m_dir), QByteArray())); }

    static constexpr unsigned TwoTablesOfOneNumber = 5731;
    static QString modelPath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/models/%1.json").arg(TwoTablesOfOneNumber);
    }

    // A model whose description has a second table of number `twice`, after
    // the others: a copy of the first with only its first field.
    static void useModelWithTwoTablesOfOneNumber(int twice, const QString& imagePath)
    {
        const QString models = QCoreApplication::applicationDirPath() + QStringLiteral("/models/");
        QJsonObject root = QJsonDocument::fromJson(fileBytes(models + QStringLiteral("57.json"))).object();
        QJsonArray tables = root.value(QStringLiteral("tables")).toArray();
        for (const QJsonValue& table : qAsConst(tables)) {
            if (table.toObject().value(QStringLiteral("id")).toInt() != twice)
                continue;
            QJsonObject copy = table.toObject();
            copy.insert(QStringLiteral("name"), QStringLiteral("Копия"));
            copy.insert(QStringLiteral("fields"), QJsonArray{copy.value(QStringLiteral("fields")).toArray().first()});
            tables.append(copy);
            break;
        }
        root.insert(QStringLiteral("tables"), tables);
        QVERIFY(writeBytes(modelPath(), QJsonDocument(root).toJson()));
        EmulatorImage image = EmulatorImage::fromFile(imagePath);
        image.setIdentity(TwoTablesOfOneNumber, QStringLiteral("Вескор-Эмулятор 57"), Serial, QStringLiteral("3.0.25"));
        QVERIFY(image.save(imagePath));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 5);
        m_image = image.install(*m_dir, true);
    }

    void cleanup()
    {
        FileDialog::setHandler(nullptr);
        MessageBox::setHandler(nullptr);
        EmulatorImage::uninstall();
        QFile::remove(modelPath());
        m_dir.reset();
    }

    // The export gives byte for byte the files of the window's read and
    // export of all tables.
    void exportMatchesWindow_data()
    {
        QTest::addColumn<QString>("tables");
        QTest::addColumn<QString>("readAction");
        QTest::addColumn<QStringList>("numbers"); // of the files
        QTest::addColumn<int>("twice");           // a table number that two tables carry
        QTest::newRow("all") << "all" << "actionReadAll" << QStringList{"1", "2", "6", "5", "4", "16", "15", "7"} << 0;
        QTest::newRow("commodities") << "commodities" << "actionReadCommodities" << QStringList{"1"} << 0;
        QTest::newRow("others") << "others" << "actionReadAllExceptCommodities"
                                << QStringList{"2", "6", "5", "4", "16", "15", "7"} << 0;
        // The second table of a number gets a file of its own; a choice by number takes the first.
        QTest::newRow("all, two tables 4") << "all" << "actionReadAll"
                                           << QStringList{"1", "2", "6", "5", "4", "16", "15", "7", "4_2"} << 4;
        QTest::newRow("commodities, two tables 1") << "commodities" << "actionReadCommodities" << QStringList{"1"} << 1;
        QTest::newRow("number 1, two tables 1") << "1" << "actionReadCommodities" << QStringList{"1"} << 1;
    }

    void exportMatchesWindow()
    {
        QFETCH(QString, tables);
        QFETCH(QString, readAction);
        QFETCH(QStringList, numbers);
        QFETCH(int, twice);
        if (twice != 0)
            useModelWithTwoTablesOfOneNumber(twice, m_image);

        QStringList boxes;
        MessageBox::setHandler([&boxes](const MessageBox::Request& request) {
            boxes << request.text;
            return QMessageBox::Ok;
        });
        const QString windowDir = path("window");
        QVERIFY(QDir().mkpath(windowDir));
        FileDialog::setHandler([windowDir](const FileDialog::Request&) { return windowDir; });
        {
            MainWindow window(nullptr, path("Vescor.ini"));
            window.findChild<QAction*>(readAction)->trigger();
            QVERIFY2(window.statusText().startsWith(QStringLiteral("Успешно прочитано")), qPrintable(window.statusText()));
            window.findChild<QAction*>(QStringLiteral("actionExportAll"))->trigger();
            QCOMPARE(window.statusText(), QStringLiteral("Операция успешно завершена"));
        }
        QCOMPARE(boxes, QStringList());

        clearTrace();
        const CliRun result = run({"export", path("cli"), "--tables", tables});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);

        QStringList expected;
        for (const QString& number : numbers)
            expected << path("cli") + QStringLiteral("/%1_%2.csv").arg(Serial, number);
        QCOMPARE(result.outLines(), expected);
        QCOMPARE(QDir(path("cli")).entryList(QDir::Files, QDir::Name), QDir(windowDir).entryList(QDir::Files, QDir::Name));
        for (const QString& number : numbers) {
            const QString name = QStringLiteral("/%1_%2.csv").arg(Serial, number);
            const QByteArray windowFile = fileBytes(windowDir + name);
            QVERIFY(!windowFile.isEmpty());
            QCOMPARE(fileBytes(path("cli") + name), windowFile);
            // Only the copy has a single column.
            const QByteArray columns = windowFile.split('\n').value(1);
            QCOMPARE(columns.contains(';'), !number.contains(QLatin1Char('_')));
        }

        // Progress while reading, one line per table, then the window's summary.
        const QStringList progress = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(progress.size(), numbers.size() + 1);
        QVERIFY2(progress.first().startsWith(QStringLiteral("Прочитано таблиц: 1 из %1, ячеек: ").arg(numbers.size())),
                 qPrintable(progress.first()));
        QVERIFY(progress.last().startsWith(QStringLiteral("Успешно прочитано ")));
        QVERIFY2(progress.last().endsWith(numbers.size() == 1 ? QStringLiteral(" в 1 таблице")
                                                               : QStringLiteral(" в %1 таблицах").arg(numbers.size())),
                 qPrintable(progress.last()));
        // Reading only: one connection, nothing written.
        QCOMPARE(trace().filter(QRegExp("^open ")).size(), 1);
        QCOMPARE(writes(), QStringList());
    }

    void edits_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::newRow("money in a table of rows")
            << Edit{6, "\"1\";\"20.00\"", "\"1\";\"22.00\"", "\"6\";\"1\";\"1\";\"20.00\";\"22.00\"", "write 6 1 1 "};
        QTest::newRow("text in the commodity base")
            << Edit{1, "Молоко", "Кефир", "\"1\";\"1\";\"2\";\"Молоко\";\"Кефир\"", "write 1 1 2 "};
        QTest::newRow("text in a table of rows")
            << Edit{7, "Бакалея", "Бакалея и чай", "\"7\";\"1\";\"1\";\"Бакалея\";\"Бакалея и чай\"", "write 7 1 1 "};
        QTest::newRow("number in a one-record table")
            << Edit{2, "\"3000\"", "\"2500\"", "\"2\";\"1\";\"6\";\"3000\";\"2500\"", "write 2 1 6 "};
        QTest::newRow("address in a one-record table")
            << Edit{16, "\"192.168.1.1\";", "\"192.168.1.254\";", "\"16\";\"1\";\"3\";\"192.168.1.1\";\"192.168.1.254\"",
                    "write 16 1 3 "};
        QTest::newRow("line of a transposed table")
            << Edit{4, "СПАСИБО ЗА ПОКУПКУ!", "ЖДЁМ ВАС СНОВА!",
                    "\"4\";\"5\";\"1\";\"СПАСИБО ЗА ПОКУПКУ!\";\"ЖДЁМ ВАС СНОВА!\"", "write 4 5 1 "};
    }

    // diff names the edited cell, import writes it, and then diff finds
    // nothing and the register exports exactly the file.
    void importThenDiff_data() { edits_data(); }
    void importThenDiff()
    {
        QFETCH(Edit, edit);
        const QString file = cliExport(path("before"), edit.table, m_dir->path());
        QVERIFY(replaceInTableFile(file, edit.from, edit.to));

        // Drift: listed, summed up on standard error, and exit status 1.
        CliRun result = run({"diff", file});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.outLines(), QStringList{edit.difference});
        QCOMPARE(result.err, QStringLiteral("Файл и ККТ расходятся в 1 ячейке\n"));

        result = run({"import", file});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.outLines().value(0).startsWith(QStringLiteral("Успешно записан")), qPrintable(result.out));
        QVERIFY(result.outLines().value(0).endsWith(QStringLiteral(" в 1 таблице")));
        QCOMPARE(trace().filter(QRegExp("^commit ")).size(), 1);

        result = run({"diff", file});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QString());
        QCOMPARE(fileBytes(cliExport(path("after"), edit.table, m_dir->path())), fileBytes(file));
    }

    // --only-different sends the edited cell alone, and so does an import
    // without it, which reads the cells it writes.
    void onlyDifferent_data() { edits_data(); }
    void onlyDifferent()
    {
        QFETCH(Edit, edit);
        const QString file = cliExport(path("before"), edit.table, m_dir->path());
        QVERIFY(replaceInTableFile(file, edit.from, edit.to));

        clearTrace();
        CliRun result = run({"import", "--only-different", file});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.outLines(), QStringList{QStringLiteral("Успешно записана 1 ячейка в 1 таблице")});
        const QStringList sent = writes();
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent.first().startsWith(edit.write), qPrintable(sent.first()));
        QVERIFY(sent.first().endsWith(QStringLiteral(" -> 0")));

        // Now the register holds the file: nothing differs, nothing is sent.
        clearTrace();
        result = run({"import", "--only-different", file});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.outLines(), QStringList{QStringLiteral("Успешно записано 0 ячеек в 0 таблицах")});
        QCOMPARE(writes(), QStringList());

        // Without it too a cell the register already holds costs no request;
        // the cells the file marks are reported written all the same.
        const QStringList planned = run({"import", "--dry-run", file}).outLines();
        QVERIFY(planned.size() > 2);
        clearTrace();
        result = run({"import", file});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(writes(), QStringList());
        QCOMPARE(result.outLines(), QStringList{QString(planned.last()).replace(QStringLiteral("Будет"), QStringLiteral("Успешно"))});
    }

    // The dry run lists a value as the file gives it, and a character that a
    // terminal would take for a control (the register keeps DEL) escaped,
    // whatever the file's line ends and encoding.
    void dryRunListsValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line"); // of the name, the second cell listed
        const QString head = QStringLiteral("\"Налоговые ставки 1.1\"\n\"Ставка, %\";\"Наименование налога\";\"Зарезервировано\"\n");
        const auto file = [&](const QString& name) { return head + "\"1\";\"22.00\";\"" + name + "\";\"0\"\n"; };
        const auto listed = [](const QString& name) { return "\"6\";\"1\";\"2\";\"" + name + "\""; };
        const QString longName = QStringLiteral("Налог на добавленную стоимость");
        QTest::newRow("plain") << file(longName).toUtf8() << listed(longName);
        QTest::newRow("delete") << file("Налог\x7f").toUtf8() << listed("Налог\\x7f");
        QTest::newRow("delete after a long run of letters")
            << file(longName.left(20) + "\x7f").toUtf8() << listed(longName.left(20) + "\\x7f");
        QTest::newRow("doubled quotes") << file("Налог \"\"НДС\"\"").toUtf8() << listed("Налог \"\"НДС\"\"");
        QTest::newRow("CR LF") << file(longName).replace("\n", "\r\n").toUtf8() << listed(longName);
        QTest::newRow("CR LF, delete") << file("Налог\x7f").replace("\n", "\r\n").toUtf8() << listed("Налог\\x7f");
        QTest::newRow("byte order mark") << "\xef\xbb\xbf" + file(longName).toUtf8() << listed(longName);
        QTest::newRow("byte order mark, delete") << "\xef\xbb\xbf" + file("Налог\x7f").toUtf8() << listed("Налог\\x7f");
        QTextCodec* cp1251 = QTextCodec::codecForName("windows-1251");
        QTest::newRow("Windows-1251") << cp1251->fromUnicode(file(longName)) << listed(longName);
        QTest::newRow("Windows-1251, delete") << cp1251->fromUnicode(file("Налог\x7f")) << listed("Налог\\x7f");
    }

    void dryRunListsValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        QVERIFY(writeBytes(path("values.csv"), bytes));
        const CliRun result = run({"import", "--dry-run", path("values.csv")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.outLines().value(1), line);
        QVERIFY(!result.out.contains(QChar(0x7f)));
    }

    // --dry-run leaves the image file as it was and lists what would be sent.
    void dryRun_data()
    {
        QTest::addColumn<bool>("onlyDifferent");
        QTest::newRow("every marked cell") << false;
        QTest::newRow("only different cells") << true;
    }

    void dryRun()
    {
        QFETCH(bool, onlyDifferent);
        const QString file = cliExport(path("before"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(file, "\"1\";\"20.00\"", "\"1\";\"22.00\""));
        const QByteArray image = fileBytes(m_image);
        const QDateTime modified = QFileInfo(m_image).lastModified();

        clearTrace();
        QStringList arguments{"import", "--dry-run", file};
        if (onlyDifferent)
            arguments << "--only-different";
        const CliRun result = run(arguments);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(fileBytes(m_image), image);
        QCOMPARE(QFileInfo(m_image).lastModified(), modified);
        QCOMPARE(trace().filter(QRegExp("^(write|commit)")), QStringList());

        QStringList expected;
        if (onlyDifferent) {
            expected << "\"6\";\"1\";\"1\";\"22.00\"";
        } else {
            // Rows 3 and 4 and the reserved third field are read-only.
            expected << "\"6\";\"1\";\"1\";\"22.00\"" << "\"6\";\"1\";\"2\";\"НДС 20%\""
                     << "\"6\";\"2\";\"1\";\"10.00\"" << "\"6\";\"2\";\"2\";\"НДС 10%\""
                     << "\"6\";\"5\";\"1\";\"20.00\"" << "\"6\";\"5\";\"2\";\"НДС 20/120\""
                     << "\"6\";\"6\";\"1\";\"10.00\"" << "\"6\";\"6\";\"2\";\"НДС 10/110\"";
        }
        expected << (onlyDifferent ? QStringLiteral("Будет записана 1 ячейка в 1 таблице")
                                   : QStringLiteral("Будет записано 8 ячеек в 1 таблице"));
        QCOMPARE(result.outLines(), expected);
    }

    // The dry run lists each cell the file writes as the file shows it, and
    // counts the read-only ones, the same whether it reads the register's
    // values for the report (--json, the listing then on standard error) or not.
    void dryRunListsCells_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("from"); // first occurrence in the exported file
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("line"); // of the edited cell
        QTest::newRow("money without kopecks") << 6 << "\"1\";\"20.00\"" << "\"1\";\"7\"" << "\"6\";\"1\";\"1\";\"7.00\"";
        QTest::newRow("money below a rouble") << 6 << "\"1\";\"20.00\"" << "\"1\";\",05\"" << "\"6\";\"1\";\"1\";\"0.05\"";
        QTest::newRow("money in the commodity base") << 1 << "\"79.90\"" << "\"81.5\"" << "\"1\";\"1\";\"3\";\"81.50\"";
        QTest::newRow("empty name") << 1 << "\"Молоко\"" << "\"\"" << "\"1\";\"1\";\"2\";\"\"";
        QTest::newRow("quotes in a long name") << 1 << "\"Молоко\"" << "\"Молоко \"\"Домик в деревне\"\"\""
                                               << "\"1\";\"1\";\"2\";\"Молоко \"\"Домик в деревне\"\"\"";
        QTest::newRow("quote alone") << 7 << "\"Бакалея\"" << "\"\"\"\"" << "\"7\";\"1\";\"1\";\"\"\"\"";
        QTest::newRow("delete in a name") << 1 << "\"Молоко\"" << "\"Мо\x7fлоко\"" << "\"1\";\"1\";\"2\";\"Мо\\x7fлоко\"";
        QTest::newRow("line of a transposed table") << 4 << "СПАСИБО ЗА ПОКУПКУ!" << "ЖДЁМ ВАС СНОВА!"
                                                    << "\"4\";\"5\";\"1\";\"ЖДЁМ ВАС СНОВА!\"";
    }

    void dryRunListsCells()
    {
        QFETCH(int, table);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, line);
        const QString file = cliExport(path("before"), table, m_dir->path());
        QVERIFY(replaceInTableFile(file, from, to));

        const CliRun plain = run({"import", "--dry-run", file});
        QCOMPARE(plain.exitCode, 0);
        QStringList listed = plain.outLines();
        QVERIFY(listed.size() > 1);
        QVERIFY2(listed.takeLast().startsWith(QStringLiteral("Будет записан")), qPrintable(plain.out));
        QVERIFY2(listed.contains(line), qPrintable(plain.out));

        const CliRun json = run({"import", "--dry-run", "--json", file});
        QCOMPARE(json.exitCode, 0);
        const QStringList errLines = json.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(errLines.filter(QRegExp(QStringLiteral("^\""))), listed);
        QCOMPARE(errLines.filter(QStringLiteral("только для чтения")), plain.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts));
    }

    // Several files: each file's lines and then what standard error says of
    // it, in the order written, as each file alone gives them, and the sum
    // at the end; with the register's values read or not.
    void dryRunOfSeveralFiles_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("file values alone") << QStringList{"--dry-run"};
        QTest::newRow("only different cells") << QStringList{"--dry-run", "--only-different"};
    }

    void dryRunOfSeveralFiles()
    {
        QFETCH(QStringList, options);
        // Tables 6 and 7 share their row numbers: the second's lines name their own table.
        const QString taxes = cliExport(path("before"), 6, m_dir->path());
        const QString departments = cliExport(path("before"), 7, m_dir->path());
        QVERIFY(replaceInTableFile(taxes, "\"1\";\"20.00\"", "\"1\";\"22.00\""));
        QVERIFY(replaceInTableFile(departments, "Бакалея", "Бакалея и чай"));
        const auto merged = [&](const QStringList& files) {
            return runCli(QStringList{"import"} + options + files, m_dir->path(), cliProgram(), QProcess::MergedChannels);
        };
        QStringList expected;
        int cells = 0;
        for (const QString& file : {taxes, departments}) {
            QStringList alone = merged({file}).outLines();
            QVERIFY(!alone.isEmpty());
            alone.removeLast();
            cells += alone.filter(QRegExp(QStringLiteral("^\""))).size();
            expected << alone;
        }
        QVERIFY(cells >= 2);
        const CliRun both = merged({taxes, departments});
        QCOMPARE(both.exitCode, 0);
        QStringList lines = both.outLines();
        QVERIFY(!lines.isEmpty());
        const QString sum = lines.takeLast();
        QCOMPARE(lines, expected);
        QVERIFY2(sum.startsWith(QStringLiteral("Будет записан")) && sum.contains(QStringLiteral(" %1 ").arg(cells))
                     && sum.endsWith(QStringLiteral(" в 2 таблицах")),
                 qPrintable(sum));
    }

    // Read-only cells of a file that differ from the register: the dry run
    // and the import leave them alike and name them as not written (counted,
    // or with --only-different, which compares them, one by one), the count
    // of written cells without them; diff does not compare them.
    void readOnlyCellsOfFile_data()
    {
        QTest::addColumn<bool>("onlyDifferent");
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QString>("count");
        const QString cell = QStringLiteral("Таблица 6 (Налоговые ставки), ряд %1, поле %2 (%3): не записано: только для чтения");
        // Rows 3 and 4 and the reserved third field of the other rows.
        QTest::newRow("every marked cell") << false << QStringList{"%1: не записано: только для чтения, ячеек: 10"}
                                           << "записано 8 ячеек в 1 таблице";
        QTest::newRow("only different cells")
            << true << QStringList{cell.arg(1).arg(3).arg("Зарезервировано"), cell.arg(3).arg(1).arg("Ставка, %")}
            << "записана 1 ячейка в 1 таблице";
    }

    void readOnlyCellsOfFile()
    {
        QFETCH(bool, onlyDifferent);
        QFETCH(QStringList, notes);
        QFETCH(QString, count);
        const QString file = cliExport(path("before"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(file, "\"1\";\"20.00\";\"НДС 20%\";\"0\"", "\"1\";\"22.00\";\"НДС 20%\";\"5\""));
        QVERIFY(replaceInTableFile(file, "\"3\";\"0.00\"", "\"3\";\"7.00\""));
        QStringList arguments{"import", file};
        if (onlyDifferent)
            arguments << "--only-different";
        const CliRun dry = run(arguments + QStringList{"--dry-run"});
        const CliRun done = run(arguments);
        for (const CliRun* result : {&dry, &done}) {
            QCOMPARE(result->exitCode, 0);
            for (const QString& note : qAsConst(notes))
                QVERIFY2(result->err.contains(QString(note).replace(QLatin1String("%1"), file)), qPrintable(result->err));
            QVERIFY2(!result->err.contains(QStringLiteral("Успешно")), qPrintable(result->err));
        }
        QVERIFY2(dry.out.endsWith(QStringLiteral("Будет ") + count + QLatin1Char('\n')), qPrintable(dry.out));
        QVERIFY2(done.out.endsWith(QStringLiteral("Успешно ") + count + QLatin1Char('\n')), qPrintable(done.out));
        const QString listed = QStringLiteral("\"6\";\"1\";\"3\"");
        QVERIFY(!dry.out.contains(listed));

        const CliRun diff = run({"diff", file});
        QCOMPARE(diff.exitCode, 0);
        QCOMPARE(diff.out, QString());
        QCOMPARE(diff.err, QString());
        const QByteArray after = fileBytes(cliExport(path("after"), 6, m_dir->path()));
        QVERIFY(after.contains("\"1\";\"22.00\";\"НДС 20%\";\"0\""));
        QVERIFY(after.contains("\"3\";\"0.00\""));
    }

    // A listed value is quoted as the program's files quote it, and a diff
    // lists both values so: a quote inside is doubled, a separator kept.
    void listedValuesAreQuoted_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        const QString name = QStringLiteral("\"НДС \"\"20\"\"; %\"");
        QTest::newRow("import --dry-run") << QStringList{"import", "--dry-run", "--only-different"}
                                          << QStringLiteral("\"6\";\"1\";\"2\";") + name;
        QTest::newRow("diff") << QStringList{"diff"} << QStringLiteral("\"6\";\"1\";\"2\";\"НДС 20%\";") + name;
    }

    void listedValuesAreQuoted()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        const QString file = cliExport(path("before"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(file, QStringLiteral("\"НДС 20%\""), QStringLiteral("\"НДС \"\"20\"\"; %\"")));
        const CliRun result = run(arguments << file);
        QCOMPARE(result.outLines().value(0), line);
    }

    // Standard output is written in pieces: every line of a listing, short or
    // longer than a piece, comes out whole and before the message that ends it.
    void listingBeforeTheMessage_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("a few lines") << 5;
        QTest::newRow("more than 64 KiB") << 3000;
    }

    void listingBeforeTheMessage()
    {
        QFETCH(int, rows);
        EmulatorImage image = EmulatorImage::fromFile(m_image);
        image.setRowCount(1, rows);
        for (Json::Value& table : image.json()["tables"]) {
            for (int r = 0; table["id"].asInt() == 1 && r < rows; ++r) {
                Json::Value code(Json::objectValue);
                code["bcd"] = r + 1;
                table["rows"][r][0] = code;
            }
        }
        QVERIFY(image.save(m_image));
        const QString file = cliExport(path("before"), 1, m_dir->path());
        QByteArray bytes = fileBytes(file);
        QList<QByteArray> lines = bytes.split('\n');
        QStringList expected;
        for (int i = 2; i < lines.size(); ++i) {
            QList<QByteArray> values = lines.at(i).split(';');
            if (values.size() < 3)
                continue;
            const QByteArray name = "\"Товар " + QByteArray::number(i - 1) + " «тест»\"";
            expected << QStringLiteral("\"1\";%1;\"2\";%2;%3")
                            .arg(QString::fromUtf8(values.at(0)), QString::fromUtf8(values.at(2)),
                                 QString::fromUtf8(name));
            values[2] = name;
            lines[i] = values.join(';');
        }
        QCOMPARE(expected.size(), rows);
        QVERIFY(writeBytes(file, lines.join('\n')));

        const CliRun result = runCli({"diff", file}, m_dir->path(), cliProgram(), QProcess::MergedChannels);
        QVERIFY2(result.exitCode == 1 && result.out.size() > 200, qPrintable(result.out.left(500)));
        expected << QStringLiteral("Файл и ККТ расходятся в %1")
                        .arg(RussianPlural::count(qulonglong(rows), QStringLiteral("ячейке"), QStringLiteral("ячейках"),
                                                  QStringLiteral("ячейках")));
        QCOMPARE(result.outLines(), expected);
    }

    // A file of a table of one record is read by its first data line; the
    // lines after it are left, and standard error says how many.
    void oneRecordFileLeavesLaterLines_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("laterLines");
        QTest::newRow("list, as exported") << 2 << 0;
        QTest::newRow("list, one line more") << 2 << 1;
        QTest::newRow("transposed list, three lines more") << 4 << 3;
    }

    void oneRecordFileLeavesLaterLines()
    {
        QFETCH(int, table);
        QFETCH(int, laterLines);
        const QString file = cliExport(path("before"), table, m_dir->path());
        QByteArray bytes = fileBytes(file);
        for (int i = 0; i < laterLines; ++i)
            bytes += "\"x\";\"y\"\n";
        QVERIFY(writeBytes(file, bytes));

        const CliRun result = run({"import", "--dry-run", "--only-different", file});
        QCOMPARE(result.exitCode, 0);
        const QString note = file + QStringLiteral(": взята первая строка данных, пропущено строк: %1").arg(laterLines);
        QCOMPARE(result.err.split(QLatin1Char('\n')).contains(note), laterLines > 0);
        QCOMPARE(result.err.contains(QStringLiteral("пропущено")), laterLines > 0);
        QCOMPARE(result.outLines(), QStringList{QStringLiteral("Будет записано 0 ячеек в 0 таблицах")});
    }

    // All files are checked before the first write: one bad file keeps the
    // others from being written. Good files are committed one table at a time.
    void importOfSeveralFiles_data()
    {
        QTest::addColumn<bool>("withBadFile");
        QTest::newRow("all good") << false;
        QTest::newRow("last file bad") << true;
    }

    void importOfSeveralFiles()
    {
        QFETCH(bool, withBadFile);
        QStringList files;
        for (int table : {6, 4, 2})
            files << cliExport(path("a"), table, m_dir->path());
        QVERIFY(replaceInTableFile(files.at(0), "НДС 10%", "НДС 12%"));
        QVERIFY(replaceInTableFile(files.at(1), "СПАСИБО ЗА ПОКУПКУ!", "До встречи"));
        QVERIFY(replaceInTableFile(files.at(2), "\"3000\"", withBadFile ? "\"x\"" : "\"2000\""));
        const QByteArray image = fileBytes(m_image);

        clearTrace();
        const CliRun result = run(QStringList{"import", "--only-different"} + files);
        if (withBadFile) {
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.startsWith(files.at(2) + QStringLiteral(": Ошибка: таблица содержит некорректные данные")),
                     qPrintable(result.err));
            QCOMPARE(result.out, QString());
            QCOMPARE(writes(), QStringList());
            QCOMPARE(fileBytes(m_image), image);
            return;
        }
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.outLines(), QStringList{QStringLiteral("Успешно записано 3 ячейки в 3 таблицах")});
        QCOMPARE(trace().filter(QRegExp("^commit ")).size(), 3);
        QCOMPARE(trace().filter(QRegExp("^open ")).size(), 1);
        for (const QString& file : files)
            QCOMPARE(run({"diff", file}).out, QString());
    }

    // A value that the register cannot hold in the second file: nothing at
    // all is written, not even the good first file, and the refusal names
    // every bad value with its file, row, field and reason, with --dry-run too.
    void badValueInSecondFile_data()
    {
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<int>("table");
        QTest::addColumn<QStringList>("edits"); // from, to, from, to...
        QTest::addColumn<QStringList>("refusals");
        const QString tooLong(61, QChar(0x0416));
        const QString shown = QString(tooLong).left(61);
        const QString cliche = QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"0\", поле \"Строка клише %1\": "
                                              "значение \"%2\" - текст длиннее 48 символов");
        const QString rate = QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\", поле \"Ставка, %\": "
                                            "значение \"%2\" - нужна сумма от 0.00 до 100.00");
        for (const bool dryRun : {false, true}) {
            const QString mode = dryRun ? QStringLiteral(", dry run") : QString();
            QTest::newRow(qPrintable("header line of 61 characters" + mode))
                << dryRun << 4 << QStringList{"СПАСИБО ЗА ПОКУПКУ!", tooLong} << QStringList{cliche.arg(5).arg(shown)};
            QTest::newRow(qPrintable("two header lines too long" + mode))
                << dryRun << 4 << QStringList{"ИНН 7701234567", tooLong, "СПАСИБО ЗА ПОКУПКУ!", tooLong}
                << QStringList{cliche.arg(3).arg(shown), cliche.arg(5).arg(shown)};
            QTest::newRow(qPrintable("tax rate of 200 %" + mode))
                << dryRun << 6 << QStringList{"\"1\";\"20.00\"", "\"1\";\"200.00\""} << QStringList{rate.arg(1).arg("200.00")};
            // The register would keep a blank for a letter its own character set lacks.
            QTest::newRow(qPrintable("header letter the register cannot keep" + mode))
                << dryRun << 4 << QStringList{"СПАСИБО ЗА ПОКУПКУ!", "Әлем"}
                << QStringList{QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"0\", поле "
                                              "\"Строка клише 5\": значение \"Әлем\" - символ \"Ә\" не может быть "
                                              "сохранён в ККТ: его нет во внутренней кодировке ККТ")};
            // The register's base has five goods: the file's sixth is refused before the first file is written.
            QTest::newRow(qPrintable("goods row the register lacks" + mode))
                << dryRun << 1 << QStringList{"\n\"5\";", "\n\"6\";"}
                << QStringList{QStringLiteral("в ККТ нет ряда 6 таблицы 1 (База товаров)")};
        }
    }

    void badValueInSecondFile()
    {
        QFETCH(bool, dryRun);
        QFETCH(int, table);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, refusals);
        const QString good = cliExport(path("a"), 2, m_dir->path());
        QVERIFY(replaceInTableFile(good, "\"3000\"", "\"2000\""));
        const QString bad = cliExport(path("b"), table, m_dir->path());
        for (int i = 0; i + 1 < edits.size(); i += 2)
            QVERIFY(replaceInTableFile(bad, edits.at(i), edits.at(i + 1)));
        const QByteArray image = fileBytes(m_image);

        clearTrace();
        QStringList arguments{"import", "--only-different", good, bad};
        if (dryRun)
            arguments << "--dry-run";
        const CliRun result = run(arguments);
        QCOMPARE(result.exitCode, 1);
        QStringList expected;
        for (const QString& refusal : refusals)
            expected << bad + QStringLiteral(": ") + refusal;
        QCOMPARE(result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        QCOMPARE(result.out, QString());
        QCOMPARE(trace().filter(QRegExp("^(write|commit)")), QStringList());
        QCOMPARE(fileBytes(m_image), image);
    }

    // Files exported by the program, opened in LibreOffice Calc and saved
    // again as CSV (tests/data/libreoffice: the title and the field names
    // padded with empty fields, texts quoted or not, money as "20"): they
    // hold what the register holds, and an edit in them is found and written.
    void spreadsheetRoundTrip_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("difference"); // empty: the file is left as saved
        QTest::newRow("taxes, every text quoted") << "taxes-quoted.csv" << QString() << QString() << QString();
        QTest::newRow("taxes, edited") << "taxes-quoted.csv" << "\"НДС 10%\"" << "\"НДС 22%\"" << "НДС 10%";
        QTest::newRow("header lines, quoted where needed") << "cliche.csv" << QString() << QString() << QString();
        QTest::newRow("header lines, edited") << "cliche.csv" << "ИНН 7701234567" << "ИНН 7701234500" << "ИНН 7701234567";
    }

    void spreadsheetRoundTrip()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, difference);
        const QString file = path(fixture);
        QVERIFY(QFile::copy(QStringLiteral(VESCOR_SOURCE_DIR "/tests/data/libreoffice/") + fixture, file));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        if (!from.isEmpty())
            QVERIFY(replaceInTableFile(file, from, to));

        CliRun result = run({"diff", file});
        QCOMPARE(result.exitCode, difference.isEmpty() ? 0 : 1);
        QCOMPARE(result.outLines().size(), difference.isEmpty() ? 0 : 1);
        QVERIFY2(result.out.contains(difference), qPrintable(result.out));

        clearTrace();
        result = run({"import", "--only-different", file});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(writes().size(), difference.isEmpty() ? 0 : 1);
        QCOMPARE(run({"diff", file}).exitCode, 0);
    }

    // The same files saved in Windows-1251, as a spreadsheet on a Russian
    // Windows desktop saves them (twins of the UTF-8 files made with iconv):
    // they give the same cells as their twins, and the messages say how they
    // were read; --encoding forces one encoding or the other.
    void windows1251Twin_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("encoding"); // empty: none given
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("noted");
        for (const QString& fixture : {QStringLiteral("taxes-quoted"), QStringLiteral("cliche")}) {
            for (const QString& command : {QStringLiteral("import"), QStringLiteral("diff")}) {
                const QString name = fixture + QLatin1Char(' ') + command;
                QTest::newRow(qPrintable(name + ", found")) << fixture << command << QString() << 0 << true;
                QTest::newRow(qPrintable(name + ", named")) << fixture << command << "windows-1251" << 0 << false;
                QTest::newRow(qPrintable(name + ", upper case")) << fixture << command << "WINDOWS-1251" << 0 << false;
                QTest::newRow(qPrintable(name + ", read as UTF-8")) << fixture << command << "utf-8" << 1 << false;
            }
        }
    }

    void windows1251Twin()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, command);
        QFETCH(QString, encoding);
        QFETCH(int, exitCode);
        QFETCH(bool, noted);
        const QString source = QStringLiteral(VESCOR_SOURCE_DIR "/tests/data/libreoffice/");
        const QStringList options = command == QLatin1String("import") ? QStringList{"import", "--dry-run"}
                                                                      : QStringList{"diff"};
        const CliRun utf8 = run(options + QStringList{source + fixture + ".csv"});
        QCOMPARE(utf8.exitCode, 0);
        const QString twin = source + fixture + "-1251.csv";
        const CliRun result = run(options + (encoding.isEmpty() ? QStringList() : QStringList{"--encoding", encoding})
                                  + QStringList{twin});
        QCOMPARE(result.exitCode, exitCode);
        const QString note = twin + QStringLiteral(": файл прочитан в кодировке Windows-1251");
        QCOMPARE(result.err.split(QLatin1Char('\n')).contains(note), noted);
        if (exitCode == 0)
            QCOMPARE(result.out, utf8.out);
        QCOMPARE(trace().filter(QRegExp("^(write|commit)")), QStringList());
    }

    void unknownEncoding()
    {
        const CliRun result = run({"import", "--encoding", "koi8-r", "x.csv"});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.startsWith(QStringLiteral("Неизвестная кодировка: \"koi8-r\" (нужна utf-8|windows-1251)")),
                 qPrintable(result.err));
    }

    // Export stays UTF-8 unless the spreadsheet's encoding is asked for.
    void exportInWindows1251()
    {
        const QString source = QStringLiteral(VESCOR_SOURCE_DIR "/tests/data/libreoffice/taxes-quoted.csv");
        QCOMPARE(run({"import", source}).exitCode, 0);
        CliRun result = run({"export", path("utf8"), "--tables", "6"});
        QCOMPARE(result.exitCode, 0);
        const QByteArray utf8 = fileBytes(result.outLines().value(0));
        result = run({"export", path("cp1251"), "--tables", "6", "--encoding", "windows-1251"});
        QCOMPARE(result.exitCode, 0);
        const QByteArray cp1251 = fileBytes(result.outLines().value(0));
        QVERIFY(utf8.contains("НДС 20%"));
        QCOMPARE(cp1251, QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(utf8)));
    }

    // diff of a file that holds no cell cannot say that nothing differs.
    void diffWithoutCells()
    {
        QVERIFY(writeBytes(path("empty.csv"), "\"Налоговые ставки 1.1\"\n\"Ставка, %\";\"Наименование налога\";\"Зарезервировано\"\n"));
        const CliRun result = run({"diff", path("empty.csv")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err.trimmed(), path("empty.csv")
                     + QStringLiteral(": файл не содержит ни одной ячейки таблицы \"Налоговые ставки\", сравнивать нечего"));
    }
};

VESCOR_TEST(CliExchangeTest)

#include "tst_CliExchange.moc"
