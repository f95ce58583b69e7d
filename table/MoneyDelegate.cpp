#include "MoneyDelegate.h"

#include "MoneyValidator.h"
#include "TableModel.h"

#include <QLineEdit>

MoneyDelegate::~MoneyDelegate() = default;

QWidget* MoneyDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const auto* model = qobject_cast<const TableModel*>(index.model());
    const FieldInfo* field = model ? model->fieldForIndex(index) : nullptr;
    if (!field)
        return QItemDelegate::createEditor(parent, option, index);
    auto* editor = new QLineEdit(parent);
    editor->setValidator(new MoneyValidator(field->m_min, field->m_max, 2, editor));
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
    model->setData(index, lineEdit->text(), Qt::EditRole);
}
