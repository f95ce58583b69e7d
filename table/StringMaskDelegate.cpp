#include "StringMaskDelegate.h"

#include "IntDelegate.h"
#include "TableModel.h"
#include "RefusalReporter.h"

#include <QLineEdit>

#include <algorithm>

namespace {

bool onlyDigitPlaces(const QString& mask)
{
    return !mask.isEmpty()
        && std::all_of(mask.begin(), mask.end(), [](QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('9'); });
}

// A decimal field holds two digits a byte, whatever its mask: a mask of
// digits alone that is shorter is lengthened with optional digits, so that
// the editor takes what the field (and so the import) takes.
QString editorMask(const FieldInfo& field)
{
    const bool decimal = field.m_deviceType >= FieldInfo::Bcd1 && field.m_deviceType <= FieldInfo::Bcd8;
    const int digits = 2 * field.rowWidth();
    if (!decimal || !onlyDigitPlaces(field.m_mask) || field.m_mask.size() >= digits)
        return field.m_mask;
    return field.m_mask + QString(digits - field.m_mask.size(), QLatin1Char('0'));
}

// Whether the editor shows the text unchanged under the mask; an empty text loses nothing.
bool fitsMask(const QString& mask, const QString& text)
{
    if (text.isEmpty() || mask.isEmpty())
        return true;
    QLineEdit probe;
    probe.setInputMask(mask);
    probe.setText(text);
    return probe.text() == text;
}

// What a mask takes, in the user's words.
QString maskLimit(const QString& mask)
{
    const QString bare = mask.section(QLatin1Char(';'), 0, 0);
    if (!bare.isEmpty() && std::all_of(bare.begin(), bare.end(), [](QChar c) { return c == QLatin1Char('0'); }))
        return QStringLiteral("можно ввести только цифры, не более %1").arg(bare.size());
    if (!bare.isEmpty() && std::all_of(bare.begin(), bare.end(), [](QChar c) { return c == QLatin1Char('9'); }))
        return QStringLiteral("нужно ровно %1 цифр").arg(bare.size());
    return QStringLiteral("нужен текст по шаблону \"%1\"").arg(bare);
}

} // namespace

StringMaskDelegate::~StringMaskDelegate() = default;

QWidget* StringMaskDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!field)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* editor = new QLineEdit(parent);
    const QString mask = editorMask(*field);
    editor->setInputMask(mask);
    m_refusals.watch(editor, *field, maskLimit(mask), true);
    return editor;
}

void StringMaskDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    const FieldInfo* field = TableModel::fieldAt(index);
    if (!lineEdit || !field) {
        if (!IntDelegate::loadLineEdit(editor, index))
            QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    // Opening never changes a value: a stored text the mask would cut or
    // reshape is shown as it is, without the mask.
    const QString text = index.model()->data(index, Qt::EditRole).toString();
    const QString mask = editorMask(*field);
    lineEdit->setInputMask(fitsMask(mask, text) ? mask : QString());
    lineEdit->setText(text);
    lineEdit->setModified(false);
}

void StringMaskDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    // Only what the user typed is handed back: an editor opened and closed marks nothing.
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit && !lineEdit->isModified())
        return;
    if (!IntDelegate::storeLineEdit(editor, model, index))
        QStyledItemDelegate::setModelData(editor, model, index);
}
