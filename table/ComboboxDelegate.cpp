#include "ComboboxDelegate.h"

#include "ListCellEditor.h"
#include "TableModel.h"

#include <QComboBox>

ComboboxDelegate::~ComboboxDelegate() = default;

QWidget* ComboboxDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!field)
        return QStyledItemDelegate::createEditor(parent, option, index);
    QStringList texts;
    for (const auto& item : field->m_items)
        texts << item.second;
    auto* editor = new ListCellEditor(parent);
    // Keeps a long item text from widening the editor past its cell.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    editor->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLength);
    QT_WARNING_POP
    editor->addItems(texts);
    return editor;
}

void ComboboxDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* comboBox = qobject_cast<QComboBox*>(editor);
    if (!comboBox) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QString text = index.model()->data(index, Qt::EditRole).toString();
    comboBox->setCurrentIndex(comboBox->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void ComboboxDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* comboBox = qobject_cast<QComboBox*>(editor);
    if (!comboBox) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    model->setData(index, comboBox->currentText(), Qt::EditRole);
}
