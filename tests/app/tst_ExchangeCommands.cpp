#include "ExchangeHarness.h"

#include "support/PlainLayoutModel.h"
#include "support/TestMain.h"

#include "exchange/CsvExchange.h"
#include "exchange/FileTextCodec.h"

#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTextCodec>

#include <algorithm>

using namespace exchangetest;

namespace {

// A description of its own with tables 2, 6 and 4 of the default register: no table 1.
const unsigned ThreeTables = 9581;

const QString Wait = QStringLiteral("Подождите...");

QString importedText(const QString& fileName)
{
    return QStringLiteral("Успешно прочитан файл %1 ").arg(fileName);
}

QByteArray encoded(const QString& text)
{
    return FileTextCodec::forWriting({text})->fromUnicode(text);
}

// What the exchange itself writes for a model: the command must put exactly this in its file.
QByteArray exported(const TableModel& model, const QString& scratch)
{
    CsvExchange().exportTable(scratch, model.tableInfo(), model.tableData());
    const QByteArray bytes = fileBytes(scratch);
    QFile::remove(scratch);
    return bytes;
}

QString titleOf(const QByteArray& file)
{
    return FileTextCodec::forReading(file)->toUnicode(file.left(file.indexOf('\n')));
}

} // namespace

class ExchangeCommandsTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    QString status() const { return h.window->statusText(); }

    // Pages of the tabs, to see that a command left them alone.
    QList<QWidget*> pages() const
    {
        QList<QWidget*> list;
        for (int i = 0; i < h.tabs()->count(); ++i)
            list << h.tabs()->widget(i);
        return list;
    }

    // A read that fails at the open: no tab is left, the export stays enabled.
    void readFailing()
    {
        QVERIFY(h.replaceImage(EmulatorImage::fromFile(h.imagePath).addFault(fault(QStringLiteral("open")))));
        QVERIFY(h.triggerMenuEntry("readButton", QStringLiteral("Всё")));
        QCOMPARE(h.tabs()->count(), 0);
        QCOMPARE(h.boxes.size(), 1);
        h.boxes.clear();
        QVERIFY(h.replaceImage(EmulatorImage::fromFile(h.imagePath).clearFaults()));
        h.clearTrace();
    }

private slots:
    void initTestCase()
    {
        h.installHandlers();
        QVERIFY(writeModel(ThreeTables, [](int id) { return id == 2 || id == 6 || id == 4; }));
        QVERIFY(PlainLayoutModel::write());
    }

    void cleanupTestCase()
    {
        Harness::removeHandlers();
        QFile::remove(modelPath(ThreeTables));
        PlainLayoutModel::remove();
    }

    void init() { QVERIFY(h.start()); }
    void cleanup() { h.stop(); }

    // Each command asks with its own dialog, starting in the home folder;
    // cancelling it changes nothing but the status text.
    void cancelledDialog_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("startDir");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("debugLine");

        QTest::newRow("export all") << "export all" << int(FileDialog::ExistingDirectory) << "Папка для файлов таблиц"
                                    << QDir::homePath() << QString()
                                    << int(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks)
                                    << "on_actionExportAll_triggered";
        QTest::newRow("export current") << "export current" << int(FileDialog::SaveFileName) << "Сохранить файл"
                                        << QDir::homePath() + "/0057000001_6.csv" << CsvFilter << 0
                                        << "on_actionExportCurrent_triggered";
        QTest::newRow("import") << "import" << int(FileDialog::OpenFileName) << "Открыть файл" << QDir::homePath()
                                << CsvFilter << 0 << QString();
    }

    void cancelledDialog()
    {
        QFETCH(QString, command);
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QString, startDir);
        QFETCH(QString, filter);
        QFETCH(int, options);
        QFETCH(QString, debugLine);

        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(6));
        const QList<QWidget*> before = pages();
        const QString info = h.window->infoText();
        h.clearTrace();
        h.dialogs.clear();
        const QString directory = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(directory));

        debugLines().clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordDebugLine);
        if (command == QLatin1String("export all"))
            QVERIFY(h.exportAll(QString()));
        else if (command == QLatin1String("export current"))
            QVERIFY(h.exportCurrent(QString()));
        else
            h.import(QString());
        qInstallMessageHandler(previous);

        QCOMPARE(h.dialogs.size(), 1);
        const FileDialog::Request& asked = h.dialogs.first();
        QCOMPARE(int(asked.kind), kind);
        QCOMPARE(asked.parent, static_cast<QWidget*>(h.window.get()));
        QCOMPARE(asked.caption, caption);
        QCOMPARE(asked.dir, startDir);
        QCOMPARE(asked.filter, filter);
        QCOMPARE(int(asked.options), options);
        if (!debugLine.isEmpty())
            QCOMPARE(debugLines().filter(debugLine), QStringList{debugLine});

        QCOMPARE(status(), Cancelled);
        QCOMPARE(h.window->infoText(), info);
        QCOMPARE(pages(), before);
        QCOMPARE(h.tabModel(h.tabs()->currentIndex())->tableNumber(), uint16_t(6));
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(h.trace().isEmpty()); // the register was not asked
        QVERIFY(Harness::filesIn(directory).isEmpty());
        QVERIFY(h.window->isEnabled());
        QVERIFY(!h.button("writeButton")->isEnabled()); // still nothing edited
        QVERIFY(h.button("pbtnSaveToFile")->isEnabled());
    }

    // One file per tab, named by the serial number and the table number, with the tab's table in it.
    void exportAllWritesOneFilePerTab_data()
    {
        QTest::addColumn<unsigned>("modelCode");
        QTest::addColumn<QList<unsigned>>("tables");
        QTest::newRow("three tabs") << ThreeTables << QList<unsigned>{2, 6, 4};
        QTest::newRow("every table of the default model") << 57u << QList<unsigned>{1, 2, 6, 5, 4, 16, 15, 7};
    }

    void exportAllWritesOneFilePerTab()
    {
        QFETCH(unsigned, modelCode);
        QFETCH(QList<unsigned>, tables);

        EmulatorImage image = smallRegister();
        image.setIdentity(modelCode, QStringLiteral("Вескор-Эмулятор 57"), Serial, QStringLiteral("3.0.25"));
        QVERIFY(h.install(image));
        QVERIFY(h.readAll());
        QCOMPARE(h.tabTables(), tables);

        const QString directory = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(directory));
        // A file of an earlier export is replaced; other files stay.
        const QString stale = QStringLiteral("%1/%2_%3.csv").arg(directory, Serial).arg(tables.last());
        QVERIFY(writeBytes(stale, "stale\n"));
        QVERIFY(writeBytes(directory + QStringLiteral("/notes.txt"), "kept"));
        h.clearTrace();

        QVERIFY(h.exportAll(directory));
        QCOMPARE(status(), Done);
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(h.window->isEnabled());
        QVERIFY(h.trace().isEmpty()); // an export does not talk to the register

        QStringList expected{QStringLiteral("notes.txt")};
        for (unsigned table : tables)
            expected << QStringLiteral("%1_%2.csv").arg(Serial).arg(table);
        expected.sort();
        QCOMPARE(Harness::filesIn(directory), expected);
        for (unsigned table : tables) {
            const QByteArray file = fileBytes(QStringLiteral("%1/%2_%3.csv").arg(directory, Serial).arg(table));
            QCOMPARE(file, exported(*h.modelOfTable(table), h.path(QStringLiteral("scratch.csv"))));
        }
        QCOMPARE(fileBytes(directory + QStringLiteral("/notes.txt")), QByteArray("kept"));
    }

    // After a read that failed there is nothing to export: the button takes no click, nothing is written.
    void exportAllWithNoTabLeft()
    {
        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        readFailing();
        QVERIFY(!h.button("pbtnSaveToFile")->isEnabled());
        const QString directory = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(directory));

        const QString before = status();
        QVERIFY(!h.exportAll(directory));
        QTest::keyClick(h.window.get(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(status(), before);
        QVERIFY(Harness::filesIn(directory).isEmpty());
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(h.window->isEnabled());
    }

    // The current tab into the chosen file, under the chosen name exactly.
    void exportCurrent_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("saved"); // the file written, when not fileName

        QTest::newRow("commodity base") << 1u << "goods.csv" << "Таблица товаров 1.1" << QString();
        QTest::newRow("list, no suffix") << 2u << "modes" << "Режимы работы 1.1" << "modes.csv";
        QTest::newRow("transposed, other suffix") << 4u << "cliche.txt" << "Клише 1.1" << QString();
        QTest::newRow("db with read-only rows") << 6u << "Налоги 2024.csv" << "Налоговые ставки 1.1" << QString();
        QTest::newRow("plain (its own model)") << 15u << "ofd.csv" << "Параметры ОФД 1.1" << QString();
        QTest::newRow("one-record list") << 16u << "network.csv" << "Сетевые настройки 1.1" << QString();
    }

    void exportCurrent()
    {
        QFETCH(unsigned, table);
        QFETCH(QString, fileName);
        QFETCH(QString, title);
        QFETCH(QString, saved);

        QVERIFY(h.install(table == PlainLayoutModel::Table ? PlainLayoutModel::image(4) : smallRegister()));
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(table));
        const QString directory = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(directory));
        const QString target = directory + QLatin1Char('/') + fileName;
        h.clearTrace();

        QVERIFY(h.exportCurrent(target));
        if (saved.isNull())
            saved = fileName;
        QCOMPARE(status(), QStringLiteral("Файл %1 успешно сохранен").arg(saved));
        QCOMPARE(Harness::filesIn(directory), QStringList{saved});
        const QByteArray file = fileBytes(directory + QLatin1Char('/') + saved);
        QCOMPARE(titleOf(file), title);
        QCOMPARE(file, exported(*h.modelOfTable(table), h.path(QStringLiteral("scratch.csv"))));
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(h.trace().isEmpty());
        QVERIFY(h.window->isEnabled());
        QCOMPARE(h.tabs()->count(), 8);
    }

    // A failing export names its cause and the system's reason in the status bar and never reports success;
    // the export of all stops at the first file that fails and keeps the files before it.
    void exportFailures_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("setup");  // what stands in the way
        QTest::addColumn<QString>("target"); // relative to the temporary directory
        QTest::addColumn<QString>("message"); // %1: the temporary directory
        QTest::addColumn<QStringList>("written"); // files of out/ afterwards

        const QString notWritten = QStringLiteral("Не удалось записать файл %1/");
        const QString file2 = Serial + QStringLiteral("_2.csv");
        const QString file1 = Serial + QStringLiteral("_1.csv");
        QTest::newRow("current: the path is a directory")
            << "export current" << "dir out/x.csv" << "out/x.csv" << notWritten + QStringLiteral("out/x.csv: это папка")
            << QStringList{QStringLiteral("x.csv")};
        QTest::newRow("current: no such directory")
            << "export current" << "" << "out/missing/x.csv" << notWritten + QStringLiteral("out/missing/x.csv: нет такого файла или папки")
            << QStringList{};
        QTest::newRow("current: a file where the directory should be")
            << "export current" << "file out/plain" << "out/plain/x.csv"
            << notWritten + QStringLiteral("out/plain/x.csv: часть пути не является папкой") << QStringList{QStringLiteral("plain")};
        QTest::newRow("current: a tab without a table view")
            << "export current" << "empty tab" << "out/x.csv" << "Не выбрано ни одной таблицы" << QStringList{};
        // No tab: "Экспорт" takes no click, the status stays (empty: as it was).
        QTest::newRow("current: no tab at all")
            << "export current" << "no tabs" << "out/x.csv" << "" << QStringList{};
        QTest::newRow("all: the second file's name is a directory")
            << "export all" << "dir out/" + file2 << "out" << notWritten + "out/" + file2 + ": это папка"
            << QStringList{file1, file2};
        QTest::newRow("all: no such directory")
            << "export all" << "" << "out/missing" << notWritten + "out/missing/" + file1 + ": нет такого файла или папки" << QStringList{};
        QTest::newRow("all: a tab without a table view")
            << "export all" << "empty tab" << "out" << "Нет доступных таблиц" << QStringList{file1, file2};
    }

    void exportFailures()
    {
        QFETCH(QString, command);
        QFETCH(QString, setup);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QFETCH(QStringList, written);

        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        const QString out = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        if (setup.startsWith(QLatin1String("dir ")))
            QVERIFY(QDir().mkpath(h.path(setup.mid(4))));
        if (setup.startsWith(QLatin1String("file ")))
            QVERIFY(writeBytes(h.path(setup.mid(5)), "not a directory"));
        if (setup == QLatin1String("empty tab")) {
            // A page that holds no table, after the first two tables.
            h.tabs()->insertTab(2, new QWidget, QStringLiteral("Пустая"));
            h.tabs()->setCurrentIndex(2);
        }
        if (setup == QLatin1String("no tabs"))
            readFailing();
        if (command == QLatin1String("export current") && setup != QLatin1String("empty tab")
            && setup != QLatin1String("no tabs"))
            QVERIFY(h.selectTable(1));

        const QString before = status();
        if (command == QLatin1String("export all"))
            QVERIFY(h.exportAll(h.path(target)));
        else
            QCOMPARE(h.exportCurrent(h.path(target)), !message.isEmpty());

        QCOMPARE(status(), message.isEmpty() ? before
                           : message.contains(QLatin1String("%1")) ? message.arg(h.dir->path()) : message);
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(h.window->isEnabled());
        QCOMPARE(Harness::filesIn(out), written);
        // The files written before the failure are whole.
        for (const QString& name : written) {
            const QString path = out + QLatin1Char('/') + name;
            if (QFileInfo(path).isFile() && name.endsWith(QLatin1String(".csv")))
                QCOMPARE(fileBytes(path), exported(*h.modelOfTable(name.section(QLatin1Char('_'), 1).section(QLatin1Char('.'), 0, 0).toUInt()),
                                                   h.path(QStringLiteral("scratch.csv"))));
        }
    }

    // A file for each kind of table comes in as one tab, marked for writing, and the write takes it.
    void importOpensOneTab_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("values");    // the stored cells, row after row
        QTest::addColumn<QList<bool>>("marks");      // their changed marks
        QTest::addColumn<QString>("note");           // after the status text

        QTest::newRow("commodity title")
            << "goods.csv"
            << encoded(QStringLiteral("Таблица товаров 1.1\n\"Код\";\"Наименование\";\"Цена\";\"Штрихкод\";\"Налог\";"
                                      "\"Отдел\";\"Остаток\";\"Зарезервировано\"\n"
                                      "\"1\";\"1\";\"Хлеб \"\"Бородинский\"\"\";\"0.29\";\"4600000000001\";\"1\";\"2\";"
                                      "\"10\";\"0\"\n"))
            << 1u << "База товаров"
            << QStringList{"1", "Хлеб \"Бородинский\"", "29", "4600000000001", "1", "2", "10", "0", "1"}
            << QList<bool>{false, true, true, true, true, true, true, false, false} << QString();
        // Any title that names no table of the model goes to the commodity base.
        QTest::newRow("unknown title, commodity base")
            << "x.csv"
            << encoded(QStringLiteral("Прайс 1.1\n\"a\";\"b\"\n\n\"2\";\"2\";\"Сок\";\"12.34\";\"4600000000002\";\"0\";\"0\";\"0\";\"0\"\n\n"))
            << 1u << "База товаров" << QStringList{"2", "Сок", "1234", "4600000000002", "0", "0", "0", "0", "2"}
            << QList<bool>{false, true, true, true, true, true, true, false, false} << QString();
        QTest::newRow("db, read-only row")
            << "6.csv"
            << encoded(QStringLiteral("Налоговые ставки 1.1\n\"Ставка, %\";\"Наименование налога\";\"Зарезервировано\"\n"
                                      "\"2\";\"10.00\";\"НДС 10%\";\"0\"\n\"3\";\"0.00\";\"НДС 0%\";\"0\"\n"))
            << 6u << "Налоговые ставки"
            << QStringList{"1000", "НДС 10%", "0", "2", "0", "НДС 0%", "0", "3"}
            << QList<bool>{true, true, false, false, false, false, false, false} << QString();
        QTest::newRow("transposed list")
            << "4.csv"
            << encoded(QStringLiteral("Клише 1.1\n\"1\";\"2\";\"3\";\"4\";\"5\";\"6\"\n"
                                      "\"ООО \"\"Ромашка\"\"\";\"ул. Ленина; 1\";\"\";\"ИНН 1\";\"2\";\"3\"\n"))
            << 4u << "Клише" << QStringList{"ООО \"Ромашка\"", "ул. Ленина; 1", "", "ИНН 1", "2", "3"}
            << QList<bool>{true, true, true, true, true, true} << QString();
        QTest::newRow("list, read-only and reserved fields")
            << "16.csv"
            << encoded(QStringLiteral("Сетевые настройки 1.1\nnames\n"
                                      "\"10.0.0.2\";\"255.0.0.0\";\"10.0.0.1\";\"8080\";\"0:1:2:3:4:5\";\"1\";\"kassa\"\n"))
            << 16u << "Сетевые настройки"
            << QStringList{"10.0.0.2", "255.0.0.0", "10.0.0.1", "8080", "0:1:2:3:4:5", "1", "kassa"}
            << QList<bool>{true, true, true, true, false, true, true} << QString();
        QTest::newRow("plain (its own model)") << "15.csv" << encoded(QStringLiteral("Параметры ОФД 1.1\nnames\n")) << 15u
                               << "Параметры ОФД" << QStringList{} << QList<bool>{} << QString();
        // A table of one record takes the first data line of the file and says how many it left.
        QTest::newRow("transposed list, second line left")
            << "4-2.csv"
            << encoded(QStringLiteral("Клише 1.1\n\"1\";\"2\";\"3\";\"4\";\"5\";\"6\"\n"
                                      "\"a\";\"b\";\"\";\"c\";\"2\";\"3\"\n\"x\";\"y\";\"\";\"z\";\"2\";\"3\"\n"))
            << 4u << "Клише" << QStringList{"a", "b", "", "c", "2", "3"}
            << QList<bool>{true, true, true, true, true, true}
            << "(взята первая строка данных, пропущено строк: 1)";
        // Saved by a spreadsheet on a Russian Windows desktop.
        QTest::newRow("db in Windows-1251")
            << "6-1251.csv"
            << QTextCodec::codecForName("windows-1251")->fromUnicode(
                   QStringLiteral("Налоговые ставки 1.1;;;\r\n\"Ставка, %\";\"Наименование налога\";\"Зарезервировано\";\r\n"
                                  "2;10;\"НДС 10%\";0\r\n"))
            << 6u << "Налоговые ставки" << QStringList{"1000", "НДС 10%", "0", "2"}
            << QList<bool>{true, true, false, false} << "(файл прочитан в кодировке Windows-1251)";
        QTest::newRow("list, two lines left")
            << "16-3.csv"
            << encoded(QStringLiteral("Сетевые настройки 1.1\nnames\n"
                                      "\"10.0.0.2\";\"255.0.0.0\";\"10.0.0.1\";\"8080\";\"0:1:2:3:4:5\";\"1\";\"kassa\"\n"
                                      "\"10.0.0.3\"\n\"\";\"\"\n"))
            << 16u << "Сетевые настройки"
            << QStringList{"10.0.0.2", "255.0.0.0", "10.0.0.1", "8080", "0:1:2:3:4:5", "1", "kassa"}
            << QList<bool>{true, true, true, true, false, true, true}
            << "(взята первая строка данных, пропущено строк: 2)";
    }

    void importOpensOneTab()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        QFETCH(unsigned, table);
        QFETCH(QString, title);
        QFETCH(QStringList, values);
        QFETCH(QList<bool>, marks);
        QFETCH(QString, note);

        QVERIFY(h.install(table == PlainLayoutModel::Table ? PlainLayoutModel::image(4) : smallRegister()));
        const QString file = h.path(fileName);
        QVERIFY(writeBytes(file, contents));
        QVERIFY(!h.button("writeButton")->isEnabled());

        h.import(file);
        QCOMPARE(h.dialogs.size(), 1);
        QCOMPARE(status(), importedText(fileName) + note);
        QVERIFY(h.boxes.isEmpty());
        // Imported cells are to be written: the tab's title says so with "*".
        QCOMPARE(h.tabTitles(), QStringList{marks.contains(true) ? title + QLatin1Char('*') : title});
        QCOMPARE(h.tabTables(), QList<unsigned>{table});
        QCOMPARE(h.window->infoText(), QString());
        QCOMPARE(h.button("writeButton")->isEnabled(), marks.contains(true));
        QVERIFY(h.button("pbtnSaveToFile")->isEnabled());
        QVERIFY(h.window->isEnabled());
        QVERIFY(h.closedAtEnd());
        QCOMPARE(h.trace().filter(QRegExp(QStringLiteral("^open "))).size(), 1);

        QStringList gotValues;
        QList<bool> gotMarks;
        for (const DataRow& row : h.tabModel(0)->tableData()) {
            for (const Cell& cell : row) {
                gotValues << QString::fromUtf8(cell.value);
                gotMarks << cell.changed;
            }
        }
        QCOMPARE(gotValues, values);
        QCOMPARE(gotMarks, marks);

        // The register identified by the import is the one the write accepts.
        h.clearTrace();
        const QString imported = status();
        h.clickWrite();
        QVERIFY(h.boxes.isEmpty());
        const int marked = int(std::count(marks.begin(), marks.end(), true));
        // Nothing marked: nothing to write, the button takes no click.
        QCOMPARE(status(), marked ? QStringLiteral("Успешно записано %1 ячеек в %2 таблицах").arg(marked).arg(1) : imported);
        // Only the cells written are read first, never more requests than the write's.
        const int reads = h.trace().filter(QRegExp(QStringLiteral("^read[ -]"))).size();
        QVERIFY2(reads <= h.trace().filter(QRegExp(QStringLiteral("^write[ -]"))).size(), qPrintable(h.trace().join('\n')));
        QCOMPARE(reads > 0, marked > 0);
    }

    // Whatever fails in the file leaves the tabs as they were, and says which
    // file and why in a message box and in the status bar; the connection is closed.
    void importFailsInTheFile_data()
    {
        QTest::addColumn<unsigned>("modelCode");
        QTest::addColumn<QString>("fileName"); // empty: no file
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("readFirst");
        QTest::addColumn<QString>("message");

        const QString bad = QStringLiteral("Ошибка: файл содержит некорректные данные");
        for (bool readFirst : {false, true}) {
            const char* when = readFirst ? "after a read" : "at start";
            QTest::addRow("unknown table, no table 1, %s", when)
                << ThreeTables << "x.csv" << encoded(QStringLiteral("База товаров 1.1\nnames\n\"1\";\"2\"\n"))
                << readFirst
                << "В заголовке файла csv неизвестная таблица: \"База товаров 1.1\" - нужно название таблицы ККТ и "
                   "\" 1.1\", например \"Режимы работы 1.1\"";
            QTest::addRow("no such file, %s", when)
                << 57u << QString() << QByteArray() << readFirst << "Невозможно открыть файл missing.csv";
            QTest::addRow("empty file, %s", when)
                << 57u << "empty.csv" << QByteArray() << readFirst << "Файл csv не содержит заголовка";
            QTest::addRow("value not in the list, %s", when)
                << 57u << "t.csv"
                << encoded(QStringLiteral("Типы оплаты 1.1\nnames\n\"1\";\"Наличные\";\"1\";\"1\"\n"
                                          "\"2\";\"Карта\";\"1\";\"9\"\n"))
                << readFirst << "Ошибка: таблица содержит некорректные данные в строке \"2\", поле \"Способ расчёта\": "
                                "значение \"9\" - нужен код из списка: 1, 2, 3, 4";
            QTest::addRow("a value short, %s", when)
                << 57u << "t.csv" << encoded(QStringLiteral("Режимы работы 1.1\nnames\n\"1\";\"0\"\n")) << readFirst
                << bad;
        }
        QTest::newRow("number out of range in a list table")
            << 57u << "t.csv"
            << encoded(QStringLiteral("Сетевые настройки 1.1\nnames\n\"1.2.3.4\";\"255.255.255.0\";\"1.2.3.1\";\"0\";"
                                      "\"0:0:0:0:0:0\";\"0\";\"\"\n"))
            << false << "Ошибка: таблица содержит некорректные данные в строке \"0\", поле \"Порт\": значение \"0\" - "
                        "нужно целое число от 1 до 65535";
        QTest::newRow("a value too many in a db table")
            << 57u << "t.csv" << encoded(QStringLiteral("Отделы 1.1\nnames\n\"1\";\"Хлеб\";\"1\";\"0.00\";\"0\";\"x\"\n"))
            << false << bad;
    }

    void importFailsInTheFile()
    {
        QFETCH(unsigned, modelCode);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        QFETCH(bool, readFirst);
        QFETCH(QString, message);

        EmulatorImage image = smallRegister();
        image.setIdentity(modelCode, QStringLiteral("Вескор-Эмулятор 57"), Serial, QStringLiteral("3.0.25"));
        QVERIFY(h.install(image));
        if (readFirst) {
            QVERIFY(h.readAll());
            QVERIFY(h.tabs()->count() > 0);
        }
        const QStringList tabsBefore = h.tabTitles();
        const QString infoBefore = h.window->infoText();
        const QString file = h.path(fileName.isEmpty() ? QStringLiteral("missing.csv") : fileName);
        if (!fileName.isEmpty())
            QVERIFY(writeBytes(file, contents));
        h.clearTrace();

        h.import(file);
        const QString said = QStringLiteral("%1: %2").arg(file, message);
        QCOMPARE(status(), said);
        QCOMPARE(h.boxes.size(), 1);
        QCOMPARE(h.boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(h.boxes.first().text, said);
        QCOMPARE(h.tabTitles(), tabsBefore);
        QCOMPARE(h.window->infoText(), infoBefore);
        QVERIFY(!h.button("writeButton")->isEnabled()); // nothing edited, whether read or not
        QVERIFY(h.window->isEnabled());
        QVERIFY(h.closedAtEnd());
    }

    // Without the register or its description nothing is read from the file.
    void importFailsBeforeTheFile_data()
    {
        QTest::addColumn<bool>("noDescription");
        QTest::addColumn<QString>("message");
        QTest::newRow("open fails") << false << NoLink;
        QTest::newRow("no description of the model") << true
                                                     << "Ошибка чтения файла с информацией о таблицах.\n";
    }

    void importFailsBeforeTheFile()
    {
        QFETCH(bool, noDescription);
        QFETCH(QString, message);

        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        EmulatorImage next = smallRegister();
        if (noDescription)
            next.setIdentity(9589, QStringLiteral("Другая"), QStringLiteral("0058000001"), QStringLiteral("3.0.25"));
        else
            next.addFault(fault(QStringLiteral("open")));
        QVERIFY(h.replaceImage(next));
        const QString file = h.path(QStringLiteral("t.csv"));
        QVERIFY(writeBytes(file, encoded(QStringLiteral("Клише 1.1\nnames\n\"1\";\"2\";\"3\";\"4\";\"5\";\"6\"\n"))));
        h.clearTrace();

        h.import(file);
        QCOMPARE(h.boxes.size(), 1);
        QCOMPARE(h.boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(h.boxes.first().title, QStringLiteral("Vescor"));
        QVERIFY2(h.boxes.first().text.startsWith(message), qPrintable(h.boxes.first().text));
        if (noDescription)
            QVERIFY(h.boxes.first().text.size() > message.size()); // with the loader's reason
        QCOMPARE(status(), QString());
        // The tabs read before stay, unless another register was identified.
        QCOMPARE(h.tabs()->count() > 0, !noDescription);
        QVERIFY(h.window->isEnabled());
        QVERIFY(h.closedAtEnd());
        QVERIFY(h.trace().filter(QRegExp(QStringLiteral("^read "))).isEmpty());
    }

    // The file names of a later export of all carry the serial number of the
    // register that the import identified.
    void importTakesTheConnectedRegistersIdentity()
    {
        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        EmulatorImage other = smallRegister();
        other.setIdentity(57, QStringLiteral("Вескор-Эмулятор 57"), QStringLiteral("0057000099"), QStringLiteral("3.0.25"));
        QVERIFY(h.replaceImage(other));
        const QString file = h.path(QStringLiteral("t.csv"));
        QVERIFY(writeBytes(file, encoded(QStringLiteral("Клише 1.1\nnames\n\"1\";\"2\";\"3\";\"4\";\"5\";\"6\"\n"))));
        h.import(file);
        QCOMPARE(status(), importedText(QStringLiteral("t.csv")));

        const QString out = h.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QVERIFY(h.exportAll(out));
        QCOMPARE(status(), Done);
        QCOMPARE(Harness::filesIn(out), QStringList{QStringLiteral("0057000099_4.csv")});
    }

    // Unwritten edits are asked about before the file is chosen; a "no" or a
    // cancelled dialog keeps them.
    void importAsksBeforeDroppingEdits_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("chooseFile");
        QTest::newRow("no") << false << true;
        QTest::newRow("yes, dialog cancelled") << true << false;
        QTest::newRow("yes, file chosen") << true << true;
    }

    void importAsksBeforeDroppingEdits()
    {
        QFETCH(bool, yes);
        QFETCH(bool, chooseFile);

        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        TableModel* cliche = h.modelOfTable(4);
        QVERIFY(cliche->setData(cliche->index(0, 0), QStringLiteral("ООО \"НОВОЕ\""), Qt::EditRole));
        const QPointer<TableModel> edited = cliche;
        const QString file = h.path(QStringLiteral("t.csv"));
        QVERIFY(writeBytes(file, encoded(QStringLiteral("Клише 1.1\nnames\n\"1\";\"2\";\"3\";\"4\";\"5\";\"6\"\n"))));
        h.questionAnswer = yes ? QMessageBox::Yes : QMessageBox::No;
        const QString readStatus = status();
        h.clearTrace();

        h.import(chooseFile ? file : QString());
        QCOMPARE(h.boxes.size(), 1);
        QCOMPARE(h.boxes.first().icon, QMessageBox::Question);
        QCOMPARE(h.boxes.first().text, QStringLiteral("Есть изменения, не записанные в ККТ. Продолжить без записи?"));
        QCOMPARE(h.dialogs.size(), yes ? 1 : 0);
        if (yes && chooseFile) {
            QVERIFY(edited.isNull());
            QCOMPARE(h.tabTables(), QList<unsigned>{4});
            QCOMPARE(status(), importedText(QStringLiteral("t.csv")));
        } else {
            QVERIFY(edited);
            QVERIFY(edited->hasChangedCells());
            QCOMPARE(h.tabs()->count(), 8);
            QVERIFY(h.trace().isEmpty());
            QCOMPARE(status(), yes ? Cancelled : readStatus);
        }
    }
};

VESCOR_TEST(ExchangeCommandsTest)

#include "tst_ExchangeCommands.moc"
