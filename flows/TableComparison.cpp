#include "TableComparison.h"

#include "device/RegisterAddress.h"
#include "device/ValueCheck.h"
#include "model/MoneyText.h"

#include <QByteArray>

#include <cstring>
#include <utility>
#include <vector>

namespace {

const DataRow* rowOf(const DataRows& rows, int row)
{
    return row < 0 || row >= rows.size() ? nullptr : &rows.at(row);
}

// Whether the file shows the stored kopecks of field fieldIndex as money.
bool isMoney(const TableInfo& table, int fieldIndex)
{
    return table.type == Db && fieldIndex >= 0 && fieldIndex < table.fields.size()
        && table.fields.at(fieldIndex).m_guiType == FieldInfo::Money;
}

// A stored text ends at its first zero byte: the padding the register adds.
int textLength(const QByteArray& stored)
{
    const void* const zero = std::memchr(stored.constData(), 0, size_t(stored.size()));
    return zero ? int(static_cast<const char*>(zero) - stored.constData()) : stored.size();
}

} // namespace

TableComparison::TableComparison(const TableInfo& table, const DataRows& fileRows, const DataRows& registerRows,
                                 const ValueCheck& check)
{
    const RegisterAddress fileAddress(table, fileRows);
    int cellCount = 0;
    for (int i = 0; i < fileRows.size(); ++i)
        cellCount += fileAddress.valueCells(i);
    m_cells.reserve(cellCount);
    forEachCell(table, fileRows, registerRows, check, [this](const CellPair& pair) { m_cells.append(pair); });
}

void TableComparison::forEachCell(const TableInfo& table, const DataRows& fileRows, const DataRows& registerRows,
                                  const ValueCheck& check, const std::function<void(const CellPair&)>& visit)
{
    forEachCell(table, fileRows, RegisterAddress(table, fileRows), registerRows, RegisterAddress(table, registerRows),
                check, visit);
}

void TableComparison::forEachCell(const TableInfo& table, const DataRows& fileRows, const RegisterAddress& fileAddress,
                                  const DataRows& registerRows, const RegisterAddress& registerAddress,
                                  const ValueCheck& check, const std::function<void(const CellPair&)>& visit)
{
    CellPair pair;
    for (int i = 0; i < fileRows.size(); ++i) {
        const unsigned registerRow = fileAddress.registerRow(i);
        const DataRow* registerCells = rowOf(registerRows, registerAddress.dataRow(registerRow));
        // A Db row's label is its address, never compared.
        const int cellCount = fileAddress.valueCells(i);
        for (int j = 0; j < cellCount; ++j) {
            pair.row = i;
            pair.column = j;
            pair.registerRow = registerRow;
            const QByteArray& fileValue = fileRows.at(i).at(j).value;
            const Cell* registerCell = fillPlace(pair, table, fileValue, fileAddress, registerCells);
            if (!registerCell || pair.fieldIndex < 0)
                pair.differs = true;
            else
                pair.differs = !sameValue(check, table.fields.at(pair.fieldIndex), registerCell->value, fileValue);
            visit(pair);
        }
    }
}

void TableComparison::forEachFileCell(const TableInfo& table, const DataRows& fileRows,
                                      const RegisterAddress& fileAddress,
                                      const std::function<void(const FileCell&)>& visit)
{
    std::vector<char> money(size_t(table.fields.size()));
    for (int k = 0; k < table.fields.size(); ++k)
        money[size_t(k)] = isMoney(table, k);
    // The money text of a cell, made here rather than in an array of its own;
    // a kopecks value longer than any the import gives gets one.
    char moneyText[64];
    QByteArray longMoneyText;
    FileCell cell;
    for (int i = 0; i < fileRows.size(); ++i) {
        const DataRow& row = fileRows.at(i);
        cell.row = i;
        cell.registerRow = fileAddress.registerRow(i);
        const int cellCount = fileAddress.valueCells(i);
        for (int j = 0; j < cellCount; ++j) {
            const Cell& stored = row.at(j);
            const int fieldIndex = fileAddress.fieldIndex(i, j);
            cell.column = j;
            cell.fieldNumber = j + 1;
            cell.marked = stored.changed;
            if (fieldIndex < 0 || !money[size_t(fieldIndex)]) {
                cell.text = stored.value.constData();
                cell.size = textLength(stored.value);
            } else if (stored.value.size() + 3 <= int(sizeof moneyText)) {
                cell.text = moneyText;
                cell.size = MoneyText::bytesFromKopecks(stored.value.constData(), stored.value.size(), moneyText);
            } else {
                longMoneyText = MoneyText::bytesFromKopecks(stored.value);
                cell.text = longMoneyText.constData();
                cell.size = longMoneyText.size();
            }
            visit(cell);
        }
    }
}

TableComparison::CellPair TableComparison::pairAt(const TableInfo& table, const DataRows& fileRows,
                                                  const RegisterAddress& fileAddress, const DataRows& registerRows,
                                                  const RegisterAddress& registerAddress, int row, int column,
                                                  bool differs)
{
    CellPair pair;
    pair.row = row;
    pair.column = column;
    pair.registerRow = fileAddress.registerRow(row);
    fillPlace(pair, table, fileRows.at(row).at(column).value, fileAddress,
              rowOf(registerRows, registerAddress.dataRow(pair.registerRow)));
    pair.differs = differs;
    return pair;
}

const Cell* TableComparison::fillPlace(CellPair& pair, const TableInfo& table, const QByteArray& fileValue,
                                       const RegisterAddress& fileAddress, const DataRow* registerCells)
{
    pair.fieldNumber = pair.column + 1;
    pair.fieldIndex = fileAddress.fieldIndex(pair.row, pair.column);
    const Cell* registerCell =
        registerCells && pair.column < registerCells->size() ? &registerCells->at(pair.column) : nullptr;
    pair.fileText = fileBytes(table, pair.fieldIndex, fileValue);
    pair.inRegister = registerCell != nullptr;
    pair.registerText = registerCell ? fileBytes(table, pair.fieldIndex, registerCell->value) : QByteArray();
    return registerCell;
}

QVector<TableComparison::CellPair> TableComparison::differences() const
{
    QVector<CellPair> result;
    for (const CellPair& pair : m_cells) {
        if (pair.differs)
            result.append(pair);
    }
    return result;
}

QString TableComparison::fileForm(const TableInfo& table, int fieldIndex, const QByteArray& stored)
{
    return QString::fromUtf8(fileBytes(table, fieldIndex, stored));
}

QByteArray TableComparison::fileBytes(const TableInfo& table, int fieldIndex, const QByteArray& stored)
{
    if (isMoney(table, fieldIndex))
        return MoneyText::bytesFromKopecks(stored);
    const int length = textLength(stored);
    if (length == stored.size())
        return stored; // shared, not copied
    return stored.left(length);
}

bool TableComparison::sameValue(const ValueCheck& check, const FieldInfo& field, const QByteArray& a,
                                const QByteArray& b)
{
    // Texts as the file shows them: a text cell read back ends at its first
    // zero byte, which is the padding the register adds on writing.
    if (QString::fromUtf8(a) == QString::fromUtf8(b))
        return true;
    // Otherwise the register decides: two values are the same when the write
    // would store the same bytes for both, so "0012345678905" in a barcode,
    // " 1" in a number and guillemets in a text are no change. A value the
    // write refuses is never the same as another.
    const EncodedValue storedA = check.encode(field, a);
    if (!storedA.ok)
        return false;
    const EncodedValue storedB = check.encode(field, b);
    return storedB.ok && storedA.bytes == storedB.bytes;
}
