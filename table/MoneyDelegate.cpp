#include "MoneyDelegate.h"

#include "CheckedValidator.h"
#include "MoneyValidator.h"
#include "RefusalWatch.h"
#include "TableModel.h"
#include "RefusalReporter.h"

#include <QLineEdit>

MoneyDelegate::~MoneyDelegate() = default;

QWidget* MoneyDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!field)
        return QItemDelegate::createEditor(parent, option, index);
    auto* editor = new QLineEdit(parent);
    const QString limit = QStringLiteral("нужна сумма от %1 до %2, не более двух знаков после точки")
                              .arg(field->m_min, 0, 'f', 2)
                              .arg(field->m_max, 0, 'f', 2);
    editor->setValidator(new CheckedValidator<MoneyValidator>(*field, limit, field->m_min, field->m_max, 2, editor));
    m_refusals.watch(editor, *field, QString(), true);
    return editor;
}

void MoneyDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!lineEdit) {
        QItemDelegate::setEditorData(editor, index);
        return;
    }
    lineEdit->setText(QString::fromUtf8(index.model()->data(index, Qt::EditRole).toByteArray()));
}

void MoneyDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!lineEdit) {
        QItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (RefusalWatch::refusesEntry(editor))
        return;
    model->setData(index, lineEdit->text(), Qt::EditRole);
}
