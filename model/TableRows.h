#pragma once

class TableInfo;

// The rows of a table as its description gives them.
namespace TableRows {

// The most rows a table holds: one without row captions is read up to the
// register's end, at most that many.
constexpr int Max = 65536;

// Whether the description gives the table's rows (row captions, or the fields
// of a TransposedList); else the register's end tells them.
bool described(const TableInfo& table);

// The rows a read of the table expects: one per row caption, one per field of
// a TransposedList, else Max.
int expected(const TableInfo& table);

} // namespace TableRows
