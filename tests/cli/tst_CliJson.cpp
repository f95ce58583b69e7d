#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"


#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(QVector<EmulatorImage::Fault>)

namespace {

const QString TaxRate = QStringLiteral("\"1\";\"20.00\"");
// A receipt line with what a JSON text escapes; the file doubles its quotes.
const QString OddLine = QStringLiteral("ДО \"ВСТРЕЧИ\" \\ /");

EmulatorImage::Fault fault(const QString& call, int table = -1)
{
    EmulatorImage::Fault f;
    f.call = call;
    f.table = table;
    return f;
}

// A reported cell as "table/row/field/name/before/after", null as "null".
QString cellLine(const QJsonValue& value)
{
    const QJsonObject cell = value.toObject();
    QStringList parts;
    for (const char* key : {"table", "row", "field", "name", "before", "after"}) {
        const QJsonValue part = cell.value(QLatin1String(key));
        parts << (part.isNull() ? QStringLiteral("null") : part.isDouble() ? QString::number(part.toInt()) : part.toString());
    }
    return parts.join(QLatin1Char('/'));
}

QStringList cellLines(const QJsonObject& report)
{
    QStringList lines;
    for (const QJsonValue& cell : report.value(QStringLiteral("cells")).toArray())
        lines << cellLine(cell);
    return lines;
}

} // namespace

// import --json and diff --json: one JSON object on standard output, failures included.
class CliJsonTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_image;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    // Runs the command and checks that standard output holds one JSON object
    // on one line and nothing else.
    static QJsonObject report(const CliRun& run)
    {
        if (!run.finished || run.outLines().size() != 1)
            return QJsonObject();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
    }

    void installImage(const QVector<EmulatorImage::Fault>& faults)
    {
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 5);
        for (const EmulatorImage::Fault& f : faults)
            image.addFault(f);
        m_image = image.install(*m_dir);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        installImage({});
    }

    void cleanup()
    {
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    // What the import reports, whether it wrote, and what a second run reports.
    void importReport_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("to"); // the new text of tax 1; empty: the file as exported
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<bool>("imageChanges");

        const QString rate = QStringLiteral("6/1/1/Ставка, %/20.00/22.00");
        QTest::newRow("only different") << QStringList{"--only-different"} << "\"1\";\"22.00\"" << true
                                        << QStringList{rate} << true;
        QTest::newRow("only different, dry run") << QStringList{"--only-different", "--dry-run"} << "\"1\";\"22.00\""
                                                 << true << QStringList{rate} << false;
        QTest::newRow("only different, nothing differs")
            << QStringList{"--only-different"} << "" << false << QStringList() << false;
        QTest::newRow("dry run, nothing differs")
            << QStringList{"--only-different", "--dry-run"} << "" << false << QStringList() << false;
        // A write reads the table first: every marked cell comes with its value before.
        QTest::newRow("every marked cell")
            << QStringList() << "\"1\";\"22.00\"" << true
            << QStringList{"6/1/1/Ставка, %/20.00/22.00",         "6/1/2/Наименование налога/НДС 20%/НДС 20%",
                           "6/2/1/Ставка, %/10.00/10.00",         "6/2/2/Наименование налога/НДС 10%/НДС 10%",
                           "6/5/1/Ставка, %/20.00/20.00",         "6/5/2/Наименование налога/НДС 20/120/НДС 20/120",
                           "6/6/1/Ставка, %/10.00/10.00",         "6/6/2/Наименование налога/НДС 10/110/НДС 10/110"}
            << true;
        // A dry run reads the cells the import would write, as the import does: every one with its value before.
        QTest::newRow("every marked cell, dry run")
            << QStringList{"--dry-run"} << "\"1\";\"22.00\"" << true
            << QStringList{"6/1/1/Ставка, %/20.00/22.00",         "6/1/2/Наименование налога/НДС 20%/НДС 20%",
                           "6/2/1/Ставка, %/10.00/10.00",         "6/2/2/Наименование налога/НДС 10%/НДС 10%",
                           "6/5/1/Ставка, %/20.00/20.00",         "6/5/2/Наименование налога/НДС 20/120/НДС 20/120",
                           "6/6/1/Ставка, %/10.00/10.00",         "6/6/2/Наименование налога/НДС 10/110/НДС 10/110"}
            << false;
    }

    void importReport()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, to);
        QFETCH(bool, changed);
        QFETCH(QStringList, cells);
        QFETCH(bool, imageChanges);

        const QString file = cliExport(path("files"), 6, m_dir->path());
        QVERIFY(to.isEmpty() || replaceInTableFile(file, TaxRate, to));
        const QByteArray image = fileBytes(m_image);

        const CliRun run = runCli(QStringList{"import", "--json"} + options + QStringList{file}, m_dir->path());
        QCOMPARE(run.exitCode, 0);
        const QJsonObject result = report(run);
        QVERIFY2(!result.isEmpty(), qPrintable(run.out));
        QCOMPARE(result.value("command").toString(), QStringLiteral("import"));
        QCOMPARE(result.value("changed").toBool(), changed);
        QVERIFY(result.value("error").isNull());
        QCOMPARE(result.value("dry_run").toBool(), options.contains("--dry-run"));
        QCOMPARE(cellLines(result), cells);
        const QJsonArray tables = result.value("tables").toArray();
        QCOMPARE(tables.size(), cells.isEmpty() ? 0 : 1);
        if (!cells.isEmpty()) {
            QCOMPARE(tables.first().toObject().value("name").toString(), QStringLiteral("Налоговые ставки"));
            QCOMPARE(tables.first().toObject().value("cells").toInt(), cells.size());
            QCOMPARE(tables.first().toObject().value("file").toString(), file);
        }
        QCOMPARE(fileBytes(m_image) != image, imageChanges);
        // The summary is still said, on standard error.
        QVERIFY2(run.err.contains(QRegularExpression(QStringLiteral(" яче(йка|йки|ек) в "))), qPrintable(run.err));

        // Once written, the same import with --only-different changes nothing.
        if (imageChanges) {
            const QJsonObject again = report(runCli({"import", "--json", "--only-different", file}, m_dir->path()));
            QCOMPARE(again.value("changed").toBool(), false);
            QCOMPARE(again.value("cells").toArray().size(), 0);
        }
    }

    // diff --json names the differing cells with both values; it never changes anything.
    void diffReport_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("different");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("one cell differs") << "\"1\";\"22.00\"" << true
                                          << QStringList{"6/1/1/Ставка, %/20.00/22.00"};
        QTest::newRow("nothing differs") << "" << false << QStringList();
    }

    void diffReport()
    {
        QFETCH(QString, to);
        QFETCH(bool, different);
        QFETCH(QStringList, cells);

        const QString file = cliExport(path("files"), 6, m_dir->path());
        QVERIFY(to.isEmpty() || replaceInTableFile(file, TaxRate, to));
        const CliRun run = runCli({"diff", "--json", file}, m_dir->path());
        QCOMPARE(run.exitCode, different ? 1 : 0);
        const QJsonObject result = report(run);
        QVERIFY2(!result.isEmpty(), qPrintable(run.out));
        QCOMPARE(result.value("command").toString(), QStringLiteral("diff"));
        QCOMPARE(result.value("different").toBool(), different);
        QCOMPARE(result.value("changed").toBool(), false);
        QVERIFY(result.value("error").isNull());
        QCOMPARE(cellLines(result), cells);
    }

    // A failure comes as the report's "error" with the usual exit status;
    // tables committed before it stay reported as changed.
    void failureReport_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "6" and "4" stand for the exported files
        QTest::addColumn<QString>("from");          // an edit of the file of table 6
        QTest::addColumn<QString>("to");
        QTest::addColumn<QVector<EmulatorImage::Fault>>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // the start of the message, after the file's path
        QTest::addColumn<bool>("namesFile");
        QTest::addColumn<int>("row");        // 0: null
        QTest::addColumn<QString>("field");  // empty: null
        QTest::addColumn<bool>("changed");

        using Faults = QVector<EmulatorImage::Fault>;
        const QString badData = QStringLiteral("Ошибка: таблица содержит некорректные данные");
        QTest::newRow("refused value") << QStringList{"import", "6"} << TaxRate << "\"1\";\"x\"" << Faults() << 1
                                       << badData << true << 1 << "Ставка, %" << false;
        QTest::newRow("refused value, diff") << QStringList{"diff", "6"} << TaxRate << "\"1\";\"x\"" << Faults() << 1
                                             << badData << true << 1 << "Ставка, %" << false;
        QTest::newRow("malformed row") << QStringList{"import", "6"} << TaxRate << "\"1\";\"20.00\";\"\";\"\""
                                       << Faults() << 1 << "Ошибка: файл содержит некорректные данные" << true << 0
                                       << "" << false;
        QTest::newRow("write fails") << QStringList{"import", "6"} << TaxRate << "\"1\";\"22.00\""
                                     << Faults{fault("write", 6)} << 3 << "" << true << 0 << "" << false;
        QTest::newRow("commit fails") << QStringList{"import", "--only-different", "6"} << TaxRate << "\"1\";\"22.00\""
                                      << Faults{fault("commit")} << 3 << "" << true << 0 << "" << false;
        QTest::newRow("second table fails") << QStringList{"import", "6", "4"} << TaxRate << "\"1\";\"22.00\""
                                            << Faults{fault("write", 4)} << 3 << "" << true << 0 << "" << true;
        QTest::newRow("no connection") << QStringList{"import", "6"} << "" << "" << Faults{fault("open")} << 3 << ""
                                       << false << 0 << "" << false;
        QTest::newRow("no file named") << QStringList{"import"} << "" << "" << Faults() << 2 << "Не указан файл" << false
                                       << 0 << "" << false;
        QTest::newRow("unknown option") << QStringList{"diff", "--bogus", "6"} << "" << "" << Faults() << 2 << ""
                                        << false << 0 << "" << false;
    }

    void failureReport()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QVector<EmulatorImage::Fault>, faults);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(bool, namesFile);
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(bool, changed);

        const QString taxes = cliExport(path("files"), 6, m_dir->path());
        const QString header = cliExport(path("files"), 4, m_dir->path());
        QVERIFY(replaceInTableFile(taxes, from, to));
        QVERIFY(replaceInTableFile(header, QStringLiteral("СПАСИБО ЗА ПОКУПКУ!"), QStringLiteral("ДО ВСТРЕЧИ!")));
        installImage(faults);
        arguments.replaceInStrings(QRegExp("^6$"), taxes);
        arguments.replaceInStrings(QRegExp("^4$"), header);
        arguments.insert(1, QStringLiteral("--json"));

        const CliRun run = runCli(arguments, m_dir->path());
        QCOMPARE(run.exitCode, exitCode);
        const QJsonObject result = report(run);
        QVERIFY2(!result.isEmpty(), qPrintable(run.out));
        QCOMPARE(result.value("changed").toBool(), changed);
        const QJsonObject error = result.value("error").toObject();
        const QString text = error.value("message").toString();
        QVERIFY(!text.isEmpty());
        const QString failedFile = changed ? header : taxes;
        const QString expectedStart = (namesFile && arguments.first() == "import" ? failedFile + ": " : QString()) + message;
        QVERIFY2(text.startsWith(expectedStart), qPrintable(text));
        // The message the user reads on standard error is the same.
        QVERIFY2(run.err.contains(text), qPrintable(run.err));
        QCOMPARE(error.value("file").toString(), namesFile ? failedFile : QString());
        QCOMPARE(error.value("file").isNull(), !namesFile);
        QCOMPARE(error.value("row").isNull(), row == 0);
        QCOMPARE(error.value("row").toInt(), row);
        QCOMPARE(error.value("field").toString(), field);
        QCOMPARE(error.value("field").isNull(), field.isEmpty());
        // A failure of one thing is its only part.
        const QJsonArray problems = error.value("problems").toArray();
        QCOMPARE(problems.size(), namesFile ? 1 : 0);
        if (namesFile)
            QCOMPARE(problems.first().toObject().value("file").toString(), failedFile);
    }

    // Every refused value of every file is checked before the first write;
    // the report places each by itself, in file order.
    void refusedValuesReport_data()
    {
        QTest::addColumn<QList<int>>("tables");
        QTest::addColumn<QStringList>("edits"); // table|from|to
        QTest::addColumn<QStringList>("problems"); // table/row/field, row and field "null" when not known

        QTest::newRow("two values of one file")
            << QList<int>{6} << QStringList{"6|" + TaxRate + "|\"1\";\"x\"", "6|\"2\";\"10.00\"|\"2\";\"y\""}
            << QStringList{"6/1/Ставка, %", "6/2/Ставка, %"};
        QTest::newRow("values of two files")
            << QList<int>{6, 2} << QStringList{"6|" + TaxRate + "|\"1\";\"x\"", "2|\"3000\"|\"x\""}
            << QStringList{"6/1/Ставка, %", "2/null/Таймаут ожидания ответа, мс"};
        QTest::newRow("a row number and a value")
            << QList<int>{6} << QStringList{"6|" + TaxRate + "|\"0\";\"x\""}
            << QStringList{"6/1/null", "6/1/Ставка, %"};
    }

    void refusedValuesReport()
    {
        QFETCH(QList<int>, tables);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, problems);

        QHash<int, QString> files;
        for (const int table : tables)
            files.insert(table, cliExport(path("files"), table, m_dir->path()));
        for (const QString& edit : edits) {
            const QStringList parts = edit.split(QLatin1Char('|'));
            QVERIFY(replaceInTableFile(files.value(parts.at(0).toInt()), parts.at(1), parts.at(2)));
        }
        QStringList arguments{"import", "--json", "--dry-run"};
        for (const int table : tables)
            arguments << files.value(table);

        const CliRun run = runCli(arguments, m_dir->path());
        QCOMPARE(run.exitCode, 1);
        const QJsonObject error = report(run).value("error").toObject();
        QStringList placed;
        QStringList lines;
        for (const QJsonValue& value : error.value("problems").toArray()) {
            const QJsonObject problem = value.toObject();
            const int table = files.key(problem.value("file").toString());
            placed << QStringLiteral("%1/%2/%3")
                          .arg(table)
                          .arg(problem.value("row").isNull() ? QStringLiteral("null")
                                                             : QString::number(problem.value("row").toInt()))
                          .arg(problem.value("field").isNull() ? QStringLiteral("null")
                                                               : problem.value("field").toString());
            const QString line = problem.value("message").toString();
            QVERIFY2(line.startsWith(files.value(table) + QStringLiteral(": Ошибка")), qPrintable(line));
            lines << line;
        }
        QCOMPARE(placed, problems);
        // The whole message holds each part on its own line, placed where the first lies.
        QCOMPARE(error.value("message").toString(), lines.join(QLatin1Char('\n')));
        QCOMPARE(error.value("file").toString(), files.value(tables.first()));
        QCOMPARE(error.value("row").toInt(), problems.first().section(QLatin1Char('/'), 1, 1).toInt());
    }

    // A report that goes out table by table is one JSON object whatever
    // stops the command, and tells what the register now holds: every cell
    // it reports as changed, and none other, changed there.
    void reportMatchesRegister_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "6", "4": the edited files; "S": a snapshot of them
        QTest::addColumn<QVector<EmulatorImage::Fault>>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QList<int>>("reported"); // the tables of "tables", in their order
        QTest::addColumn<QList<int>>("stored");   // the tables the register holds changed
        QTest::addColumn<bool>("failed");

        using Faults = QVector<EmulatorImage::Fault>;
        using Tables = QList<int>;
        EmulatorImage::Fault unknownCommit = fault("commit");
        unknownCommit.after = 1;
        unknownCommit.stage = QStringLiteral("after-rename");
        QTest::newRow("import") << QStringList{"import", "6", "4"} << Faults() << 0 << Tables{6, 4} << Tables{6, 4}
                                << false;
        QTest::newRow("import, dry run") << QStringList{"import", "--dry-run", "6", "4"} << Faults() << 0
                                         << Tables{6, 4} << Tables() << false;
        QTest::newRow("import, second write fails") << QStringList{"import", "6", "4"} << Faults{fault("write", 4)}
                                                    << 3 << Tables{6} << Tables{6} << true;
        QTest::newRow("import, first write fails") << QStringList{"import", "6", "4"} << Faults{fault("write", 6)} << 3
                                                   << Tables() << Tables() << true;
        // The register may hold the second table: the report names only what is known.
        QTest::newRow("import, second commit unknown") << QStringList{"import", "6", "4"} << Faults{unknownCommit} << 3
                                                       << Tables{6} << Tables{6, 4} << true;
        QTest::newRow("diff") << QStringList{"diff", "4"} << Faults() << 1 << Tables{4} << Tables() << false;
        QTest::newRow("snapshot diff") << QStringList{"snapshot", "diff", "S"} << Faults() << 1 << Tables{6, 4}
                                       << Tables() << false;
        QTest::newRow("snapshot restore") << QStringList{"snapshot", "restore", "S"} << Faults() << 0 << Tables{6, 4}
                                          << Tables{4, 6} << false;
        QTest::newRow("snapshot restore, dry run") << QStringList{"snapshot", "restore", "--dry-run", "S"} << Faults()
                                                   << 0 << Tables{6, 4} << Tables() << false;
        // A restore reports its cells once it is done: none when it stops.
        QTest::newRow("snapshot restore, second write fails")
            << QStringList{"snapshot", "restore", "S"} << Faults{fault("write", 4)} << 3 << Tables() << Tables{6}
            << true;
    }

    void reportMatchesRegister()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QVector<EmulatorImage::Fault>, faults);
        QFETCH(int, exitCode);
        QFETCH(QList<int>, reported);
        QFETCH(QList<int>, stored);
        QFETCH(bool, failed);

        const QString taxes = cliExport(path("files"), 6, m_dir->path());
        const QString header = cliExport(path("files"), 4, m_dir->path());
        QVERIFY(replaceInTableFile(taxes, TaxRate, QStringLiteral("\"1\";\"22.00\"")));
        QVERIFY(replaceInTableFile(header, QStringLiteral("СПАСИБО ЗА ПОКУПКУ!"),
                                   QString(OddLine).replace(QStringLiteral("\""), QStringLiteral("\"\""))));
        const QString snapshot = path("edited.zip");
        if (arguments.contains("S")) {
            // The snapshot holds the edits; the register, after it is made anew, does not.
            QCOMPARE(runCli({"import", taxes, header}, m_dir->path()).exitCode, 0);
            QCOMPARE(runCli({"snapshot", "save", snapshot}, m_dir->path()).exitCode, 0);
        }
        installImage(faults);
        arguments.replaceInStrings(QRegExp("^6$"), taxes);
        arguments.replaceInStrings(QRegExp("^4$"), header);
        arguments.replaceInStrings(QRegExp("^S$"), snapshot);
        arguments.insert(arguments.first() == "snapshot" ? 2 : 1, QStringLiteral("--json"));

        const CliRun run = runCli(arguments, m_dir->path());
        QCOMPARE(run.exitCode, exitCode);
        const QJsonObject result = report(run);
        QVERIFY2(!result.isEmpty(), qPrintable(run.out));
        QCOMPARE(result.value("error").isNull(), !failed);

        // The cells come table by table, as "tables" counts them.
        QList<int> tables;
        QList<int> cellTables;
        for (const QJsonValue& table : result.value("tables").toArray()) {
            tables << table.toObject().value("table").toInt();
            for (int i = 0; i < table.toObject().value("cells").toInt(); ++i)
                cellTables << tables.last();
        }
        QCOMPARE(tables, reported);
        // Each edited table's cells that the report names as changing, as diff names a cell.
        QHash<int, QStringList> changing;
        int cellCount = 0;
        for (const QJsonValue& value : result.value("cells").toArray()) {
            const QJsonObject cell = value.toObject();
            QCOMPARE(cell.value("table").toInt(), cellTables.value(cellCount++, -1));
            if (cell.value("before") != cell.value("after"))
                changing[cell.value("table").toInt()] << cellLine(cell);
        }
        QCOMPARE(cellCount, cellTables.size());
        QCOMPARE(changing.value(4).join('|').contains(OddLine), reported.contains(4));

        // What the register holds now: a stored table as its file has it; one
        // left as it was differs from its file exactly where the report said.
        for (const int table : {6, 4}) {
            const CliRun diff = runCli({"diff", "--json", table == 6 ? taxes : header}, m_dir->path());
            QCOMPARE(diff.exitCode, stored.contains(table) ? 0 : 1);
            if (!stored.contains(table) && reported.contains(table))
                QCOMPARE(cellLines(report(diff)), changing.value(table));
        }
    }

    // A reader that stops reading the report fails the output, not the import:
    // the tables after the one whose cells found the pipe closed are written too.
    void readerLeavesEarly()
    {
        m_image = EmulatorImage::defaultImage().install(*m_dir); // a base whose cells fill more than one write
        const QString goods = cliExport(path("files"), 1, m_dir->path());
        const QString taxes = cliExport(path("files"), 6, m_dir->path());
        QVERIFY(replaceInTableFile(taxes, TaxRate, QStringLiteral("\"1\";\"22.00\"")));

        const CliRun run = runCli({"-c", "\"$0\" \"$@\" | head -c 1 > /dev/null; exit ${PIPESTATUS[0]}", cliProgram(),
                                   "import", "--json", goods, taxes},
                                  m_dir->path(), QStringLiteral("/bin/bash"));
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QStringLiteral("Не удалось записать на стандартный вывод: читающая программа закрыла канал")),
                 qPrintable(run.err));
        QCOMPARE(runCli({"diff", taxes}, m_dir->path()).exitCode, 0);
    }
};

VESCOR_TEST(CliJsonTest)

#include "tst_CliJson.moc"
