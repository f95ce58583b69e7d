#include "ReplaceDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ReplaceDlg::ReplaceDlg(const QStringList& columns, QWidget* parent)
    : QDialog(parent)
    , m_found(new QLineEdit(this))
    , m_replacement(new QLineEdit(this))
    , m_wholeValue(new QCheckBox(QStringLiteral("Только значение целиком"), this))
    , m_hiddenRows(new QCheckBox(QStringLiteral("включая скрытые строки"), this))
    , m_columns(new QListWidget(this))
    , m_result(new QLabel(this))
{
    setObjectName(QStringLiteral("replaceDialog"));
    setWindowTitle(QStringLiteral("Найти и заменить"));
    m_found->setObjectName(QStringLiteral("foundField"));
    m_replacement->setObjectName(QStringLiteral("replacementField"));
    m_wholeValue->setObjectName(QStringLiteral("wholeValueBox"));
    m_hiddenRows->setObjectName(QStringLiteral("hiddenRowsBox"));
    m_columns->setObjectName(QStringLiteral("columnList"));
    // A list is not named by its form label for a screen reader, unlike a line edit.
    m_columns->setAccessibleName(QStringLiteral("В столбцах"));
    m_result->setObjectName(QStringLiteral("replaceResult"));
    m_result->setWordWrap(true);
    for (const QString& title : columns) {
        auto* item = new QListWidgetItem(title, m_columns);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* replaceAll = buttons->addButton(QStringLiteral("Заменить все"), QDialogButtonBox::ApplyRole);
    replaceAll->setObjectName(QStringLiteral("replaceAllButton"));
    replaceAll->setDefault(true);
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    connect(replaceAll, &QPushButton::clicked, this, &ReplaceDlg::replaceAllRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Найти:"), m_found);
    form->addRow(QStringLiteral("Заменить на:"), m_replacement);
    form->addRow(QString(), m_wholeValue);
    form->addRow(QString(), m_hiddenRows);
    form->addRow(QStringLiteral("В столбцах:"), m_columns);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_result);
    layout->addWidget(buttons);
    resize(460, 420);
    // Typing starts in the text to find, not on the default button.
    m_found->setFocus();
}

QString ReplaceDlg::foundText() const
{
    return m_found->text();
}

QString ReplaceDlg::replacementText() const
{
    return m_replacement->text();
}

bool ReplaceDlg::wholeValue() const
{
    return m_wholeValue->isChecked();
}

bool ReplaceDlg::includesHiddenRows() const
{
    return m_hiddenRows->isChecked();
}

QList<int> ReplaceDlg::chosenColumns() const
{
    QList<int> chosen;
    for (int i = 0; i < m_columns->count(); ++i) {
        if (m_columns->item(i)->checkState() == Qt::Checked)
            chosen << i;
    }
    return chosen;
}

void ReplaceDlg::showResult(const QString& text)
{
    m_result->setText(text);
}
