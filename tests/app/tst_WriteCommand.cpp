#include "support/EmulatorImage.h"
#include "support/PlainLayoutModel.h"
#include "support/RegisterCells.h"
#include "support/TestDriver.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"
#include "support/UserTyping.h"

#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"
#include "table/TableFilterModel.h"
#include "table/TableModel.h"
#include "table/TablePage.h"
#include "table/TableSearchBar.h"
#include "table/TableView.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <tuple>

namespace {

const QString Writing = QStringLiteral("Подождите... Идет запись");
const QString OtherModel =
    QStringLiteral("Ошибка - после чтения была подключена другая модель ККТ, выполните чтение из ККТ заново.");
const QString Unwritten = QStringLiteral("Есть изменения, не записанные в ККТ. Продолжить без записи?");
const QString NoLink = QStringLiteral("Ошибка - 2 [Нет связи]");
const QString Edited = QStringLiteral("#a8e4a0");

QString summary(int cells, int tables)
{
    return QStringLiteral("Успешно записано %1 ячеек в %2 таблицах").arg(cells).arg(tables);
}

// The default register with a small commodity base.
EmulatorImage smallRegister()
{
    EmulatorImage image = EmulatorImage::defaultImage();
    image.setRowCount(1, 4);
    return image;
}

EmulatorImage::Fault fault(const QString& call, int table = -1, int after = 0, int times = -1)
{
    EmulatorImage::Fault f;
    f.call = call;
    f.table = table;
    f.after = after;
    f.times = times;
    return f;
}

QStringList g_debugLines;

void recordDebugLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        g_debugLines << message;
}

// One edit of a cell, as the view addresses it.
struct Edit
{
    unsigned table;
    int row;
    int column;
    QString text;
};

} // namespace

Q_DECLARE_METATYPE(QList<Edit>)
Q_DECLARE_METATYPE(EmulatorImage::Fault)

class WriteCommandTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
    QString m_imagePath;
    QList<MessageBox::Request> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    QTabWidget* tabs() { return m_window->findChild<QTabWidget*>(QStringLiteral("tabWidget")); }
    QPushButton* button(const char* name) { return m_window->findChild<QPushButton*>(QLatin1String(name)); }

    void install(const EmulatorImage& image)
    {
        QVERIFY(image.isValid());
        m_imagePath = image.install(*m_dir, true);
        hexOnly();
    }

    // Has the register store its image once, unchanged, so that every cell of
    // the file is in the register's own byte form (typed texts included) and
    // files before and after a write compare cell by cell.
    void hexOnly()
    {
        KKT_Logic& logic = KKT_Logic::instance();
        DriverLibrary& driver = DriverLibrary::instance();
        QCOMPARE(logic.openAndIdentify(nullptr, nullptr, nullptr), 0);
        const unsigned char one = 1; // cell 2/1/1 of the default register holds 1
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_TABLE, 2);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_ROW, 1);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_FIELD, 1);
        driver.setParamByteArray(logic.handle(), LIBTILLO_PARAM_VALUE, &one, 1);
        QCOMPARE(driver.writeDeviceSettingRaw(logic.handle()), 0);
        QCOMPARE(driver.commitSettings(logic.handle()), 0);
        logic.close();
        for (const auto& [key, bytes] : registerCells(m_imagePath))
            QVERIFY(!bytes.isEmpty());
        clearTrace();
    }

    // Replaces the register's image file in place: the same path, another content.
    void replaceImage(const EmulatorImage& image) { QVERIFY(image.save(m_imagePath)); }

    void clearTrace() { QFile::remove(EmulatorImage::tracePath(*m_dir)); }
    QStringList trace() const { return EmulatorImage::traceLines(*m_dir); }

    QStringList cellCalls() const
    {
        QStringList lines;
        for (const QString& line : trace()) {
            if (line.startsWith(QLatin1String("write")) || line.startsWith(QLatin1String("commit")))
                lines << line;
        }
        return lines;
    }

    void checkClosedAtEnd()
    {
        const QStringList calls = trace();
        QVERIFY(!calls.isEmpty());
        QVERIFY2(calls.last().startsWith(QLatin1String("close")), qPrintable(calls.last()));
    }

    void readAll()
    {
        QMenu* menu = button("readButton")->menu();
        QVERIFY(menu);
        QAction* all = nullptr;
        for (QAction* a : menu->actions()) {
            if (QString(a->text()).remove(QLatin1Char('&')) == QStringLiteral("Всё"))
                all = a;
        }
        QVERIFY(all);
        all->trigger();
        QVERIFY2(m_window->statusText().startsWith(QStringLiteral("Успешно прочитано")),
                 qPrintable(m_window->statusText()));
    }

    void clickWrite()
    {
        QPushButton* write = button("writeButton");
        QVERIFY(write->isEnabled());
        QTest::mouseClick(write, Qt::LeftButton);
    }

    TableView* tabView(unsigned table)
    {
        for (int i = 0; i < tabs()->count(); ++i) {
            auto* view = tabs()->widget(i)->findChild<TableView*>();
            auto* model = view ? view->tableModel() : nullptr;
            if (model && model->tableNumber() == table)
                return view;
        }
        return nullptr;
    }

    TableModel* tabModel(unsigned table)
    {
        TableView* view = tabView(table);
        return view ? view->tableModel() : nullptr;
    }

    int markedCells()
    {
        int count = 0;
        for (int i = 0; i < tabs()->count(); ++i) {
            auto* model = tabs()->widget(i)->findChild<TableView*>()->tableModel();
            for (const DataRow& row : model->tableData()) {
                for (const Cell& cell : row)
                    count += cell.changed ? 1 : 0;
            }
        }
        return count;
    }

    // A plain table shows no cells, so nobody edits it through the view; its
    // cell is marked in the data the way an edit would.
    bool edit(const Edit& e)
    {
        TableModel* model = tabModel(e.table);
        if (model && model->layoutType() == Plain)
            return model->setStoredValue(e.row, e.column, e.text.toUtf8());
        return model && model->setData(model->index(e.row, e.column), e.text, Qt::EditRole);
    }

    QString shownText(const Edit& e)
    {
        TableModel* model = tabModel(e.table);
        if (model->layoutType() == Plain)
            return model->cellText(e.row, e.column);
        return model->index(e.row, e.column).data().toString();
    }

    // Types the text into the cell's editor and confirms it with Enter, as a user does.
    void type(const Edit& e)
    {
        TableView* view = tabView(e.table);
        QVERIFY(view);
        tabs()->setCurrentWidget(view->parentWidget());
        QVERIFY2(typeIntoCell(view, view->model()->index(e.row, e.column), e.text),
                 "the cell opens no line editor or keeps it open");
    }

    // Where a view cell lies on the register.
    CellKey registerCell(const Edit& e)
    {
        const TableModel* model = tabModel(e.table);
        switch (model->layoutType()) {
        case Db:
        case Plain:
            return {e.table, e.row + 1, e.column + 1};
        case List:
            return {e.table, 1, e.row + 1};
        default:
            return {e.table, e.row + 1, 1};
        }
    }

    // The cancel button sits in the window's status bar while a command runs.
    QPushButton* cancelButton()
    {
        auto* button = m_window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton"));
        if (button && !m_window->statusBar()->isAncestorOf(button))
            qWarning("the cancel button is not in the status bar");
        return button;
    }

private slots:
    void initTestCase()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            m_boxes << request;
            return request.icon == QMessageBox::Question ? m_answer : QMessageBox::Ok;
        });
        QVERIFY(PlainLayoutModel::write());
    }

    void cleanupTestCase()
    {
        MessageBox::setHandler(nullptr);
        PlainLayoutModel::remove();
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_boxes.clear();
        m_answer = QMessageBox::Yes;
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

    // Read, edit one cell, write, read again: the register changed in that cell
    // alone, and the new read shows what was entered.
    void roundTripChangesOnlyTheEditedCell_data()
    {
        QTest::addColumn<unsigned>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("shown");

        // Table 1 (db, whole-row reads).
        QTest::newRow("db bcd3") << 1u << 0 << 0 << "4242" << false << "4242";
        QTest::newRow("db string866") << 1u << 1 << 1 << "Кефир 3,2% \"Домик\"" << false << "Кефир 3,2% \"Домик\"";
        QTest::newRow("db string866 typed") << 1u << 2 << 1 << "Bread, 0.5 kg" << true << "Bread, 0.5 kg";
        QTest::newRow("db bcd5 money") << 1u << 2 << 2 << "123.45" << true << "123.45";
        QTest::newRow("db bcd8 zero-filled") << 1u << 3 << 3 << "42" << false << "0000000000042";
        QTest::newRow("db bin1 list") << 1u << 0 << 4 << "НДС 0%" << false << "НДС 0%";
        QTest::newRow("db bin1") << 1u << 1 << 5 << "16" << true << "16";
        QTest::newRow("db bin4") << 1u << 2 << 6 << "2147483647" << true << "2147483647";
        QTest::newRow("db bin2") << 1u << 3 << 7 << "65535" << false << "65535";
        // Table 2 (list).
        QTest::newRow("list bin1") << 2u << 0 << 0 << "42" << true << "42";
        QTest::newRow("list bin1 list") << 2u << 12 << 0 << "До рубля" << false << "До рубля";
        QTest::newRow("list bin2_big_endian") << 2u << 5 << 0 << "4660" << true << "4660";
        QTest::newRow("list bcd1") << 2u << 6 << 0 << "9" << true << "9";
        QTest::newRow("list bcd2 masked") << 2u << 7 << 0 << "4321" << false << "4321";
        QTest::newRow("list bcd4") << 2u << 8 << 0 << "87654321" << true << "87654321";
        QTest::newRow("list string866 masked") << 2u << 9 << 0 << "+7(812)765-43-21" << false << "+7(812)765-43-21";
        QTest::newRow("list bin2") << 2u << 10 << 0 << "513" << false << "513";
        QTest::newRow("list bcd64_1") << 2u << 11 << 0 << "7" << false << "7";
        QTest::newRow("list bcd6 money") << 2u << 13 << 0 << "9876543.21" << true << "9876543.21";
        // Tables 6 and 5 (db).
        QTest::newRow("db bin2 money") << 6u << 1 << 0 << "5.55" << true << "5.55";
        QTest::newRow("db string866 zero fill") << 5u << 7 << 0 << "СБП" << false << "СБП";
        QTest::newRow("db list, last row") << 5u << 7 << 2 << "Кредит" << false << "Кредит";
        // Table 4 (transposed list).
        QTest::newRow("transposed string866") << 4u << 2 << 0 << "ИНН 7709876543" << false << "ИНН 7709876543";
        QTest::newRow("transposed string866 typed") << 4u << 3 << 0 << "Tel. 8-800-000-00-00" << true
                                                    << "Tel. 8-800-000-00-00";
        QTest::newRow("transposed, last row") << 4u << 5 << 0 << "" << false << "";
        // Table 16 (list).
        QTest::newRow("list bin4 address") << 16u << 0 << 0 << "10.0.0.42" << false << "10.0.0.42";
        QTest::newRow("list bin2 port") << 16u << 3 << 0 << "8080" << false << "8080";
        QTest::newRow("list bin6") << 16u << 4 << 0 << "0:1a:2b:c:4d:ff" << false << "0:1a:2b:c:4d:ff";
        // Table 15 in the plain layout: the register of a model that shows it so.
        QTest::newRow("plain bin2") << 15u << 0 << 1 << "7778" << false << "7778";
        QTest::newRow("plain string866") << 15u << 0 << 0 << "ofd.example.ru" << false << "ofd.example.ru";
        // Table 7 (db with a read-only bcd2 field).
        QTest::newRow("db bcd2 read-only") << 7u << 15 << 3 << "9999" << false << "9999";
        QTest::newRow("list ascii") << 16u << 6 << 0 << "kassa-58.local" << false << "kassa-58.local";
    }

    void roundTripChangesOnlyTheEditedCell()
    {
        QFETCH(unsigned, table);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(bool, typed);
        QFETCH(QString, shown);

        install(table == PlainLayoutModel::Table ? PlainLayoutModel::image(4) : smallRegister());
        readAll();
        const RegisterCells before = registerCells(m_imagePath);
        const Edit e{table, row, column, text};
        const QModelIndex index = tabModel(table)->index(row, column);
        const QString old = shownText(e);
        QVERIFY2(old != shown, qPrintable(old));
        if (typed)
            type(e);
        else
            QVERIFY(edit(e));
        QCOMPARE(markedCells(), 1);
        // Read-only cells keep their own colour.
        const bool editable = index.isValid() && (index.flags() & Qt::ItemIsEditable);
        if (editable)
            QCOMPARE(index.data(Qt::BackgroundRole).value<QColor>(), QColor(Edited));

        clearTrace();
        clickWrite();
        QCOMPARE(m_boxes.size(), 0);
        QCOMPARE(m_window->statusText(), summary(1, 1));
        QCOMPARE(markedCells(), 0);
        if (editable)
            QVERIFY(index.data(Qt::BackgroundRole).value<QColor>() != QColor(Edited));
        QVERIFY(m_window->isEnabled());
        checkClosedAtEnd();
        // One write, one commit per tab.
        QCOMPARE(cellCalls().filter(QRegExp(QStringLiteral("^write "))).size(), 1);
        QCOMPARE(cellCalls().filter(QRegExp(QStringLiteral("^commit "))).size(), tabs()->count());

        const CellKey where = registerCell(e);
        QCOMPARE(differences(before, registerCells(m_imagePath)), QList<CellKey>{where});

        readAll();
        QCOMPARE(m_boxes.size(), 0); // nothing left unwritten, so nothing asked
        QCOMPARE(shownText(e), shown);
    }

    // The search of a tab follows a name the user typed, written or not: the
    // new name is found in its row, the old one no more there.
    void searchFollowsTheTypedName_data()
    {
        QTest::addColumn<bool>("written");
        QTest::newRow("typed") << false;
        QTest::newRow("typed and written") << true;
    }

    void searchFollowsTheTypedName()
    {
        QFETCH(bool, written);
        install(smallRegister());
        readAll();
        TableView* view = tabView(1);
        auto* page = qobject_cast<TablePage*>(view->parentWidget());
        QVERIFY(page);
        tabs()->setCurrentWidget(page);
        m_window->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), m_window.get());
        const Edit e{1, 2, 1, QStringLiteral("Bread, 0.5 kg")};
        const QString old = shownText(e);
        QLineEdit* field = page->searchBar()->searchField();
        const auto search = [&](const QString& text) {
            view->setFocus();
            QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
            replaceEditorText(field, text);
            QTest::keyClick(field, Qt::Key_Return);
            QList<int> rows;
            for (int r = 0; r < page->filterModel()->rowCount(); ++r)
                rows << page->filterModel()->mapToSource(page->filterModel()->index(r, 0)).row();
            QTest::keyClick(field, Qt::Key_Escape);
            return rows;
        };
        QList<int> oldRows = search(old);
        QVERIFY(oldRows.contains(2));

        type(e);
        if (written) {
            clickWrite();
            QCOMPARE(m_window->statusText(), summary(1, 1));
            QCOMPARE(markedCells(), 0);
        }
        QCOMPARE(search(QStringLiteral("bread")), QList<int>{2});
        oldRows.removeAll(2);
        QCOMPARE(search(old), oldRows);
    }

    // Edits in several tables at once: tables counted once each, in tab order.
    void editsInSeveralTables()
    {
        install(smallRegister());
        readAll();
        const RegisterCells before = registerCells(m_imagePath);
        const QList<Edit> edits{{1, 0, 1, QStringLiteral("Молоко 3,5%")}, {1, 3, 2, QStringLiteral("1.00")},
                                {1, 2, 5, QStringLiteral("3")},           {4, 0, 0, QStringLiteral("ООО \"НОВЫЙ\"")},
                                {4, 5, 0, QStringLiteral("ДО ВСТРЕЧИ")},  {16, 3, 0, QStringLiteral("9000")}};
        QList<CellKey> where;
        for (const Edit& e : edits) {
            QVERIFY(edit(e));
            where << registerCell(e);
        }
        clearTrace();
        clickWrite();
        QCOMPARE(m_boxes.size(), 0);
        QCOMPARE(m_window->statusText(), summary(6, 3));
        QCOMPARE(markedCells(), 0);
        checkClosedAtEnd();
        // A table is committed before the next one starts.
        QStringList order;
        for (const QString& line : cellCalls())
            order << line.section(QLatin1Char(' '), 0, 1);
        QStringList expected;
        for (int i = 0; i < tabs()->count(); ++i) {
            const unsigned table = tabs()->widget(i)->findChild<TableView*>()->tableModel()
                                       ->tableNumber();
            for (const Edit& e : edits) {
                if (e.table == table)
                    expected << QStringLiteral("write %1").arg(table);
            }
            expected << QStringLiteral("commit ->");
        }
        QCOMPARE(order, expected);
        QList<CellKey> changed = differences(before, registerCells(m_imagePath));
        std::sort(changed.begin(), changed.end());
        std::sort(where.begin(), where.end());
        QCOMPARE(changed, where);

        // Right after, nothing is left to write: the button takes no click.
        clearTrace();
        QVERIFY(!button("writeButton")->isEnabled());
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QCOMPARE(m_window->statusText(), summary(6, 3));
        QVERIFY(trace().isEmpty());
    }

    void nothingToWrite_data()
    {
        QTest::addColumn<bool>("withTabs");
        QTest::addColumn<QString>("failedCommand"); // after the first read, on a register of a model without description
        QTest::newRow("tabs without changes") << true << QString();
        QTest::newRow("no tab after a failed read") << false << QString();
        // The model shown is the one identified, though its description failed.
        QTest::newRow("no tab after a read of a model without description") << false << "actionReadAll";
        QTest::newRow("no tab after an import on a model without description") << false << "pbtnLoadFromFile";
    }

    void nothingToWrite()
    {
        QFETCH(bool, withTabs);
        QFETCH(QString, failedCommand);
        EmulatorImage image = smallRegister();
        // The read's open passes, the second read's fails, the write's passes.
        if (!withTabs && failedCommand.isEmpty())
            image.addFault(fault(QStringLiteral("open"), -1, 2, 1)); // after the one that stores the image
        install(image);
        readAll();
        if (!failedCommand.isEmpty()) {
            const unsigned undescribed = 9473;
            QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/models/9473.json")));
            replaceImage(EmulatorImage::fromFile(m_imagePath).setIdentity(
                undescribed, QStringLiteral("Вескор-Эмулятор 9473"), QStringLiteral("9473000001"), QStringLiteral("3.0.25")));
            FileDialog::setHandler([this](const FileDialog::Request&) { return m_dir->filePath(QStringLiteral("x.csv")); });
            if (failedCommand == QLatin1String("actionReadAll"))
                m_window->findChild<QAction*>(failedCommand)->trigger();
            else
                QTest::mouseClick(button("pbtnLoadFromFile"), Qt::LeftButton);
            FileDialog::setHandler(nullptr);
            QCOMPARE(tabs()->count(), 0);
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY2(m_boxes.first().text.startsWith(QStringLiteral("Ошибка чтения файла с информацией о таблицах.\n")),
                     qPrintable(m_boxes.first().text));
            m_boxes.clear();
        } else if (!withTabs) {
            QMenu* menu = button("readButton")->menu();
            menu->actions().first()->trigger();
            QCOMPARE(tabs()->count(), 0);
            QCOMPARE(m_boxes.size(), 1);
            m_boxes.clear();
        }
        const QByteArray file = fileBytes(m_imagePath);
        const QString status = m_window->statusText();
        clearTrace();
        // Nothing to write: neither the button nor its key starts a write.
        QVERIFY(!button("writeButton")->isEnabled());
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_boxes.size(), 0);
        QCOMPARE(m_window->statusText(), status);
        QVERIFY(trace().isEmpty());
        QCOMPARE(fileBytes(m_imagePath), file);
    }

    // The write never reaches a register that cannot be checked, or one of another model.
    void refusedBeforeWriting_data()
    {
        QTest::addColumn<bool>("otherModel");
        QTest::addColumn<QString>("message");
        QTest::newRow("open fails") << false << NoLink;
        QTest::newRow("another model connected") << true << OtherModel;
    }

    void refusedBeforeWriting()
    {
        QFETCH(bool, otherModel);
        QFETCH(QString, message);
        install(smallRegister());
        readAll();
        QVERIFY(edit({2, 0, 0, QStringLiteral("42")}));

        EmulatorImage next = smallRegister();
        if (otherModel)
            next.setIdentity(58, QStringLiteral("Вескор-Эмулятор 58"), QStringLiteral("0058000001"), QStringLiteral("3.0.25"));
        else
            next.addFault(fault(QStringLiteral("open")));
        replaceImage(next);
        const QByteArray file = fileBytes(m_imagePath);
        clearTrace();
        clickWrite();

        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().text, message);
        QCOMPARE(m_boxes.first().icon, QMessageBox::Critical);
        QCOMPARE(m_boxes.first().title, QStringLiteral("Vescor"));
        QCOMPARE(m_window->statusText(), QString());
        QVERIFY(cellCalls().isEmpty());
        checkClosedAtEnd();
        QCOMPARE(markedCells(), 1);
        QCOMPARE(fileBytes(m_imagePath), file);
        QVERIFY(m_window->isEnabled());
    }

    // A cell changed on the register since the tab was read (by the shell
    // program, say) stops the write before anything is sent, named; the user
    // may write over it.
    void cellChangedSinceTheRead_data()
    {
        QTest::addColumn<bool>("writeOver");
        QTest::newRow("stopped") << false;
        QTest::newRow("written over") << true;
    }

    void cellChangedSinceTheRead()
    {
        QFETCH(bool, writeOver);
        install(smallRegister());
        readAll();
        QVERIFY(edit({2, 0, 0, QStringLiteral("42")}));
        QVERIFY(edit({6, 0, 0, QStringLiteral("22.00")}));
        replaceImage(EmulatorImage::fromFile(m_imagePath).setCell(6, 1, 1, QByteArray::fromHex("0834")));
        const QByteArray file = fileBytes(m_imagePath);
        clearTrace();
        m_answer = writeOver ? QMessageBox::Yes : QMessageBox::No;
        clickWrite();

        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().icon, QMessageBox::Question);
        QVERIFY2(m_boxes.first().text.contains(QStringLiteral(
                     "Таблица 6 (Налоговые ставки), ряд 1, поле 1 (Ставка, %): прочитано «20.00», в ККТ сейчас «21.00»")),
                 qPrintable(m_boxes.first().text));
        QVERIFY2(!m_boxes.first().text.contains(QStringLiteral("Таблица 2")), qPrintable(m_boxes.first().text));
        checkClosedAtEnd();
        if (!writeOver) {
            QCOMPARE(m_window->statusText(), QStringLiteral("Запись отменена: после чтения ячейки изменены в ККТ"));
            QVERIFY(cellCalls().isEmpty());
            QCOMPARE(markedCells(), 2);
            QCOMPARE(fileBytes(m_imagePath), file);
            return;
        }
        QCOMPARE(m_window->statusText(), summary(2, 2));
        QCOMPARE(markedCells(), 0);
        QCOMPARE(EmulatorImage::fromFile(m_imagePath).cell(6, 1, 1), QByteArray::fromHex("0898"));
    }

    // A table that fails keeps every mark and nothing of it reaches the
    // register; the tables before it are written; once the cause is gone the
    // next write takes the rest.
    void failingTableKeepsItsEdits_data()
    {
        QTest::addColumn<EmulatorImage::Fault>("cause");
        QTest::addColumn<QString>("message"); // empty: the engine's own text
        QTest::addColumn<QString>("status");

        QTest::newRow("cell write refused") << fault(QStringLiteral("write"), 4) << NoLink << QString();
        // Commits of tables 1, 2, 6 and 5 pass; the one of table 4 fails, and may have stored it.
        QTest::newRow("commit refused")
            << fault(QStringLiteral("commit"), -1, 4, 1)
            << NoLink + QStringLiteral("\nИсход записи таблицы 4 (Клише) неизвестен: таблица могла быть записана. В "
                                       "журнале изменений она отмечена: «таблица могла быть записана».")
            << QString();
        const QString tooLong = QStringLiteral(
            "Ошибка записи таблицы 4 - [Клише]\nРяд 4, поле 1: Значение \"%1\" не подходит для поля \"Строка клише "
            "4\": текст длиннее 48 символов")
                                    .arg(QString(49, QLatin1Char('W')));
        QTest::newRow("value longer than its field") << EmulatorImage::Fault() << tooLong << tooLong;
    }

    void failingTableKeepsItsEdits()
    {
        QFETCH(EmulatorImage::Fault, cause);
        QFETCH(QString, message);
        QFETCH(QString, status);

        const bool badValue = cause.call.isEmpty();
        install(smallRegister());
        readAll();
        const RegisterCells before = registerCells(m_imagePath);
        QVERIFY(edit({2, 0, 0, QStringLiteral("42")}));
        QVERIFY(edit({4, 1, 0, QStringLiteral("ул. Новая, д. 1")}));
        if (badValue) {
            // The window refuses such a value at entry; one that reaches the
            // rows another way is refused by the write.
            QVERIFY(!edit({4, 3, 0, QString(49, QLatin1Char('W'))}));
            QVERIFY(tabModel(4)->setStoredValue(3, 0, QString(49, QLatin1Char('W')).toUtf8()));
        } else {
            QVERIFY(edit({4, 3, 0, QStringLiteral("ТЕЛ. 8-800")}));
        }
        QVERIFY(edit({16, 6, 0, QStringLiteral("kassa-99")}));
        if (!badValue) {
            EmulatorImage faulty = smallRegister();
            faulty.addFault(cause);
            replaceImage(faulty);
        }
        clearTrace();
        clickWrite();

        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().text, message);
        QCOMPARE(m_window->statusText(), status);
        checkClosedAtEnd();
        // Table 2 is written; table 4 keeps both marks, table 16 was not reached.
        const TableModel* t4 = tabModel(4);
        QVERIFY(!tabModel(2)->hasChangedCells());
        QVERIFY(t4->tableData()[1][0].changed);
        QVERIFY(t4->tableData()[3][0].changed);
        QVERIFY(tabModel(16)->hasChangedCells());
        QCOMPARE(markedCells(), 3);
        QCOMPARE(differences(before, registerCells(m_imagePath)), QList<CellKey>{CellKey(2, 1, 1)});

        // The cause is gone: the next write takes the rest, and table 2 no longer counts.
        m_boxes.clear();
        if (badValue)
            QVERIFY(edit({4, 3, 0, QStringLiteral("ТЕЛ. 8-800")}));
        else
            replaceImage(EmulatorImage::fromFile(m_imagePath).clearFaults());
        clickWrite();
        QCOMPARE(m_boxes.size(), 0);
        QCOMPARE(m_window->statusText(), summary(3, 2));
        QCOMPARE(markedCells(), 0);
        QList<CellKey> changed = differences(before, registerCells(m_imagePath));
        std::sort(changed.begin(), changed.end());
        QCOMPARE(changed, (QList<CellKey>{CellKey(2, 1, 1), CellKey(4, 2, 1), CellKey(4, 4, 1), CellKey(16, 1, 7)}));
    }

    // Cancelling stops before the next cell: the table being written is not committed, and the
    // message names the tables written and not written; the window's slot on_cancelLoading()
    // stops it as "Отменить" does.
    void cancelStopsBeforeTheNextCell_data()
    {
        QTest::addColumn<bool>("throughSlot");
        QTest::newRow("a click on the button") << false;
        QTest::newRow("the window's slot") << true;
    }

    void cancelStopsBeforeTheNextCell()
    {
        QFETCH(bool, throughSlot);
        install(smallRegister());
        readAll();
        QVERIFY(edit({1, 0, 1, QStringLiteral("Молоко цельное")}));
        QVERIFY(edit({1, 3, 5, QStringLiteral("2")}));
        QVERIFY(edit({4, 0, 0, QStringLiteral("ООО \"ДРУГОЕ\"")}));
        const RegisterCells before = registerCells(m_imagePath);

        auto* bar = m_window->findChild<QProgressBar*>(QStringLiteral("m_progressBar"));
        QVERIFY(bar);
        bool clicked = false;
        // The user presses "Отменить" while the first row of the first table is written.
        const QMetaObject::Connection press = connect(bar, &QProgressBar::valueChanged, this, [&] {
            if (clicked)
                return;
            QPushButton* cancel = cancelButton();
            QVERIFY(cancel);
            QVERIFY(cancel->isEnabled());
            if (throughSlot)
                QVERIFY(QMetaObject::invokeMethod(m_window.get(), "on_cancelLoading"));
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
            clicked = KKT_Logic::instance().cancelRequested();
        });
        clearTrace();
        clickWrite();
        disconnect(press);

        QVERIFY(clicked);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().text, QStringLiteral("Операция записи прервана пользователем\n"
                                                      "Записаны в ККТ таблицы: нет\n"
                                                      "Не записаны таблицы: 1 \"База товаров\", 4 \"Клише\""));
        QCOMPARE(m_window->statusText(), QStringLiteral("Операция записи прервана пользователем"));
        checkClosedAtEnd();
        QVERIFY(!cancelButton());
        QVERIFY(m_window->isEnabled());
        QCOMPARE(markedCells(), 3);
        QCOMPARE(cellCalls().filter(QRegExp(QStringLiteral("^commit "))).size(), 0);
        QCOMPARE(differences(before, registerCells(m_imagePath)).size(), 0);
    }

    // A page without exactly one table view ends the write; the connection is closed all the same.
    void tabWithoutTableView()
    {
        install(smallRegister());
        readAll();
        QVERIFY(edit({1, 0, 5, QStringLiteral("3")}));
        QVERIFY(edit({2, 0, 0, QStringLiteral("42")}));
        tabs()->insertTab(1, new QWidget, QStringLiteral("Пустая"));
        const RegisterCells before = registerCells(m_imagePath);

        g_debugLines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordDebugLine);
        clearTrace();
        clickWrite();
        qInstallMessageHandler(previous);

        QVERIFY(g_debugLines.contains(QStringLiteral("Error when finding QTableView on the tab 1")));
        QCOMPARE(m_boxes.size(), 0);
        QCOMPARE(m_window->statusText(), Writing);
        QVERIFY(m_window->isEnabled());
        checkClosedAtEnd();
        QVERIFY(!tabModel(1)->hasChangedCells());
        QVERIFY(tabModel(2)->hasChangedCells());
        QCOMPARE(differences(before, registerCells(m_imagePath)), QList<CellKey>{CellKey(1, 1, 6)});
    }

    // Closing, reading or importing asks before unwritten edits are dropped; "no" changes nothing.
    void unwrittenEditsAreNotDroppedSilently_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("yes");

        for (const char* action : {"close", "read", "read commodities", "import"}) {
            QTest::addRow("%s, edits, no", action) << QString::fromLatin1(action) << true << false;
            if (QByteArray(action) != "import") // "yes" goes on to the file dialog
                QTest::addRow("%s, edits, yes", action) << QString::fromLatin1(action) << true << true;
        }
        QTest::newRow("close, nothing edited") << "close" << false << true;
        QTest::newRow("read, nothing edited") << "read" << false << true;
        QTest::newRow("close, edits written") << "close written" << true << true;
    }

    void unwrittenEditsAreNotDroppedSilently()
    {
        QFETCH(QString, action);
        QFETCH(bool, edited);
        QFETCH(bool, yes);

        install(smallRegister());
        readAll();
        if (edited)
            QVERIFY(edit({5, 1, 0, QStringLiteral("КАРТОЙ")}));
        if (action == QLatin1String("close written")) {
            clickWrite();
            QCOMPARE(m_window->statusText(), summary(1, 1));
            action = QStringLiteral("close");
            edited = false;
        }
        const QPointer<TableModel> model = tabModel(5);
        const int tabCount = tabs()->count();
        m_answer = yes ? QMessageBox::Yes : QMessageBox::No;
        m_boxes.clear();
        clearTrace();

        if (action == QLatin1String("close")) {
            m_window->close();
        } else if (action == QLatin1String("import")) {
            QTest::mouseClick(button("pbtnLoadFromFile"), Qt::LeftButton);
        } else {
            QMenu* menu = button("readButton")->menu();
            menu->actions().at(action == QLatin1String("read") ? 0 : 1)->trigger();
        }

        if (edited) {
            QCOMPARE(m_boxes.size(), 1);
            QCOMPARE(m_boxes.first().icon, QMessageBox::Question);
            QCOMPARE(m_boxes.first().title, QStringLiteral("Vescor"));
            QCOMPARE(m_boxes.first().text, Unwritten);
            QCOMPARE(m_boxes.first().buttons, QMessageBox::Yes | QMessageBox::No);
        } else {
            QCOMPARE(m_boxes.size(), 0);
        }

        const bool goesOn = !edited || yes;
        if (action == QLatin1String("close")) {
            QCOMPARE(m_window->isVisible(), !goesOn);
        } else if (goesOn) {
            QVERIFY(model.isNull()); // the tabs were read anew
            QVERIFY(trace().filter(QRegExp(QStringLiteral("^open "))).size() == 1);
        }
        if (!goesOn) {
            QVERIFY(model);
            QCOMPARE(tabs()->count(), tabCount);
            QVERIFY(model->hasChangedCells());
            QVERIFY(trace().isEmpty()); // the register was not touched
            QVERIFY(m_window->isVisible());
        }
    }
};

VESCOR_TEST(WriteCommandTest)

#include "tst_WriteCommand.moc"
