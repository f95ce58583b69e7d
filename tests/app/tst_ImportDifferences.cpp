#include "ExchangeHarness.h"

#include "support/TestMain.h"

#include "exchange/FileTextCodec.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTextCodec>
#include <QTimer>

using namespace exchangetest;

Q_DECLARE_METATYPE(EmulatorImage::Fault)

namespace {

const QString Header = QStringLiteral("Таблица товаров 1.1\n\"Код\";\"Наименование\";\"Цена\";\"Штрихкод\";\"Налог\";"
                                      "\"Отдел\";\"Остаток\";\"Зарезервировано\"\n");

QByteArray priceList(const QString& secondName, const QString& firstPrice)
{
    const QString text = Header
        + QStringLiteral("\"1\";\"1\";\"Хлеб\";\"%1\";\"4600000000001\";\"1\";\"2\";\"10\";\"0\"\n"
                         "\"2\";\"2\";\"%2\";\"12.34\";\"4600000000002\";\"0\";\"0\";\"0\";\"0\"\n")
              .arg(firstPrice, secondName);
    return FileTextCodec::forWriting({text})->fromUnicode(text);
}

// The data row and column of every marked cell of the tab.
QList<QPair<int, int>> marked(const TableModel* model)
{
    QList<QPair<int, int>> cells;
    for (int r = 0; r < model->tableData().size(); ++r)
        for (int c = 0; c < model->tableData()[r].size(); ++c)
            if (model->tableData()[r][c].changed)
                cells << qMakePair(r, c);
    return cells;
}

using Cells = QList<QPair<int, int>>;

const Cells AllImported = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6},
                                            {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}};

} // namespace

// "Отметить только отличия импорта" (Ctrl+Shift+O) against the emulated register.
class ImportDifferencesTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    void pressMarkDifferences() { QTest::keyClick(h.window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier); }

    // The register holds the first price list: its two goods written whole.
    void registerHoldsFirstList()
    {
        QVERIFY(h.install(smallRegister(4)));
        QVERIFY(writeBytes(h.path("first.csv"), priceList(QStringLiteral("Сок"), QStringLiteral("0.29"))));
        h.import(h.path("first.csv"));
        h.clickWrite();
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(!h.tabModel(0)->hasChangedCells());
    }

    // The tab's context menu offers the entry while its rows came from a file.
    QStringList contextMenuTexts()
    {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (const QAction* action : menu->actions())
                texts << action->text();
            menu->close();
        });
        QWidget* viewport = h.tabs()->currentWidget()->findChild<TableView*>()->viewport();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(viewport, &click);
        return texts;
    }

private slots:
    void initTestCase() { h.installHandlers(); }
    void cleanupTestCase() { Harness::removeHandlers(); }
    void init() { QVERIFY(h.start()); }
    void cleanup() { h.stop(); }

    void marksOnlyWhatDiffers_data()
    {
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<QString>("firstPrice");
        QTest::addColumn<Cells>("staying");

        QTest::newRow("nothing differs") << "Сок" << "0.29" << Cells{};
        QTest::newRow("a price") << "Сок" << "0.30" << Cells{{0, 2}};
        QTest::newRow("a name") << "Сок яблочный" << "0.29" << Cells{{1, 1}};
        QTest::newRow("a name and a price") << "Сок яблочный" << "1.00" << Cells{{0, 2}, {1, 1}};
    }

    // The marks left are the cells whose stored bytes differ, one undo step
    // brings back the import's marks, and the write sends one write per mark.
    void marksOnlyWhatDiffers()
    {
        QFETCH(QString, secondName);
        QFETCH(QString, firstPrice);
        QFETCH(Cells, staying);

        registerHoldsFirstList();
        QVERIFY(writeBytes(h.path("second.csv"), priceList(secondName, firstPrice)));
        h.import(h.path("second.csv"));
        TableModel* model = h.tabModel(0);
        QCOMPARE(marked(model), AllImported);

        h.clearTrace();
        pressMarkDifferences();
        QVERIFY(h.boxes.isEmpty());
        QCOMPARE(marked(model), staying);
        QCOMPARE(h.window->statusText(),
                 QStringLiteral("Отмеченными остались %1 ячеек, отличающихся от ККТ").arg(staying.size()));
        QVERIFY(h.trace().filter(QRegExp(QStringLiteral("^write"))).isEmpty());
        QVERIFY(h.closedAtEnd());
        QVERIFY(h.window->isEnabled());

        auto* view = h.tabs()->currentWidget()->findChild<TableView*>();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(marked(model), AllImported);
        QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(marked(model), staying);

        h.clearTrace();
        h.clickWrite();
        QVERIFY(h.boxes.isEmpty());
        QCOMPARE(h.trace().filter(QRegExp(QStringLiteral("^write"))).size(), staying.size());
        QVERIFY(!model->hasChangedCells());
    }

    void failureLeavesTheMarks_data()
    {
        QTest::addColumn<EmulatorImage::Fault>("failure");

        EmulatorImage::Fault midTable = fault(QStringLiteral("read"), 1);
        midTable.row = 2;
        QTest::newRow("read fails in the second row") << midTable;
        QTest::newRow("open fails") << fault(QStringLiteral("open"));
    }

    // A failed read leaves every mark of the import and says why, in Russian.
    void failureLeavesTheMarks()
    {
        QFETCH(EmulatorImage::Fault, failure);

        registerHoldsFirstList();
        QVERIFY(writeBytes(h.path("second.csv"), priceList(QStringLiteral("Сок яблочный"), QStringLiteral("1.00"))));
        h.import(h.path("second.csv"));
        QVERIFY(h.replaceImage(EmulatorImage::fromFile(h.imagePath).addFault(failure)));
        pressMarkDifferences();
        QCOMPARE(marked(h.tabModel(0)), AllImported);
        QCOMPARE(h.boxes.size(), 1);
        QVERIFY2(h.boxes.first().text.contains(NoLink), qPrintable(h.boxes.first().text));
        QCOMPARE(h.window->statusText(), h.boxes.first().text);
        QVERIFY(h.window->isEnabled());
    }

    void contextMenuOffersTheEntry()
    {
        const QString entry = QStringLiteral("Отметить только отличия от ККТ");
        registerHoldsFirstList();
        QVERIFY(writeBytes(h.path("second.csv"), priceList(QStringLiteral("Сок яблочный"), QStringLiteral("1.00"))));
        h.import(h.path("second.csv"));
        QVERIFY(contextMenuTexts().contains(entry));
    }

    // A tab read from the register has no import to narrow: nothing is asked of it.
    void readTabIsLeftAlone()
    {
        QVERIFY(h.install(smallRegister(4)));
        QVERIFY(h.triggerMenuEntry("readButton", QStringLiteral("Базу товаров")));
        h.clearTrace();
        pressMarkDifferences();
        QVERIFY(h.trace().isEmpty());
        QCOMPARE(h.window->statusText(), QStringLiteral("Отметить только отличия можно в таблице, загруженной из файла"));
        const QStringList menu = contextMenuTexts();
        QVERIFY(!menu.isEmpty());
        QVERIFY(!menu.contains(QStringLiteral("Отметить только отличия от ККТ")));
    }
};

VESCOR_TEST(ImportDifferencesTest)
#include "tst_ImportDifferences.moc"
