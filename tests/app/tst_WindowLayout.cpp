#include "ExchangeHarness.h"
#include "support/TestMain.h"

#include "settings/WindowLayout.h"
#include "table/TablePage.h"
#include "table/TableView.h"

#include <QHeaderView>
#include <QSettings>

using namespace exchangetest;

// The window's size, place and maximised state, and each table's column
// widths, come back when the program starts again.
class WindowLayoutTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    QHeaderView* columns(unsigned table) const
    {
        for (int i = 0; i < h.tabs()->count(); ++i) {
            auto* page = qobject_cast<TablePage*>(h.tabs()->widget(i));
            if (page && page->tableModel()->tableNumber() == table)
                return page->view()->horizontalHeader();
        }
        return nullptr;
    }

    // The program ends and starts again with the same settings file.
    bool restart()
    {
        h.window.reset();
        h.window = std::make_unique<MainWindow>(nullptr, h.path(QStringLiteral("Vescor.ini")));
        h.window->show();
        return QTest::qWaitForWindowExposed(h.window.get());
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

    void restoredAfterRestart_data()
    {
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<int>("nameWidth");
        QTest::newRow("window in its place, a wide name column") << false << 333;
        QTest::newRow("maximised, a narrow name column") << true << 41;
    }

    void restoredAfterRestart()
    {
        QFETCH(bool, maximised);
        QFETCH(int, nameWidth);
        const QRect place(60, 50, 900, 640);
        h.window->setGeometry(place);
        if (maximised)
            h.window->showMaximized();
        QCoreApplication::processEvents();
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        QVERIFY(h.selectTable(2));
        const int otherWidth = columns(2)->sectionSize(0);
        columns(1)->resizeSection(1, nameWidth);
        const QRect normal = h.window->normalGeometry();

        QVERIFY(restart());
        QCOMPARE(h.window->isMaximized(), maximised);
        QCOMPARE(h.window->normalGeometry().size(), normal.size());
        if (!maximised)
            QCOMPARE(h.window->geometry(), place);
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        QCOMPARE(columns(1)->sectionSize(1), nameWidth);
        // Each table keeps its own widths; the user may still change them.
        QVERIFY(h.selectTable(2));
        QCOMPARE(columns(2)->sectionSize(0), otherWidth);
        QCOMPARE(columns(1)->sectionResizeMode(1), QHeaderView::Interactive);

        // The driver's settings string stays beside the layout.
        QSettings file(h.path(QStringLiteral("Vescor.ini")), QSettings::IniFormat);
        QVERIFY(!file.value(QStringLiteral("SETTINGS_STR")).toString().isEmpty());
    }

    // Widths that do not fit the table (its description changed) or are no
    // numbers are not taken: the columns fit their rows again.
    void unfitWidthsIgnored_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("one width too few") << "120,80";
        QTest::newRow("not a number") << "120,abc,80,80,80,80,80,80";
    }

    void unfitWidthsIgnored()
    {
        QFETCH(QString, stored);
        h.window.reset();
        {
            QSettings file(h.path(QStringLiteral("Vescor.ini")), QSettings::IniFormat);
            file.setValue(QStringLiteral("ColumnWidths/table1"), stored);
        }
        QVERIFY(restart());
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        QHeaderView* header = columns(1);
        const auto* view = qobject_cast<TableView*>(header->parentWidget());
        QVERIFY(header->sectionSize(1) >= view->fontMetrics().horizontalAdvance(
                    view->model()->index(0, 1).data().toString()));
        QVERIFY(header->sectionSize(0) != 120);
    }
};

VESCOR_TEST(WindowLayoutTest)
#include "tst_WindowLayout.moc"
