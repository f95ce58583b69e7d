#include "RegisterAddress.h"

#include "RowLabel.h"

#include <algorithm>

RegisterAddress::RegisterAddress(const TableInfo& table, const DataRows& rows)
    : m_db(table.type == Db), m_transposed(table.type == TransposedList), m_fields(table.fields)
{
    m_cellCounts.reserve(rows.size());
    if (m_db) {
        m_registerRows.reserve(rows.size());
        m_dataRows.reserve(rows.size());
    }
    // One pass: a large table's rows are each looked at once.
    for (int i = 0; i < rows.size(); ++i) {
        const DataRow& row = rows.at(i);
        m_cellCounts.append(row.size());
        if (!m_db)
            continue;
        const unsigned registerRow = RowLabel::registerRow(row);
        m_registerRows.append(registerRow);
        if (registerRow != 0)
            m_dataRows.emplace_back(registerRow, i);
    }
    // Usually in order already.
    if (!std::is_sorted(m_dataRows.begin(), m_dataRows.end()))
        std::sort(m_dataRows.begin(), m_dataRows.end());
}

int RegisterAddress::dataRow(unsigned registerRow) const
{
    if (registerRow == 0)
        return -1;
    if (m_db) {
        const auto at = std::lower_bound(m_dataRows.begin(), m_dataRows.end(), std::make_pair(registerRow, 0));
        return at != m_dataRows.end() && at->first == registerRow ? at->second : -1;
    }
    return registerRow <= unsigned(m_cellCounts.size()) ? int(registerRow - 1) : -1;
}

QVector<int> RegisterAddress::dataRows(unsigned registerRow) const
{
    QVector<int> found;
    if (!m_db) {
        if (const int i = dataRow(registerRow); i >= 0)
            found.append(i);
        return found;
    }
    // No pair holds register row 0: a data row without a number is in none.
    for (auto at = std::lower_bound(m_dataRows.begin(), m_dataRows.end(), std::make_pair(registerRow, 0));
         at != m_dataRows.end() && at->first == registerRow; ++at)
        found.append(at->second);
    return found;
}

bool RegisterAddress::isLabel(int i, int j) const
{
    return m_db && i >= 0 && i < m_cellCounts.size() && j == m_cellCounts.at(i) - 1;
}

