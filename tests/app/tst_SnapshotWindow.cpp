#include "ExchangeHarness.h"

#include "support/RegisterWrite.h"
#include "support/OddNode.h"
#include "support/TestMain.h"

#include "app/CommandProgress.h"
#include "device/ProgressReporter.h"
#include "journal/JournalFolder.h"
#include "table/CellColors.h"
#include "table/TableFilterModel.h"
#include "table/TablePage.h"
#include "table/TableView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>
#include <QUndoStack>

using namespace exchangetest;

namespace {

// The cash desk number (table 2) and two tax rates, 21% and 11% (table 6).
const QList<RawCell> ThreeChanges = {
    {2, 1, 1, QByteArray::fromHex("07")},
    {6, 1, 1, QByteArray::fromHex("0834")},
    {6, 2, 1, QByteArray::fromHex("044c")},
};

using ShownCell = std::tuple<unsigned, int, int>; // table, data row, column

} // namespace

Q_DECLARE_METATYPE(QList<RawCell>)
Q_DECLARE_METATYPE(QList<ShownCell>)

// The "Снимок ККТ" menu: the window shows what the snapshot flow decided, marks
// the differing cells, names their count in the tabs, takes the snapshot's
// values as edits, and restores through the same flow as the shell program.
class SnapshotWindowTest : public QObject
{
    Q_OBJECT

private:
    Harness h;
    QByteArray m_dataHome;
    RegisterCells m_saved;

    QString snapshot() const { return h.path(QStringLiteral("kassa.zip")); }

    bool snapshotMenu(const QString& entry, const QString& answer)
    {
        h.answers = QStringList{answer};
        return h.triggerMenuEntry("snapshotButton", entry);
    }

    bool compare() { return snapshotMenu(QStringLiteral("Сравнить со снимком…"), snapshot()); }

    // The cells each tab paints in the snapshot's colour.
    QList<ShownCell> markedCells() const
    {
        QList<ShownCell> cells;
        for (int i = 0; i < h.tabs()->count(); ++i) {
            const TableModel* model = h.tabModel(i);
            for (int r = 0; r < model->tableData().size(); ++r) {
                for (int c = 0; c < model->tableData().at(r).size(); ++c) {
                    if (model->indexOfCell(r, c).data(Qt::BackgroundRole).value<QColor>()
                        == QColor(CellColors::snapshotDiffers))
                        cells << ShownCell{model->tableNumber(), r, c};
                }
            }
        }
        return cells;
    }

    QList<ShownCell> changedCells(const TableModel* model) const
    {
        QList<ShownCell> cells;
        for (int r = 0; r < model->tableData().size(); ++r) {
            for (int c = 0; c < model->tableData().at(r).size(); ++c) {
                if (model->tableData().at(r).at(c).changed)
                    cells << ShownCell{model->tableNumber(), r, c};
            }
        }
        return cells;
    }

    TablePage* pageOfTable(unsigned table) const
    {
        for (int i = 0; i < h.tabs()->count(); ++i) {
            if (h.tabModel(i)->tableNumber() == table)
                return qobject_cast<TablePage*>(h.tabs()->widget(i));
        }
        return nullptr;
    }

    int journalWrites() const
    {
        return JournalFolder(h.path(QStringLiteral("data/Orvane/Vescor/journal"))).writes(Serial).size();
    }

private slots:
    void initTestCase() { h.installHandlers(); }
    void cleanupTestCase() { Harness::removeHandlers(); }

    // A snapshot saved from the window, then three cells changed behind its back.
    void init()
    {
        QVERIFY(h.start());
        m_dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", h.path(QStringLiteral("data")).toUtf8());
        QVERIFY(h.install(smallRegister()));
        m_saved = h.cells();
        QVERIFY(snapshotMenu(QStringLiteral("Сохранить снимок…"), snapshot()));
        QCOMPARE(h.window->statusText(), QStringLiteral("Снимок kassa.zip сохранен: 168 ячеек в 8 таблицах"));
        QVERIFY(QFile::exists(snapshot()));
        QVERIFY(writeRawCells(ThreeChanges));
        h.boxes.clear();
    }

    void cleanup()
    {
        h.stop();
        qputenv("XDG_DATA_HOME", m_dataHome);
    }

    // A cancelled dialog or a file that is no snapshot changes nothing but the status.
    void refusedOrCancelled_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("save cancelled") << "Сохранить снимок…" << "" << "";
        QTest::newRow("compare cancelled") << "Сравнить со снимком…" << "" << "";
        QTest::newRow("restore cancelled") << "Восстановить из снимка…" << "" << "";
        QTest::newRow("compare with no snapshot") << "Сравнить со снимком…" << "junk.zip" << "это не архив ZIP";
        QTest::newRow("restore of no snapshot") << "Восстановить из снимка…" << "junk.zip" << "это не архив ZIP";
    }

    void refusedOrCancelled()
    {
        QFETCH(QString, entry);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        QVERIFY(writeBytes(h.path(QStringLiteral("junk.zip")), "не архив"));
        const RegisterCells before = h.cells();
        QVERIFY(snapshotMenu(entry, answer.isEmpty() ? answer : h.path(answer)));
        QCOMPARE(h.dialogs.last().filter, QStringLiteral("Снимки ККТ (*.zip);;Все файлы (*)"));
        if (message.isEmpty()) {
            QCOMPARE(h.window->statusText(), Cancelled);
            QVERIFY(h.boxes.isEmpty());
        } else {
            QCOMPARE(h.boxes.size(), 1);
            QVERIFY2(h.boxes.first().text.contains(message), qPrintable(h.boxes.first().text));
        }
        QCOMPARE(h.tabs()->count(), 0);
        QVERIFY(differences(before, h.cells()).isEmpty());
    }

    // A snapshot goes only where a regular file or nothing stands: the window
    // shows the refusal before the register is read, the node kept.
    void saveRefusedWhereNoRegularFileStands_data()
    {
        QTest::addColumn<int>("node");
        for (const OddNode::Kind kind : OddNode::Kinds)
            QTest::newRow(OddNode::name(kind)) << int(kind);
    }

    void saveRefusedWhereNoRegularFileStands()
    {
        QFETCH(int, node);
        const OddNode planted(OddNode::Kind(node), h.path(QStringLiteral("planted.zip")));
        if (!planted.skipReason().isEmpty())
            QSKIP(qPrintable(planted.skipReason()));
        const int readsBefore = h.trace().filter(QRegExp("^read")).size();
        QVERIFY(snapshotMenu(QStringLiteral("Сохранить снимок…"), planted.path()));
        QCOMPARE(h.boxes.size(), 1);
        const QString& text = h.boxes.first().text;
        QVERIFY2(text.contains(QStringLiteral("Не удалось записать снимок ККТ %1: ").arg(planted.path()))
                     && text.contains(planted.refusalWords()),
                 qPrintable(text));
        QVERIFY2(planted.unchanged(), qPrintable(planted.change()));
        QCOMPARE(h.trace().filter(QRegExp("^read")).size(), readsBefore);
    }

    // Compare: every table in a tab with its count of differences; the cells
    // the flow found differing in the snapshot's colour, its value as tooltip.
    void compareMarksDifferences_data()
    {
        QTest::addColumn<QList<RawCell>>("changes");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<ShownCell>>("marked");
        QTest::addColumn<QString>("status");
        QTest::newRow("three cells in two tables")
            << QList<RawCell>{} << QStringList{"Режимы работы (1)", "Налоговые ставки (2)"}
            << QList<ShownCell>{{2, 0, 0}, {6, 0, 0}, {6, 1, 0}} << "Снимок и ККТ расходятся в 3 ячейках";
        QTest::newRow("a price of the commodity base too")
            << QList<RawCell>{{1, 2, 3, QByteArray::fromHex("0000009999")}}
            << QStringList{"База товаров (1)", "Режимы работы (1)", "Налоговые ставки (2)"}
            << QList<ShownCell>{{1, 1, 2}, {2, 0, 0}, {6, 0, 0}, {6, 1, 0}} << "Снимок и ККТ расходятся в 4 ячейках";
        QTest::newRow("restored behind the window's back")
            << QList<RawCell>{{2, 1, 1, QByteArray::fromHex("01")},
                              {6, 1, 1, QByteArray::fromHex("07d0")},
                              {6, 2, 1, QByteArray::fromHex("03e8")}}
            << QStringList{"Режимы работы (0)", "Налоговые ставки (0)"} << QList<ShownCell>{}
            << "ККТ совпадает со снимком";
    }

    void compareMarksDifferences()
    {
        QFETCH(QList<RawCell>, changes);
        QFETCH(QStringList, titles);
        QFETCH(QList<ShownCell>, marked);
        QFETCH(QString, status);
        if (!changes.isEmpty())
            QVERIFY(writeRawCells(changes));
        QVERIFY(compare());
        QVERIFY(h.boxes.isEmpty());
        QCOMPARE(h.tabs()->count(), 8);
        for (const QString& title : titles)
            QVERIFY2(h.tabTitles().contains(title), qPrintable(h.tabTitles().join(", ")));
        QCOMPARE(markedCells(), marked);
        QCOMPARE(h.window->statusText(), status);
        const QModelIndex rate = h.modelOfTable(6)->indexOfCell(0, 0);
        QCOMPARE(rate.data(Qt::ToolTipRole).toString(),
                 marked.contains(ShownCell{6, 0, 0}) ? QStringLiteral("В снимке: 20.00") : QString());
    }

    // A comparison that fails leaves the tabs read before as they were: the
    // same tables, the chosen one, its edits and the register's line.
    void failedCompareKeepsTheTabs_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("registerFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("a file that is no snapshot") << "junk.zip" << false << "это не архив ZIP";
        QTest::newRow("the register fails in a table") << "kassa.zip" << true << "Нет связи";
        QTest::newRow("two snapshots, one of them no snapshot") << "kassa.zip\njunk.zip" << false
                                                                << "это не архив ZIP";
    }

    void failedCompareKeepsTheTabs()
    {
        QFETCH(QString, answer);
        QFETCH(bool, registerFails);
        QFETCH(QString, message);
        QVERIFY(writeBytes(h.path(QStringLiteral("junk.zip")), "не архив"));
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(6));
        TablePage* page = pageOfTable(6);
        QGuiApplication::clipboard()->setText(QStringLiteral("22.00"));
        page->view()->setFocus();
        QTest::keyClick(page->view(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.modelOfTable(6)->indexOfCell(0, 0).data().toString(), QStringLiteral("22.00"));
        h.boxes.clear();
        const QStringList titles = h.tabTitles();
        const int current = h.tabs()->currentIndex();
        const QString info = h.window->infoText();
        if (registerFails)
            QVERIFY(EmulatorImage::fromFile(h.imagePath).addFault({"read", 6}).save(h.imagePath));

        QStringList paths;
        for (const QString& name : answer.split(QLatin1Char('\n')))
            paths << h.path(name);
        QVERIFY(snapshotMenu(QStringLiteral("Сравнить со снимком…"), paths.join(QLatin1Char('\n'))));
        // The question about the unwritten edit, then the failure.
        QCOMPARE(h.boxes.size(), 2);
        QVERIFY2(h.boxes.last().text.contains(message), qPrintable(h.boxes.last().text));
        QCOMPARE(h.tabTitles(), titles);
        QCOMPARE(h.tabs()->currentIndex(), current);
        QCOMPARE(h.tabs()->currentWidget(), page);
        QCOMPARE(h.modelOfTable(6)->indexOfCell(0, 0).data().toString(), QStringLiteral("22.00"));
        QCOMPARE(h.window->infoText(), info);
        QVERIFY(h.button("writeButton")->isEnabled());
    }

    // Two snapshots chosen instead of one: the first one's tables in the tabs,
    // marked where the second differs, with the second one's value as tooltip, as against the register.
    void compareTwoSnapshots_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<ShownCell>>("marked");
        QTest::addColumn<QString>("status");
        QTest::newRow("three cells in two tables")
            << "now.zip" << QStringList{"Режимы работы (1)", "Налоговые ставки (2)"}
            << QList<ShownCell>{{2, 0, 0}, {6, 0, 0}, {6, 1, 0}} << "Снимки расходятся в 3 ячейках";
        QTest::newRow("the same snapshot twice") << "kassa.zip"
                                                 << QStringList{"Режимы работы (0)", "Налоговые ставки (0)"}
                                                 << QList<ShownCell>{} << "Снимки совпадают";
    }

    void compareTwoSnapshots()
    {
        QFETCH(QString, second);
        QFETCH(QStringList, titles);
        QFETCH(QList<ShownCell>, marked);
        QFETCH(QString, status);
        QVERIFY(snapshotMenu(QStringLiteral("Сохранить снимок…"), h.path(QStringLiteral("now.zip"))));
        h.clearTrace();
        // Both chosen in the one file dialog, the first one's tables for the tabs.
        QVERIFY(snapshotMenu(QStringLiteral("Сравнить со снимком…"), snapshot() + '\n' + h.path(second)));
        QVERIFY(h.dialogs.last().severalFiles);
        QVERIFY(h.boxes.isEmpty());
        QCOMPARE(h.tabs()->count(), 8);
        for (const QString& title : titles)
            QVERIFY2(h.tabTitles().contains(title), qPrintable(h.tabTitles().join(", ")));
        QCOMPARE(markedCells(), marked);
        QCOMPARE(h.window->statusText(), status);
        const QModelIndex rate = h.modelOfTable(6)->indexOfCell(0, 0);
        QCOMPARE(rate.data(Qt::DisplayRole).toString(), QStringLiteral("20.00"));
        QCOMPARE(rate.data(Qt::ToolTipRole).toString(),
                 marked.isEmpty() ? QString() : QStringLiteral("В снимке: 21.00"));
        // Two files compared: the register is not asked.
        QCOMPARE(h.trace(), QStringList());
    }

    // "Отменить" while a compare runs stops it as it stops a read: the tables
    // compared before keep their tabs and marks, the one being read gets none.
    void compareCancelled_data()
    {
        QTest::addColumn<int>("clickAfterTabs");
        QTest::newRow("in the first table") << 0;
        QTest::newRow("in the third table") << 2;
    }

    void compareCancelled()
    {
        QFETCH(int, clickAfterTabs);
        // A slow line (a request as long as the window's update interval): the
        // window hears the click before the next request.
        QVERIFY(EmulatorImage::fromFile(h.imagePath)
                    .setLinkLatency(int(ProgressReporter::UpdateInterval))
                    .save(h.imagePath));
        bool clicked = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* cancel = h.window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton"));
            if (clicked || !cancel || h.tabs()->count() < clickAfterTabs)
                return;
            clicked = true;
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        poll.start();
        QVERIFY(compare());
        poll.stop();
        QVERIFY(clicked);
        QVERIFY(h.boxes.isEmpty());
        QCOMPARE(h.window->statusText(), QStringLiteral("Операция чтения прервана пользователем"));
        QCOMPARE(h.tabs()->count(), clickAfterTabs);
        for (const QString& title : h.tabTitles())
            QVERIFY2(title.endsWith(QLatin1Char(')')), qPrintable(title));
        QVERIFY(!h.button("writeButton")->isEnabled());
    }

    // "Принять значения снимка": the differing cells of the chosen rows, or of
    // the table, take the snapshot's values marked for writing; one undo step
    // takes them back; a write then brings the register back to the snapshot.
    void acceptMarksForWriting_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<ShownCell>>("accepted");
        QTest::addColumn<QString>("title");
        QTest::newRow("the chosen row") << "acceptSnapshotRowsAction" << QList<ShownCell>{{6, 1, 0}}
                                        << "Налоговые ставки (1)*";
        QTest::newRow("the whole table") << "acceptSnapshotTableAction" << QList<ShownCell>{{6, 0, 0}, {6, 1, 0}}
                                         << "Налоговые ставки (0)*";
    }

    void acceptMarksForWriting()
    {
        QFETCH(QString, action);
        QFETCH(QList<ShownCell>, accepted);
        QFETCH(QString, title);
        QVERIFY(compare());
        QVERIFY(h.selectTable(6));
        TablePage* page = pageOfTable(6);
        TableModel* model = page->tableModel();
        const QModelIndex name = page->filterModel()->mapFromSource(model->indexOfCell(1, 1));
        QTest::mouseClick(page->view()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          page->view()->visualRect(name).center());
        page->findChild<QAction*>(action)->trigger();

        QCOMPARE(changedCells(model), accepted);
        QCOMPARE(page->undoStack()->count(), 1);
        QVERIFY2(h.tabTitles().contains(title), qPrintable(h.tabTitles().join(", ")));
        QCOMPARE(model->cellText(1, 0), QStringLiteral("10.00"));
        page->undoStack()->undo();
        QVERIFY(changedCells(model).isEmpty());
        QVERIFY(h.tabTitles().contains(QStringLiteral("Налоговые ставки (2)")));
        page->undoStack()->redo();

        h.clickWrite();
        QList<CellKey> left = {{2, 1, 1}};
        if (accepted.size() == 1)
            left << CellKey{6, 1, 1};
        QCOMPARE(differences(m_saved, h.cells()), left);
        QCOMPARE(journalWrites(), 1);
    }

    // Restore: asked first; agreed, the register holds the snapshot again, one
    // write in the journal, and the tabs of the tables written are read again.
    void restoreFromWindow_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::addColumn<QList<RawCell>>("readOnly"); // changed on the register too
        QTest::newRow("agreed") << true << QList<RawCell>{};
        QTest::newRow("declined") << false << QList<RawCell>{};
        QTest::newRow("agreed, a read-only cell changed") << true << QList<RawCell>{{6, 1, 3, QByteArray::fromHex("05")}};
    }

    void restoreFromWindow()
    {
        QFETCH(bool, agree);
        QFETCH(QList<RawCell>, readOnly);
        QVERIFY(writeRawCells(readOnly));
        QVERIFY(h.readAll());
        const RegisterCells changed = h.cells();
        h.questionAnswer = agree ? QMessageBox::Yes : QMessageBox::No;
        QVERIFY(snapshotMenu(QStringLiteral("Восстановить из снимка…"), snapshot()));
        QCOMPARE(h.boxes.size(), 1);
        QCOMPARE(h.boxes.first().icon, QMessageBox::Question);
        QVERIFY2(h.boxes.first().text.startsWith(QStringLiteral("Восстановить ККТ (модель 57")),
                 qPrintable(h.boxes.first().text));
        if (!agree) {
            QCOMPARE(h.window->statusText(), Cancelled);
            QVERIFY(differences(changed, h.cells()).isEmpty());
            QCOMPARE(journalWrites(), 0);
            return;
        }
        const QString unwritten = readOnly.isEmpty() ? QString() : QStringLiteral("; не записано: только для чтения, ячеек: 1");
        QVERIFY2(h.window->statusText().startsWith(QStringLiteral("Успешно записано 3 ячеек в 2 таблицах%1; ККТ до "
                                                                  "восстановления сохранена в снимке ").arg(unwritten)),
                 qPrintable(h.window->statusText()));
        QList<CellKey> left;
        for (const RawCell& cell : qAsConst(readOnly))
            left << CellKey{cell.table, cell.row, cell.field};
        QCOMPARE(differences(m_saved, h.cells()), left);
        QCOMPARE(journalWrites(), 1);
        QCOMPARE(h.modelOfTable(6)->cellText(0, 0), QStringLiteral("20.00"));
        QCOMPARE(h.modelOfTable(2)->cellText(0, 0), QStringLiteral("1"));
        QVERIFY(!h.modelOfTable(6)->hasChangedCells());
    }

    // The question before a restore names the tabs whose edits are not written yet: they will be lost.
    void restoreQuestionNamesUnwrittenTabs()
    {
        QVERIFY(h.readAll());
        for (unsigned table : {5u, 7u}) {
            QVERIFY(h.selectTable(table));
            auto* page = qobject_cast<TablePage*>(h.tabs()->currentWidget());
            page->view()->setCurrentIndex(page->filterModel()->index(1, 0));
            page->pasteText(QStringLiteral("НОВОЕ"));
            QVERIFY2(page->hasMarkedCells(), qPrintable(h.window->statusText()));
        }
        h.boxes.clear();
        h.questionAnswer = QMessageBox::No;
        QVERIFY(snapshotMenu(QStringLiteral("Восстановить из снимка…"), snapshot()));
        QCOMPARE(h.boxes.size(), 1);
        QVERIFY2(h.boxes.first().text.contains(
                     QStringLiteral("\nИзменения, не записанные в ККТ, будут потеряны на вкладках: Типы оплаты, Отделы.\n")),
                 qPrintable(h.boxes.first().text));
        QCOMPARE(h.window->statusText(), Cancelled);
        QVERIFY(h.modelOfTable(5)->hasChangedCells());
    }

    // A restore stopped with "Отменить" (as a read is): the register holds
    // whole tables, the warning names the tables restored and the ones not,
    // and the tabs show the register without marks or a comparison's counts.
    void restoreCancelledFromWindow_data()
    {
        QTest::addColumn<QString>("clickAt"); // the progress text the click waits for
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("cashDesk"); // what the tab of table 2 shows then
        QTest::newRow("in the first table") << "Режимы работы: строка"
                                            << "Записаны в ККТ таблицы: нет\nНе записаны таблицы: 2 \"Режимы работы\", "
                                               "6 \"Налоговые ставки\"\n"
                                            << "7";
        QTest::newRow("before the second table")
            << "Налоговые ставки: строка"
            << "Записаны в ККТ таблицы: 2 \"Режимы работы\"\nНе записаны таблицы: 6 \"Налоговые ставки\"\n"
            << "1";
    }

    void restoreCancelledFromWindow()
    {
        QFETCH(QString, clickAt);
        QFETCH(QString, report);
        QFETCH(QString, cashDesk);
        QVERIFY(compare());
        QVERIFY(h.tabTitles().contains(QStringLiteral("Налоговые ставки (2)")));
        const QStringList compared = h.tabTitles();
        const RegisterCells changed = h.cells();
        QVERIFY(EmulatorImage::fromFile(h.imagePath)
                    .setLinkLatency(int(ProgressReporter::UpdateInterval))
                    .save(h.imagePath));
        bool clicked = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* cancel = h.window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton"));
            auto* progress = h.window->findChild<CommandProgress*>();
            if (clicked || !cancel || !progress || !progress->format().startsWith(clickAt)
                || !progress->format().contains(QStringLiteral("записано")))
                return;
            clicked = true;
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        poll.start();
        h.boxes.clear();
        h.statusAtBoxes.clear();
        QVERIFY(snapshotMenu(QStringLiteral("Восстановить из снимка…"), snapshot()));
        poll.stop();
        QVERIFY(clicked);
        QCOMPARE(h.boxes.size(), 2);
        QCOMPARE(h.boxes.at(1).icon, QMessageBox::Warning);
        QVERIFY2(h.boxes.at(1).text.startsWith(QStringLiteral("Операция записи прервана пользователем\n") + report
                                               + QStringLiteral("ККТ до восстановления сохранена в снимке ")),
                 qPrintable(h.boxes.at(1).text));
        QCOMPARE(h.window->statusText(), QStringLiteral("Операция записи прервана пользователем"));
        QList<CellKey> restored;
        if (cashDesk == QLatin1String("1"))
            restored << CellKey{2, 1, 1};
        QCOMPARE(differences(changed, h.cells()), restored);
        QCOMPARE(journalWrites(), restored.isEmpty() ? 0 : 1);
        QCOMPARE(h.modelOfTable(2)->cellText(0, 0), cashDesk);
        QCOMPARE(h.modelOfTable(6)->cellText(0, 0), QStringLiteral("21.00"));
        // Nothing written, the comparison still holds; else it was of a register gone.
        if (restored.isEmpty()) {
            QCOMPARE(h.tabTitles(), compared);
            return;
        }
        for (const QString& title : h.tabTitles())
            QVERIFY2(!title.contains(QLatin1Char('(')) && !title.endsWith(QLatin1Char('*')), qPrintable(title));
        QVERIFY(markedCells().isEmpty());
    }

    // Agreed, the restore drops the edits its question named, starts its busy
    // state only after the answer, and leaves no mark, no count and no "*".
    void restoreLeavesNothingStale()
    {
        QVERIFY(compare());
        QVERIFY(h.selectTable(5));
        auto* page = qobject_cast<TablePage*>(h.tabs()->currentWidget());
        const QString shown = page->tableModel()->cellText(1, 0);
        page->view()->setCurrentIndex(page->filterModel()->index(1, 0));
        page->pasteText(QStringLiteral("НОВОЕ"));
        QVERIFY(page->hasMarkedCells());
        QVERIFY(h.window->windowTitle().endsWith(QLatin1Char('*')));
        h.boxes.clear();
        h.statusAtBoxes.clear();
        QVERIFY(snapshotMenu(QStringLiteral("Восстановить из снимка…"), snapshot()));
        QCOMPARE(h.boxes.size(), 1);
        QVERIFY2(h.boxes.first().text.contains(
                     QStringLiteral("\nИзменения, не записанные в ККТ, будут потеряны на вкладках: Типы оплаты.\n")),
                 qPrintable(h.boxes.first().text));
        QVERIFY2(!h.statusAtBoxes.first().contains(QStringLiteral("Идет запись")), qPrintable(h.statusAtBoxes.first()));
        QVERIFY2(h.window->statusText().startsWith(QStringLiteral("Успешно записано 3 ячеек в 2 таблицах")),
                 qPrintable(h.window->statusText()));
        QVERIFY(differences(m_saved, h.cells()).isEmpty());
        QCOMPARE(h.modelOfTable(5)->cellText(1, 0), shown);
        for (int i = 0; i < h.tabs()->count(); ++i)
            QVERIFY2(!h.tabModel(i)->hasChangedCells(), qPrintable(h.tabTitles().at(i)));
        for (const QString& title : h.tabTitles())
            QVERIFY2(!title.contains(QLatin1Char('(')) && !title.endsWith(QLatin1Char('*')), qPrintable(title));
        QVERIFY(!h.window->windowTitle().endsWith(QLatin1Char('*')));
        QVERIFY(markedCells().isEmpty());
    }
};

VESCOR_TEST(SnapshotWindowTest)

#include "tst_SnapshotWindow.moc"
