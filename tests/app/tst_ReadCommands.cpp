#include "support/EmulatorImage.h"
#include "support/TestDriver.h"
#include "support/TestMain.h"

#include "app/MainWindow.h"
#include "device/ProgressReporter.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "model/TableInfo.h"
#include "table/TableModel.h"
#include "table/TableView.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(QVector<EmulatorImage::Fault>)

namespace {

const QString ReadAll = QStringLiteral("Всё");
const QString ReadCommodities = QStringLiteral("Базу товаров");
const QString ReadAllButCommodities = QStringLiteral("Всё, кроме базы товаров");
const QString NoLink = QStringLiteral("Ошибка - 2 [Нет связи]");
const QString Cancelled = QStringLiteral("Операция чтения прервана пользователем");
const QString InfoText = QStringLiteral("Вескор-Эмулятор 57, 0057000001");

// Model codes of descriptions that only these tests put beside the program.
const unsigned WithoutCommodities = 9571;
const unsigned OnlyCommodities = 9572;

QString modelPath(unsigned code)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/models/%1.json").arg(code);
}

QString summary(int cells, int tables)
{
    return QStringLiteral("Успешно прочитано %1 ячеек в %2 таблицах").arg(cells).arg(tables);
}

EmulatorImage::Fault fault(const QString& call, int table = -1, int row = -1, int field = -1, int code = 2)
{
    EmulatorImage::Fault f;
    f.call = call;
    f.table = table;
    f.row = row;
    f.field = field;
    f.code = code;
    return f;
}

} // namespace

class ReadCommandsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
    QList<MessageBox::Request> m_boxes;
    std::function<void()> m_onBox;

    QStringList trace() const { return EmulatorImage::traceLines(*m_dir); }

    // The default register with a commodity base of `commodities` rows.
    static EmulatorImage smallRegister(int commodities = 12)
    {
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, commodities);
        return image;
    }

    void install(const EmulatorImage& image)
    {
        QVERIFY(image.isValid());
        image.install(*m_dir, true);
    }

    QTabWidget* tabs() { return m_window->findChild<QTabWidget*>(QStringLiteral("tabWidget")); }
    QPushButton* button(const char* name) { return m_window->findChild<QPushButton*>(QLatin1String(name)); }

    QStringList tabTitles()
    {
        QStringList titles;
        for (int i = 0; i < tabs()->count(); ++i)
            titles << tabs()->tabText(i);
        return titles;
    }

    TableModel* tabModel(int index)
    {
        auto* view = tabs()->widget(index)->findChild<TableView*>();
        return view ? view->tableModel() : nullptr;
    }

    // Picks the entry of the read button's menu, as the user does.
    void read(const QString& entry)
    {
        QMenu* menu = button("readButton")->menu();
        QVERIFY(menu);
        QAction* action = nullptr;
        for (QAction* a : menu->actions())
            if (QString(a->text()).remove(QLatin1Char('&')) == entry)
                action = a;
        QVERIFY2(action, qPrintable(entry));
        QVERIFY(action->isEnabled());
        action->trigger();
    }

    // The description of the default register, as the loader gives it.
    static QList<TableInfo> description()
    {
        QList<TableInfo> tables;
        QString error;
        TableInfo::readTablesInfo(57, tables, error, QCoreApplication::applicationDirPath() + QStringLiteral("/models"),
                                  [] { return 25; });
        return tables;
    }

    // Cells a register holds for a table of the description.
    static int cellsOf(const TableInfo& table, const EmulatorImage& image)
    {
        const int registerRows = image.rowCount(table.id);
        if (table.type == TransposedList)
            return qMin(registerRows, table.fields.size());
        const int rows = table.rowNames.isEmpty() ? registerRows : qMin(registerRows, table.rowNames.size());
        return rows * table.fields.size();
    }

    // Writes a description of its own model code: the default tables that `keep` accepts.
    static void writeModel(unsigned code, const std::function<bool(int id)>& keep)
    {
        QFile source(QCoreApplication::applicationDirPath() + QStringLiteral("/models/57.json"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QJsonObject root = QJsonDocument::fromJson(source.readAll()).object();
        QJsonArray kept;
        for (const QJsonValue& t : root.value(QStringLiteral("tables")).toArray())
            if (keep(t.toObject().value(QStringLiteral("id")).toInt()))
                kept.append(t);
        root.insert(QStringLiteral("tables"), kept);
        QFile target(modelPath(code));
        QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write(QJsonDocument(root).toJson());
    }

    // The cancel button sits in the window's status bar while a command runs.
    QPushButton* cancelButton()
    {
        auto* button = m_window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton"));
        if (button && !m_window->statusBar()->isAncestorOf(button))
            qWarning("the cancel button is not in the status bar");
        return button;
    }

    void checkClosedAtEnd()
    {
        const QStringList calls = trace();
        QVERIFY(!calls.isEmpty());
        QVERIFY2(calls.last().startsWith(QLatin1String("close")), qPrintable(calls.last()));
    }

private slots:
    void initTestCase()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            m_boxes << request;
            if (m_onBox)
                m_onBox();
            return QMessageBox::Ok;
        });
        writeModel(WithoutCommodities, [](int id) { return id != 1; });
        writeModel(OnlyCommodities, [](int id) { return id == 1; });
    }

    void cleanupTestCase()
    {
        MessageBox::setHandler(nullptr);
        QFile::remove(modelPath(WithoutCommodities));
        QFile::remove(modelPath(OnlyCommodities));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_boxes.clear();
        m_onBox = nullptr;
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
        m_window = std::make_unique<MainWindow>(nullptr, m_dir->filePath(QStringLiteral("Vescor.ini")));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        EmulatorImage::uninstall();
        m_dir.reset();
    }

    // Each entry reads its tables, in the order of the description.
    void entries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("all");
        QTest::addColumn<bool>("commodities");
        QTest::newRow("all") << ReadAll << true << true;
        QTest::newRow("commodity base") << ReadCommodities << false << true;
        QTest::newRow("all but the commodity base") << ReadAllButCommodities << true << false;
    }

    void entries()
    {
        QFETCH(QString, entry);
        QFETCH(bool, all);
        QFETCH(bool, commodities);
        const EmulatorImage image = smallRegister();
        install(image);

        QStringList titles;
        int cells = 0;
        const QList<TableInfo> tables = description();
        QVERIFY(tables.size() > 3);
        for (const TableInfo& t : tables) {
            if (t.id == 1 ? commodities : all) {
                titles << t.name;
                cells += cellsOf(t, image);
            }
        }

        read(entry);

        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(tabTitles(), titles);
        QCOMPARE(m_window->statusText(), summary(cells, titles.size()));
        QCOMPARE(m_window->infoText(), InfoText);
        QVERIFY(!button("writeButton")->isEnabled()); // nothing edited yet
        QVERIFY(button("pbtnSaveToFile")->isEnabled());
        QCOMPARE(tabs()->currentIndex(), 0);
        QVERIFY(m_window->isEnabled());
        QVERIFY(!cancelButton());
        checkClosedAtEnd();
    }

    // Every tab: a page with a table view filling it under its hidden search
    // bar, editable (not on a mere move of the current cell), with the table's cells.
    void tabsHoldTheirTables()
    {
        install(smallRegister(3));
        read(ReadAll);
        QVERIFY(tabs()->count() > 0);
        for (int i = 0; i < tabs()->count(); ++i) {
            QWidget* page = tabs()->widget(i);
            auto* layout = page->findChild<QHBoxLayout*>(QStringLiteral("horizontalLayout"));
            QVERIFY(layout);
            QVERIFY(page->findChild<QWidget*>(QStringLiteral("searchBar"))->isHidden());
            QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
            auto* view = page->findChild<TableView*>();
            QVERIFY(view);
            QCOMPARE(layout->indexOf(view), 0);
            QCOMPARE(view->editTriggers(), QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                                               | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
            QVERIFY(tabModel(i));
            QCOMPARE(tabModel(i)->tableInfo().name, tabs()->tabText(i));
        }
        TableModel* commodities = tabModel(0);
        QCOMPARE(commodities->tableNumber(), uint16_t(1));
        QCOMPARE(commodities->rowCount(), 3);
        QCOMPARE(commodities->cellText(0, 1), QStringLiteral("Молоко"));
        QCOMPARE(commodities->cellText(2, 1), QStringLiteral("Хлеб белый"));
        QCOMPARE(commodities->rowLabel(2), QByteArray("3"));
    }

    // "Параметры ОФД" is one record shown field by field, one view row per field.
    void ofdParametersShowTheirFields()
    {
        install(smallRegister(3));
        read(ReadAll);
        const int tab = tabTitles().indexOf(QStringLiteral("Параметры ОФД"));
        QVERIFY(tab >= 0);
        TableModel* model = tabModel(tab);
        QCOMPARE(model->layoutType(), List);
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("ofd.vescor-test.ru"));
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("7777"));
        QCOMPARE(model->index(2, 0).data().toString(), QStringLiteral("60"));
    }

    // A command reaches the register over the channel of the connection
    // settings; what it sets before the open leaves that channel alone.
    void channelOfTheSettings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("registerAddress"); // the image's link address; empty: none
        QTest::addColumn<QString>("box");             // empty: the read works
        QTest::newRow("USB") << "{\"Port\": 1}" << "" << "";
        QTest::newRow("TCP/IP at the register's address")
            << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 5555}" << "10.0.0.5" << "";
        QTest::newRow("TCP/IP at another address")
            << "{\"Port\": 2, \"IPAddress\": \"10.0.0.5\", \"IPPort\": 5555}" << "10.0.0.9"
            << "Ошибка - 2 [Нет связи: ККТ не отвечает по адресу 10.0.0.5:5555]";
        QTest::newRow("COM port that is not there")
            << "{\"Port\": 0, \"ComFile\": \"/dev/ttyVESCOR-missing\"}" << ""
            << "Ошибка - 2 [Нет связи: нет COM-порта /dev/ttyVESCOR-missing]";
        QTest::newRow("Bluetooth without an address") << "{\"Port\": 3, \"MACAddress\": \"\"}" << ""
                                                      << "Ошибка - 2 [Нет связи: неверный MAC-адрес \"\"]";
    }

    void channelOfTheSettings()
    {
        QFETCH(QString, settings);
        QFETCH(QString, registerAddress);
        QFETCH(QString, box);
        EmulatorImage image = smallRegister(3);
        if (!registerAddress.isEmpty())
            image.setLinkAddress(registerAddress);
        image.install(*m_dir, true);
        KKT_Logic::instance().setSettings(settings);
        QString before;
        KKT_Logic::instance().getSettings(before);

        read(ReadAll);

        if (box.isEmpty()) {
            QVERIFY(m_boxes.isEmpty());
            QVERIFY(tabs()->count() > 0);
        } else {
            QCOMPARE(m_boxes.size(), 1);
            QCOMPARE(m_boxes.first().text, box);
            QCOMPARE(tabs()->count(), 0);
        }
        QString after;
        KKT_Logic::instance().getSettings(after);
        QCOMPARE(after, before); // what the window stores at its end keeps the user's channel
    }

    // The next read drops the tabs with their models.
    void modelsGoWithTheirTabs()
    {
        install(smallRegister(3));
        read(ReadAll);
        QList<QPointer<TableModel>> models;
        for (int i = 0; i < tabs()->count(); ++i)
            models << QPointer<TableModel>(tabModel(i));
        QVERIFY(!models.isEmpty());
        read(ReadCommodities);
        QCOMPARE(tabs()->count(), 1);
        for (const QPointer<TableModel>& m : models)
            QVERIFY(m.isNull());
    }

    // What the view cannot show is told in the status bar, not thrown through the event loop.
    void displayErrorsReachTheStatusLabel()
    {
        install(smallRegister(3));
        read(ReadAll);
        emit tabModel(1)->displayError(QStringLiteral("Строк меньше, чем в описании таблицы"));
        QCOMPARE(m_window->statusText(), QStringLiteral("Строк меньше, чем в описании таблицы"));
    }

    // Descriptions that select nothing still end in a summary.
    void emptySelections_data()
    {
        QTest::addColumn<unsigned>("modelCode");
        QTest::addColumn<QString>("entry");
        QTest::newRow("commodity base, model without table 1") << WithoutCommodities << ReadCommodities;
        QTest::newRow("all but commodities, model with table 1 only") << OnlyCommodities << ReadAllButCommodities;
    }

    void emptySelections()
    {
        QFETCH(unsigned, modelCode);
        QFETCH(QString, entry);
        EmulatorImage image = smallRegister();
        image.setIdentity(modelCode, QStringLiteral("Вескор-Тест"), QStringLiteral("0001"), QStringLiteral("3.0.25"));
        install(image);

        read(entry);

        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(tabs()->count(), 0);
        QCOMPARE(m_window->statusText(), QStringLiteral("Успешно прочитано 0 ячеек в 0 таблицах"));
        QCOMPARE(m_window->infoText(), QStringLiteral("Вескор-Тест, 0001"));
        QVERIFY(!button("writeButton")->isEnabled());
        for (const QString& call : trace())
            QVERIFY2(!call.startsWith(QLatin1String("read")), qPrintable(call));
        checkClosedAtEnd();
    }

    // Every way a read fails: what the user is told, what stays, and the connection closed.
    void failures_data()
    {
        QTest::addColumn<QVector<EmulatorImage::Fault>>("faults");
        QTest::addColumn<unsigned>("modelCode");
        QTest::addColumn<QString>("box");          // empty: no message box
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("tabsLeft");

        const QString engineText = QStringLiteral(
            "Ошибка чтения таблицы 6 - [Налоговые ставки]\nПрочитали рядов: 2 и полей: 2\n"
            "Ожидали прочитать рядов 6 и полей: 3");

        QTest::newRow("open fails") << QVector<EmulatorImage::Fault>{fault("open")} << 57u << NoLink << ""
                                    << QStringList{};
        QTest::newRow("identification fails")
            << QVector<EmulatorImage::Fault>{fault("query")} << 57u << NoLink << "" << QStringList{};
        QTest::newRow("description missing") << QVector<EmulatorImage::Fault>{} << 4242u
                                             << "Ошибка чтения файла с информацией о таблицах.\n" << ""
                                             << QStringList{};
        QTest::newRow("row ends part-way in the third table")
            << QVector<EmulatorImage::Fault>{fault("read", 6, 2, 3, 76)} << 57u << engineText << engineText
            << QStringList{"База товаров", "Режимы работы"};
        QTest::newRow("driver failure in the fourth table")
            << QVector<EmulatorImage::Fault>{fault("read", 5, 1, 1, 2)} << 57u << NoLink << NoLink
            << QStringList{"База товаров", "Режимы работы", "Налоговые ставки"};
        QTest::newRow("driver failure in the commodity base")
            << QVector<EmulatorImage::Fault>{fault("read", 1, 2)} << 57u << NoLink << NoLink << QStringList{};
    }

    void failures()
    {
        QFETCH(QVector<EmulatorImage::Fault>, faults);
        QFETCH(unsigned, modelCode);
        QFETCH(QString, box);
        QFETCH(QString, status);
        QFETCH(QStringList, tabsLeft);

        EmulatorImage image = smallRegister();
        image.setIdentity(modelCode, QStringLiteral("Вескор-Эмулятор 57"), QStringLiteral("0057000001"),
                          QStringLiteral("3.0.25"));
        for (const EmulatorImage::Fault& f : faults)
            image.addFault(f);
        install(image);

        // A read that worked before: its tabs go, and "Экспорт" stays only for the tabs left.
        {
            EmulatorImage good = smallRegister(2);
            good.install(*m_dir, false);
            read(ReadCommodities);
            QCOMPARE(tabs()->count(), 1);
            install(image);
        }

        bool windowDisabledAtBox = false;
        m_onBox = [&] { windowDisabledAtBox = !m_window->centralWidget()->isEnabled(); };
        read(ReadAll);

        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().title, QStringLiteral("Vescor"));
        QCOMPARE(m_boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(m_boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(m_boxes.first().parent, m_window.get());
        if (box.endsWith(QLatin1Char('\n'))) {
            QVERIFY2(m_boxes.first().text.startsWith(box), qPrintable(m_boxes.first().text));
            QVERIFY(m_boxes.first().text.size() > box.size());
        } else {
            QCOMPARE(m_boxes.first().text, box);
        }
        QVERIFY(windowDisabledAtBox);

        QCOMPARE(m_window->statusText(), status);
        QCOMPARE(m_window->infoText(), QString());
        QCOMPARE(tabTitles(), tabsLeft);
        QVERIFY(!button("writeButton")->isEnabled());
        QCOMPARE(button("pbtnSaveToFile")->isEnabled(), !tabsLeft.isEmpty());
        QVERIFY(m_window->isEnabled());
        checkClosedAtEnd();
    }

    // A failed first read leaves "Записать в ККТ" disabled.
    void firstReadFailing()
    {
        EmulatorImage image = smallRegister();
        image.addFault(fault("read", 2, 1, 1, 2));
        install(image);
        read(ReadAll);
        QCOMPARE(tabTitles(), QStringList{"База товаров"});
        QVERIFY(!button("writeButton")->isEnabled());
        QCOMPARE(m_window->statusText(), NoLink);
    }

    // A click on "Отменить" while a table is read stops the read inside that table.
    // On a slow line (a request as long as the window's update interval) the
    // window hears the click before the next request.
    void cancelByClick_data()
    {
        QTest::addColumn<int>("clickAfterTabs");
        QTest::newRow("while reading the first table") << 0;
        QTest::newRow("while reading the third table") << 2;
    }

    void cancelByClick()
    {
        QFETCH(int, clickAfterTabs);
        install(smallRegister(30).setLinkLatency(int(ProgressReporter::UpdateInterval)));
        const QList<TableInfo> tables = description();

        bool clicked = false;
        bool windowDisabled = false;
        bool buttonUsable = false;
        bool readButtonIgnored = false;
        int tabsAtClick = -1;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (clicked || tabs()->count() < clickAfterTabs)
                return;
            QPushButton* cancel = cancelButton();
            if (!cancel)
                return;
            clicked = true;
            tabsAtClick = tabs()->count();
            // The window's controls are disabled; only the status bar with the button is not.
            windowDisabled = !m_window->centralWidget()->isEnabled() && !button("readButton")->isEnabled();
            buttonUsable = cancel->isVisible() && cancel->isEnabled() && cancel->text() == QStringLiteral("Отменить");
            // The window itself takes no clicks meanwhile.
            QTest::mouseClick(button("readButton"), Qt::LeftButton);
            readButtonIgnored = !button("readButton")->menu()->isVisible();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        poll.start();
        read(ReadAll);
        poll.stop();

        QVERIFY(clicked);
        QVERIFY(windowDisabled);
        QVERIFY(buttonUsable);
        QVERIFY(readButtonIgnored);
        QCOMPARE(tabsAtClick, clickAfterTabs);
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(m_window->statusText(), Cancelled);
        QCOMPARE(m_window->infoText(), QString());
        // The table being read gets no tab; the ones before it keep theirs.
        QStringList before;
        for (int i = 0; i < clickAfterTabs; ++i)
            before << tables.at(i).name;
        QCOMPARE(tabTitles(), before);
        QVERIFY(!button("writeButton")->isEnabled());
        QVERIFY(m_window->isEnabled());
        QVERIFY(!cancelButton());
        // The table being read stopped before its last register row.
        const TableInfo& stopped = tables.at(clickAfterTabs);
        const int lastRow = stopped.type == TransposedList ? stopped.fields.size()
                                                            : (stopped.rowNames.isEmpty() ? 30 : stopped.rowNames.size());
        const QRegExp last(QStringLiteral("^read(-row)? %1 %2 .*").arg(stopped.id).arg(lastRow));
        for (const QString& call : trace())
            QVERIFY2(!last.exactMatch(call), qPrintable(call));
        // Nothing of the tables after it was asked for.
        const QString next = QStringLiteral("read %1 ").arg(tables.at(clickAfterTabs + 1).id);
        for (const QString& call : trace())
            QVERIFY2(!call.startsWith(next), qPrintable(call));
        checkClosedAtEnd();

        // The next read starts afresh.
        read(ReadCommodities);
        QCOMPARE(tabTitles(), QStringList{tables.first().name});
    }

    // The window's slot on_cancelLoading() and the connection's requestCancel() stop a read
    // as "Отменить" does: inside the large table being read, which gets no tab.
    void cancelThroughTheSlot_data()
    {
        QTest::addColumn<bool>("throughSlot");
        QTest::newRow("the window's slot") << true;
        QTest::newRow("the connection") << false;
    }

    void cancelThroughTheSlot()
    {
        QFETCH(bool, throughSlot);
        install(smallRegister(200).setLinkLatency(int(ProgressReporter::UpdateInterval)));
        const QList<TableInfo> tables = description();
        KKT_Logic& link = KKT_Logic::instance();
        // With no command running there is nothing to stop.
        link.requestCancel();
        QVERIFY(!link.cancelRequested());

        bool raised = false;
        bool asked = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (asked || !cancelButton())
                return;
            asked = true;
            if (throughSlot)
                QVERIFY(QMetaObject::invokeMethod(m_window.get(), "on_cancelLoading"));
            else
                link.requestCancel();
            raised = link.cancelRequested();
        });
        poll.start();
        read(ReadAll);
        poll.stop();

        QVERIFY(asked);
        QVERIFY(raised);
        QCOMPARE(m_window->statusText(), Cancelled);
        QCOMPARE(tabTitles(), QStringList());
        const QRegExp last(QStringLiteral("^read(-row)? 1 200 .*"));
        const QString next = QStringLiteral("read %1 ").arg(tables.at(1).id);
        for (const QString& call : trace())
            QVERIFY2(!last.exactMatch(call) && !call.startsWith(next), qPrintable(call));
        checkClosedAtEnd();
        // The next command starts with the flag down.
        QVERIFY(!link.cancelRequested());
        read(ReadCommodities);
        QCOMPARE(tabTitles(), QStringList{tables.first().name});
        QVERIFY(m_window->statusText() != Cancelled);
    }

    // The cancel button is there only while a read runs.
    void noCancelButtonWhenIdle()
    {
        QVERIFY(!cancelButton());
        install(smallRegister(3));
        read(ReadCommodities);
        QVERIFY(!cancelButton());
    }

    // The painted tab: a read-only column in the legend's colour.
    void paintedTab()
    {
        install(smallRegister(5));
        read(ReadAll);
        tabs()->setCurrentIndex(0);
        auto* commodities = tabs()->widget(0)->findChild<TableView*>();
        QVERIFY(commodities);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // "Код" is read-only, "Наименование" is not.
        const QImage image = commodities->viewport()->grab().toImage();
        const QRect code = commodities->visualRect(commodities->model()->index(1, 0));
        const QRect name = commodities->visualRect(commodities->model()->index(1, 1));
        QCOMPARE(image.pixelColor(code.topLeft() + QPoint(3, 3)), QColor(QStringLiteral("#fcdd76")));
        QVERIFY(image.pixelColor(name.topLeft() + QPoint(3, 3)) != QColor(QStringLiteral("#fcdd76")));
    }
};

VESCOR_TEST(ReadCommandsTest)

#include "tst_ReadCommands.moc"
