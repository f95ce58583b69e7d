#include "IntDelegate.h"

#include "CheckedValidator.h"
#include "RefusalWatch.h"
#include "TableModel.h"
#include "RefusalReporter.h"

#include <QIntValidator>
#include <QLineEdit>

#include <climits>
#include <cmath>
#include <utility>

namespace {

int clampToInt(double value, int whenMissing)
{
    if (std::isnan(value))
        return whenMissing;
    if (value <= double(INT_MIN))
        return INT_MIN;
    if (value >= double(INT_MAX))
        return INT_MAX;
    return int(value);
}

} // namespace

IntDelegate::~IntDelegate() = default;

void IntDelegate::intRange(double min, double max, int& bottom, int& top)
{
    bottom = clampToInt(min, INT_MIN);
    top = clampToInt(max, INT_MAX);
    if (bottom > top)
        std::swap(bottom, top);
}

QWidget* IntDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!field)
        return QStyledItemDelegate::createEditor(parent, option, index);
    int bottom = 0;
    int top = 0;
    intRange(field->m_min, field->m_max, bottom, top);
    auto* editor = new QLineEdit(parent);
    const QString limit = QStringLiteral("нужно целое число от %1 до %2").arg(bottom).arg(top);
    editor->setValidator(new CheckedValidator<QIntValidator>(*field, limit, bottom, top, editor));
    m_refusals.watch(editor, *field, QString(), true);
    return editor;
}

bool IntDelegate::loadLineEdit(QWidget* editor, const QModelIndex& index)
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!lineEdit)
        return false;
    lineEdit->setText(index.model()->data(index, Qt::EditRole).toString());
    return true;
}

bool IntDelegate::storeLineEdit(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index)
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!lineEdit)
        return false;
    if (RefusalWatch::refusesEntry(editor))
        return true;
    model->setData(index, lineEdit->text(), Qt::EditRole);
    return true;
}

void IntDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (!loadLineEdit(editor, index))
        QStyledItemDelegate::setEditorData(editor, index);
}

void IntDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (!storeLineEdit(editor, model, index))
        QStyledItemDelegate::setModelData(editor, model, index);
}
