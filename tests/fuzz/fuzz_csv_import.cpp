// Any bytes as a CSV file imported against the default model description.
#include "FuzzEnvironment.h"

#include "common/Errors.h"
#include "device/RowLabel.h"
#include "device/KKT_Logic.h"
#include "device/ValueCheck.h"
#include "exchange/CsvExchange.h"
#include "model/TableInfo.h"

#include <QSet>

#include <cstdio>
#include <cstdlib>

namespace {

QList<TableInfo> s_tables;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    QString errorText;
    const int result = TableInfo::readTablesInfo(57, s_tables, errorText, QStringLiteral(VESCOR_SOURCE_DIR "/models"),
                                                 [] { return 25; });
    if (result != 0 || s_tables.isEmpty())
        fail("the default model description does not load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzEnvironment::writeFile(QStringLiteral("import.csv"), data, size);
    TableInfo matched;
    DataRows rows;
    try {
        rows = CsvExchange(KKT_Logic::charsets()).importTable(path, s_tables, matched);
    } catch (const RunTimeError&) {
        return 0; // refused with a message: fine
    }
    // An accepted file gives rows in the shape of the matched table's layout.
    bool known = false;
    for (const TableInfo& table : s_tables)
        known = known || table.id == matched.id;
    if (!known)
        fail("matched a table that is not in the description");
    const int fields = matched.fields.size();
    switch (matched.type) {
    case Db:
        for (const DataRow& row : rows)
            if (row.size() != fields + 1)
                fail("a db row is not one cell per field plus its label");
        break;
    case List:
        if (rows.size() != 1 || rows.first().size() != fields)
            fail("a list table is not one row of one cell per field");
        break;
    case TransposedList:
        if (rows.size() != fields)
            fail("a transposed table is not one row per field");
        for (const DataRow& row : rows)
            if (row.size() != 1)
                fail("a transposed row is not one cell");
        break;
    default:
        if (!rows.isEmpty())
            fail("a plain table gave rows");
    }
    // Every value taken can be stored in its field; no Db row comes twice.
    QSet<QByteArray> labels;
    const ValueCheck check(KKT_Logic::charsets());
    for (int r = 0; r < rows.size(); ++r) {
        const DataRow& row = rows.at(r);
        for (int c = 0; c < row.size(); ++c) {
            const bool label = matched.type == Db && c == fields;
            if (!label && !check.accepts(matched.fields.at(matched.type == TransposedList ? r : c), row.at(c).value))
                fail("a value that its field cannot hold was accepted");
        }
        if (matched.type == Db && (labels.contains(row.last().value) || RowLabel::registerRow(row) == 0))
            fail("a db row without its own register row was accepted");
        if (matched.type == Db)
            labels.insert(row.last().value);
    }
    if (rows.size() > 65536)
        fail("more rows than a register table has");
    return 0;
}
