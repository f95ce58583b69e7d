#include "TextDelegate.h"

#include "CheckedValidator.h"
#include "IntDelegate.h"
#include "TableModel.h"
#include "RefusalReporter.h"

#include <QLineEdit>

TextDelegate::~TextDelegate() = default;

QWidget* TextDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!field)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setValidator(new CheckedValidator<QValidator>(*field, QString(), editor));
    m_refusals.watch(editor, *field);
    return editor;
}

void TextDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (!IntDelegate::loadLineEdit(editor, index))
        QStyledItemDelegate::setEditorData(editor, index);
}

void TextDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (!IntDelegate::storeLineEdit(editor, model, index))
        QStyledItemDelegate::setModelData(editor, model, index);
}
