#include "CellBatch.h"

#include "CellBlockCommand.h"
#include "CellInputCheck.h"
#include "EntryCheck.h"
#include "TableModel.h"

#include "common/RussianPlural.h"

CellBatch::CellBatch(TableModel* model)
    : m_model(model)
{
}

namespace {

// Refusals named one by one; the rest are counted.
constexpr int namedRefusals = 10;

} // namespace

bool CellBatch::add(const QModelIndex& index, const QString& text)
{
    QModelIndex source;
    if (TableModel::sourceOf(index, &source) != m_model)
        return true;
    int row = 0;
    int column = 0;
    const FieldInfo* field = m_model->fieldForIndex(source);
    if (!field || !m_model->cellOfIndex(source, row, column))
        return true;
    if (!(m_model->flags(source) & Qt::ItemIsEditable)) {
        ++m_readOnly;
        return true;
    }
    // The text as the tab shows the cell is no change, whatever its stored form.
    if (text == m_model->data(source, Qt::EditRole).toString())
        return true;

    QByteArray stored;
    QString why;
    if (!TableModel::storedValue(*field, text, stored)) {
        why = field->m_guiType == FieldInfo::List ? QStringLiteral("такого значения нет в списке поля")
            : field->m_guiType == FieldInfo::Money ? QStringLiteral("нужна сумма в рублях, например 12.50")
                                                    : QStringLiteral("нужно целое число");
    } else {
        why = EntryCheck::reason(*field, stored);
    }
    if (!why.isEmpty()) {
        refuse(source, text, why);
        return false;
    }
    if (refused())
        return false;
    const QByteArray& current = m_model->tableData()[row][column].value;
    if (stored != current) {
        m_before.append({row, column, current});
        m_after.append({row, column, stored});
    }
    return true;
}

void CellBatch::refuse(const QModelIndex& index, const QString& text, const QString& why)
{
    QModelIndex source;
    if (TableModel::sourceOf(index, &source) != m_model)
        return;
    const FieldInfo* field = m_model->fieldForIndex(source);
    if (!field)
        return;
    if (++m_refusals <= namedRefusals)
        m_problems << QStringLiteral("Строка %1: %2").arg(source.row() + 1).arg(CellInputCheck::refusal(*field, text, why));
}

QString CellBatch::problem() const
{
    QString text = m_problems.join(QLatin1Char('\n'));
    if (m_refusals > m_problems.size())
        text += QStringLiteral("\n…и еще %1").arg(RussianPlural::count(m_refusals - m_problems.size(),
                                                                     QStringLiteral("значение"), QStringLiteral("значения"),
                                                                     QStringLiteral("значений")));
    return text;
}

CellBlockCommand* CellBatch::takeCommand(const QString& text)
{
    if (refused() || m_after.isEmpty())
        return nullptr;
    auto* command = new CellBlockCommand(m_model, m_before, m_after, text);
    m_before.clear();
    m_after.clear();
    return command;
}
