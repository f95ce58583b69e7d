#include "ValueChangeDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ValueChangeDlg::ValueChangeDlg(const QString& column, bool money, const Counts& counts, QWidget* parent)
    : QDialog(parent)
    , m_money(money)
    , m_operation(new QComboBox(this))
    , m_operand(new QLineEdit(this))
    , m_scope(new QButtonGroup(this))
    , m_problem(new QLabel(this))
{
    setObjectName(QStringLiteral("valueChangeDialog"));
    setWindowTitle(QStringLiteral("Изменить значения"));
    m_operation->setObjectName(QStringLiteral("operationBox"));
    m_operand->setObjectName(QStringLiteral("operandField"));
    m_problem->setObjectName(QStringLiteral("operandProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    m_operation->addItem(QStringLiteral("Установить значение"), ValueChange::SetTo);
    m_operation->addItem(QStringLiteral("Прибавить"), ValueChange::Add);
    m_operation->addItem(QStringLiteral("Вычесть"), ValueChange::Subtract);
    m_operation->addItem(QStringLiteral("Умножить на процент"), ValueChange::MultiplyByPercent);

    auto* form = new QFormLayout;
    auto* columnLabel = new QLabel(column, this);
    columnLabel->setObjectName(QStringLiteral("columnTitle"));
    form->addRow(QStringLiteral("Столбец:"), columnLabel);
    form->addRow(QStringLiteral("&Действие:"), m_operation);
    form->addRow(QStringLiteral("&Значение:"), m_operand);
    auto* rounding = new QLabel(this);
    rounding->setObjectName(QStringLiteral("roundingNote"));
    rounding->setWordWrap(true);
    form->addRow(QString(), rounding);
    const QString rounded = money ? QStringLiteral("Результат округляется до копеек")
                                  : QStringLiteral("Результат округляется до целого");
    const auto explain = [this, rounding, rounded] {
        const bool percent = m_operation->currentData().toInt() == ValueChange::MultiplyByPercent;
        rounding->setText(percent ? QStringLiteral("110 — на 10 % больше, 90 — на 10 % меньше.\n%1").arg(rounded)
                                  : rounded);
    };
    explain();
    connect(m_operation, qOverload<int>(&QComboBox::currentIndexChanged), this, explain);

    auto* cells = new QGroupBox(QStringLiteral("Ячейки"), this);
    auto* cellsLayout = new QVBoxLayout(cells);
    const auto addScope = [&](Scope scope, const char* name, const QString& text, int count) {
        auto* button = new QRadioButton(QStringLiteral("%1 (%2)").arg(text).arg(count), cells);
        button->setObjectName(QLatin1String(name));
        button->setEnabled(count > 0);
        m_scope->addButton(button, scope);
        cellsLayout->addWidget(button);
    };
    addScope(SelectedCells, "selectedCellsButton", QStringLiteral("В&ыделенные ячейки"), counts.selected);
    addScope(ShownRows, "shownRowsButton", QStringLiteral("&Строки, которые показаны"), counts.shown);
    addScope(WholeColumn, "wholeColumnButton", QStringLiteral("&Весь столбец"), counts.column);
    m_scope->button(counts.selected > 1 ? SelectedCells : counts.shown < counts.column ? ShownRows : WholeColumn)
        ->setChecked(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* change = buttons->addButton(QStringLiteral("&Изменить"), QDialogButtonBox::AcceptRole);
    change->setObjectName(QStringLiteral("changeButton"));
    change->setDefault(true);
    buttons->addButton(QStringLiteral("&Отмена"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ValueChangeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(cells);
    layout->addWidget(m_problem);
    layout->addStretch();
    layout->addWidget(buttons);
    // Wide enough for the longest note on one line at any font size.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Действие: 110 — на 10 % больше, 90 — на 10 % меньше.")) * 5 / 4);
    m_operand->setFocus();
}

ValueChange ValueChangeDlg::change() const
{
    return ValueChange(ValueChange::Operation(m_operation->currentData().toInt()), m_operand->text());
}

ValueChangeDlg::Scope ValueChangeDlg::scope() const
{
    return Scope(m_scope->checkedId());
}

void ValueChangeDlg::accept()
{
    const QString problem = change().operandProblem(m_money);
    if (problem.isEmpty()) {
        QDialog::accept();
        return;
    }
    m_problem->setText(QStringLiteral("Значение \"%1\" не подходит: %2").arg(m_operand->text(), problem));
    m_problem->show();
    m_operand->setFocus();
    m_operand->selectAll();
}
