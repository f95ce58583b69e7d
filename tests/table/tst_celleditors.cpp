#include "TableFixtures.h"
#include "support/TestMain.h"
#include "support/UserTyping.h"

#include "table/MoneyValidator.h"
#include "table/TableModel.h"
#include "table/TableView.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <cmath>
#include <memory>

using namespace fixtures;

Q_DECLARE_METATYPE(QValidator::State)
Q_DECLARE_METATYPE(TableType)
Q_DECLARE_METATYPE(FieldInfo)

namespace {

// A shown window holding one table view with its model, as a tab page does.
class Harness
{
public:
    Harness(const TableInfo& info, const DataRows& rows)
    {
        auto* layout = new QHBoxLayout(&m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new TableView(info, &m_window);
        model = new TableModel(info, rows);
        view->setModel(model);
        layout->addWidget(view);
        m_window.resize(900, 400);
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            qWarning("Окно теста не показано на экране");
    }

    QModelIndex cell(int row, int column) const { return model->index(row, column); }

    // Opens the cell's editor as the view does on a key press.
    QWidget* open(const QModelIndex& index)
    {
        view->setCurrentIndex(index);
        if (!view->indexWidget(index))
            view->edit(index);
        return view->indexWidget(index);
    }

    // Enter; true when the view took the text and closed the editor.
    bool confirm(QWidget* editor, const QModelIndex& index)
    {
        QTest::keyClick(editor, Qt::Key_Return);
        // The view commits and closes the editor through a queued call.
        QCoreApplication::processEvents();
        return view->indexWidget(index) == nullptr;
    }

    void cancel(const QModelIndex& index)
    {
        if (QWidget* editor = view->indexWidget(index)) {
            QTest::keyClick(editor, Qt::Key_Escape);
            QCoreApplication::processEvents();
        }
    }

    QWidget& window() { return m_window; }

    TableView* view = nullptr;
    TableModel* model = nullptr;

private:
    QWidget m_window;
};

} // namespace

class TestCellEditors : public QObject
{
    Q_OBJECT

private slots:
    void intEditor_data();
    void intEditor();
    void intBounds_data();
    void intBounds();
    void moneyEditor_data();
    void moneyEditor();
    void moneyUnderEveryLocale_data();
    void moneyUnderEveryLocale();
    void moneyValidator_data();
    void moneyValidator();
    void maskedEditor_data();
    void maskedEditor();
    void maskedEditorOpensWithoutChange_data();
    void maskedEditorOpensWithoutChange();
    void listEditor();
    void listEditorWithUnknownCode();
    void stringEditorTakesTheFieldsLength();
    void editorPerField_data();
    void editorPerField();
    void protectedCellsOpenNoEditor();
    void fixedColumnWidth();
    void otherTablesFitContents_data();
    void otherTablesFitContents();
    void modelBelongsToView();
    void displayErrorWhilePainting();
};

void TestCellEditors::intEditor_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("held");
    QTest::addColumn<bool>("closed"); // Enter closed the editor
    QTest::addColumn<bool>("stored"); // the text held became the cell's value

    QTest::newRow("in range") << 1.0 << 10.0 << "7" << "7" << true << true;
    QTest::newRow("lowest") << 1.0 << 10.0 << "1" << "1" << true << true;
    QTest::newRow("highest") << 1.0 << 10.0 << "10" << "10" << true << true;
    QTest::newRow("below the minimum") << 1.0 << 10.0 << "0" << "0" << false << false;
    // A number above the field's greatest is refused as it is typed, and a
    // refused key refuses the entry: the keys around it never join into another number.
    QTest::newRow("above the maximum") << 1.0 << 10.0 << "11" << "1" << true << false;
    QTest::newRow("third digit refused") << 1.0 << 10.0 << "111" << "1" << true << false;
    QTest::newRow("letters refused") << 1.0 << 10.0 << "a5" << "5" << true << false;
    QTest::newRow("minus refused") << 0.0 << 100.0 << "-5" << "5" << true << false;
    QTest::newRow("exponent refused") << 0.0 << 1000.0 << "1e2" << "12" << true << false;
    QTest::newRow("default range, top") << 0.0 << 2147483647.0 << "2147483647" << "2147483647" << true << true;
    QTest::newRow("default range, beyond") << 0.0 << 2147483647.0 << "2147483648" << "214748364" << true << false;
    QTest::newRow("emptied") << 1.0 << 10.0 << "" << "" << false << false;
}

void TestCellEditors::intEditor()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QString, typed);
    QFETCH(QString, held);
    QFETCH(bool, closed);
    QFETCH(bool, stored);

    Harness h(table(Db, {field("Имя", FieldInfo::String), intField("Число", min, max)}),
              dbRows({{"a", "3"}, {"b", "4"}}));
    const QModelIndex index = h.cell(1, 1);
    auto* editor = qobject_cast<QLineEdit*>(h.open(index));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("4"));
    replaceEditorText(editor, typed);
    QCOMPARE(editor->text(), held);
    QCOMPARE(h.confirm(editor, index), closed);
    h.cancel(index);

    QCOMPARE(h.model->tableData()[1][1], Cell(stored ? held.toUtf8() : QByteArray("4"), stored));
    QCOMPARE(h.model->tableData()[0][1], Cell("3"));
}

void TestCellEditors::intBounds_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");

    const double nan = std::nan("");
    QTest::newRow("plain") << 1.0 << 10.0 << 1 << 10;
    QTest::newRow("defaults") << 0.0 << 2147483647.0 << 0 << INT_MAX;
    QTest::newRow("fractions truncated") << 1.9 << 10.7 << 1 << 10;
    QTest::newRow("negative fraction truncated") << -1.9 << 5.0 << -1 << 5;
    QTest::newRow("beyond int clamped") << -1e20 << 1e20 << INT_MIN << INT_MAX;
    QTest::newRow("both above int") << 3e9 << 4e9 << INT_MAX << INT_MAX;
    QTest::newRow("missing minimum") << nan << 5.0 << INT_MIN << 5;
    QTest::newRow("missing maximum") << 1.0 << nan << 1 << INT_MAX;
    QTest::newRow("reversed") << 10.0 << 1.0 << 1 << 10;
}

void TestCellEditors::intBounds()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, bottom);
    QFETCH(int, top);

    Harness h(table(List, {intField("Число", min, max)}), listRows({"1"}));
    auto* editor = qobject_cast<QLineEdit*>(h.open(h.cell(0, 0)));
    QVERIFY(editor);
    const auto* validator = qobject_cast<const QIntValidator*>(editor->validator());
    QVERIFY(validator);
    QCOMPARE(validator->bottom(), bottom);
    QCOMPARE(validator->top(), top);
    QCOMPARE(validator->parent(), editor);
    h.cancel(h.cell(0, 0));
}

void TestCellEditors::moneyEditor_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("held");
    QTest::addColumn<bool>("committed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one decimal") << "12.5" << "12.5" << true << "1250" << "12.50";
    QTest::newRow("no roubles") << ".5" << ".5" << true << "50" << "0.50";
    QTest::newRow("two decimals") << "12.34" << "12.34" << true << "1234" << "12.34";
    QTest::newRow("third decimal refused") << "12.345" << "12.34" << true << "100" << "1.00";
    QTest::newRow("whole amount") << "7" << "7" << true << "700" << "7.00";
    QTest::newRow("kopecks") << "0.05" << "0.05" << true << "5" << "0.05";
    QTest::newRow("above the maximum refused") << "150" << "15" << true << "100" << "1.00";
    QTest::newRow("letters refused") << "abc" << "" << false << "100" << "1.00";
    // A refused key refuses the entry: "1e2" never becomes 12.
    QTest::newRow("exponent refused") << "1e2" << "12" << true << "100" << "1.00";
    QTest::newRow("same amount") << "1.00" << "1.00" << true << "100" << "1.00";
}

void TestCellEditors::moneyEditor()
{
    QFETCH(QString, typed);
    QFETCH(QString, held);
    QFETCH(bool, committed);
    QFETCH(QString, stored);
    QFETCH(QString, shown);

    Harness h(table(Db, {moneyField("Цена", 0, 100)}), dbRows({{"100"}}));
    const QModelIndex index = h.cell(0, 0);
    auto* editor = qobject_cast<QLineEdit*>(h.open(index));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("1.00"));
    QVERIFY(dynamic_cast<const MoneyValidator*>(editor->validator()));
    replaceEditorText(editor, typed);
    QCOMPARE(editor->text(), held);
    QCOMPARE(h.confirm(editor, index), committed);
    h.cancel(index);

    QCOMPARE(QString::fromUtf8(h.model->tableData()[0][0].value), stored);
    QCOMPARE(h.model->tableData()[0][0].changed, stored != QLatin1String("100"));
    QCOMPARE(h.model->data(index).toString(), shown);
}

// A price typed with either separator is the same amount whatever the user's locale.
void TestCellEditors::moneyUnderEveryLocale_data()
{
    QTest::addColumn<QString>("localeName");
    QTest::addColumn<QString>("typed");
    for (const char* locale : {"C", "en_US", "ru_RU"}) {
        QTest::addRow("%s, comma", locale) << locale << "12,5";
        QTest::addRow("%s, point", locale) << locale << "12.5";
    }
}

void TestCellEditors::moneyUnderEveryLocale()
{
    QFETCH(QString, localeName);
    QFETCH(QString, typed);

    const QLocale previous;
    QLocale::setDefault(QLocale(localeName));
    Harness h(table(Db, {moneyField("Цена", 0, 100)}), dbRows({{"100"}}));
    const QModelIndex index = h.cell(0, 0);
    auto* editor = qobject_cast<QLineEdit*>(h.open(index));
    QVERIFY(editor);
    editor->selectAll();
    typeKeys(editor, typed);
    const QString held = editor->text();
    const bool committed = h.confirm(editor, index);
    QLocale::setDefault(previous);

    QCOMPARE(held, typed);
    QVERIFY(committed);
    QCOMPARE(h.model->tableData()[0][0].value, QByteArray("1250"));
    QCOMPARE(h.model->data(index).toString(), QStringLiteral("12.50"));
}

void TestCellEditors::moneyValidator_data()
{
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");
    QTest::addColumn<QString>("localeName");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QValidator::State>("state");

    const double huge = 1.7976931348623157e308;
    QTest::newRow("empty") << 0.0 << 100.0 << "C" << "" << QValidator::Intermediate;
    QTest::newRow("whole") << 0.0 << 100.0 << "C" << "12" << QValidator::Acceptable;
    QTest::newRow("one decimal") << 0.0 << 100.0 << "C" << "12.5" << QValidator::Acceptable;
    QTest::newRow("two decimals") << 0.0 << 100.0 << "C" << "12.34" << QValidator::Acceptable;
    QTest::newRow("trailing point") << 0.0 << 100.0 << "C" << "12." << QValidator::Acceptable;
    QTest::newRow("three decimals") << 0.0 << 100.0 << "C" << "12.345" << QValidator::Invalid;
    QTest::newRow("not a number") << 0.0 << 100.0 << "C" << "abc" << QValidator::Invalid;
    QTest::newRow("point alone") << 0.0 << 100.0 << "C" << "." << QValidator::Intermediate; // on the way to ".5"
    QTest::newRow("no roubles") << 0.0 << 100.0 << "C" << ".5" << QValidator::Acceptable;
    QTest::newRow("comma locale: no roubles") << 0.0 << 100.0 << "ru_RU" << ",5" << QValidator::Acceptable;
    QTest::newRow("top") << 0.0 << 100.0 << "C" << "100" << QValidator::Acceptable;
    QTest::newRow("above top") << 0.0 << 100.0 << "C" << "100.01" << QValidator::Invalid;
    QTest::newRow("bottom") << 5.0 << 100.0 << "C" << "5" << QValidator::Acceptable;
    QTest::newRow("below bottom") << 5.0 << 100.0 << "C" << "4.99" << QValidator::Invalid;
    QTest::newRow("negative") << 0.0 << 100.0 << "C" << "-1" << QValidator::Invalid;
    QTest::newRow("minus alone") << 0.0 << 100.0 << "C" << "-" << QValidator::Invalid;
    QTest::newRow("plus sign") << 0.0 << 100.0 << "C" << "+5" << QValidator::Invalid;
    QTest::newRow("exponent") << 0.0 << 100.0 << "C" << "1e1" << QValidator::Invalid;
    QTest::newRow("blank") << 0.0 << 100.0 << "C" << " 5" << QValidator::Invalid;
    QTest::newRow("nan") << 0.0 << huge << "C" << "nan" << QValidator::Invalid;
    QTest::newRow("inf") << 0.0 << huge << "C" << "inf" << QValidator::Invalid;
    QTest::newRow("default top") << 0.0 << huge << "C" << "99999999.99" << QValidator::Acceptable;
    for (const char* locale : {"C", "en_US", "ru_RU"}) {
        QTest::addRow("%s: comma", locale) << 0.0 << 100.0 << locale << "12,5" << QValidator::Acceptable;
        QTest::addRow("%s: point", locale) << 0.0 << 100.0 << locale << "12.5" << QValidator::Acceptable;
        QTest::addRow("%s: comma, two decimals", locale) << 0.0 << 100.0 << locale << "12,34" << QValidator::Acceptable;
        QTest::addRow("%s: point and comma", locale) << 0.0 << 100.0 << locale << "1.2,3" << QValidator::Invalid;
    }
    QTest::newRow("comma locale: comma") << 0.0 << 100.0 << "ru_RU" << "12,5" << QValidator::Acceptable;
    QTest::newRow("comma locale: point") << 0.0 << 100.0 << "ru_RU" << "12.5" << QValidator::Acceptable;
    QTest::newRow("comma locale: three decimals") << 0.0 << 100.0 << "ru_RU" << "12,555" << QValidator::Invalid;
    QTest::newRow("comma locale: above top") << 0.0 << 100.0 << "ru_RU" << "100,5" << QValidator::Invalid;
    QTest::newRow("comma locale: two commas") << 0.0 << 100.0 << "ru_RU" << "1,2,3" << QValidator::Invalid;
}

void TestCellEditors::moneyValidator()
{
    QFETCH(double, bottom);
    QFETCH(double, top);
    QFETCH(QString, localeName);
    QFETCH(QString, input);
    QFETCH(QValidator::State, state);

    MoneyValidator validator(bottom, top, 2);
    validator.setLocale(QLocale(localeName));
    QString text = input;
    int position = text.size();
    QCOMPARE(validator.validate(text, position), state);
    QCOMPARE(text, input);
}

void TestCellEditors::maskedEditor_data()
{
    QTest::addColumn<FieldInfo>("descriptor");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    QTest::newRow("literal kept") << maskedField("Код", "00-00", FieldInfo::String866) << "" << "-" << "1234" << "12-34";
    QTest::newRow("zero-filled") << maskedField("Номер", "000000") << "42" << "000042" << "000123" << "123";
    QTest::newRow("zero-filled from zero") << maskedField("Номер", "000000") << "0" << "" << "5" << "5";
    QTest::newRow("zero-filled to zero") << maskedField("Номер", "000000") << "42" << "000042" << "000000" << "0";
    QTest::newRow("letters refused") << maskedField("Номер", "000000") << "0" << "" << "a7b" << "0";
    // A decimal field takes as many digits as it holds, whatever its mask's length.
    QTest::newRow("barcode of 16 digits") << maskedField("Штрихкод", "0000000000000", FieldInfo::Bcd8) << "0" << ""
                                          << "1234567890123456" << "1234567890123456";
}

void TestCellEditors::maskedEditor()
{
    QFETCH(FieldInfo, descriptor);
    QFETCH(QString, before);
    QFETCH(QString, opened);
    QFETCH(QString, typed);
    QFETCH(QString, stored);

    Harness h(table(TransposedList, {field("Имя", FieldInfo::String), descriptor}), transposedRows({"a", before}));
    const QModelIndex index = h.cell(1, 0);
    auto* editor = qobject_cast<QLineEdit*>(h.open(index));
    QVERIFY(editor);
    QVERIFY(editor->inputMask().startsWith(descriptor.m_mask));
    QCOMPARE(editor->text(), opened);
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClicks(editor, typed);
    QVERIFY(h.confirm(editor, index));
    QCOMPARE(h.model->tableData()[1][0], Cell(stored.toUtf8(), stored != before));
    QCOMPARE(h.model->tableData()[0][0], Cell("a"));
}

// Opening an editor and leaving it with Enter changes nothing and marks
// nothing, even where the mask could not show the stored value.
void TestCellEditors::maskedEditorOpensWithoutChange_data()
{
    QTest::addColumn<FieldInfo>("descriptor");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("masked");

    const FieldInfo barcode = maskedField("Штрихкод", "0000000000000", FieldInfo::Bcd8);
    FieldInfo phone = maskedField("Телефон", "+7(999)999-99-99", FieldInfo::String866);
    phone.m_maxLength = 16;
    QTest::newRow("barcode of 16 digits") << barcode << "1234567890123456" << "1234567890123456" << true;
    QTest::newRow("barcode of 13 digits") << barcode << "4600000000001" << "4600000000001" << true;
    QTest::newRow("short barcode") << barcode << "42" << "0000000000042" << true;
    QTest::newRow("phone that fits") << phone << "+7(912)345-67-89" << "+7(912)345-67-89" << true;
    QTest::newRow("phone the mask would cut") << phone << "8-800-ЗВОНИТЕ" << "8-800-ЗВОНИТЕ" << false;
    QTest::newRow("digits the mask would reshape") << maskedField("Код", "99-99", FieldInfo::Bcd2) << "1234" << "1234"
                                                   << false;
}

void TestCellEditors::maskedEditorOpensWithoutChange()
{
    QFETCH(FieldInfo, descriptor);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(bool, masked);

    Harness h(table(Db, {descriptor}), dbRows({{stored}}));
    const QModelIndex index = h.cell(0, 0);
    auto* editor = qobject_cast<QLineEdit*>(h.open(index));
    QVERIFY(editor);
    QCOMPARE(editor->text(), shown);
    QCOMPARE(!editor->inputMask().isEmpty(), masked);
    QVERIFY(h.confirm(editor, index));
    QCOMPARE(h.model->tableData()[0][0], Cell(stored.toUtf8(), false));
    QVERIFY(!h.model->hasChangedCells());
}

void TestCellEditors::listEditor()
{
    Harness h(table(Db, {listField("Режим", {{5, "Авто"}, {1, "Нет"}, {2, "Да"}})}), dbRows({{"1"}}));
    const QModelIndex index = h.cell(0, 0);
    auto* editor = qobject_cast<QComboBox*>(h.open(index));
    QVERIFY(editor);
    QStringList items;
    for (int i = 0; i < editor->count(); ++i)
        items << editor->itemText(i);
    QCOMPARE(items, (QStringList{"Нет", "Да", "Авто"}));
    QCOMPARE(editor->currentText(), QStringLiteral("Нет"));

    // The arrows leave the choice alone; typing picks an item.
    QTest::keyClick(editor, Qt::Key_Down);
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(editor->currentText(), QStringLiteral("Нет"));
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("А"), Qt::NoModifier);
    QCOMPARE(editor->currentText(), QStringLiteral("Авто"));
    QVERIFY(h.confirm(editor, index));
    QCOMPARE(h.model->tableData()[0][0], Cell("5", true));
    QCOMPARE(h.model->data(index).toString(), QStringLiteral("Авто"));

    // Back to the first item.
    editor = qobject_cast<QComboBox*>(h.open(index));
    QVERIFY(editor);
    QCOMPARE(editor->currentText(), QStringLiteral("Авто"));
    QTest::keyClick(editor, Qt::Key_Home);
    QCOMPARE(editor->currentText(), QStringLiteral("Авто"));
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("Н"), Qt::NoModifier);
    QVERIFY(h.confirm(editor, index));
    // Back at the value read: nothing left to write.
    QCOMPARE(h.model->tableData()[0][0], Cell("1", false));
}

void TestCellEditors::listEditorWithUnknownCode()
{
    Harness h(table(List, {listField("Режим", {{0, "Нет"}, {1, "Да"}})}), listRows({"9"}));
    const QModelIndex index = h.cell(0, 0);
    auto* editor = qobject_cast<QComboBox*>(h.open(index));
    QVERIFY(editor);
    QCOMPARE(editor->currentIndex(), -1);
    QVERIFY(h.confirm(editor, index));
    QCOMPARE(h.model->tableData()[0][0], Cell("9"));
    QVERIFY(!h.model->hasChangedCells());
}

void TestCellEditors::stringEditorTakesTheFieldsLength()
{
    // A text field of 128 characters in the register's character set.
    Harness h(table(Db, {field("Текст", FieldInfo::String)}), dbRows({{"abc"}}));
    const QModelIndex index = h.cell(0, 0);
    auto* editor = qobject_cast<QLineEdit*>(h.open(index));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("abc"));
    QVERIFY(editor->validator());
    QVERIFY(editor->inputMask().isEmpty());
    replaceEditorText(editor, QString(120, QLatin1Char('x')) + QLatin1Char(' '));
    for (const QChar letter : QStringLiteral("Ёж"))
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(letter), Qt::NoModifier);
    // Beyond the field's length nothing more is taken.
    QTest::keyClicks(editor, QString(10, QLatin1Char('y')));
    const QString typed = QString(120, QLatin1Char('x')) + QStringLiteral(" Ёж") + QString(5, QLatin1Char('y'));
    QCOMPARE(editor->text(), typed);
    QVERIFY(h.confirm(editor, index));
    QCOMPARE(h.model->tableData()[0][0], Cell(typed.toUtf8(), true));
}

void TestCellEditors::editorPerField_data()
{
    QTest::addColumn<TableType>("type");
    QTest::newRow("db: per column") << Db;
    QTest::newRow("list: per row") << List;
    QTest::newRow("transposed: per row") << TransposedList;
}

void TestCellEditors::editorPerField()
{
    QFETCH(TableType, type);

    const QVector<FieldInfo> fields{intField("Число", 2, 20), listField("Режим", {{0, "Нет"}, {1, "Да"}}),
                                    moneyField("Цена", 0, 500), maskedField("Код", "00-00", FieldInfo::String866),
                                    field("Текст", FieldInfo::String), intField("Другое число", 5, 6)};
    const QStringList values{"3", "1", "100", "12-34", "t", "5"};
    const DataRows rows = type == Db ? dbRows({values}) : type == List ? listRows(values) : transposedRows(values);
    Harness h(table(type, fields), rows);
    auto at = [&](int i) { return type == Db ? h.cell(0, i) : h.cell(i, 0); };

    auto* intEditor = qobject_cast<QLineEdit*>(h.open(at(0)));
    QVERIFY(intEditor);
    auto* intValidator = qobject_cast<const QIntValidator*>(intEditor->validator());
    QVERIFY(intValidator);
    QCOMPARE(intValidator->bottom(), 2);
    QCOMPARE(intValidator->top(), 20);
    h.cancel(at(0));

    auto* combo = qobject_cast<QComboBox*>(h.open(at(1)));
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->currentText(), QStringLiteral("Да"));
    h.cancel(at(1));

    auto* moneyEditor = qobject_cast<QLineEdit*>(h.open(at(2)));
    QVERIFY(moneyEditor);
    auto* moneyValidator = dynamic_cast<const MoneyValidator*>(moneyEditor->validator());
    QVERIFY(moneyValidator);
    QCOMPARE(moneyValidator->bottom(), 0.0);
    QCOMPARE(moneyValidator->top(), 500.0);
    QCOMPARE(moneyValidator->decimals(), 2);
    QCOMPARE(moneyEditor->text(), QStringLiteral("1.00"));
    h.cancel(at(2));

    auto* maskEditor = qobject_cast<QLineEdit*>(h.open(at(3)));
    QVERIFY(maskEditor);
    QVERIFY(maskEditor->inputMask().startsWith(QStringLiteral("00-00")));
    QVERIFY(!maskEditor->validator());
    h.cancel(at(3));

    auto* textEditor = qobject_cast<QLineEdit*>(h.open(at(4)));
    QVERIFY(textEditor);
    // Text editors refuse what the register cannot store.
    QVERIFY(textEditor->validator());
    QVERIFY(textEditor->inputMask().isEmpty());
    h.cancel(at(4));

    // Each int field has its own limits.
    auto* otherEditor = qobject_cast<QLineEdit*>(h.open(at(5)));
    QVERIFY(otherEditor);
    intValidator = qobject_cast<const QIntValidator*>(otherEditor->validator());
    QVERIFY(intValidator);
    QCOMPARE(intValidator->bottom(), 5);
    QCOMPARE(intValidator->top(), 6);
    h.cancel(at(5));

    QVERIFY(!h.model->hasChangedCells());
}

void TestCellEditors::protectedCellsOpenNoEditor()
{
    FieldInfo readOnly = field("Только чтение", FieldInfo::String);
    readOnly.m_readOnly = true;
    TableInfo info = table(Db, {field("Текст", FieldInfo::String), readOnly, field("Зарезервировано", FieldInfo::String)});
    info.readOnlyRows = {2};
    Harness h(info, dbRows({{"a", "b", "c"}, {"d", "e", "f"}}));
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    QVERIFY(!h.open(h.cell(0, 1)));
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    QVERIFY(!h.open(h.cell(0, 2)));
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    QVERIFY(!h.open(h.cell(1, 0)));
    QVERIFY(h.open(h.cell(0, 0)));
    h.cancel(h.cell(0, 0));
}

void TestCellEditors::fixedColumnWidth()
{
    const QString longText(80, QLatin1Char('W'));
    const QVector<FieldInfo> fields{field("Код", FieldInfo::String), field("Имя", FieldInfo::String),
                                    moneyField("Цена", 0, 99999.99)};
    Harness h(table(Db, fields, 1), dbRows({{"1", "Товар", longText}, {"2", "Другой", "1"}}));
    const QFontMetrics metrics(QApplication::font());
    const int expected = metrics.horizontalAdvance(QStringLiteral("99999.99")) + metrics.height() / 2;
    QHeaderView* header = h.view->horizontalHeader();
    QCOMPARE(h.view->fixedColumnWidth(), expected);
    QCOMPARE(header->sectionSize(2), expected);
    QCOMPARE(header->sectionResizeMode(2), QHeaderView::Interactive);
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Interactive);
    QVERIFY(!header->stretchLastSection());

    // Stays so after the window is resized.
    h.window().resize(500, 300);
    QApplication::sendPostedEvents();
    h.view->resize(480, 280);
    QCOMPARE(header->sectionSize(2), expected);
}

void TestCellEditors::otherTablesFitContents_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("fieldCount");
    QTest::newRow("another table") << 2 << 3;
    QTest::newRow("table 1 with two fields") << 1 << 2;
}

void TestCellEditors::otherTablesFitContents()
{
    QFETCH(int, id);
    QFETCH(int, fieldCount);

    const QString longText(80, QLatin1Char('W'));
    QVector<FieldInfo> fields{field("Код", FieldInfo::String), moneyField("Цена", 0, 99999.99),
                              moneyField("Сумма", 0, 99999.99)};
    fields.resize(fieldCount);
    QStringList values{"1", "2", "3"};
    values[fieldCount - 1] = longText;
    values = values.mid(0, fieldCount);
    Harness h(table(Db, fields, uint16_t(id)), dbRows({values}));
    QHeaderView* header = h.view->horizontalHeader();
    const int last = fieldCount - 1;
    QCOMPARE(h.view->fixedColumnWidth(), -1);
    QCOMPARE(header->sectionResizeMode(last), QHeaderView::Interactive);
    QVERIFY(header->sectionSize(last) >= QFontMetrics(h.view->font()).horizontalAdvance(longText));
    QVERIFY(!header->stretchLastSection());
}

void TestCellEditors::modelBelongsToView()
{
    const TableInfo info = table(Db, {field("a", FieldInfo::String)});
    QPointer<TableModel> first = new TableModel(info, dbRows({{"x"}}));
    QPointer<TableModel> second = new TableModel(info, dbRows({{"y"}}));
    QObject owner;
    QPointer<TableModel> parented = new TableModel(info, dbRows({{"z"}}));
    parented->setParent(&owner);
    {
        auto view = std::make_unique<TableView>(info);
        view->setModel(first);
        view->setModel(first);
        QVERIFY(first);
        view->setModel(second);
        QVERIFY(!first);
        QCOMPARE(view->model(), second.data());
        view->setModel(parented);
        QVERIFY(!second);
        QCOMPARE(view->model(), parented.data());
    }
    QVERIFY(parented);

    QPointer<TableModel> kept = new TableModel(info, dbRows({{"k"}}));
    {
        TableView view(info);
        view.setModel(kept);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    QVERIFY(!kept);
}

void TestCellEditors::displayErrorWhilePainting()
{
    const TableInfo info = table(List, {field("a", FieldInfo::String), field("b", FieldInfo::String)});
    auto* model = new TableModel(info, DataRows());
    QSignalSpy errorSpy(model, &TableModel::displayError);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* view = new TableView(info, &window);
    view->setModel(model);
    layout->addWidget(view);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->viewport()->repaint();
    view->viewport()->repaint();
    QCOMPARE(errorSpy.count(), 1);
    QCOMPARE(errorSpy[0][0].toString(),
             QStringLiteral("Ошибка отображения. Кол-во строк не соответствует допустимому значению"));
}

VESCOR_TEST(TestCellEditors)
#include "tst_celleditors.moc"
