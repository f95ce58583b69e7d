#include "ImportRuns.h"

#include "flows/FlowFailure.h"

#include <QStringList>

ImportRuns::ImportRuns(const RegisterLink& link, QVector<ImportFiles::File>& files)
    : m_files(files)
{
    for (ImportFiles::File& file : files)
        m_runs.push_back(std::make_unique<TableWriteRun>(link, file.table, file.rows));
}

void ImportRuns::read(ImportFiles::RegisterRead what, ProgressReporter* progress)
{
    using RegisterRead = ImportFiles::RegisterRead;
    QStringList refusals;
    QVector<FlowFailure::Place> places;
    for (int k = 0; k < m_files.size(); ++k) {
        const QString& path = m_files.at(k).path;
        try {
            switch (what) {
            case RegisterRead::WholeTables:
                run(k).read(TableWriteRun::Before::WholeTable, progress);
                break;
            case RegisterRead::WrittenCells:
                run(k).read(TableWriteRun::Before::WrittenCells);
                break;
            case RegisterRead::RowsOnly:
                run(k).checkRows();
                break;
            }
        } catch (const FlowFailure& failure) {
            const QString line = QStringLiteral("%1: %2").arg(path, failure.message());
            if (failure.kind() != FlowFailure::Refused)
                throw FlowFailure(failure.kind(), line, {FlowFailure::Place{line, path, 0, QString()}});
            // The file's data row, from 1, where the run knows it.
            const int fileRow = failure.places().isEmpty() ? 0 : failure.places().first().row;
            refusals << line;
            places << FlowFailure::Place{line, path, fileRow, QString()};
        }
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')), places);
}

QVector<DataRows> ImportRuns::readRegister(const RegisterLink& link, const QVector<ImportFiles::File>& files,
                                           ImportFiles::RegisterRead what, ProgressReporter* progress)
{
    QVector<ImportFiles::File> ownFiles = files;
    ImportRuns runs(link, ownFiles);
    runs.read(what, progress);
    QVector<DataRows> read;
    for (int k = 0; k < ownFiles.size(); ++k)
        read.append(runs.run(k).registerRows());
    return read;
}
