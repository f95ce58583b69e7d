#include "ExchangeHarness.h"

#include "support/TestMain.h"
#include "support/UserTyping.h"

#include "app/StatusLabel.h"
#include "common/Product.h"
#include "table/TableFilterModel.h"
#include "table/TablePage.h"
#include "table/TableSearchBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QUndoStack>

using namespace exchangetest;

namespace {

// One thing a user does in the window, as the data of a test row.
struct Act
{
    QString what; // "edit", "undo", "redo", "write", "revert table"
    unsigned table = 0;
    int row = 0;
    int column = 0;
    QString text;
};

Act editAct(unsigned table, int row, int column, const QString& text)
{
    return {QStringLiteral("edit"), table, row, column, text};
}

Act act(const QString& what, unsigned table = 0)
{
    return {what, table, 0, 0, QString()};
}

} // namespace

Q_DECLARE_METATYPE(QList<Act>)

class WindowEditingTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    TablePage* page(unsigned table)
    {
        for (int i = 0; i < h.tabs()->count(); ++i) {
            auto* p = qobject_cast<TablePage*>(h.tabs()->widget(i));
            if (p && p->tableModel()->tableNumber() == table)
                return p;
        }
        return nullptr;
    }

    QString tabTitle(unsigned table)
    {
        TablePage* p = page(table);
        return p ? h.tabs()->tabText(h.tabs()->indexOf(p)) : QString();
    }

    // Picks the tab, clicks the cell, types the text over it and confirms, as a user does.
    void type(unsigned table, int row, int column, const QString& text)
    {
        QVERIFY(h.selectTable(table));
        TablePage* p = page(table);
        TableView* view = p->view();
        const QModelIndex index = p->filterModel()->mapFromSource(p->tableModel()->index(row, column));
        QVERIFY(index.isValid());
        view->scrollTo(index);
        // A click on the cell already chosen would start a delayed edit of its own.
        if (view->currentIndex() != index)
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(index).center());
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(index));
        QVERIFY2(editor, "the cell opens no line editor");
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        typeKeys(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    void keyToCurrentView(int key, Qt::KeyboardModifiers modifiers)
    {
        auto* p = qobject_cast<TablePage*>(h.tabs()->currentWidget());
        QVERIFY(p);
        p->view()->setFocus();
        QTest::keyClick(p->view(), Qt::Key(key), modifiers);
    }

    // One act of a test row, as the user does it.
    void perform(const Act& a)
    {
        if (a.what == QLatin1String("edit")) {
            QString text = a.text;
            if (text == QLatin1String("__read__"))
                text = QString::fromUtf8(page(a.table)->tableModel()->readValue(a.row, a.column));
            type(a.table, a.row, a.column, text);
        } else if (a.what == QLatin1String("undo")) {
            keyToCurrentView(Qt::Key_Z, Qt::ControlModifier);
        } else if (a.what == QLatin1String("redo")) {
            keyToCurrentView(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        } else if (a.what == QLatin1String("revert table")) {
            keyToCurrentView(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        } else if (a.what == QLatin1String("write")) {
            h.clickWrite();
            QVERIFY2(h.window->statusText().startsWith(QStringLiteral("Успешно записано")),
                     qPrintable(h.window->statusText()));
        } else if (a.what == QLatin1String("failed read")) {
            // The register no longer answers: the read wipes the tabs and says why.
            EmulatorImage image = EmulatorImage::fromFile(h.imagePath);
            QVERIFY(h.replaceImage(image.addFault(fault(QStringLiteral("open")))));
            h.questionAnswer = QMessageBox::Yes;
            QVERIFY(h.triggerMenuEntry("readButton", QStringLiteral("Всё")));
            QVERIFY(!h.boxes.isEmpty());
            QCOMPARE(h.boxes.last().text, NoLink);
            QCOMPARE(h.tabs()->count(), 0);
        } else if (a.what == QLatin1String("import")) {
            QVERIFY(h.exportCurrent(h.path(QStringLiteral("t.csv"))));
            h.import(h.path(QStringLiteral("t.csv")));
            QVERIFY2(h.boxes.isEmpty(), qPrintable(h.boxes.value(0).text));
        }
    }

private slots:
    void initTestCase() { h.installHandlers(); }
    void cleanupTestCase() { Harness::removeHandlers(); }
    void init()
    {
        QVERIFY(h.start());
        // The title the program gives its window.
        h.window->setWindowTitle(product::windowTitle());
    }
    void cleanup() { h.stop(); }

    // A tab with cells to write shows "*" after its title, and the window's
    // title while any tab does.
    void marksInTitles_data()
    {
        QTest::addColumn<QList<Act>>("acts");
        QTest::addColumn<QStringList>("markedTabs"); // table numbers
        QTest::newRow("nothing edited") << QList<Act>{} << QStringList{};
        QTest::newRow("one edit") << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ"))} << QStringList{"4"};
        QTest::newRow("edit undone with Ctrl+Z")
            << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ")), act(QStringLiteral("undo"))} << QStringList{};
        QTest::newRow("undone and redone")
            << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ")), act(QStringLiteral("undo")),
                          act(QStringLiteral("redo"))}
            << QStringList{"4"};
        QTest::newRow("two tabs, one undone")
            << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ")), editAct(5, 1, 0, QStringLiteral("КАРТА")),
                          act(QStringLiteral("undo"))}
            << QStringList{"4"};
        QTest::newRow("typed back to the value read")
            << QList<Act>{editAct(5, 1, 0, QStringLiteral("КАРТА")), editAct(5, 1, 0, QStringLiteral("__read__"))}
            << QStringList{};
        QTest::newRow("whole table reverted")
            << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ")), editAct(4, 1, 0, QStringLiteral("УЛ. НОВАЯ")),
                          act(QStringLiteral("revert table"))}
            << QStringList{};
        QTest::newRow("written") << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ")), act(QStringLiteral("write"))}
                                 << QStringList{};
        QTest::newRow("written, then undone: the register has the new value")
            << QList<Act>{editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ")), act(QStringLiteral("write")),
                          act(QStringLiteral("undo"))}
            << QStringList{"4"};
    }

    void marksInTitles()
    {
        QFETCH(QList<Act>, acts);
        QFETCH(QStringList, markedTabs);
        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        QCOMPARE(h.window->windowTitle(), product::windowTitle());
        for (const Act& a : acts)
            perform(a);
        for (int i = 0; i < h.tabs()->count(); ++i) {
            const TableModel* model = h.tabModel(i);
            const bool marked = markedTabs.contains(QString::number(model->tableNumber()));
            QCOMPARE(h.tabs()->tabText(i), marked ? model->tableInfo().name + QLatin1Char('*') : model->tableInfo().name);
            QCOMPARE(model->hasChangedCells(), marked);
        }
        QCOMPARE(h.window->windowTitle(),
                 markedTabs.isEmpty() ? product::windowTitle() : product::windowTitle() + QLatin1Char('*'));
    }

    // "Записать в ККТ" takes a click (and Ctrl+S) only while a tab holds cells to
    // write, "Экспорт" (and its keys) only while there is a tab.
    void buttonsFollowWhatThereIs_data()
    {
        QTest::addColumn<QList<Act>>("acts");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("exportable");
        const Act edit = editAct(4, 0, 0, QStringLiteral("ООО ЛУЧ"));
        QTest::newRow("read, nothing edited") << QList<Act>{} << false << true;
        QTest::newRow("one edit") << QList<Act>{edit} << true << true;
        QTest::newRow("edit undone") << QList<Act>{edit, act(QStringLiteral("undo"))} << false << true;
        QTest::newRow("undone and redone")
            << QList<Act>{edit, act(QStringLiteral("undo")), act(QStringLiteral("redo"))} << true << true;
        QTest::newRow("edit written") << QList<Act>{edit, act(QStringLiteral("write"))} << false << true;
        QTest::newRow("table reverted") << QList<Act>{edit, act(QStringLiteral("revert table"))} << false << true;
        QTest::newRow("imported") << QList<Act>{act(QStringLiteral("import"))} << true << true;
        QTest::newRow("failed read after a read") << QList<Act>{act(QStringLiteral("failed read"))} << false << false;
        QTest::newRow("failed read after an edit")
            << QList<Act>{edit, act(QStringLiteral("failed read"))} << false << false;
    }

    void buttonsFollowWhatThereIs()
    {
        QFETCH(QList<Act>, acts);
        QFETCH(bool, writable);
        QFETCH(bool, exportable);
        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        for (const Act& a : acts)
            perform(a);
        QCOMPARE(h.button("writeButton")->isEnabled(), writable);
        QCOMPARE(h.button("pbtnSaveToFile")->isEnabled(), exportable);
        if (writable)
            return;

        // The keys of a button that takes no click do nothing either.
        const QString status = h.window->statusText();
        const RegisterCells cells = h.cells();
        h.boxes.clear();
        h.dialogs.clear();
        h.clearTrace();
        QTest::keyClick(h.window.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(h.boxes.isEmpty());
        QCOMPARE(h.window->statusText(), status);
        QVERIFY(h.trace().isEmpty());
        QCOMPARE(h.cells(), cells);
        // The export keys ask for a file only where there is a tab to export.
        QTest::keyClick(h.window.get(), Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(h.window.get(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(h.dialogs.size(), exportable ? 2 : 0);
        QVERIFY(h.boxes.isEmpty());
    }

    // Ctrl+F and "Бан" in the commodity base: the matching rows and their
    // count; an edit there, written, changes exactly that cell of the register.
    void filteredEditIsWritten()
    {
        QVERIFY(h.install(EmulatorImage::defaultImage()));
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        TablePage* goods = page(1);
        QVERIFY(goods);
        QCOMPARE(goods->tableModel()->rowCount(), 300);
        keyToCurrentView(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(goods->searchBar()->searchField()));
        typeKeys(goods->searchBar()->searchField(), QStringLiteral("Бан"));
        goods->applyPendingSearch();
        QCOMPARE(goods->filterModel()->rowCount(), 10);
        QCOMPARE(goods->findChild<QLabel*>(QStringLiteral("searchCount"))->text(),
                 QStringLiteral("Найдено строк: 10 из 300"));
        // The second match is register row 60.
        const QModelIndex second = goods->filterModel()->index(1, 1);
        QCOMPARE(second.data().toString(), QStringLiteral("Бананы 0,5 кг"));
        QCOMPARE(goods->filterModel()->mapToSource(second).row(), 59);

        const RegisterCells before = h.cells();
        type(1, 59, 2, QStringLiteral("70.10"));
        QCOMPARE(goods->tableModel()->index(59, 2).data().toString(), QStringLiteral("70.10"));
        // Everything that reads the table sees all of it.
        QCOMPARE(h.window->currentTableModel()->rowCount(), 300);
        h.clickWrite();
        QCOMPARE(h.window->statusText(), QStringLiteral("Успешно записано 1 ячеек в 1 таблицах"));
        QCOMPARE(differences(before, h.cells()), QList<CellKey>{CellKey(1, 60, 3)});
    }

    // A long or multi-line message is shown on one line, elided, with the
    // whole of it as the tooltip; the register's label stays in sight.
    void longStatusTextIsElided_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("elided");
        QTest::newRow("short") << "Успешно прочитано 120 ячеек в 3 таблицах" << false;
        QTest::newRow("two lines") << "Ошибка записи таблицы 4 - [Клише]\nРяд 4, поле 1: текст длиннее 48 символов"
                                   << true;
        QTest::newRow("very long") << QString(40, QLatin1Char('x')).repeated(10) << true;
    }

    void longStatusTextIsElided()
    {
        QFETCH(QString, text);
        QFETCH(bool, elided);
        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        h.window->resize(800, 600);
        QCoreApplication::processEvents();
        auto* label = h.window->findChild<StatusLabel*>(QStringLiteral("m_statusLabel"));
        auto* info = h.window->findChild<QLabel*>(QStringLiteral("m_infoLabel"));
        QVERIFY(label && info);
        h.window->setStatusText(text);
        QCoreApplication::processEvents();
        QCOMPARE(h.window->statusText(), text);
        QVERIFY(!label->shownText().contains(QLatin1Char('\n')));
        QCOMPARE(label->shownText() != text, elided);
        QCOMPARE(label->toolTip(), elided ? text : QString());
        // One line high, and the register's name and number in full view.
        QVERIFY(label->height() < 2 * label->fontMetrics().height() + 8);
        QCOMPARE(info->text(), QStringLiteral("Вескор-Эмулятор 57, 0057000001"));
        QVERIFY(info->isVisible());
        QVERIFY(info->geometry().right() <= h.window->statusBar()->width());
        QVERIFY(info->width() >= info->sizeHint().width());
        QVERIFY(label->geometry().right() <= info->x());
    }

    // Each file dialog starts where the last one of its kind went in this
    // run (export and import of tables are one kind), the first in the home folder.
    void dialogsStartInTheLastFolder_data()
    {
        QTest::addColumn<QStringList>("commands"); // command=answer (a folder or a file in one)
        QTest::addColumn<QStringList>("starts");   // the folders asked, "~" for home, "a" and "b" made below
        QTest::newRow("first dialogs") << QStringList{"current=", "import="} << QStringList{"~", "~"};
        QTest::newRow("export current twice") << QStringList{"current=a/x.csv", "current=b/y.csv", "current="}
                                              << QStringList{"~", "a", "b"};
        QTest::newRow("export all, then current") << QStringList{"all=a", "current="} << QStringList{"~", "a"};
        QTest::newRow("export and import apart") << QStringList{"current=a/x.csv", "import=", "all="}
                                                 << QStringList{"~", "a", "a"};
        QTest::newRow("import remembered") << QStringList{"current=a/x.csv", "import=a/x.csv", "import="}
                                           << QStringList{"~", "a", "a"};
        QTest::newRow("export after an import") << QStringList{"current=b/y.csv", "import=b/y.csv", "all=a", "import="}
                                                << QStringList{"~", "b", "b", "a"};
        QTest::newRow("cancelled changes nothing") << QStringList{"all=b", "all=", "current="}
                                                   << QStringList{"~", "b", "b"};
    }

    void dialogsStartInTheLastFolder()
    {
        QFETCH(QStringList, commands);
        QFETCH(QStringList, starts);
        QVERIFY(h.install(smallRegister()));
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(6));
        QVERIFY(QDir().mkpath(h.path(QStringLiteral("a"))));
        QVERIFY(QDir().mkpath(h.path(QStringLiteral("b"))));
        h.dialogs.clear();
        for (const QString& command : commands) {
            const QString name = command.section(QLatin1Char('='), 0, 0);
            const QString answer = command.section(QLatin1Char('='), 1);
            const QString path = answer.isEmpty() ? QString() : h.path(answer);
            if (name == QLatin1String("all")) {
                QVERIFY(h.exportAll(path));
            } else if (name == QLatin1String("current")) {
                QVERIFY(h.exportCurrent(path));
            } else {
                h.questionAnswer = QMessageBox::Yes;
                h.import(path);
                if (!path.isEmpty())
                    QVERIFY(h.selectTable(6));
            }
        }
        QStringList asked;
        for (const FileDialog::Request& request : h.dialogs) {
            // The save dialog proposes the table's file name in its folder.
            QString folder = request.dir;
            if (request.kind == FileDialog::SaveFileName) {
                QCOMPARE(QFileInfo(folder).fileName(), QStringLiteral("0057000001_6.csv"));
                folder = QFileInfo(folder).path();
            }
            if (folder == QDir::homePath())
                asked << QStringLiteral("~");
            else
                asked << QDir(h.dir->path()).relativeFilePath(folder);
        }
        QCOMPARE(asked, starts);
    }

    // While a read runs the progress bar names the table and the rows done;
    // the cancel button sits beside it in the status bar and takes a click.
    void progressSaysWhatIsRead()
    {
        QVERIFY(h.install(smallRegister(4)));
        auto* bar = h.window->findChild<QProgressBar*>(QStringLiteral("m_progressBar"));
        QVERIFY(bar);
        QStringList seen;
        bool cancelInBar = false;
        bool cancelUsable = false;
        const QMetaObject::Connection watch = connect(bar, &QProgressBar::valueChanged, this, [&] {
            seen << bar->text();
            auto* cancel = h.window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton"));
            if (cancel) {
                cancelInBar = h.window->statusBar()->isAncestorOf(cancel);
                cancelUsable = cancel->isVisible() && cancel->isEnabled() && !h.button("readButton")->isEnabled();
            }
        });
        QVERIFY(h.readAll());
        disconnect(watch);
        QVERIFY(cancelInBar);
        QVERIFY(cancelUsable);
        QVERIFY2(seen.contains(QStringLiteral("Клише: строка 6 из 6")), qPrintable(seen.join('|')));
        QVERIFY(bar->isHidden());
        QVERIFY(!h.window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton")));
    }

    // A maximised window shows at least 50 rows of the commodity base, with
    // the usual desktop type of 9 points.
    void manyRowsInSight()
    {
        const QFont before = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        QVERIFY(h.install(EmulatorImage::defaultImage()));
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        h.window->resize(1280, 900);
        QCoreApplication::processEvents();
        TableView* view = page(1)->view();
        const int first = view->rowAt(0);
        const int last = view->rowAt(view->viewport()->height() - 1);
        QVERIFY2(last - first + 1 >= 50, qPrintable(QStringLiteral("%1 rows of %2 px in %3 px, font %4 px, %5")
                                                        .arg(last - first + 1)
                                                        .arg(view->rowHeight(0))
                                                        .arg(view->viewport()->height())
                                                        .arg(view->fontMetrics().height())
                                                        .arg(view->font().toString())));
        // The name column still fits the names of the first rows.
        QVERIFY(view->columnWidth(1) >= view->fontMetrics().horizontalAdvance(QStringLiteral("Йогурт клубничный")));
        QApplication::setFont(before);
    }
};

VESCOR_TEST(WindowEditingTest)
#include "tst_WindowEditing.moc"
