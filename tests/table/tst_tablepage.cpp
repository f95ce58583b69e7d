#include "TableFixtures.h"
#include "support/TestMain.h"
#include "support/UserTyping.h"

#include "table/TableFilterModel.h"
#include "table/TableModel.h"
#include "table/TablePage.h"
#include "table/TableSearchBar.h"
#include "table/TableView.h"

#include "dialogs/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolTip>
#include <QUndoStack>
#include <QVBoxLayout>

#include <memory>

using namespace fixtures;

namespace {

// One step a user takes on a page: a key to the widget with focus (or to the
// view), a click, a double click or a word typed.
struct Step
{
    enum Kind { Key, Click, DoubleClick, Type, Wheel, Drag } kind = Key;
    int key = 0;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    int row = 0;
    int column = 0;
    int toRow = 0; // where a drag ends
    int toColumn = 0;
    QString text;
};

Step key(int k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    Step s;
    s.key = k;
    s.modifiers = m;
    return s;
}

Step click(int row, int column)
{
    Step s;
    s.kind = Step::Click;
    s.row = row;
    s.column = column;
    return s;
}

Step shiftClick(int row, int column)
{
    Step s = click(row, column);
    s.modifiers = Qt::ShiftModifier;
    return s;
}

// The mouse pressed on one cell, moved over the cells between and let go on the other.
Step drag(int row, int column, int toRow, int toColumn)
{
    Step s = click(row, column);
    s.kind = Step::Drag;
    s.toRow = toRow;
    s.toColumn = toColumn;
    return s;
}

Step doubleClick(int row, int column)
{
    Step s = click(row, column);
    s.kind = Step::DoubleClick;
    return s;
}

Step typed(const QString& text)
{
    Step s;
    s.kind = Step::Type;
    s.text = text;
    return s;
}

Step wheel()
{
    Step s;
    s.kind = Step::Wheel;
    return s;
}

// A payment table like the register's: a name, a list and a number per row.
TableInfo payments()
{
    FieldInfo name = field(QStringLiteral("Наименование"), FieldInfo::String, FieldInfo::String866);
    name.m_maxLength = 48;
    FieldInfo number = intField(QStringLiteral("Код"), 0, 16);
    number.m_deviceType = FieldInfo::Bin1;
    return table(Db,
                 {name, listField(QStringLiteral("Безналичный"), {{0, "Нет"}, {1, "Да"}}), number}, 5,
                 QStringLiteral("Типы оплаты"));
}

DataRows paymentRows()
{
    QList<QStringList> values;
    const QStringList names{"НАЛИЧНЫМИ", "КАРТОЙ",  "Банковский перевод", "СБП",   "Бонусы",
                            "Подарочная карта", "Тип 7", "Bank transfer"};
    for (int i = 0; i < names.size(); ++i)
        values << QStringList{names[i], i % 2 ? "1" : "0", QString::number(i)};
    return dbRows(values);
}

class PageHarness
{
public:
    PageHarness(const TableInfo& info = payments(), const DataRows& rows = paymentRows())
    {
        auto* layout = new QVBoxLayout(&window);
        page = new TablePage(info, rows, &window);
        layout->addWidget(page);
        window.resize(900, 500);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("Окно теста не показано на экране");
        view = page->view();
        model = page->tableModel();
        QObject::connect(page, &TablePage::statusMessage, [this](const QString& text) { messages << text; });
    }

    // The window takes the keys again once a dialog over it has closed (the
    // test platform does not give it back by itself).
    void activate()
    {
        window.activateWindow();
        for (int wait = 0; wait < 100 && QApplication::activeWindow() != &window; ++wait)
            QTest::qWait(10);
        if (QApplication::activeWindow() != &window)
            qWarning("Окно теста не стало активным");
    }

    QModelIndex shown(int row, int column) const
    {
        return page->filterModel()->mapFromSource(model->index(row, column));
    }

    void run(const Step& step)
    {
        switch (step.kind) {
        case Step::Key: {
            QWidget* target = QApplication::focusWidget();
            if (!target || !window.isAncestorOf(target))
                target = view;
            QTest::keyClick(target, Qt::Key(step.key), step.modifiers);
            break;
        }
        case Step::Click:
        case Step::DoubleClick: {
            const QPoint at = view->visualRect(shown(step.row, step.column)).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, step.modifiers, at);
            if (step.kind == Step::DoubleClick) {
                // The second press of a double click comes as a double click event.
                QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            }
            break;
        }
        case Step::Drag: {
            QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                              view->visualRect(shown(step.row, step.column)).center());
            const int rowStep = step.toRow >= step.row ? 1 : -1;
            for (int r = step.row;; r += rowStep) {
                const QPoint at = view->visualRect(shown(r, step.toColumn)).center();
                QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(view->viewport(), &move);
                if (r == step.toRow)
                    break;
            }
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                                view->visualRect(shown(step.toRow, step.toColumn)).center());
            break;
        }
        case Step::Type: {
            QWidget* target = QApplication::focusWidget();
            if (!target || !window.isAncestorOf(target))
                target = view;
            typeKeys(target, step.text);
            // As when the typing has paused: a search typed filters the rows.
            page->applyPendingSearch();
            break;
        }
        case Step::Wheel: {
            QWidget* target = QApplication::focusWidget();
            QWheelEvent event(QPointF(5, 5), QPointF(target->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &event);
            break;
        }
        }
        QCoreApplication::processEvents();
    }

    void run(const QList<Step>& steps)
    {
        for (const Step& s : steps)
            run(s);
    }

    bool editing() const { return editor() != nullptr; }
    QWidget* editor() const { return view->indexWidget(view->currentIndex()); }

    QStringList texts(int column) const
    {
        QStringList list;
        for (int r = 0; r < model->rowCount(); ++r)
            list << model->index(r, column).data().toString();
        return list;
    }

    // The source rows the view shows, in order.
    QList<int> shownRows() const
    {
        QList<int> rows;
        for (int r = 0; r < page->filterModel()->rowCount(); ++r)
            rows << page->filterModel()->mapToSource(page->filterModel()->index(r, 0)).row();
        return rows;
    }

    QAction* action(const char* name) const { return page->findChild<QAction*>(QLatin1String(name)); }

    QWidget window;
    TablePage* page = nullptr;
    TableView* view = nullptr;
    TableModel* model = nullptr;
    QStringList messages;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TablePageTest : public QObject
{
    Q_OBJECT

private slots:
    // Moving the current cell opens no editor and changes no value.
    void movesChangeNothing_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::newRow("list cell: click, Esc, Down, Down, Tab")
            << QList<Step>{click(4, 1), key(Qt::Key_Escape), key(Qt::Key_Down), key(Qt::Key_Down), key(Qt::Key_Tab)};
        QTest::newRow("arrows all round")
            << QList<Step>{click(0, 0), key(Qt::Key_Right), key(Qt::Key_Right), key(Qt::Key_Down),
                           key(Qt::Key_Left), key(Qt::Key_Up)};
        QTest::newRow("pages") << QList<Step>{click(2, 1), key(Qt::Key_PageDown), key(Qt::Key_PageUp),
                                              key(Qt::Key_End), key(Qt::Key_Home)};
        QTest::newRow("tab and back") << QList<Step>{click(1, 0), key(Qt::Key_Tab), key(Qt::Key_Tab),
                                                     key(Qt::Key_Backtab)};
        QTest::newRow("focus without a chosen cell, then typing")
            << QList<Step>{typed(QStringLiteral("X")), key(Qt::Key_Down)};
        QTest::newRow("list editor keeps its choice on arrows and the wheel")
            << QList<Step>{click(6, 1), key(Qt::Key_F2), wheel(), key(Qt::Key_Down), key(Qt::Key_Up),
                           key(Qt::Key_Tab)};
    }

    void movesChangeNothing()
    {
        QFETCH(QList<Step>, steps);
        PageHarness h;
        const QStringList before = h.texts(1);
        const QStringList names = h.texts(0);
        h.view->setFocus();
        h.run(steps);
        QVERIFY(!h.editing());
        QCOMPARE(h.texts(1), before);
        QCOMPARE(h.texts(0), names);
        QVERIFY(!h.model->hasChangedCells());
        QCOMPARE(h.page->undoStack()->count(), 0);
    }

    // A cell reached by Tab, Shift+Tab or the arrows is chosen: what is typed there replaces its value.
    void typingWhereTabLands_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("Tab into the table") << QList<Step>{key(Qt::Key_Tab)} << 0 << 0;
        QTest::newRow("Shift+Tab into the table") << QList<Step>{key(Qt::Key_Backtab, Qt::ShiftModifier)} << 0 << 0;
        QTest::newRow("Tab inside the table")
            << QList<Step>{key(Qt::Key_Tab), key(Qt::Key_Tab), key(Qt::Key_Tab), key(Qt::Key_Tab)} << 1 << 0;
        QTest::newRow("arrows") << QList<Step>{key(Qt::Key_Tab), key(Qt::Key_Down), key(Qt::Key_Down)} << 2 << 0;
    }

    void typingWhereTabLands()
    {
        QFETCH(QList<Step>, steps);
        QFETCH(int, row);
        QFETCH(int, column);
        PageHarness h;
        QLineEdit before;
        h.window.layout()->addWidget(&before);
        before.setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        h.run(steps);
        QCOMPARE(h.view->currentIndex(), h.shown(row, column));
        h.run({typed(QStringLiteral("Z9")), key(Qt::Key_Return)});
        QCOMPARE(h.texts(column).at(row), QStringLiteral("Z9"));
        QCOMPARE(h.page->undoStack()->count(), 1);
    }

    // A masked field says what it refused: the key typed, or an entry left unfinished by a click elsewhere.
    void maskedRefusals_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QString>("message");
        QTest::newRow("a letter in a barcode")
            << QList<Step>{click(0, 0), key(Qt::Key_F2), typed(QStringLiteral("a"))}
            << "Значение \"a\" не подходит для поля \"Штрихкод\"";
        QTest::newRow("part of a phone number, then a click on another row")
            << QList<Step>{click(0, 1), key(Qt::Key_F2), key(Qt::Key_A, Qt::ControlModifier), key(Qt::Key_Delete),
                           typed(QStringLiteral("912")), click(1, 0)}
            << "Ячейка не изменена: ввод не закончен. Значение \"+7(912)";
    }

    void maskedRefusals()
    {
        QFETCH(QList<Step>, steps);
        QFETCH(QString, message);
        FieldInfo phone = maskedField(QStringLiteral("Телефон"), QStringLiteral("+7(999)999-99-99"), FieldInfo::String866);
        phone.m_maxLength = 16;
        PageHarness h(table(Db, {maskedField(QStringLiteral("Штрихкод"), QStringLiteral("0000000000000"), FieldInfo::Bcd8),
                                 phone}),
                      dbRows({{"4600000000001", "+7(900)000-00-00"}, {"4600000000002", "+7(900)000-00-01"}}));
        h.run(steps);
        QVERIFY2(!h.messages.isEmpty() && h.messages.last().startsWith(message), qPrintable(h.messages.join('\n')));
        QCOMPARE(h.texts(1), (QStringList{"+7(900)000-00-00", "+7(900)000-00-01"}));
        QVERIFY(!h.model->hasChangedCells());
    }

    // Editing starts on a double click, F2, a click on the selected cell or a
    // key typed on the selected cell; typing where no cell was chosen does not.
    void editingStarts_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<bool>("opens");
        QTest::newRow("click") << QList<Step>{click(2, 0)} << false;
        QTest::newRow("double click") << QList<Step>{doubleClick(2, 0)} << true;
        QTest::newRow("F2") << QList<Step>{click(2, 0), key(Qt::Key_F2)} << true;
        QTest::newRow("key on the selected cell") << QList<Step>{click(2, 0), typed(QStringLiteral("Q"))} << true;
        QTest::newRow("key after a move") << QList<Step>{click(2, 0), key(Qt::Key_Down), typed(QStringLiteral("Q"))}
                                          << true;
        QTest::newRow("key without a chosen cell") << QList<Step>{typed(QStringLiteral("Q"))} << false;
    }

    void editingStarts()
    {
        QFETCH(QList<Step>, steps);
        QFETCH(bool, opens);
        PageHarness h;
        h.view->setFocus();
        h.run(steps);
        QCOMPARE(h.editing(), opens);
        QVERIFY(!h.model->hasChangedCells());
    }

    // A value the register cannot store is refused as it is typed or
    // committed; the cell stays and the page says why, naming the limit.
    void refusedAtEntry_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("held");    // what the editor holds after typing
        QTest::addColumn<QString>("stored");  // the cell afterwards
        QTest::addColumn<QString>("reason");  // part of the message; empty: none

        const QString line61 = QString(61, QLatin1Char('W'));
        QTest::newRow("61 characters on a 48-character line")
            << 0 << line61 << line61.left(48) << line61.left(48) << "48 символов";
        QTest::newRow("a letter the register cannot print") << 0 << "Café" << "Caf" << "Caf" << "é";
        // A refused key refuses the entry: 17 never becomes 1.
        QTest::newRow("above the field's range") << 2 << "17" << "1" << "3" << "от 0 до 16";
        QTest::newRow("within every limit") << 0 << "ПЕРЕВОД" << "ПЕРЕВОД" << "ПЕРЕВОД" << QString();
        QTest::newRow("the highest number") << 2 << "16" << "16" << "16" << QString();
    }

    void refusedAtEntry()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, held);
        QFETCH(QString, stored);
        QFETCH(QString, reason);
        PageHarness h;
        h.view->setFocus();
        h.run({click(3, column), key(Qt::Key_F2), key(Qt::Key_A, Qt::ControlModifier), key(Qt::Key_Delete)});
        auto* editor = qobject_cast<QLineEdit*>(h.editor());
        QVERIFY(editor);
        typeKeys(editor, text);
        QCOMPARE(editor->text(), held);
        if (reason.isEmpty()) {
            QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('\n')));
        } else {
            QVERIFY(!h.messages.isEmpty());
            QVERIFY2(h.messages.last().contains(reason), qPrintable(h.messages.last()));
            QVERIFY2(h.messages.last().contains(h.model->headerData(column, Qt::Horizontal).toString().mid(4)),
                     qPrintable(h.messages.last()));
            // Whole, at the cell, not only in the status bar.
            QCOMPARE(QToolTip::text(), h.messages.last());
        }
        h.run(key(Qt::Key_Return));
        QVERIFY(!h.editing());
        QCOMPARE(h.model->index(3, column).data().toString(), stored);
    }

    // Each kind of number editor says why it refuses a key or Enter, in the
    // status line and at the cell; a refused key ("1e2") refuses the entry
    // until the user deletes some of the text ("\b" is Backspace).
    void refusedEntryPerEditor_data()
    {
        QTest::addColumn<int>("column");  // 0 number 0..16, 1 price, 2 masked barcode
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("closed"); // Enter closed the editor
        QTest::addColumn<QString>("shown"); // the cell afterwards
        QTest::addColumn<QStringList>("reasons"); // parts of the last message; empty: no message

        QTest::newRow("number, exponent") << 0 << "1e2" << true << "3"
                                          << QStringList{"Ячейка не изменена", "\"1e\"", "целое число от 0 до 16"};
        QTest::newRow("number, mended") << 0 << "1e\b2" << true << "2" << QStringList{};
        QTest::newRow("number, emptied") << 0 << "" << false << "3" << QStringList{"\"\"", "Код", "от 0 до 16"};
        QTest::newRow("price, exponent") << 1 << "1e2" << true << "5.00"
                                         << QStringList{"Ячейка не изменена", "\"1e\"", "сумма"};
        QTest::newRow("price, comma") << 1 << "12,5" << true << "12.50" << QStringList{};
        QTest::newRow("price, emptied") << 1 << "" << false << "5.00" << QStringList{"Цена", "сумма от 0.00"};
        QTest::newRow("barcode, letter") << 2 << "4a6" << true << "0123"
                                         << QStringList{"Ячейка не изменена", "Штрихкод", "только цифры, не более 8"};
        QTest::newRow("barcode, digits") << 2 << "46" << true << "0046" << QStringList{};
    }

    void refusedEntryPerEditor()
    {
        QFETCH(int, column);
        QFETCH(QString, keys);
        QFETCH(bool, closed);
        QFETCH(QString, shown);
        QFETCH(QStringList, reasons);
        FieldInfo number = intField(QStringLiteral("Код"), 0, 16);
        number.m_deviceType = FieldInfo::Bin1;
        PageHarness h(table(Db, {number, moneyField(QStringLiteral("Цена"), 0, 100),
                                 maskedField(QStringLiteral("Штрихкод"), QStringLiteral("0000"), FieldInfo::Bcd4)},
                            1, QStringLiteral("Товары")),
                      dbRows({{"3", "500", "123"}}));
        h.view->setFocus();
        h.run({click(0, column), key(Qt::Key_F2), key(Qt::Key_A, Qt::ControlModifier), key(Qt::Key_Delete)});
        auto* editor = qobject_cast<QLineEdit*>(h.editor());
        QVERIFY(editor);
        const QStringList parts = keys.split('\b');
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0)
                QTest::keyClick(editor, Qt::Key_Backspace);
            typeKeys(editor, parts.at(i));
        }
        h.messages.clear();
        h.run(key(Qt::Key_Return));
        QCOMPARE(!h.editing(), closed);
        if (reasons.isEmpty()) {
            QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('\n')));
        } else {
            QVERIFY(!h.messages.isEmpty());
            for (const QString& reason : reasons)
                QVERIFY2(h.messages.last().contains(reason), qPrintable(h.messages.last()));
            QCOMPARE(QToolTip::text(), h.messages.last());
        }
        if (!closed)
            h.run(key(Qt::Key_Escape));
        QCOMPARE(h.model->index(0, column).data().toString(), shown);
    }

    // Committed without an editor's limits (e.g. pasted or set by a program),
    // a value the register cannot store leaves the cell as it was.
    void refusedOnCommit_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("taken");
        QTest::newRow("too long") << 0 << QString(49, QLatin1Char('x')) << false;
        QTest::newRow("no such character") << 0 << "naïve" << false;
        QTest::newRow("beyond one byte") << 2 << "300" << false;
        QTest::newRow("fits") << 0 << QString(48, QLatin1Char('x')) << true;
    }

    void refusedOnCommit()
    {
        QFETCH(int, column);
        QFETCH(QString, value);
        QFETCH(bool, taken);
        PageHarness h;
        const QString before = h.model->index(1, column).data().toString();
        QCOMPARE(h.model->setData(h.model->index(1, column), value, Qt::EditRole), taken);
        QCOMPARE(h.model->index(1, column).data().toString(), taken ? value : before);
        QCOMPARE(h.model->hasChangedCells(), taken);
        QCOMPARE(h.messages.isEmpty(), taken);
    }

    // Ctrl+Z and Ctrl+Shift+Z undo and redo the edits of the page; a cell set
    // back to the value read loses its mark.
    void undoAndRedo_data()
    {
        QTest::addColumn<QList<Step>>("afterEdits");
        QTest::addColumn<QStringList>("names"); // rows 0 and 1
        QTest::addColumn<bool>("marked");
        QTest::newRow("both edits stand") << QList<Step>{} << QStringList{"ПЕРВЫЙ", "ВТОРОЙ"} << true;
        QTest::newRow("one undone") << QList<Step>{key(Qt::Key_Z, Qt::ControlModifier)}
                                    << QStringList{"ПЕРВЫЙ", "КАРТОЙ"} << true;
        QTest::newRow("both undone") << QList<Step>{key(Qt::Key_Z, Qt::ControlModifier),
                                                    key(Qt::Key_Z, Qt::ControlModifier)}
                                     << QStringList{"НАЛИЧНЫМИ", "КАРТОЙ"} << false;
        QTest::newRow("undone and redone")
            << QList<Step>{key(Qt::Key_Z, Qt::ControlModifier), key(Qt::Key_Z, Qt::ControlModifier),
                           key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier)}
            << QStringList{"ПЕРВЫЙ", "КАРТОЙ"} << true;
        QTest::newRow("typed back to the value read")
            << QList<Step>{click(0, 0), typed(QStringLiteral("НАЛИЧНЫМИ")), key(Qt::Key_Return), click(1, 0),
                           typed(QStringLiteral("КАРТОЙ")), key(Qt::Key_Return)}
            << QStringList{"НАЛИЧНЫМИ", "КАРТОЙ"} << false;
        QTest::newRow("nothing to redo") << QList<Step>{key(Qt::Key_Y, Qt::ControlModifier)}
                                         << QStringList{"ПЕРВЫЙ", "ВТОРОЙ"} << true;
    }

    void undoAndRedo()
    {
        QFETCH(QList<Step>, afterEdits);
        QFETCH(QStringList, names);
        QFETCH(bool, marked);
        PageHarness h;
        QSignalSpy marks(h.page, &TablePage::marksChanged);
        h.view->setFocus();
        h.run({click(0, 0), typed(QStringLiteral("ПЕРВЫЙ")), key(Qt::Key_Return), click(1, 0),
               typed(QStringLiteral("ВТОРОЙ")), key(Qt::Key_Return)});
        QVERIFY(h.model->hasChangedCells());
        h.run(afterEdits);
        QCOMPARE(h.texts(0).mid(0, 2), names);
        QCOMPARE(h.model->hasChangedCells(), marked);
        QCOMPARE(h.model->isEdited(0, 0), names[0] != QStringLiteral("НАЛИЧНЫМИ"));
        QCOMPARE(h.model->tableData()[1][0].changed, names[1] != QStringLiteral("КАРТОЙ"));
        QCOMPARE(h.model->readValue(0, 0), QByteArray("НАЛИЧНЫМИ"));
        QVERIFY(!marks.isEmpty());
        QCOMPARE(marks.last().first().toBool(), marked);
    }

    // The selected cells, or the whole table, get their values read back in one step that can be undone.
    void revert_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("names"); // rows 0 to 2
        QTest::newRow("selected cell, menu entry") << "revertCellsAction" << QStringList{"НАЛИЧНЫМИ", "B", "C"};
        QTest::newRow("selected cell, Ctrl+R") << "Ctrl+R" << QStringList{"НАЛИЧНЫМИ", "B", "C"};
        QTest::newRow("whole table, menu entry") << "revertTableAction"
                                                 << QStringList{"НАЛИЧНЫМИ", "КАРТОЙ", "Банковский перевод"};
        QTest::newRow("whole table, Ctrl+Shift+R") << "Ctrl+Shift+R"
                                                   << QStringList{"НАЛИЧНЫМИ", "КАРТОЙ", "Банковский перевод"};
    }

    void revert()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, names);
        PageHarness h;
        const QStringList edited{"X", "B", "C"};
        for (int r = 0; r < edited.size(); ++r)
            QVERIFY(h.model->setData(h.model->index(r, 0), edited[r]));
        h.view->setFocus();
        h.run(click(0, 0));
        const int steps = h.page->undoStack()->count();
        if (how.startsWith(QLatin1String("Ctrl"))) {
            const bool shift = how.contains(QLatin1String("Shift"));
            h.run(key(Qt::Key_R, Qt::ControlModifier | (shift ? Qt::ShiftModifier : Qt::NoModifier)));
        } else {
            QAction* action = h.action(qPrintable(how));
            QVERIFY(action);
            QVERIFY(action->text().startsWith(QStringLiteral("Вернуть")));
            action->trigger();
        }
        QCOMPARE(h.texts(0).mid(0, 3), names);
        QCOMPARE(h.page->undoStack()->count(), steps + 1);
        QCOMPARE(h.model->hasChangedCells(), names[1] == QLatin1String("B"));
        // One undo brings every reverted cell back.
        h.page->undoStack()->undo();
        QCOMPARE(h.texts(0).mid(0, 3), (QStringList{"X", "B", "C"}));
    }

    // Ctrl+F and a few letters show the rows that hold them and their count.
    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("count");
        QTest::newRow("Cyrillic, any case") << "бан" << QList<int>{2} << "Найдено строк: 1 из 8";
        QTest::newRow("Latin") << "BANK" << QList<int>{7} << "Найдено строк: 1 из 8";
        QTest::newRow("list text") << "да" << QList<int>{1, 3, 5, 7} << "Найдено строк: 4 из 8";
        QTest::newRow("number in a cell or a row title") << "6" << QList<int>{5, 6} << "Найдено строк: 2 из 8";
        QTest::newRow("two words") << "карт да" << QList<int>{1, 5} << "Найдено строк: 2 из 8";
        QTest::newRow("name with a number") << "тип 7" << QList<int>{6} << "Найдено строк: 1 из 8";
        QTest::newRow("nothing") << "ЯЯЯ" << QList<int>{} << "Найдено строк: 0 из 8";
        QTest::newRow("no text") << "" << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << "";
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, rows);
        QFETCH(QString, count);
        PageHarness h;
        h.view->setFocus();
        QVERIFY(h.page->searchBar()->isHidden());
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        QVERIFY(h.page->searchBar()->isVisible());
        QCOMPARE(QApplication::focusWidget(), h.page->searchBar()->searchField());
        h.run(typed(text));
        QCOMPARE(h.shownRows(), rows);
        QCOMPARE(h.page->findChild<QLabel*>(QStringLiteral("searchCount"))->text(), count);
        // Everything that reads the table still sees every row.
        QCOMPARE(h.model->rowCount(), 8);
        h.run(key(Qt::Key_Escape));
        QVERIFY(h.page->searchBar()->isHidden());
        QCOMPARE(h.shownRows().size(), 8);
    }

    // The rows are filtered when the typing pauses, or at once on Enter; the
    // texts searched follow the edits of the cells.
    void searchFollowsTypingAndEdits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("how"); // "pause", "enter", "edit" (then pause), "undo" (of the edit)
        QTest::addColumn<QString>("name"); // the new name of row 3 ("СБП")
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("count");
        QTest::newRow("typing pauses") << "карт" << "pause" << "" << QList<int>{1, 5} << "Найдено строк: 2 из 8";
        QTest::newRow("Enter before the pause") << "карт" << "enter" << "" << QList<int>{1, 5} << "Найдено строк: 2 из 8";
        QTest::newRow("an edited name is found")
            << "карт" << "edit" << "Карта СБП" << QList<int>{1, 3, 5} << "Найдено строк: 3 из 8";
        QTest::newRow("an edit undone is not") << "карт" << "undo" << "Карта СБП" << QList<int>{1, 5}
                                               << "Найдено строк: 2 из 8";
        QTest::newRow("an edit that takes the word away")
            << "сбп" << "edit" << "Быстрые платежи" << QList<int>{} << "Найдено строк: 0 из 8";
    }

    void searchFollowsTypingAndEdits()
    {
        QFETCH(QString, text);
        QFETCH(QString, how);
        QFETCH(QString, name);
        QFETCH(QList<int>, rows);
        QFETCH(QString, count);
        PageHarness h;
        QLabel* label = h.page->findChild<QLabel*>(QStringLiteral("searchCount"));
        h.view->setFocus();
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        typeKeys(h.page->searchBar()->searchField(), text);
        // Nothing is filtered while the user is still typing.
        QCOMPARE(h.shownRows().size(), 8);
        if (how == QLatin1String("enter"))
            h.run(key(Qt::Key_Return));
        else
            QTRY_VERIFY_WITH_TIMEOUT(!label->text().isEmpty(), 5000);
        if (!name.isEmpty()) {
            h.model->setData(h.model->index(3, 0), name);
            if (how == QLatin1String("undo"))
                h.page->undoStack()->undo();
        }
        QCOMPARE(h.shownRows(), rows);
        QCOMPARE(h.page->filterModel()->matchCount(), rows.size());
        if (name.isEmpty())
            QCOMPARE(label->text(), count);
    }

    // The search's index, gathered before the user changes a cell, follows the
    // change: the new text is found and the old one no more.
    void searchIndexFollowsChanges_data()
    {
        QTest::addColumn<QString>("how"); // "typed", "pasted", "undone" (a typed name taken back)
        QTest::addColumn<QList<int>>("newFound"); // rows found by "мир"
        QTest::addColumn<QList<int>>("oldFound"); // rows found by "сбп"
        QTest::newRow("a name typed into its cell") << "typed" << QList<int>{3} << QList<int>{};
        QTest::newRow("a name pasted") << "pasted" << QList<int>{3} << QList<int>{};
        QTest::newRow("a typed name undone") << "undone" << QList<int>{} << QList<int>{3};
    }

    void searchIndexFollowsChanges()
    {
        QFETCH(QString, how);
        QFETCH(QList<int>, newFound);
        QFETCH(QList<int>, oldFound);
        PageHarness h;
        QLineEdit* field = h.page->searchBar()->searchField();
        h.view->setFocus();
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        QVERIFY(h.page->filterModel()->isIndexComplete());
        typeKeys(field, QStringLiteral("сбп"));
        h.run(key(Qt::Key_Return));
        QCOMPARE(h.shownRows(), QList<int>{3});
        h.run(key(Qt::Key_Escape));

        if (how == QLatin1String("pasted")) {
            QGuiApplication::clipboard()->setText(QStringLiteral("Карта Мир"));
            h.run(click(3, 0));
            h.run(key(Qt::Key_V, Qt::ControlModifier));
        } else {
            QVERIFY(typeIntoCell(h.view, h.shown(3, 0), QStringLiteral("Карта Мир")));
            if (how == QLatin1String("undone"))
                h.run(key(Qt::Key_Z, Qt::ControlModifier));
        }
        QCOMPARE(h.model->hasChangedCells(), how != QLatin1String("undone"));

        h.view->setFocus();
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        replaceEditorText(field, QStringLiteral("мир"));
        h.run(key(Qt::Key_Return));
        QCOMPARE(h.shownRows(), newFound);
        replaceEditorText(field, QStringLiteral("сбп"));
        h.run(key(Qt::Key_Return));
        QCOMPARE(h.shownRows(), oldFound);
    }

    // The count keeps the room of the widest count of its table, in a narrow window too,
    // and no other part of the bar covers it.
    void countIsNeverCut()
    {
        QList<QStringList> values;
        for (int i = 0; i < 12345; ++i)
            values << QStringList{QStringLiteral("Товар %1").arg(i), "0", "1"};
        PageHarness h(payments(), dbRows(values));
        h.window.resize(560, 300);
        h.view->setFocus();
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        QLabel* label = h.page->findChild<QLabel*>(QStringLiteral("searchCount"));
        for (const QString& text : {QStringLiteral("Товар 1"), QStringLiteral("Товар 12"), QStringLiteral("Товар")}) {
            h.page->searchBar()->searchField()->setText(text);
            h.page->applyPendingSearch();
            QCoreApplication::processEvents();
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                     qPrintable(QStringLiteral("%1: %2 px").arg(label->text()).arg(label->width())));
            // Nor is it drawn over by its neighbours when the row of the bar is short of room.
            for (QWidget* other : h.page->searchBar()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                QVERIFY2(other == label || !other->isVisible() || !other->geometry().intersects(label->geometry()),
                         qPrintable(other->objectName() + other->metaObject()->className()));
        }
        QCOMPARE(label->text(), QStringLiteral("Найдено строк: 12345 из 12345"));
    }

    // Enter and F3 go to the next matching row, round to the first, also with every row shown.
    void findNext_data()
    {
        QTest::addColumn<bool>("onlyMatches");
        QTest::addColumn<QList<int>>("visited");
        // The current row moved to the first match when the others were hidden.
        QTest::newRow("matches only") << true << QList<int>{5, 1, 5};
        QTest::newRow("every row shown") << false << QList<int>{1, 5, 1};
    }

    void findNext()
    {
        QFETCH(bool, onlyMatches);
        QFETCH(QList<int>, visited);
        PageHarness h;
        h.view->setFocus();
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        if (!onlyMatches)
            h.page->findChild<QCheckBox*>(QStringLiteral("searchOnlyMatches"))->click();
        h.page->searchBar()->searchField()->setFocus();
        h.run(typed(QStringLiteral("карт")));
        QCOMPARE(h.shownRows().size(), onlyMatches ? 2 : 8);
        QList<int> rows;
        h.run(key(Qt::Key_Return));
        rows << h.page->filterModel()->mapToSource(h.view->currentIndex()).row();
        h.run(key(Qt::Key_F3));
        rows << h.page->filterModel()->mapToSource(h.view->currentIndex()).row();
        h.run(key(Qt::Key_Return));
        rows << h.page->filterModel()->mapToSource(h.view->currentIndex()).row();
        QCOMPARE(rows, visited);
    }

    // An edit in a filtered view reaches the same cell of the table model.
    void filteredEditReachesTheCell()
    {
        PageHarness h;
        h.view->setFocus();
        h.run(key(Qt::Key_F, Qt::ControlModifier));
        h.run(typed(QStringLiteral("сбп")));
        QCOMPARE(h.shownRows(), QList<int>{3});
        h.view->setFocus();
        h.run({doubleClick(3, 2), key(Qt::Key_A, Qt::ControlModifier), typed(QStringLiteral("12")),
               key(Qt::Key_Return)});
        QCOMPARE(h.model->tableData()[3][2], Cell("12", true));
        int marked = 0;
        for (const DataRow& row : h.model->tableData())
            for (const Cell& cell : row)
                marked += cell.changed ? 1 : 0;
        QCOMPARE(marked, 1);
    }

    // Ctrl+G and a row number: that row becomes current, also when the search hid it.
    void goToRow_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("row");
        QTest::newRow("a row") << QString() << 6 << 5;
        QTest::newRow("a row the search hides") << "карт" << 8 << 7;
        // The field takes no number beyond the last row: it keeps its 1.
        QTest::newRow("beyond the last") << QString() << 99 << 0;
    }

    void goToRow()
    {
        QFETCH(QString, search);
        QFETCH(int, number);
        QFETCH(int, row);
        PageHarness h;
        h.view->setFocus();
        if (!search.isEmpty()) {
            h.run(key(Qt::Key_F, Qt::ControlModifier));
            h.run(typed(search));
        }
        h.view->setFocus();
        h.run(key(Qt::Key_G, Qt::ControlModifier));
        QSpinBox* field = h.page->searchBar()->rowField();
        QVERIFY(field);
        QVERIFY(field->hasFocus());
        QCOMPARE(field->maximum(), 8);
        h.run(key(Qt::Key_A, Qt::ControlModifier));
        h.run(typed(QString::number(number)));
        h.run(key(Qt::Key_Return));
        QCOMPARE(h.page->filterModel()->mapToSource(h.view->currentIndex()).row(), row);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.view));
    }

    // Rows as high as the font needs; a list table has no row numbers to go to.
    void compactRows()
    {
        PageHarness h;
        const int height = h.view->rowHeight(0);
        QCOMPARE(height, TableView::compactRowHeight(h.view->fontMetrics()));
        QVERIFY(height < 2 * h.view->fontMetrics().height());
        QCOMPARE(h.view->editTriggers(), TableView::Triggers);
        PageHarness list(table(List, {field(QStringLiteral("Текст"), FieldInfo::String, FieldInfo::String866)}),
                         listRows({"a"}));
        QVERIFY(!list.page->searchBar()->rowField());
        QVERIFY(!list.action("goToRowAction"));
    }

    // The row headers of a table whose rows are its fields show the fields'
    // names whole, descenders included, in the window's type and in one twice
    // as large (as at twice the scale).
    void rowHeadersFitTheirText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<qreal>("fontScale");
        QTest::newRow("list") << int(List) << 1.0;
        QTest::newRow("list, twice the type") << int(List) << 2.0;
        QTest::newRow("transposed list") << int(TransposedList) << 1.0;
        QTest::newRow("transposed list, twice the type") << int(TransposedList) << 2.0;
    }

    void rowHeadersFitTheirText()
    {
        QFETCH(int, type);
        QFETCH(qreal, fontScale);
        const QFont windowFont = QApplication::font();
        QFont larger = windowFont;
        larger.setPointSizeF(windowFont.pointSizeF() * fontScale);
        QApplication::setFont(larger);
        const auto restore = qScopeGuard([&] { QApplication::setFont(windowFont); });

        const QStringList names{QStringLiteral("Группа ру"), QStringLiteral("Округление"), QStringLiteral("Должность")};
        QVector<FieldInfo> fields;
        for (const QString& name : names)
            fields << field(name, FieldInfo::String, FieldInfo::String866);
        PageHarness h(table(TableType(type), fields),
                      type == List ? listRows({"q", "y", "j"}) : transposedRows({"q", "y", "j"}));
        const QHeaderView* header = h.view->verticalHeader();
        QVERIFY(header->count() > 1);
        const int needed = header->sizeHint().height();
        for (int section = 0; section < header->count(); ++section)
            QVERIFY2(h.view->rowHeight(section) >= needed,
                     qPrintable(QStringLiteral("row %1: %2 px < %3 px").arg(section).arg(h.view->rowHeight(section)).arg(needed)));
    }

    // The value read stays beside an edited cell, by data row and column.
    void readValues_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("viewRow");
        QTest::addColumn<int>("viewColumn");
        QTest::addColumn<int>("dataRow");
        QTest::addColumn<int>("dataColumn");
        QTest::newRow("db") << int(Db) << 1 << 0 << 1 << 0;
        QTest::newRow("list") << int(List) << 1 << 0 << 0 << 1;
        QTest::newRow("transposed") << int(TransposedList) << 1 << 0 << 1 << 0;
    }

    void readValues()
    {
        QFETCH(int, type);
        QFETCH(int, viewRow);
        QFETCH(int, viewColumn);
        QFETCH(int, dataRow);
        QFETCH(int, dataColumn);
        const QVector<FieldInfo> fields{field("a", FieldInfo::String, FieldInfo::String866),
                                        field("b", FieldInfo::String, FieldInfo::String866)};
        const TableType layout = TableType(type);
        const DataRows rows = layout == Db ? dbRows({{"p", "q"}, {"r", "s"}})
            : layout == List              ? listRows({"p", "r"})
                                          : transposedRows({"p", "r"});
        PageHarness h(table(layout, layout == Db ? fields : fields), rows);
        const QByteArray read = h.model->readValue(dataRow, dataColumn);
        QCOMPARE(read, QByteArray("r"));
        QVERIFY(h.model->setData(h.model->index(viewRow, viewColumn), QStringLiteral("new")));
        QCOMPARE(h.model->readValue(dataRow, dataColumn), read);
        QVERIFY(h.model->isEdited(dataRow, dataColumn));
        QCOMPARE(h.model->indexOfCell(dataRow, dataColumn), h.model->index(viewRow, viewColumn));
        // Once written, the value is the one read.
        DataRows written = h.model->tableData();
        written[dataRow][dataColumn].changed = false;
        h.model->adoptWrittenRows(written);
        QCOMPARE(h.model->readValue(dataRow, dataColumn), QByteArray("new"));
        QVERIFY(!h.model->isEdited(dataRow, dataColumn));
        QCOMPARE(h.model->readValue(9, 9), QByteArray());
    }
};

VESCOR_TEST(TablePageTest)

namespace {

// Clipboard data as some platforms give it: the text cut at its first NUL,
// the plain bytes whole.
class TextCutAtNul : public QMimeData
{
protected:
    QVariant retrieveData(const QString& format, QVariant::Type type) const override
    {
        const QVariant whole = QMimeData::retrieveData(format, type);
        if (type != QVariant::String || !whole.isValid())
            return whole;
        const QByteArray bytes = whole.toByteArray();
        return QString::fromUtf8(bytes.constData(), int(qstrnlen(bytes.constData(), uint(bytes.size()))));
    }
};

} // namespace

// Blocks through the clipboard, fill down and their undo, by the keys a user presses.
class BlockEditPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            if (request.icon == QMessageBox::Question) {
                questions << request.text;
                return answer;
            }
            boxes << request.text;
            return QMessageBox::Ok;
        });
        boxes.clear();
        questions.clear();
        answer = QMessageBox::Yes;
    }

    void cleanup() { MessageBox::setHandler(nullptr); }

    void pasteBlock_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("status");
        const QStringList names = paymentNames();
        const QStringList codes{"0", "1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("4 rows x 3 fields")
            << 1 << "А\tНет\t11\nБ\tДа\t12\r\nВ\tНет\t13\nГ\tДа\t14\n"
            << QStringList{"НАЛИЧНЫМИ", "А", "Б", "В", "Г", "Подарочная карта", "Тип 7", "Bank transfer"}
            << QStringList{"0", "11", "12", "13", "14", "5", "6", "7"} << "" << "Вставка: изменено 12 ячеек";
        QTest::newRow("a code over 16 refuses the whole block")
            << 1 << "А\tНет\t11\nБ\tДа\t12\nВ\tНет\t17\nГ\tДа\t14\n" << names << codes
            << "Вставка: ни одна ячейка не изменена.\nСтрока 4: Значение \"17\" не подходит для поля \"Код\"" << "";
        QTest::newRow("a list value the field does not have")
            << 0 << "А\tМожет быть\t1\n" << names << codes
            << "Вставка: ни одна ячейка не изменена.\nСтрока 1: Значение \"Может быть\" не подходит для поля \"Безналичный\"" << "";
        QStringList cutNames = names;
        cutNames[6] = "Ж";
        cutNames[7] = "З";
        QTest::newRow("block beyond the last row and column is cut")
            << 6 << "Ж\tНет\t9\tлишнее\nЗ\tДа\t10\tлишнее\nИ\tДа\t11\n" << cutNames
            << QStringList{"0", "1", "2", "3", "4", "5", "9", "10"} << ""
            << "Вставка обрезана по краю таблицы, не поместились 1 строка и 1 столбец";
    }

    void pasteBlock()
    {
        QFETCH(int, row);
        QFETCH(QString, clipboard);
        QFETCH(QStringList, names);
        QFETCH(QStringList, codes);
        QFETCH(QString, box);
        QFETCH(QString, status);
        PageHarness page;
        page.run(click(row, 0));
        QGuiApplication::clipboard()->setText(clipboard);
        page.run(key(Qt::Key_V, Qt::ControlModifier));

        QCOMPARE(page.texts(0), names);
        QCOMPARE(page.texts(2), codes);
        QCOMPARE(boxes.isEmpty(), box.isEmpty());
        if (!box.isEmpty())
            QVERIFY2(boxes.first().startsWith(box), qPrintable(boxes.first()));
        QCOMPARE(page.messages.isEmpty() ? QString() : page.messages.last(), status);
        QCOMPARE(page.page->undoStack()->count(), box.isEmpty() ? 1 : 0);

        // One Ctrl+Z takes the whole paste back.
        page.run(key(Qt::Key_Z, Qt::ControlModifier));
        QCOMPARE(page.texts(0), paymentNames());
        QVERIFY(!page.page->hasMarkedCells());
    }

    // A block beyond the table's edge asks first; "Нет" leaves the table as it was.
    void pasteBeyondTheEdgeAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("status");
        QStringList cut = paymentNames();
        cut[7] = "З";
        QTest::newRow("yes") << int(QMessageBox::Yes) << cut
                             << "Вставка обрезана по краю таблицы, не поместились 2 строки";
        QTest::newRow("no") << int(QMessageBox::No) << paymentNames() << "Вставка отменена";
    }

    void pasteBeyondTheEdgeAsks()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, names);
        QFETCH(QString, status);
        this->answer = QMessageBox::StandardButton(answer);
        PageHarness page;
        page.run(click(7, 0));
        QGuiApplication::clipboard()->setText(QStringLiteral("З\nИ\nК\n"));
        page.run(key(Qt::Key_V, Qt::ControlModifier));
        QCOMPARE(questions, QStringList{QStringLiteral("Блок не помещается в таблицу: за ее краем остаются 2 строки.\n"
                                                       "Вставить часть, которая помещается?")});
        QCOMPARE(page.texts(0), names);
        QCOMPARE(page.messages.last(), status);
    }

    // A NUL anywhere in the clipboard refuses the whole block, as the import
    // refuses such a value, whether the platform hands the text over whole or
    // cut at the NUL (its plain bytes still whole).
    void pasteRefusesNul_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QByteArray>("clipboard");
        QTest::addColumn<bool>("platformCuts");
        QTest::addColumn<QString>("box");
        const QString none = QStringLiteral("Вставка: ни одна ячейка не изменена.\n");
        const QByteArray inName = QByteArray("А\tНет\t11\nБ#X\tДа\t12\nВ\tНет\t13\n").replace('#', '\0');
        QTest::newRow("in a name") << 1 << inName << false << none + "Строка 3: Значение \"Б";
        QTest::newRow("in a name, cut by the platform") << 1 << inName << true << none + "Строка 3: Значение \"Б";
        QTest::newRow("in a code") << 0 << QByteArray("А\tНет\t1#2\n").replace('#', '\0') << true
                                   << none + "Строка 1: Значение \"1";
        QTest::newRow("beyond the edge") << 7 << QByteArray("З\tДа\t9\t#\n").replace('#', '\0') << false
                                         << none + "За краем таблицы: текст содержит нулевой символ";
    }

    void pasteRefusesNul()
    {
        QFETCH(int, row);
        QFETCH(QByteArray, clipboard);
        QFETCH(bool, platformCuts);
        QFETCH(QString, box);
        PageHarness page;
        page.run(click(row, 0));
        auto* data = platformCuts ? new TextCutAtNul : new QMimeData;
        data->setData(QStringLiteral("text/plain"), clipboard);
        QGuiApplication::clipboard()->setMimeData(data);
        page.run(key(Qt::Key_V, Qt::ControlModifier));
        QCOMPARE(questions, QStringList());
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith(box), qPrintable(boxes.first()));
        QVERIFY2(boxes.first().endsWith(QStringLiteral("текст содержит нулевой символ")), qPrintable(boxes.first()));
        QCOMPARE(page.texts(0), paymentNames());
        QCOMPARE(page.texts(2), (QStringList{"0", "1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(page.page->undoStack()->count(), 0);
    }

    // Numbers pasted from a spreadsheet keep their thousands apart by a space,
    // a no-break space, a narrow no-break space or an apostrophe.
    void pasteGroupedNumbers_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("box");
        QTest::newRow("space") << "1 234,50\t65 536\n" << QStringList{"1234.50", "65536"} << "";
        QTest::newRow("no-break space") << QString::fromUtf8("12\u00a0345\u00a0678.5\t1\u00a0000\n")
                                        << QStringList{"12345678.50", "1000"} << "";
        QTest::newRow("narrow no-break space and apostrophe")
            << QString::fromUtf8("7\u202f000\t2'500\n") << QStringList{"7000.00", "2500"} << "";
        QTest::newRow("groups not of three are no number")
            << "12 34\t1\n" << QStringList{"10.00", "5"}
            << "Вставка: ни одна ячейка не изменена.\nСтрока 1: Значение \"12 34\" не подходит для поля \"Цена\"";
    }

    void pasteGroupedNumbers()
    {
        QFETCH(QString, clipboard);
        QFETCH(QStringList, shown);
        QFETCH(QString, box);
        PageHarness page(table(Db, {moneyField(QStringLiteral("Цена")), intField(QStringLiteral("Остаток"), 0, 100000)}),
                         dbRows({{"1000", "5"}}));
        page.run(click(0, 0));
        QGuiApplication::clipboard()->setText(clipboard);
        page.run(key(Qt::Key_V, Qt::ControlModifier));
        QCOMPARE((QStringList{page.texts(0).first(), page.texts(1).first()}), shown);
        QCOMPARE(boxes.isEmpty() ? QString() : boxes.first().left(box.size()), box);
    }

    // Ctrl+C puts the selected block on the clipboard as the tab shows it; Ctrl+V elsewhere puts it back.
    void copyThenPaste()
    {
        PageHarness page;
        page.run(click(1, 0));
        page.view->selectionModel()->select(
            QItemSelection(page.shown(1, 0), page.shown(2, 2)), QItemSelectionModel::ClearAndSelect);
        page.run(key(Qt::Key_C, Qt::ControlModifier));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("КАРТОЙ\tДа\t1\nБанковский перевод\tНет\t2\n"));
        page.run(click(5, 0));
        page.run(key(Qt::Key_V, Qt::ControlModifier));
        QCOMPARE(page.texts(0).mid(5, 2), (QStringList{"КАРТОЙ", "Банковский перевод"}));
        QCOMPARE(page.texts(1).mid(5, 2), (QStringList{"Да", "Нет"}));
        QVERIFY(boxes.isEmpty());
    }

    void fillDown_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("refused");
        QTest::newRow("list value over three rows")
            << 1 << 2 << 5 << QStringList{"Нет", "Да", "Нет", "Нет", "Нет", "Нет", "Нет", "Да"} << false;
        QTest::newRow("names") << 0 << 6 << 7
                               << QStringList{"НАЛИЧНЫМИ", "КАРТОЙ", "Банковский перевод", "СБП", "Бонусы",
                                              "Подарочная карта", "Тип 7", "Тип 7"}
                               << false;
    }

    void fillDown()
    {
        QFETCH(int, column);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, texts);
        QFETCH(bool, refused);
        PageHarness page;
        page.run(click(from, column));
        for (int r = from + 1; r <= to; ++r)
            QTest::mouseClick(page.view->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                              page.view->visualRect(page.shown(r, column)).center());
        page.view->selectionModel()->setCurrentIndex(page.shown(from, column), QItemSelectionModel::NoUpdate);
        page.run(key(Qt::Key_D, Qt::ControlModifier));
        QCOMPARE(page.texts(column), texts);
        QCOMPARE(boxes.isEmpty(), !refused);
        QCOMPARE(page.page->undoStack()->count(), 1);
        page.run(key(Qt::Key_Z, Qt::ControlModifier));
        QCOMPARE(page.page->undoStack()->index(), 0);
        QVERIFY(!page.page->hasMarkedCells());
    }

    // Ctrl+D copies the top selected cell of each column down, however the
    // rows were selected; one cell takes the value of the cell above.
    void fillDownAsSelected_data()
    {
        QTest::addColumn<QList<Step>>("selection");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("codes");
        const QStringList names = paymentNames();
        const QStringList codes{"0", "1", "2", "3", "4", "5", "6", "7"};
        const QStringList cardDown{"НАЛИЧНЫМИ", "КАРТОЙ", "КАРТОЙ", "КАРТОЙ", "КАРТОЙ", "Подарочная карта", "Тип 7",
                                   "Bank transfer"};
        QTest::newRow("Shift+Down")
            << QList<Step>{click(1, 0), key(Qt::Key_Down, Qt::ShiftModifier), key(Qt::Key_Down, Qt::ShiftModifier),
                           key(Qt::Key_Down, Qt::ShiftModifier)}
            << cardDown << codes;
        QTest::newRow("Shift+click") << QList<Step>{click(1, 0), shiftClick(4, 0)} << cardDown << codes;
        QTest::newRow("drag down") << QList<Step>{drag(1, 0, 4, 0)} << cardDown << codes;
        QTest::newRow("Shift+Up from the bottom")
            << QList<Step>{click(4, 0), key(Qt::Key_Up, Qt::ShiftModifier), key(Qt::Key_Up, Qt::ShiftModifier),
                           key(Qt::Key_Up, Qt::ShiftModifier)}
            << cardDown << codes;
        QTest::newRow("drag up over two columns")
            << QList<Step>{drag(3, 2, 1, 0)} << QStringList{"НАЛИЧНЫМИ", "КАРТОЙ", "КАРТОЙ", "КАРТОЙ", "Бонусы",
                                                            "Подарочная карта", "Тип 7", "Bank transfer"}
            << QStringList{"0", "1", "1", "1", "4", "5", "6", "7"};
        QStringList fromAbove = names;
        fromAbove[5] = "Бонусы";
        QTest::newRow("one cell takes the cell above") << QList<Step>{click(5, 0)} << fromAbove << codes;
        QTest::newRow("the first row has nothing above") << QList<Step>{click(0, 0)} << names << codes;
    }

    void fillDownAsSelected()
    {
        QFETCH(QList<Step>, selection);
        QFETCH(QStringList, names);
        QFETCH(QStringList, codes);
        PageHarness page;
        page.run(selection);
        page.run(key(Qt::Key_D, Qt::ControlModifier));
        QCOMPARE(page.texts(0), names);
        QCOMPARE(page.texts(2), codes);
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(QLatin1Char('\n'))));
        QCOMPARE(page.page->undoStack()->count(), names == paymentNames() ? 0 : 1);
        page.run(key(Qt::Key_Z, Qt::ControlModifier));
        QCOMPARE(page.texts(0), paymentNames());
        QVERIFY(!page.page->hasMarkedCells());
    }

    // A value a cell below cannot take refuses the whole fill, each refusal listed as a paste lists it.
    void fillDownRefused()
    {
        FieldInfo code = intField(QStringLiteral("Код"), 0, 16);
        code.m_deviceType = FieldInfo::Bin1;
        PageHarness page(table(Db, {code}, 5), dbRows({{"17"}, {"1"}, {"2"}, {"3"}}));
        page.run({click(0, 0), shiftClick(3, 0), key(Qt::Key_D, Qt::ControlModifier)});
        QCOMPARE(page.texts(0), (QStringList{"17", "1", "2", "3"}));
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith(QStringLiteral("Заполнение вниз: ни одна ячейка не изменена.\n"
                                                         "Строка 2: Значение \"17\" не подходит для поля \"Код\": нужно целое число от 0 до 16\n"
                                                         "Строка 3: ")),
                 qPrintable(boxes.first()));
        QCOMPARE(page.page->undoStack()->count(), 0);
    }

    // "Изменить значения…" by keys alone: Ctrl+M, the amount, the action and the cells by their mnemonics, Enter.
    void changeValuesByKeys_data()
    {
        QTest::addColumn<QList<Step>>("selection");
        QTest::addColumn<QList<Step>>("dialogKeys");
        QTest::addColumn<QStringList>("prices");
        QTest::addColumn<QString>("status");
        // The mnemonics as a Russian keyboard gives them.
        const Step action = key(0x0414, Qt::AltModifier); // Д
        const Step amount = key(0x0417, Qt::AltModifier); // З
        const Step wholeColumn = key(0x0412, Qt::AltModifier); // В
        const Step down = key(Qt::Key_Down);
        QTest::newRow("+10 % on the whole column")
            << QList<Step>{click(0, 1)} << QList<Step>{action, down, down, down, amount, typed("110"), wholeColumn}
            << QStringList{"49.50", "98.89", "16.50"} << "Изменение значений: изменено 3 ячейки";
        QTest::newRow("subtract from the selected cells")
            << QList<Step>{click(1, 1), key(Qt::Key_Down, Qt::ShiftModifier)}
            << QList<Step>{typed("5"), action, down, down}
            << QStringList{"45.00", "84.90", "10.00"} << "Изменение значений: изменено 2 ячейки";
    }

    void changeValuesByKeys()
    {
        QFETCH(QList<Step>, selection);
        QFETCH(QList<Step>, dialogKeys);
        QFETCH(QStringList, prices);
        QFETCH(QString, status);
        PageHarness page(goods(), goodsRows());
        page.run(selection);
        page.run(key(Qt::Key_M, Qt::ControlModifier));
        auto* dialog = page.page->findChild<QDialog*>(QStringLiteral("valueChangeDialog"));
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        for (const Step& step : dialogKeys + QList<Step>{key(Qt::Key_Return)})
            inDialog(dialog, step);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(page.texts(1), prices);
        QCOMPARE(page.messages.last(), status);
        page.activate();
        page.run(key(Qt::Key_Z, Qt::ControlModifier));
        QCOMPARE(page.texts(1), (QStringList{"45.00", "89.90", "15.00"}));
    }

    // An amount that is no number keeps the dialog open and says why; a text column has no such dialog.
    void changeValuesRefusals()
    {
        PageHarness page(goods(), goodsRows());
        page.run({click(0, 1), key(Qt::Key_M, Qt::ControlModifier)});
        auto* dialog = page.page->findChild<QDialog*>(QStringLiteral("valueChangeDialog"));
        QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
        inDialog(dialog, typed("много"));
        inDialog(dialog, key(Qt::Key_Return));
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("operandProblem"))->text(),
                 QStringLiteral("Значение \"много\" не подходит: нужна сумма в рублях, например 12.50"));
        inDialog(dialog, key(Qt::Key_Escape));
        QCOMPARE(page.texts(1), (QStringList{"45.00", "89.90", "15.00"}));
        page.activate();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        page.run({click(0, 0), key(Qt::Key_M, Qt::ControlModifier)});
        QVERIFY(!page.page->findChild<QDialog*>(QStringLiteral("valueChangeDialog")));
        QCOMPARE(page.messages.last(), QStringLiteral("Изменить значения можно только в числовых и денежных полях"));
    }

private:
    // A key or a word to the dialog's widget with focus.
    static void inDialog(QWidget* dialog, const Step& step)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : dialog;
        if (step.kind == Step::Type)
            typeKeys(target, step.text);
        else if (step.key > 0xff && step.key < Qt::Key_Escape) // a letter beyond Latin: the key gives its text
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key(step.key), QString(QChar(step.key)), step.modifiers);
        else
            QTest::keyClick(target, Qt::Key(step.key), step.modifiers);
        QCoreApplication::processEvents();
    }

    static TableInfo goods()
    {
        FieldInfo price = moneyField(QStringLiteral("Цена"), 0, 99999999.99);
        price.m_deviceType = FieldInfo::Bcd5;
        return table(Db, {field(QStringLiteral("Наименование"), FieldInfo::String), price}, 1,
                     QStringLiteral("База товаров"));
    }

    static DataRows goodsRows() { return dbRows({{"Хлеб", "4500"}, {"Молоко", "8990"}, {"Соль", "1500"}}); }

    static QStringList paymentNames()
    {
        QStringList names;
        for (const DataRow& row : paymentRows())
            names << QString::fromUtf8(row[0].value);
        return names;
    }

    QStringList boxes;
    QStringList questions;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

VESCOR_TEST(BlockEditPageTest)
#include "tst_tablepage.moc"
