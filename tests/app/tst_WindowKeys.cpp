#include "ExchangeHarness.h"
#include "support/TestMain.h"

#include "dialogs/ShortcutsDlg.h"
#include "table/TableFilterModel.h"
#include "table/TablePage.h"

#include <QTableWidget>
#include <QTimer>

using namespace exchangetest;

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
              "Ctrl+D = Заполнить вниз", "Ctrl+F = Найти", "Ctrl+G = Перейти к строке", "F1 = Горячие клавиши"})
            QVERIFY2(lines.contains(QString(expected)), qPrintable(lines.join(QLatin1Char('\n'))));
        dialog->close();

        QVERIFY(h.button("readButton")->toolTip().contains(QStringLiteral("(F5)")));
        QVERIFY(h.button("writeButton")->toolTip().contains(QStringLiteral("(Ctrl+S)")));
        QVERIFY(h.button("pbtnLoadFromFile")->toolTip().contains(QStringLiteral("(Ctrl+O)")));
        QVERIFY(h.button("pbtnSaveToFile")->toolTip().contains(QStringLiteral("(Ctrl+Shift+E)")));
    }
};

VESCOR_TEST(WindowKeysTest)
#include "tst_WindowKeys.moc"
