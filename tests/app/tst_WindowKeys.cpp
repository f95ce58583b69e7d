#include "ExchangeHarness.h"
#include "support/TestMain.h"

#include "support/UserTyping.h"

#include "dialogs/ShortcutsDlg.h"
#include "table/TableFilterModel.h"
#include "table/TablePage.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

using namespace exchangetest;

// A cell typed over: its table, data row and column, the text typed, the text the tab shows after a read.
using KeyEdit = QVariantList;
Q_DECLARE_METATYPE(QList<KeyEdit>)

// The window's commands on their keys, pressed as a user presses them.
class WindowKeysTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    void press(const QKeySequence& key)
    {
        QTest::keySequence(h.window.get(), key);
        QCoreApplication::processEvents();
    }

    // A key to the widget with focus, as the keyboard sends it.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : h.window.get();
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }

    unsigned currentTable() const
    {
        auto* page = qobject_cast<TablePage*>(h.tabs()->currentWidget());
        return page ? page->tableModel()->tableNumber() : 0;
    }

private slots:
    void initTestCase() { h.installHandlers(); }
    void cleanupTestCase() { Harness::removeHandlers(); }
    void init()
    {
        QVERIFY(h.start());
        QVERIFY(h.install(smallRegister()));
    }
    void cleanup() { h.stop(); }

    void keysRunTheirCommands_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<int>("tabs");
        QTest::addColumn<QList<int>>("dialogs"); // FileDialog kinds asked for
        QTest::addColumn<bool>("marked");        // cells still waiting to be written
        const QList<int> none;
        QTest::newRow("F5 reads every table") << false << QKeySequence(Qt::Key_F5) << 8 << none << false;
        QTest::newRow("Ctrl+O asks for files to import")
            << false << QKeySequence(Qt::CTRL | Qt::Key_O) << 0 << QList<int>{FileDialog::OpenFileName} << false;
        QTest::newRow("Ctrl+E without tables does nothing") << false << QKeySequence(Qt::CTRL | Qt::Key_E) << 0 << none
                                                            << false;
        QTest::newRow("Ctrl+E asks where to save the current table")
            << true << QKeySequence(Qt::CTRL | Qt::Key_E) << 8 << QList<int>{FileDialog::SaveFileName} << true;
        QTest::newRow("Ctrl+Shift+E asks for a folder for all tables")
            << true << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E) << 8 << QList<int>{FileDialog::ExistingDirectory}
            << true;
        QTest::newRow("Ctrl+S writes the edited cell") << true << QKeySequence(Qt::CTRL | Qt::Key_S) << 8 << none
                                                       << false;
    }

    void keysRunTheirCommands()
    {
        QFETCH(bool, readFirst);
        QFETCH(QKeySequence, key);
        QFETCH(int, tabs);
        QFETCH(QList<int>, dialogs);
        QFETCH(bool, marked);
        if (readFirst) {
            QVERIFY(h.readAll());
            // A name of the commodity base edited through the tab's own paste, so that there is something to write.
            QVERIFY(h.selectTable(1));
            auto* page = qobject_cast<TablePage*>(h.tabs()->currentWidget());
            page->view()->setCurrentIndex(page->filterModel()->index(0, 1));
            page->pasteText(QStringLiteral("Новое имя"));
            QVERIFY(page->hasMarkedCells());
        }
        press(key);
        QCOMPARE(h.tabs()->count(), tabs);
        QList<int> kinds;
        for (const FileDialog::Request& request : h.dialogs)
            kinds << request.kind;
        QCOMPARE(kinds, dialogs);
        if (tabs > 0)
            QCOMPARE(qobject_cast<TablePage*>(h.tabs()->currentWidget())->hasMarkedCells(), marked);
    }

    // Whole tasks with the keyboard alone: F5, Ctrl+Tab to the table, arrows
    // to the cell, the new value typed over it, Enter, Ctrl+S; then what the
    // register holds is read back.
    void keyboardOnly_data()
    {
        QTest::addColumn<QList<KeyEdit>>("edits");
        QTest::newRow("VAT 20 % becomes 22 %")
            << QList<KeyEdit>{{6u, 0, 0, "22", "22.00"}, {6u, 0, 1, "НДС 22%", "НДС 22%"},
                              {6u, 4, 0, "22", "22.00"}, {6u, 4, 1, "НДС 22/122", "НДС 22/122"}};
        // The keys are in the first tab's table as soon as the read is done.
        QTest::newRow("a price typed straight after the read") << QList<KeyEdit>{{1u, 1, 2, "11", "11.00"}};
        QTest::newRow("three payment types renamed, two header lines changed")
            << QList<KeyEdit>{{5u, 1, 0, "КАРТОЙ", "КАРТОЙ"}, {5u, 2, 0, "СБП", "СБП"},
                              {5u, 6, 0, "БАЛЛЫ", "БАЛЛЫ"}, {4u, 0, 0, "ИП Иванов И. И.", "ИП Иванов И. И."},
                              {4u, 3, 0, "Тел. 8-800-000-00-00", "Тел. 8-800-000-00-00"}};
    }

    void keyboardOnly()
    {
        QFETCH(QList<KeyEdit>, edits);
        const RegisterCells before = h.cells();
        key(Qt::Key_F5);
        QCOMPARE(h.tabs()->count(), 8);
        for (const KeyEdit& edit : edits) {
            const unsigned table = edit[0].toUInt();
            for (int step = 0; currentTable() != table && step < h.tabs()->count(); ++step)
                key(Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(currentTable(), table);
            key(Qt::Key_Home, Qt::ControlModifier);
            for (int r = 0; r < edit[1].toInt(); ++r)
                key(Qt::Key_Down);
            for (int c = 0; c < edit[2].toInt(); ++c)
                key(Qt::Key_Right);
            typeKeys(QApplication::focusWidget(), edit[3].toString());
            key(Qt::Key_Return);
        }
        key(Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(h.window->statusText().startsWith(QStringLiteral("Успешно записано")), qPrintable(h.window->statusText()));
        QCOMPARE(differences(before, h.cells()).size(), edits.size());

        key(Qt::Key_F5);
        for (const KeyEdit& edit : edits) {
            TableModel* model = h.modelOfTable(edit[0].toUInt());
            QVERIFY(model);
            QCOMPARE(model->index(edit[1].toInt(), edit[2].toInt()).data().toString(), edit[4].toString());
        }
    }

    // Ctrl+Tab, Ctrl+PgDn forward and Ctrl+Shift+Tab, Ctrl+PgUp back, round the ends, from inside a table.
    void tabKeys()
    {
        key(Qt::Key_F5);
        QVERIFY(h.tabs()->count() > 2);
        const int last = h.tabs()->count() - 1;
        key(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(h.tabs()->currentIndex(), 1);
        QVERIFY(qobject_cast<TableView*>(QApplication::focusWidget()));
        key(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(h.tabs()->currentIndex(), 2);
        key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(h.tabs()->currentIndex(), 0);
        key(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(h.tabs()->currentIndex(), last);
    }

    // The journal opens on its key; its dialog is closed as soon as it shows.
    void journalKey()
    {
        QString title;
        QTimer::singleShot(0, [&title] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                title = dialog->windowTitle();
                dialog->close();
            }
        });
        press(QKeySequence(Qt::CTRL | Qt::Key_J));
        QVERIFY2(title.contains(QStringLiteral("Журнал")), qPrintable(title));
    }

    // F1 lists the window's and the tab's commands with their keys; the buttons name their keys.
    void shortcutsList_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::newRow("before a read") << false;
        QTest::newRow("with tables") << true;
    }

    void shortcutsList()
    {
        QFETCH(bool, readFirst);
        if (readFirst)
            QVERIFY(h.readAll());
        press(QKeySequence(Qt::Key_F1));
        auto* dialog = h.window->findChild<ShortcutsDlg*>(QStringLiteral("shortcutsDialog"));
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Горячие клавиши"));
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("shortcutsTable"));
        QStringList lines;
        for (int r = 0; r < table->rowCount(); ++r)
            // The first key of each command; the platform may add its own further ones.
            lines << table->item(r, 0)->text().section(QStringLiteral(", "), 0, 0) + QStringLiteral(" = ")
                    + table->item(r, 1)->text();
        for (const char* expected :
             {"F5 = Прочитать из ККТ все таблицы", "Ctrl+S = Записать изменения в ККТ", "Ctrl+E = Экспорт текущей таблицы",
              "Ctrl+O = Импорт из файла", "Ctrl+Z = Отменить", "Ctrl+V = Вставить", "Ctrl+C = Копировать",
              "Ctrl+D = Заполнить вниз", "Ctrl+F = Найти", "Ctrl+G = Перейти к строке", "F1 = Горячие клавиши",
              "Ctrl+M = Изменить значения…", "Ctrl+Tab = Следующая таблица", "Ctrl+Shift+Tab = Предыдущая таблица",
              "Alt+П = Прочитать из ККТ", "Alt+П = Прочитать из ККТ: Всё", "Alt+З = Записать в ККТ",
              "Alt+Ж = Журнал изменений", "Alt+С = Снимок ККТ: Сравнить со снимком…"})
            QVERIFY2(lines.contains(QString(expected)), qPrintable(lines.join(QLatin1Char('\n'))));
        // Each command's text is seen whole, without scrolling sideways.
        QCoreApplication::processEvents();
        const int textWidth = table->horizontalHeader()->sectionSize(0)
            + table->fontMetrics().horizontalAdvance(QStringLiteral("Отметить только отличия импорта от ККТ"));
        QVERIFY2(table->viewport()->width() >= textWidth,
                 qPrintable(QStringLiteral("%1 px < %2 px").arg(table->viewport()->width()).arg(textWidth)));
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        dialog->close();

        QVERIFY(h.button("readButton")->toolTip().contains(QStringLiteral("(F5)")));
        QVERIFY(h.button("writeButton")->toolTip().contains(QStringLiteral("(Ctrl+S)")));
        QVERIFY(h.button("pbtnLoadFromFile")->toolTip().contains(QStringLiteral("(Ctrl+O)")));
        QVERIFY(h.button("pbtnSaveToFile")->toolTip().contains(QStringLiteral("(Ctrl+Shift+E)")));
    }
};

VESCOR_TEST(WindowKeysTest)
#include "tst_WindowKeys.moc"
