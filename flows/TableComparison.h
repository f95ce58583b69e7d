#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"

class RegisterAddress;
class ValueCheck;

#include <QString>
#include <QVector>

#include <functional>

// Lines up the rows an import gives with the rows read from the register,
// cell by cell at the register address the write engine uses (RegisterAddress).
// Label cells are not compared.
class TableComparison
{
public:
    struct CellPair
    {
        int row = 0;          // data row of the file's rows
        int column = 0;       // cell in that row
        unsigned registerRow = 0;
        int fieldNumber = 0;  // from 1
        int fieldIndex = -1;  // of the table's field descriptions; -1 beyond them
        bool inRegister = false; // the register has a cell there
        bool differs = false;
        // UTF-8, as the file would show it (money as 12.34 in Db tables): the
        // stored bytes themselves for every other cell.
        QByteArray registerText;
        QByteArray fileText;
    };

    // check: in the register's character sets, which decide what a value stores.
    TableComparison(const TableInfo& table, const DataRows& fileRows, const DataRows& registerRows,
                    const ValueCheck& check);

    // Every cell of the file's rows, in row and cell order.
    const QVector<CellPair>& cells() const { return m_cells; }

    // The same cells handed to visit one after another, none of them kept.
    static void forEachCell(const TableInfo& table, const DataRows& fileRows, const DataRows& registerRows,
                            const ValueCheck& check, const std::function<void(const CellPair&)>& visit);
    // The same over addresses built already of the same rows (a write run has both).
    static void forEachCell(const TableInfo& table, const DataRows& fileRows, const RegisterAddress& fileAddress,
                            const DataRows& registerRows, const RegisterAddress& registerAddress,
                            const ValueCheck& check, const std::function<void(const CellPair&)>& visit);
    // A cell of the file's rows alone, as a listing of what the file writes
    // shows it: no register's side, no array of its own.
    struct FileCell
    {
        int row = 0;
        int column = 0;
        unsigned registerRow = 0;
        int fieldNumber = 0;
        bool marked = false; // the import writes it
        // UTF-8, as fileBytes gives it; valid while the cell is visited.
        const char* text = nullptr;
        int size = 0;
    };
    // Every cell of the file's rows, in the order and at the places forEachCell has.
    static void forEachFileCell(const TableInfo& table, const DataRows& fileRows, const RegisterAddress& fileAddress,
                                const std::function<void(const FileCell&)>& visit);
    // The pair forEachCell hands for one cell of the file's rows, made again
    // from the same rows, so that a caller need not keep the pairs it marks;
    // whether the cell differs is what that walk found (it costs the
    // register's encoding of both values to find again).
    static CellPair pairAt(const TableInfo& table, const DataRows& fileRows, const RegisterAddress& fileAddress,
                           const DataRows& registerRows, const RegisterAddress& registerAddress, int row, int column,
                           bool differs);
    QVector<CellPair> differences() const;

    // The text of a stored value as the file shows it.
    static QString fileForm(const TableInfo& table, int fieldIndex, const QByteArray& stored);
    // The same as UTF-8 bytes: a text ends at its first zero byte.
    static QByteArray fileBytes(const TableInfo& table, int fieldIndex, const QByteArray& stored);
    // Whether two stored values mean the same to the register: the same text,
    // or the same bytes when the write encodes them ("007" is 7, a barcode's
    // leading zeros and a text's guillemets change nothing).
    static bool sameValue(const ValueCheck& check, const FieldInfo& field, const QByteArray& a, const QByteArray& b);

private:
    // The field and the texts of a pair whose row, column and register row
    // are set; the register's cell, or null.
    static const Cell* fillPlace(CellPair& pair, const TableInfo& table, const QByteArray& fileValue,
                                 const RegisterAddress& fileAddress, const DataRow* registerCells);

    QVector<CellPair> m_cells;
};
