// Any bytes as the model description file of model 57.
#include "FuzzEnvironment.h"

#include "model/TableInfo.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzEnvironment::writeFile(QStringLiteral("57.json"), data, size);
    QList<TableInfo> tables;
    QString errorText;
    const int result = TableInfo::readTablesInfo(57, tables, errorText, FuzzEnvironment::scratchDir(),
                                                 [] { return 25; });
    if (result != 0 && result != 5 && result != 155) {
        std::fprintf(stderr, "unexpected loader result %d\n", result);
        std::abort();
    }
    if (result != 0 && errorText.isEmpty()) {
        std::fprintf(stderr, "refused without a reason\n");
        std::abort();
    }
    // Whatever was accepted must be usable by the engines: each field's row
    // width is one a register field can have. Two tables may share a number
    // (a register may describe one table twice); the export guards the file names.
    if (result == 0) {
        for (const TableInfo& table : tables) {
            for (const FieldInfo& field : table.fields)
                if (field.rowWidth() < 0 || field.rowWidth() > FieldInfo::LongestText) {
                    std::fprintf(stderr, "row width %d accepted\n", field.rowWidth());
                    std::abort();
                }
        }
    }
    return 0;
}
