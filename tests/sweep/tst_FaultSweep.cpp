// Every flow that talks to the register, run once per driver call it makes
// with exactly that call failing, and once per read or write with the
// register's end-of-table answer coming early at that call. Whatever fails,
// the window must come back usable, the connection closed, the user told,
// the register either untouched or holding exactly the committed tables (and
// its journal, read back whole, exactly those tables), and
// no edit that did not reach the register may lose its mark.
#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/TestDriver.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SettingsDlg.h"
#include "exchange/CsvExchange.h"
#include "journal/JournalFolder.h"
#include "table/TableModel.h"
#include "table/TableView.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <tuple>

namespace {

enum class Flow { Read, Write, Import, Check };

using TableCells = std::map<unsigned, RegisterCells>;

// The cells of after that differ from before, by table, with their new bytes.
TableCells changedCells(const RegisterCells& before, const RegisterCells& after)
{
    TableCells changed;
    for (const auto& [key, bytes] : after) {
        const auto it = before.find(key);
        if (it == before.end() || it->second != bytes)
            changed[std::get<0>(key)][key] = bytes;
    }
    for (const auto& [key, bytes] : before) {
        if (!after.count(key))
            changed[std::get<0>(key)][key] = QByteArray("<gone>");
    }
    return changed;
}

// The fault entry's call name of a trace line.
QString callKind(const QString& line)
{
    const QString word = line.section(QLatin1Char(' '), 0, 0);
    if (word == QLatin1String("read-row"))
        return QStringLiteral("read");
    if (word == QLatin1String("write-row"))
        return QStringLiteral("write");
    return word;
}

// Whether a connection that the trace opened is still open at its end.
bool leftOpen(const QStringList& trace)
{
    bool open = false;
    for (const QString& line : trace) {
        if (line.startsWith(QLatin1String("open ")) && line.endsWith(QLatin1String("-> 0")))
            open = true;
        else if (line.startsWith(QLatin1String("close ")))
            open = false;
    }
    return open;
}

struct Edit
{
    unsigned table;
    int row;
    int column;
    QString text;
};

// Edits in four tables of four layouts: whole-row db, list, transposed list, db.
const QList<Edit> kEdits = {
    {1, 1, 1, QStringLiteral("Кефир 3,2%")},
    {1, 3, 7, QStringLiteral("65535")},
    {2, 0, 0, QStringLiteral("42")},
    {2, 7, 0, QStringLiteral("4321")},
    {4, 2, 0, QStringLiteral("ИНН 7709876543")},
    {6, 1, 0, QStringLiteral("5.55")},
};

// What one run of a flow left behind.
struct Outcome
{
    QStringList trace;
    QList<MessageBox::Request> boxes;
    QString status;
    QString result; // the connection check's result line
    bool windowEnabled = false;
    QByteArray imageBefore;
    QByteArray imageAfter;
    RegisterCells cellsAfter;
    std::map<unsigned, int> marks; // marked cells by table
    std::map<unsigned, int> journaled; // cells in the journal by table
    QStringList journalProblems;       // what reading the journal back reported
};

} // namespace

Q_DECLARE_METATYPE(Flow)

class FaultSweepTest : public QObject
{
    Q_OBJECT

private:
    EmulatorImage m_base; // every cell in the register's own hex form
    RegisterCells m_baseCells;
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_csvPath;
    QList<MessageBox::Request> m_boxes;
    TableCells m_writtenByCleanRun;
    int m_runs = 0;

    static QPushButton* button(QWidget* parent, const char* name)
    {
        return parent->findChild<QPushButton*>(QLatin1String(name));
    }

    static TableModel* tabModel(MainWindow& window, unsigned table)
    {
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        for (int i = 0; tabs && i < tabs->count(); ++i) {
            auto* view = tabs->widget(i)->findChild<TableView*>();
            auto* model = view ? view->tableModel() : nullptr;
            if (model && model->tableNumber() == table)
                return model;
        }
        return nullptr;
    }

    static std::map<unsigned, int> marks(MainWindow& window)
    {
        std::map<unsigned, int> counts;
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        for (int i = 0; tabs && i < tabs->count(); ++i) {
            auto* view = tabs->widget(i)->findChild<TableView*>();
            auto* model = view ? view->tableModel() : nullptr;
            if (!model)
                continue;
            for (const DataRow& row : model->tableData()) {
                for (const Cell& cell : row)
                    counts[model->tableNumber()] += cell.changed ? 1 : 0;
            }
        }
        return counts;
    }

    static bool readAll(MainWindow& window)
    {
        QMenu* menu = button(&window, "readButton")->menu();
        if (!menu)
            return false;
        for (QAction* action : menu->actions()) {
            if (QString(action->text()).remove(QLatin1Char('&')) == QStringLiteral("Всё")) {
                action->trigger();
                return true;
            }
        }
        return false;
    }

    // Runs the flow against the base register with the faults; the steps
    // before the flow (reading, editing, opening the dialog) see no fault.
    Outcome run(Flow flow, const QList<EmulatorImage::Fault>& faults)
    {
        ++m_runs;
        Outcome outcome;
        QTemporaryDir settingsDir;
        QTemporaryDir setupDir;
        m_base.install(setupDir);
        MainWindow window(nullptr, settingsDir.filePath(QStringLiteral("Vescor.ini")));
        window.show();
        std::unique_ptr<SettingsDlg> dialog;
        if (flow == Flow::Write) {
            readAll(window);
            for (const Edit& e : kEdits) {
                TableModel* model = tabModel(window, e.table);
                if (!model || !model->setData(model->index(e.row, e.column), e.text, Qt::EditRole))
                    qWarning("edit of table %u (%d, %d) refused", e.table, e.row, e.column);
            }
        } else if (flow == Flow::Check) {
            dialog = std::make_unique<SettingsDlg>(KKT_Logic::instance().handle());
            dialog->show();
        }

        // The journal of this run alone.
        QTemporaryDir dataHome;
        const QByteArray previousDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));

        QTemporaryDir flowDir;
        EmulatorImage image = m_base;
        for (const EmulatorImage::Fault& fault : faults)
            image.addFault(fault);
        const QString path = image.install(flowDir, true);
        outcome.imageBefore = fileBytes(path);
        m_boxes.clear();

        switch (flow) {
        case Flow::Read:
            readAll(window);
            break;
        case Flow::Write:
            QTest::mouseClick(button(&window, "writeButton"), Qt::LeftButton);
            break;
        case Flow::Import:
            QTest::mouseClick(button(&window, "pbtnLoadFromFile"), Qt::LeftButton);
            break;
        case Flow::Check:
            QTest::mouseClick(button(dialog.get(), "pbtnCheckConnection"), Qt::LeftButton);
            outcome.result = dialog->findChild<QLineEdit*>(QStringLiteral("leResult"))->text();
            break;
        }

        outcome.trace = EmulatorImage::traceLines(flowDir);
        outcome.boxes = m_boxes;
        outcome.status = window.statusText();
        outcome.windowEnabled = window.isEnabled() && (!dialog || dialog->isEnabled());
        outcome.imageAfter = fileBytes(path);
        outcome.cellsAfter = registerCells(path);
        outcome.marks = marks(window);
        for (const RecordedWrite& write : JournalFolder().writes(QString(), &outcome.journalProblems)) {
            for (const JournalRecord& record : write.tables)
                outcome.journaled[record.tableNumber] += record.cells.size();
        }
        qputenv("XDG_DATA_HOME", previousDataHome);
        dialog.reset();
        EmulatorImage::uninstall();
        return outcome;
    }

    static QString describe(const Outcome& o)
    {
        QStringList boxes;
        for (const MessageBox::Request& box : o.boxes)
            boxes << box.text;
        return QStringLiteral("trace: %1\nboxes: %2\nstatus: %3\nresult: %4")
            .arg(o.trace.join(QStringLiteral(" | ")), boxes.join(QStringLiteral(" | ")), o.status, o.result);
    }

    static bool reportsFailure(const Outcome& o)
    {
        for (const MessageBox::Request& box : o.boxes) {
            if (box.icon == QMessageBox::Critical && !box.text.isEmpty())
                return true;
        }
        return !o.status.isEmpty() && !o.status.startsWith(QStringLiteral("Успешно"));
    }

    // Calls whose failure need not stop the flow: the channel set before each
    // open is looked at by the open itself, the status query has already given
    // the firmware version that the version query asks again, and a close that
    // fails still ends the connection.
    static bool mayFailUnnoticed(const QString& call)
    {
        return call.startsWith(QLatin1String("set_single_setting "))
            || call.startsWith(QLatin1String("apply_single_settings "))
            || call.startsWith(QLatin1String("query 2 ")) || call.startsWith(QLatin1String("close "));
    }

    // Everything that must hold after any run; failing says why.
    QString violation(Flow flow, const Outcome& o, const QString& faultCall, int code)
    {
        const QString faultKind = callKind(faultCall);
        if (!o.windowEnabled)
            return QStringLiteral("the window is left disabled");
        if (leftOpen(o.trace))
            return QStringLiteral("the connection is left open");

        const bool endOfTable = code == 75 || code == 76;
        if (faultKind.isEmpty()) {
            // A run without faults: its success text is checked by the caller.
        } else if (flow == Flow::Check) {
            if (!o.result.contains(QStringLiteral("Нет связи")))
                return QStringLiteral("the result line does not name the failure");
        } else if (endOfTable || mayFailUnnoticed(faultCall)) {
            if (o.boxes.isEmpty() && o.status.isEmpty())
                return QStringLiteral("nothing tells the user how it ended");
        } else if (!reportsFailure(o)) {
            return QStringLiteral("the failure is not reported");
        }

        if (flow != Flow::Write) {
            if (o.imageAfter != o.imageBefore)
                return QStringLiteral("the register image changed");
            return QString();
        }

        const TableCells changed = changedCells(m_baseCells, o.cellsAfter);
        // The journal reads back whole and holds exactly the committed tables.
        if (!o.journalProblems.isEmpty())
            return QStringLiteral("the journal does not read back: ") + o.journalProblems.join(QStringLiteral("; "));
        for (const auto& [table, cells] : o.journaled) {
            if (!changed.count(table))
                return QStringLiteral("the journal holds table %1, which was not committed").arg(table);
        }
        for (const auto& [table, cells] : changed) {
            int edits = 0;
            for (const Edit& e : kEdits)
                edits += e.table == table ? 1 : 0;
            const auto it = o.journaled.find(table);
            if (it == o.journaled.end() || it->second != edits)
                return QStringLiteral("table %1 was committed but the journal lacks its cells").arg(table);
        }
        for (const auto& [table, cells] : changed) {
            const auto expected = m_writtenByCleanRun.find(table);
            if (expected == m_writtenByCleanRun.end())
                return QStringLiteral("table %1 changed without an edit").arg(table);
            if (cells != expected->second)
                return QStringLiteral("table %1 holds only part of its edits").arg(table);
        }
        for (const auto& [table, cells] : m_writtenByCleanRun) {
            if (changed.count(table))
                continue;
            int edits = 0;
            for (const Edit& e : kEdits)
                edits += e.table == table ? 1 : 0;
            const auto it = o.marks.find(table);
            const int marked = it == o.marks.end() ? 0 : it->second;
            if (marked != edits)
                return QStringLiteral("table %1 was not written but %2 of its %3 edits are marked")
                    .arg(table)
                    .arg(marked)
                    .arg(edits);
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            m_boxes << request;
            return request.icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
        });
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));

        // Let the register store its image once, so that every cell of the
        // file is hex and images compare cell by cell.
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 4);
        QTemporaryDir dir;
        const QString path = image.install(dir);
        {
            MainWindow owner(nullptr, m_home->filePath(QStringLiteral("Vescor.ini"))); // holds the driver handle
            KKT_Logic& logic = KKT_Logic::instance();
            QCOMPARE(logic.openAndIdentify(nullptr, nullptr, nullptr), 0);
            const unsigned char one = 1; // cell 2/1/1 of the default register holds 1
            DriverLibrary& driver = DriverLibrary::instance();
            driver.setParamInt(logic.handle(), LIBTILLO_PARAM_TABLE, 2);
            driver.setParamInt(logic.handle(), LIBTILLO_PARAM_ROW, 1);
            driver.setParamInt(logic.handle(), LIBTILLO_PARAM_FIELD, 1);
            driver.setParamByteArray(logic.handle(), LIBTILLO_PARAM_VALUE, &one, 1);
            QCOMPARE(driver.writeDeviceSettingRaw(logic.handle()), 0);
            QCOMPARE(driver.commitSettings(logic.handle()), 0);
            logic.close();
        }
        m_base = EmulatorImage::fromFile(path);
        QVERIFY(m_base.isValid());
        m_baseCells = registerCells(path);
        for (const auto& [key, bytes] : m_baseCells)
            QVERIFY(!bytes.isEmpty());

        // The file that the import reads: table 6 as the program exports it.
        m_base.install(dir);
        {
            QTemporaryDir settingsDir;
            MainWindow window(nullptr, settingsDir.filePath(QStringLiteral("Vescor.ini")));
            QVERIFY(readAll(window));
            TableModel* model = tabModel(window, 6);
            QVERIFY(model);
            m_csvPath = m_home->filePath(QStringLiteral("rates.csv"));
            CsvExchange().exportTable(m_csvPath, model->tableInfo(), model->tableData());
        }
        EmulatorImage::uninstall();
        FileDialog::setHandler([this](const FileDialog::Request&) { return m_csvPath; });

        // What a write without faults stores: the edits of each table.
        const Outcome clean = run(Flow::Write, {});
        QVERIFY2(clean.status.startsWith(QStringLiteral("Успешно записано 6 ячеек в 4 таблицах")),
                 qPrintable(describe(clean)));
        m_writtenByCleanRun = changedCells(m_baseCells, clean.cellsAfter);
        QCOMPARE(int(m_writtenByCleanRun.size()), 4);
    }

    void cleanupTestCase()
    {
        MessageBox::setHandler(nullptr);
        FileDialog::setHandler(nullptr);
        qInfo("fault sweep: %d runs in all", m_runs);
    }

    void everyCallFailing_data()
    {
        QTest::addColumn<Flow>("flow");
        QTest::addColumn<QString>("success");
        QTest::newRow("read all tables") << Flow::Read << QStringLiteral("Успешно прочитано");
        QTest::newRow("write edited tables") << Flow::Write << QStringLiteral("Успешно записано 6 ячеек в 4 таблицах");
        QTest::newRow("connection check") << Flow::Check << QStringLiteral("ФИСК.");
        QTest::newRow("import") << Flow::Import << QStringLiteral("Успешно прочитан файл rates.csv");
    }

    void everyCallFailing()
    {
        QFETCH(Flow, flow);
        QFETCH(QString, success);

        const Outcome clean = run(flow, {});
        const QString shown = flow == Flow::Check ? clean.result : clean.status;
        QVERIFY2(shown.contains(success), qPrintable(describe(clean)));
        QVERIFY2(violation(flow, clean, QString(), 0).isEmpty(), qPrintable(describe(clean)));
        QVERIFY(!clean.trace.isEmpty());

        std::map<QString, int> seen;
        int runs = 0;
        for (const QString& line : clean.trace) {
            const QString kind = callKind(line);
            EmulatorImage::Fault fault;
            fault.call = kind;
            fault.after = seen[kind]++;
            fault.times = 1;
            const Outcome o = run(flow, {fault});
            ++runs;
            const QString why = violation(flow, o, line, fault.code);
            QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("%1 failing (call %2 of %3, '%4'): %5\n%6")
                                                   .arg(kind)
                                                   .arg(runs)
                                                   .arg(clean.trace.size())
                                                   .arg(line, why, describe(o))));
        }
        qInfo("%s: %d calls, %d runs", QTest::currentDataTag(), int(clean.trace.size()), runs);
    }

    // A commit that stops after writing its temporary file, as a crash would.
    void commitInterrupted()
    {
        const Outcome clean = run(Flow::Write, {});
        int commits = 0;
        for (const QString& line : clean.trace) {
            if (callKind(line) != QLatin1String("commit"))
                continue;
            EmulatorImage::Fault fault;
            fault.call = QStringLiteral("commit");
            fault.after = commits++;
            fault.times = 1;
            fault.stage = QStringLiteral("rename");
            const Outcome o = run(Flow::Write, {fault});
            const QString why = violation(Flow::Write, o, line, fault.code);
            QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("commit %1 interrupted: %2\n%3")
                                                   .arg(commits)
                                                   .arg(why, describe(o))));
        }
        QVERIFY(commits > 0);
        qInfo("write edited tables: %d runs", commits);
    }

    void earlyEndOfTable_data()
    {
        QTest::addColumn<Flow>("flow");
        QTest::newRow("read all tables") << Flow::Read;
        QTest::newRow("write edited tables") << Flow::Write;
    }

    void earlyEndOfTable()
    {
        QFETCH(Flow, flow);

        const Outcome clean = run(flow, {});
        std::map<QString, int> seen;
        int runs = 0;
        for (const QString& line : clean.trace) {
            const QString kind = callKind(line);
            const int after = seen[kind]++;
            if (kind != QLatin1String("read") && kind != QLatin1String("write"))
                continue;
            for (int code : {75, 76}) {
                EmulatorImage::Fault fault;
                fault.call = kind;
                fault.after = after;
                fault.times = 1;
                fault.code = code;
                fault.description = code == 75 ? QStringLiteral("Нет такой строки") : QStringLiteral("Нет такого поля");
                const Outcome o = run(flow, {fault});
                ++runs;
                const QString why = violation(flow, o, line, code);
                QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("%1 answering %2 ('%3'): %4\n%5")
                                                       .arg(kind)
                                                       .arg(code)
                                                       .arg(line, why, describe(o))));
            }
        }
        qInfo("%s: %d runs", QTest::currentDataTag(), runs);
    }
};

VESCOR_TEST(FaultSweepTest)
#include "tst_FaultSweep.moc"
