#include "ImportCommand.h"

#include "CellLine.h"
#include "CountSentence.h"
#include "DriverSession.h"
#include "ProgressLine.h"
#include "ReadOnlyNote.h"

#include "common/Product.h"
#include "device/ValueCheck.h"
#include "exchange/CsvExchange.h"
#include "flows/FlowFailure.h"
#include "flows/ImportFiles.h"
#include "flows/TableComparison.h"
#include "journal/JournalSession.h"
#include "runs/ImportRuns.h"
#include "runs/TableWriteRun.h"

#include <unistd.h>

#include <memory>
#include <vector>

namespace {

const QString DryRunOption = QStringLiteral("dry-run");
const QString OnlyDifferentOption = QStringLiteral("only-different");

// The files read, left for the end of the process to take back whole: a
// large table's rows are hundreds of thousands of small arrays, and freeing
// them one by one costs half as much as listing them. They stay reachable
// from here, so no leak check counts them. A failure frees them as usual.
void leaveToExit(std::unique_ptr<QVector<ImportFiles::File>> files)
{
    static auto* const left = new std::vector<std::unique_ptr<QVector<ImportFiles::File>>>();
    left->push_back(std::move(files));
}

} // namespace

QString ImportCommand::summary() const
{
    return QStringLiteral("Загрузить файлы CSV в их таблицы ККТ и записать (одна фиксация на таблицу). Все файлы "
                          "проверяются до записи: при ошибке в любом из них ничего не записывается.");
}

void ImportCommand::describe(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("FILE..."), QStringLiteral("Файлы CSV, по одной таблице в каждом."));
    parser.addOption({DryRunOption,
                      QStringLiteral("Ничего не записывать; вывести ячейки, которые были бы записаны: "
                                     "\"таблица\";\"ряд\";\"поле\";\"значение\".")});
    parser.addOption({OnlyDifferentOption,
                      QStringLiteral("Сначала прочитать таблицу и записать только ячейки, значение которых "
                                     "отличается от значения в ККТ.")});
    addEncodingOption(parser, QStringLiteral("Кодировка файлов: utf-8 или windows-1251. Без параметра файл, который не является "
                                     "правильным UTF-8, читается как windows-1251 (так сохраняет CSV табличный "
                                     "редактор в русской Windows)."));
    addJsonOption(parser);
}

void ImportCommand::execute(const QCommandLineParser& parser)
{
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        usageError(QStringLiteral("Не указан файл"));
    const bool dryRun = parser.isSet(DryRunOption);
    const bool onlyDifferent = parser.isSet(OnlyDifferentOption);
    const FileEncoding::Choice encoding = encodingOption(parser);

    JsonReport* report = jsonReport();
    if (report) {
        report->set(QStringLiteral("dry_run"), dryRun);
        report->set(QStringLiteral("only_different"), onlyDifferent);
    }

    DriverSession session(settingsOption(parser));
    const QList<TableInfo>& tables = session.reg().openWithDescription();

    // Every file is read and checked before anything is written.
    auto loaded = std::make_unique<QVector<ImportFiles::File>>(
        ImportFiles::load(paths, tables, session.reg().link().charsets(), encoding));
    QVector<ImportFiles::File>& files = *loaded;
    for (const ImportFiles::File& file : qAsConst(files)) {
        if (!file.encodingNote.isEmpty())
            m_console.err(QStringLiteral("%1: %2").arg(file.path, file.encodingNote));
        if (file.ignoredLines > 0)
            m_console.err(QStringLiteral("%1: %2").arg(file.path, CsvExchange::ignoredLinesNote(file.ignoredLines)));
    }

    // The register is read for every file before anything is written: the
    // whole table to compare with, or the cells to be written (the journal's
    // "before" and the report's). A listing of the file's values alone needs
    // none of them, only the rows. A row the register lacks stops the import
    // here, dry run or not.
    using RegisterRead = ImportFiles::RegisterRead;
    RegisterRead registerRead = RegisterRead::WrittenCells;
    if (onlyDifferent)
        registerRead = RegisterRead::WholeTables;
    else if (dryRun && !report)
        registerRead = RegisterRead::RowsOnly;
    ImportRuns runs(session.reg().link(), files);
    {
        ProgressLine progress(STDERR_FILENO, quiet());
        runs.read(registerRead, &progress);
    }

    JournalSession journal(product::shellProgramName(), session.reg().identity());
    unsigned cellsWritten = 0;
    unsigned tablesWritten = 0;
    const ValueCheck check(session.reg().link().charsets());
    CellLine line;
    for (int k = 0; k < files.size(); ++k) {
        const ImportFiles::File& file = files.at(k);
        TableWriteRun& run = runs.run(k);
        // The cells the import writes: those marked, and with --only-different
        // only those the register holds otherwise.
        // Kept as places alone: a large table marks hundreds of thousands of
        // cells, and the report makes each pair again once the table is written.
        struct MarkedCell
        {
            int row;
            int column;
            bool differs;
        };
        QVector<MarkedCell> marked;
        int markedCount = 0;
        // The cells the import leaves as read-only: with --only-different
        // those that differ, each named; otherwise, uncompared, counted.
        QStringList readOnly;
        int readOnlyCount = 0;
        const auto reportTable = [&] {
            report->addTable(file.path, file.table, marked.size(), [&](int i) {
                const MarkedCell& cell = marked.at(i);
                return TableComparison::pairAt(file.table, file.rows, run.address(), run.registerRows(),
                                               run.registerAddress(), cell.row, cell.column, cell.differs);
            }, true);
            report->setChanged(cellsWritten > 0);
        };
        // A dry run's line of a cell the import would write.
        const auto list = [&](unsigned registerRow, int fieldNumber, const char* text, int size) {
            // The file's values, and so their lines, were looked at whole when it was read.
            const CsvRecordWriter::Buffer& shown = line.of(file.table.id, registerRow, fieldNumber, text, size);
            if (file.printableValues)
                m_console.outPrintableUtf8(shown.data(), shown.size());
            else
                m_console.outUtf8(shown.data(), shown.size());
        };
        const auto take = [&](const TableComparison::CellPair& cell) {
            if (!file.rows.at(cell.row).at(cell.column).changed) {
                if (!onlyDifferent) {
                    ++readOnlyCount;
                } else if (cell.differs) {
                    ++readOnlyCount;
                    readOnly << ReadOnlyNote::notWritten(file.table, cell);
                }
                return;
            }
            if (onlyDifferent && !cell.differs)
                return;
            ++markedCount;
            if (dryRun)
                list(cell.registerRow, cell.fieldNumber, cell.fileText.constData(), cell.fileText.size());
            if (report)
                marked.append({cell.row, cell.column, cell.differs});
        };
        if (registerRead == RegisterRead::RowsOnly) {
            // Nothing of the register to compare with: the file's cells alone,
            // each marked one listed, the others counted as read-only.
            TableComparison::forEachFileCell(file.table, file.rows, run.address(),
                                             [&](const TableComparison::FileCell& cell) {
                                                 if (!cell.marked) {
                                                     ++readOnlyCount;
                                                     return;
                                                 }
                                                 ++markedCount;
                                                 list(cell.registerRow, cell.fieldNumber, cell.text, cell.size);
                                             });
        } else {
            TableComparison::forEachCell(file.table, file.rows, run.address(), run.registerRows(),
                                         run.registerAddress(), check, take);
        }
        if (onlyDifferent)
            run.unmarkHeld();
        if (!readOnly.isEmpty())
            m_console.err(readOnly.join(QLatin1Char('\n')));
        else if (readOnlyCount > 0)
            m_console.err(ReadOnlyNote::notWrittenCount(file.path, readOnlyCount));

        if (dryRun) {
            cellsWritten += unsigned(markedCount);
            tablesWritten += markedCount == 0 ? 0 : 1;
            if (report) {
                reportTable();
            }
            continue;
        }

        const unsigned before = cellsWritten;
        ProgressLine progress(STDERR_FILENO, quiet());
        try {
            // A cell the register already holds as the file has it costs no request.
            run.write(journal, TableWriteRun::Send::Differing, cellsWritten, progress);
            progress.clear();
        } catch (const FlowFailure& failure) {
            progress.clear();
            if (!journal.warnings().isEmpty())
                m_console.err(QStringLiteral("Предупреждение: ") + journal.warningText());
            const QString message = QStringLiteral("%1: %2").arg(file.path, failure.message());
            throw FlowFailure(failure.kind(), message, {FlowFailure::Place{message, file.path, 0, QString()}});
        }
        if (cellsWritten > before)
            ++tablesWritten;
        // Tables committed before a later failure stay changed.
        if (report) {
            reportTable();
        }
        m_console.err(QStringLiteral("%1: записано ячеек: %2").arg(file.path, QString::number(cellsWritten - before)));
    }

    leaveToExit(std::move(loaded));
    if (dryRun) {
        m_console.out(CountSentence::cellsInTables(QStringLiteral("Будет"), QStringLiteral("записана"),
                                                   QStringLiteral("записано"), cellsWritten, tablesWritten));
        return;
    }
    m_console.out(CountSentence::cellsInTables(QStringLiteral("Успешно"), QStringLiteral("записана"),
                                               QStringLiteral("записано"), cellsWritten, tablesWritten));
    if (!journal.warnings().isEmpty())
        m_console.err(QStringLiteral("Предупреждение: ") + journal.warningText());
}
