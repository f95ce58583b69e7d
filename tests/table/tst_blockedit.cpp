#include "TableFixtures.h"
#include "support/TestMain.h"

#include "dialogs/MessageBox.h"

#include "table/CellBatch.h"
#include "table/CellBlockCommand.h"
#include "table/CellReplace.h"
#include "table/TableFilterModel.h"
#include "table/TablePage.h"
#include "table/TableModel.h"
#include "table/TsvBlock.h"
#include "table/ValueChange.h"

#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

#include <memory>

using namespace fixtures;

Q_DECLARE_METATYPE(QVector<QStringList>)
Q_DECLARE_METATYPE(QList<int>)

namespace {

// Goods as the commodity base holds them: a name, a price, a tax list, a read-only code.
TableInfo goods()
{
    FieldInfo name = field(QStringLiteral("Наименование"), FieldInfo::String, FieldInfo::String866);
    name.m_maxLength = 10;
    FieldInfo price = moneyField(QStringLiteral("Цена"), 0, 99999999.99);
    price.m_deviceType = FieldInfo::Bcd5;
    FieldInfo code = intField(QStringLiteral("Код"), 0, 255);
    code.m_deviceType = FieldInfo::Bin1;
    code.m_readOnly = true;
    return table(Db,
                 {name, price, listField(QStringLiteral("Налог"), {{1, "НДС 20%"}, {2, "НДС 22%"}, {3, "Без НДС"}}),
                  code},
                 1, QStringLiteral("База товаров"));
}

DataRows goodsRows()
{
    return dbRows({{"Хлеб", "4500", "1", "1"}, {"Молоко", "8990", "1", "2"}, {"Соль", "1500", "3", "3"}});
}

// A cell's text as the tab shows it, by row and column.
using Edit = QList<QVariantList>;

} // namespace

class BlockEditTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesClipboardText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<QStringList>>("rows");
        QTest::newRow("one value") << "12.50" << QVector<QStringList>{{"12.50"}};
        QTest::newRow("line break ends the last row") << "a\tb\nc\td\n" << QVector<QStringList>{{"a", "b"}, {"c", "d"}};
        QTest::newRow("CR LF") << "a\tb\r\nc\td\r\n" << QVector<QStringList>{{"a", "b"}, {"c", "d"}};
        QTest::newRow("empty cells kept") << "\t\nx\t\n" << QVector<QStringList>{{"", ""}, {"x", ""}};
        QTest::newRow("quoted tab, break and quote")
            << "\"a\tb\"\t\"c\nd\"\t\"say \"\"hi\"\"\"\n" << QVector<QStringList>{{"a\tb", "c\nd", "say \"hi\""}};
        QTest::newRow("quote inside a text is plain") << "12\" pipe\tx" << QVector<QStringList>{{"12\" pipe", "x"}};
        QTest::newRow("unclosed quote taken as it stands") << "\"abc\td" << QVector<QStringList>{{"\"abc", "d"}};
        QTest::newRow("ragged rows") << "a\nb\tc\td" << QVector<QStringList>{{"a"}, {"b", "c", "d"}};
        QTest::newRow("nothing") << "" << QVector<QStringList>{};
    }

    void parsesClipboardText()
    {
        QFETCH(QString, text);
        QFETCH(QVector<QStringList>, rows);
        QCOMPARE(TsvBlock::parse(text), rows);
    }

    void formatReadsBack_data()
    {
        QTest::addColumn<QVector<QStringList>>("rows");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QVector<QStringList>{{"Хлеб", "45.00"}, {"", "1.00"}} << "Хлеб\t45.00\n\t1.00\n";
        QTest::newRow("texts that need quotes")
            << QVector<QStringList>{{"a\tb", "\"x\"", "line\nbreak"}}
            << "\"a\tb\"\t\"\"\"x\"\"\"\t\"line\nbreak\"\n";
    }

    void formatReadsBack()
    {
        QFETCH(QVector<QStringList>, rows);
        QFETCH(QString, text);
        QCOMPARE(TsvBlock::format(rows), text);
        QCOMPARE(TsvBlock::parse(text), rows);
    }

    // Texts for cells (row, column, text); all are checked before any cell changes.
    void batchChecksEveryValue_data()
    {
        QTest::addColumn<Edit>("edits");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("readOnly");
        QTest::addColumn<QStringList>("column1"); // prices after the batch
        QTest::newRow("prices and a tax as the tab shows them")
            << Edit{{0, 1, "46.00"}, {1, 1, "91"}, {2, 2, "НДС 22%"}} << "" << 3 << 0
            << QStringList{"46.00", "91.00", "15.00"};
        QTest::newRow("same values change nothing")
            << Edit{{0, 1, "45.00"}, {1, 2, "НДС 20%"}, {2, 0, "Соль"}} << "" << 0 << 0
            << QStringList{"45.00", "89.90", "15.00"};
        QTest::newRow("read-only code left alone")
            << Edit{{0, 1, "1"}, {0, 3, "77"}} << "" << 1 << 1 << QStringList{"1.00", "89.90", "15.00"};
        QTest::newRow("price that is no sum")
            << Edit{{0, 1, "46.00"}, {1, 1, "дорого"}, {2, 1, "abc"}}
            << "Строка 2: Значение \"дорого\" не подходит для поля \"Цена\": нужна сумма в рублях, "
               "например 12.50"
            << 0 << 0 << QStringList{"45.00", "89.90", "15.00"};
        QTest::newRow("tax not in the list")
            << Edit{{2, 2, "НДС 18%"}} << "Строка 3: Значение \"НДС 18%\" не подходит для поля "
                                          "\"Налог\": такого значения нет в списке поля"
            << 0 << 0 << QStringList{"45.00", "89.90", "15.00"};
        QTest::newRow("name longer than the field")
            << Edit{{0, 1, "2"}, {0, 0, "Очень длинное имя"}} << "Строка 1: Значение \"Очень длинное имя\" не подходит для поля \"Наименование\"" << 0 << 0
            << QStringList{"45.00", "89.90", "15.00"};
        QTest::newRow("price over the field's greatest")
            << Edit{{1, 1, "100000000.00"}} << "Строка 2: Значение \"100000000.00\" не подходит для поля \"Цена\"" << 0 << 0
            << QStringList{"45.00", "89.90", "15.00"};
    }

    void batchChecksEveryValue()
    {
        QFETCH(Edit, edits);
        QFETCH(QString, problem);
        QFETCH(int, changed);
        QFETCH(int, readOnly);
        QFETCH(QStringList, column1);
        TableModel model(goods(), goodsRows());
        QUndoStack stack;
        CellBatch batch(&model);
        for (const QVariantList& edit : edits)
            batch.add(model.index(edit[0].toInt(), edit[1].toInt()), edit[2].toString());
        QCOMPARE(batch.refused(), !problem.isEmpty());
        QVERIFY2(!batch.refused() || batch.problem().startsWith(problem), qPrintable(batch.problem()));
        if (!batch.refused())
            QCOMPARE(batch.changeCount(), changed);
        QCOMPARE(batch.readOnlyCount(), readOnly);
        if (CellBlockCommand* command = batch.takeCommand(QStringLiteral("Вставка")))
            stack.push(command);
        QStringList prices;
        for (int r = 0; r < model.rowCount(); ++r)
            prices << model.index(r, 1).data().toString();
        QCOMPARE(prices, column1);
        QCOMPARE(stack.count(), changed > 0 && !batch.refused() ? 1 : 0);
        QCOMPARE(model.hasChangedCells(), stack.count() == 1);

        // One step undoes the whole batch and clears the marks again.
        stack.undo();
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("45.00"));
        QCOMPARE(model.index(2, 2).data().toString(), QStringLiteral("Без НДС"));
        QVERIFY(!model.hasChangedCells());
    }

    // A block command tells the views once, whatever its size.
    void blockCommandSignalsOnce()
    {
        TableModel model(goods(), goodsRows());
        QSignalSpy changes(&model, &TableModel::dataChanged);
        QSignalSpy marks(&model, &TableModel::marksChanged);
        CellBatch batch(&model);
        for (int r = 0; r < 3; ++r)
            QVERIFY(batch.add(model.index(r, 1), QStringLiteral("7")));
        std::unique_ptr<CellBlockCommand> command(batch.takeCommand(QStringLiteral("Вставка")));
        QCOMPARE(command->cellCount(), 3);
        command->redo();
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes[0][0].toModelIndex(), model.index(0, 1));
        QCOMPARE(changes[0][1].toModelIndex(), model.index(2, 1));
        QCOMPARE(marks.count(), 1);
        QCOMPARE(model.tableData()[2][1].value, QByteArray("700"));
        QVERIFY(!batch.takeCommand(QStringLiteral("Вставка")));
    }

    // Find and replace over a tab: all or nothing, every refusal named, one undo step.
    void replaceAll_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("wholeValue");
        QTest::addColumn<QList<int>>("columns");
        QTest::addColumn<QStringList>("cells"); // names, prices and taxes after it, row by row
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("box");
        const QList<int> all{0, 1, 2, 3};
        const QStringList before{"Хлеб 45.00 НДС 20%", "Молоко 89.90 НДС 20%", "Соль 15.00 Без НДС"};
        QTest::newRow("VAT 20% to 22% across the tab")
            << "НДС 20%" << "НДС 22%" << false << all
            << QStringList{"Хлеб 45.00 НДС 22%", "Молоко 89.90 НДС 22%", "Соль 15.00 Без НДС"}
            << "Замена: изменено 2 ячейки" << "";
        QTest::newRow("part of a list name, any case, in one column")
            << "ндс 20" << "НДС 22" << false << QList<int>{2}
            << QStringList{"Хлеб 45.00 НДС 22%", "Молоко 89.90 НДС 22%", "Соль 15.00 Без НДС"}
            << "Замена: изменено 2 ячейки" << "";
        QTest::newRow("whole value only") << "45.00" << "46.5" << true << all
                                          << QStringList{"Хлеб 46.50 НДС 20%", "Молоко 89.90 НДС 20%", "Соль 15.00 Без НДС"}
                                          << "Замена: изменено 1 ячейка" << "";
        QTest::newRow("part of a value is no whole value")
            << "НДС" << "X" << true << all << before << "Замена: совпадений не найдено" << "";
        QTest::newRow("column not chosen") << "Хлеб" << "Батон" << false << QList<int>{1, 2} << before
                                           << "Замена: совпадений не найдено" << "";
        QTest::newRow("VAT the list does not have: every refusal named, nothing changed")
            << "НДС 20%" << "НДС 18%" << false << all << before << "Замена: ни одна ячейка не изменена"
            << "Замена: ни одна ячейка не изменена.\n"
               "Строка 1: Значение \"НДС 18%\" не подходит для поля \"Налог\": такого значения нет в списке поля\n"
               "Строка 2: Значение \"НДС 18%\" не подходит для поля \"Налог\": такого значения нет в списке поля";
        QTest::newRow("one name grows too long") << "о" << "ооо" << false << QList<int>{0} << before
                                                 << "Замена: ни одна ячейка не изменена"
                                                 << "Замена: ни одна ячейка не изменена.\nСтрока 2: Значение "
                                                    "\"Мооолооокооо\"";
        QTest::newRow("read-only code left alone") << "1" << "9" << true << QList<int>{3} << before
                                                   << "Замена: изменено 0 ячеек, ячейки только для чтения не тронуты: 1"
                                                   << "";
    }

    void replaceAll()
    {
        QFETCH(QString, found);
        QFETCH(QString, replacement);
        QFETCH(bool, wholeValue);
        QFETCH(QList<int>, columns);
        QFETCH(QStringList, cells);
        QFETCH(QString, status);
        QFETCH(QString, box);
        QStringList boxes;
        MessageBox::setHandler([&boxes](const MessageBox::Request& request) {
            boxes << request.text;
            return QMessageBox::Ok;
        });
        TablePage page(goods(), goodsRows());
        const auto shown = [&page] {
            QStringList rows;
            for (int r = 0; r < page.tableModel()->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < 3; ++c)
                    row << page.tableModel()->index(r, c).data().toString();
                rows << row.join(QLatin1Char(' '));
            }
            return rows;
        };
        const QStringList before = shown();

        QCOMPARE(page.replaceAll(CellReplace(found, replacement, wholeValue), columns), status);
        MessageBox::setHandler(nullptr);
        QCOMPARE(shown(), cells);
        QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
        QVERIFY2(box.isEmpty() || boxes.value(0).startsWith(box), qPrintable(boxes.value(0)));
        const bool changed = cells != before;
        QCOMPARE(page.undoStack()->count(), changed ? 1 : 0);
        QCOMPARE(page.hasMarkedCells(), changed);

        // One undo step takes every replaced cell back.
        page.undoStack()->undo();
        QCOMPARE(shown(), before);
        QVERIFY(!page.hasMarkedCells());
    }

    // With the search filter on, the rows it hides are left alone unless the
    // replace includes them; the result names the hidden cells either way.
    void replaceAllWithHiddenRows_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("includeHidden");
        QTest::addColumn<QStringList>("taxes"); // row by row, after it
        QTest::addColumn<QString>("status");
        const QStringList before{"НДС 20%", "НДС 20%", "Без НДС"};
        QTest::newRow("hidden rows left") << "молоко" << "НДС 20%" << "НДС 22%" << false
                                          << QStringList{"НДС 20%", "НДС 22%", "Без НДС"}
                                          << "Замена: изменено 1 ячейка, в скрытых строках не тронуты совпадения: 1";
        QTest::newRow("hidden rows included") << "молоко" << "НДС 20%" << "НДС 22%" << true
                                              << QStringList{"НДС 22%", "НДС 22%", "Без НДС"}
                                              << "Замена: изменено 2 ячейки, из них в скрытых строках: 1 ячейка";
        QTest::newRow("only hidden rows match") << "соль" << "НДС 20%" << "НДС 22%" << false << before
                                                << "Замена: совпадений не найдено, в скрытых строках не тронуты "
                                                   "совпадения: 2";
        QTest::newRow("only hidden rows match, included") << "соль" << "НДС 20%" << "НДС 22%" << true
                                                          << QStringList{"НДС 22%", "НДС 22%", "Без НДС"}
                                                          << "Замена: изменено 2 ячейки, из них в скрытых строках: "
                                                             "2 ячейки";
        QTest::newRow("a hidden row alone matches, included") << "хлеб" << "Без НДС" << "НДС 20%" << true
                                                      << QStringList{"НДС 20%", "НДС 20%", "НДС 20%"}
                                                      << "Замена: изменено 1 ячейка, из них в скрытых строках: 1 ячейка";
        QTest::newRow("no filter, nothing hidden") << "" << "НДС 20%" << "НДС 22%" << false
                                                   << QStringList{"НДС 22%", "НДС 22%", "Без НДС"}
                                                   << "Замена: изменено 2 ячейки";
        QTest::newRow("a hidden refusal refuses all") << "соль" << "НДС" << "налог" << true << before
                                                      << "Замена: ни одна ячейка не изменена";
    }

    void replaceAllWithHiddenRows()
    {
        QFETCH(QString, search);
        QFETCH(QString, found);
        QFETCH(QString, replacement);
        QFETCH(bool, includeHidden);
        QFETCH(QStringList, taxes);
        QFETCH(QString, status);
        MessageBox::setHandler([](const MessageBox::Request&) { return QMessageBox::Ok; });
        TablePage page(goods(), goodsRows());
        page.filterModel()->setSearchText(search);
        QCOMPARE(page.replaceAll(CellReplace(found, replacement, false, includeHidden), {0, 1, 2, 3}), status);
        MessageBox::setHandler(nullptr);
        QStringList shown;
        for (int r = 0; r < page.tableModel()->rowCount(); ++r)
            shown << page.tableModel()->index(r, 2).data().toString();
        QCOMPARE(shown, taxes);
    }

    // "Изменить значения…" over the prices (money) and a count (whole
    // numbers) of every row: rounded half up, all or nothing, one undo step.
    void changeValues_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("operand");
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("box");
        const QStringList prices{"45.00", "89.90", "15.00", "0.05"};
        const QStringList counts{"5", "10", "0", "1"};
        QTest::newRow("prices +10 %") << int(ValueChange::MultiplyByPercent) << "110" << 1
                                      << QStringList{"49.50", "98.89", "16.50", "0.06"}
                                      << "Изменение значений: изменено 4 ячейки" << "";
        QTest::newRow("prices by 7,25 %, half a kopeck up")
            << int(ValueChange::MultiplyByPercent) << "7,25" << 1 << QStringList{"3.26", "6.52", "1.09", "0.00"}
            << "Изменение значений: изменено 4 ячейки" << "";
        QTest::newRow("set a price") << int(ValueChange::SetTo) << "12,5" << 1
                                     << QStringList{"12.50", "12.50", "12.50", "12.50"}
                                     << "Изменение значений: изменено 4 ячейки" << "";
        QTest::newRow("add roubles") << int(ValueChange::Add) << "0.95" << 1
                                     << QStringList{"45.95", "90.85", "15.95", "1.00"}
                                     << "Изменение значений: изменено 4 ячейки" << "";
        QTest::newRow("subtract below zero refuses every row")
            << int(ValueChange::Subtract) << "15.01" << 1 << prices << "Изменение значений: ни одна ячейка не изменена"
            << "Изменение значений: ни одна ячейка не изменена.\n"
               "Строка 3: Значение \"15.00\" не подходит для поля \"Цена\": получается меньше нуля\n"
               "Строка 4: Значение \"0.05\" не подходит для поля \"Цена\": получается меньше нуля";
        QTest::newRow("past the field's greatest")
            << int(ValueChange::Add) << "99999960" << 1 << prices << "Изменение значений: ни одна ячейка не изменена"
            << "Изменение значений: ни одна ячейка не изменена.\nСтрока 1: Значение \"100000005.00\"";
        QTest::newRow("counts halved, rounded to whole")
            << int(ValueChange::MultiplyByPercent) << "50" << 3 << QStringList{"3", "5", "0", "1"}
            << "Изменение значений: изменено 2 ячейки" << "";
        QTest::newRow("one count below zero keeps every row") << int(ValueChange::Subtract) << "1" << 3 << counts
                                        << "Изменение значений: ни одна ячейка не изменена"
                                        << "Изменение значений: ни одна ячейка не изменена.\n"
                                           "Строка 3: Значение \"0\" не подходит для поля \"Остаток\": получается меньше нуля";
        QTest::newRow("a count is no fraction")
            << int(ValueChange::Add) << "1.5" << 3 << counts << "Изменение значений: ни одна ячейка не изменена"
            << "Изменение значений: ни одна ячейка не изменена.\n"
               "Строка 1: Значение \"5\" не подходит для поля \"Остаток\": нужно целое число";
        QTest::newRow("past 64 bits") << int(ValueChange::MultiplyByPercent) << "99999999999999999" << 3 << counts
                                      << "Изменение значений: ни одна ячейка не изменена"
                                      << "Изменение значений: ни одна ячейка не изменена.\n"
                                         "Строка 1: Значение \"5\" не подходит для поля \"Остаток\": "
                                         "получается слишком большое число";
        QTest::newRow("same values change nothing") << int(ValueChange::MultiplyByPercent) << "100" << 1 << prices
                                                    << "Изменение значений: изменено 0 ячеек" << "";
    }

    void changeValues()
    {
        QFETCH(int, operation);
        QFETCH(QString, operand);
        QFETCH(int, column);
        QFETCH(QStringList, shown);
        QFETCH(QString, status);
        QFETCH(QString, box);
        QStringList boxes;
        MessageBox::setHandler([&boxes](const MessageBox::Request& request) {
            boxes << request.text;
            return QMessageBox::Ok;
        });
        // The names among the cells are no numbers: they stay as they are.
        TableInfo info = goods();
        FieldInfo count = intField(QStringLiteral("Остаток"), 0, 1000);
        count.m_deviceType = FieldInfo::Bin2;
        info.fields[3] = count;
        TablePage page(info, dbRows({{"Хлеб", "4500", "1", "5"}, {"Молоко", "8990", "1", "10"},
                                     {"Соль", "1500", "3", "0"}, {"Спички", "5", "3", "1"}}));
        const auto texts = [&page, column] {
            QStringList list;
            for (int r = 0; r < page.tableModel()->rowCount(); ++r)
                list << page.tableModel()->index(r, column).data().toString();
            return list;
        };
        const QStringList before = texts();
        QModelIndexList cells;
        for (int r = 0; r < 4; ++r)
            cells << page.tableModel()->index(r, column) << page.tableModel()->index(r, 0);
        QCOMPARE(page.changeValues(ValueChange(ValueChange::Operation(operation), operand), cells), status);
        MessageBox::setHandler(nullptr);
        QCOMPARE(texts(), shown);
        QCOMPARE(boxes.isEmpty() ? QString() : boxes.first().left(box.size()), box);
        QCOMPARE(page.undoStack()->count(), shown != before ? 1 : 0);
        page.undoStack()->undo();
        QCOMPARE(texts(), before);
        QVERIFY(!page.hasMarkedCells());
    }
};

VESCOR_TEST(BlockEditTest)
#include "tst_blockedit.moc"
