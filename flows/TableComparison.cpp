#include "TableComparison.h"

#include "device/RowLabel.h"
#include "device/ValueCheck.h"
#include "model/MoneyText.h"

#include <QHash>

namespace {

const Cell* cellOf(const DataRows& rows, int row, int column)
{
    if (row < 0 || row >= rows.size() || column < 0 || column >= rows.at(row).size())
        return nullptr;
    return &rows.at(row).at(column);
}

} // namespace

TableComparison::TableComparison(const TableInfo& table, const DataRows& fileRows, const DataRows& registerRows)
{
    // Db rows of the register by their labels.
    QHash<unsigned, int> registerRowOf;
    if (table.type == Db) {
        for (int i = 0; i < registerRows.size(); ++i) {
            if (!registerRows.at(i).isEmpty())
                registerRowOf.insert(RowLabel::registerRow(registerRows.at(i)), i);
        }
    }

    for (int i = 0; i < fileRows.size(); ++i) {
        const DataRow& row = fileRows.at(i);
        // A Db row ends with its label, which is never written.
        const int cellCount = table.type == Db ? row.size() - 1 : row.size();
        for (int j = 0; j < cellCount; ++j) {
            CellPair pair;
            pair.row = i;
            pair.column = j;
            pair.fieldNumber = j + 1;
            const int fieldIndex = table.type == TransposedList ? i : j;
            const Cell* registerCell = nullptr;
            switch (table.type) {
            case Db: {
                pair.registerRow = RowLabel::registerRow(row);
                const auto found = registerRowOf.constFind(pair.registerRow);
                if (pair.registerRow != 0 && found != registerRowOf.constEnd())
                    registerCell = cellOf(registerRows, found.value(), j);
                break;
            }
            default:
                pair.registerRow = unsigned(i + 1);
                registerCell = cellOf(registerRows, i, j);
                break;
            }

            pair.fileText = fileForm(table, fieldIndex, row.at(j).value);
            pair.inRegister = registerCell != nullptr;
            if (registerCell)
                pair.registerText = fileForm(table, fieldIndex, registerCell->value);
            if (!registerCell || fieldIndex >= table.fields.size())
                pair.differs = true;
            else
                pair.differs = !sameValue(table.fields.at(fieldIndex), registerCell->value, row.at(j).value);
            m_cells.append(pair);
        }
    }
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
    if (table.type == Db && fieldIndex < table.fields.size()
        && table.fields.at(fieldIndex).m_guiType == FieldInfo::Money)
        return MoneyText::fromKopecks(stored);
    return QString::fromUtf8(stored);
}

bool TableComparison::sameValue(const FieldInfo& field, const QByteArray& a, const QByteArray& b)
{
    // Texts as the file shows them: a text cell read back ends at its first
    // zero byte, which is the padding the register adds on writing.
    if (QString::fromUtf8(a) == QString::fromUtf8(b))
        return true;
    // Otherwise the register decides: two values are the same when the write
    // would store the same bytes for both, so "0012345678905" in a barcode,
    // " 1" in a number and guillemets in a text are no change. A value the
    // write refuses is never the same as another.
    const EncodedValue storedA = ValueCheck::encode(field, a);
    if (!storedA.ok)
        return false;
    const EncodedValue storedB = ValueCheck::encode(field, b);
    return storedB.ok && storedA.bytes == storedB.bytes;
}
