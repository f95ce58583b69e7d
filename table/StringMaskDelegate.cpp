#include "StringMaskDelegate.h"

#include "IntDelegate.h"
#include "TableModel.h"

#include <QLineEdit>

StringMaskDelegate::~StringMaskDelegate() = default;

QWidget* StringMaskDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!field)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* editor = new QLineEdit(parent);
    editor->setInputMask(field->m_mask);
    return editor;
}

void StringMaskDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (!IntDelegate::loadLineEdit(editor, index))
        QStyledItemDelegate::setEditorData(editor, index);
}

void StringMaskDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (!IntDelegate::storeLineEdit(editor, model, index))
        QStyledItemDelegate::setModelData(editor, model, index);
}
