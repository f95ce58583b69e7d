#pragma once

#include "TableWriteRun.h"

#include "flows/ImportFiles.h"

#include <QVector>

#include <memory>
#include <vector>

class ProgressReporter;
class RegisterLink;

// The write runs of an import, one per file over the file's rows, with what
// the register holds read for every file before anything is written.
class ImportRuns
{
public:
    // files: checked by ImportFiles::load; they must outlive the runs.
    ImportRuns(const RegisterLink& link, QVector<ImportFiles::File>& files);

    // Reads what the register holds for every file, as `what` asks. Raises
    // FlowFailure: Refused naming every file whose marked rows the register's
    // table lacks; DriverFailed, naming the file, when a read fails. Progress,
    // when given, hears the whole tables read.
    void read(ImportFiles::RegisterRead what, ProgressReporter* progress = nullptr);

    TableWriteRun& run(int k) { return *m_runs.at(size_t(k)); }

    // What the register on link holds for each file, read before anything is
    // written; for RowsOnly, empty rows. Raises what read raises.
    static QVector<DataRows> readRegister(const RegisterLink& link, const QVector<ImportFiles::File>& files,
                                          ImportFiles::RegisterRead what, ProgressReporter* progress = nullptr);

private:
    QVector<ImportFiles::File>& m_files;
    std::vector<std::unique_ptr<TableWriteRun>> m_runs;
};
