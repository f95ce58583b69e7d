#include "ImportCommand.h"

#include "CountSentence.h"
#include "CsvLine.h"
#include "DriverSession.h"

#include "common/Product.h"
#include "device/ProgressReporter.h"
#include "flows/FlowFailure.h"
#include "flows/ImportFiles.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"
#include "flows/WriteJournal.h"

namespace {

const QString DryRunOption = QStringLiteral("dry-run");
const QString OnlyDifferentOption = QStringLiteral("only-different");

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
}

void ImportCommand::execute(const QCommandLineParser& parser)
{
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        usageError(QStringLiteral("Не указан файл"));
    const bool dryRun = parser.isSet(DryRunOption);
    const bool onlyDifferent = parser.isSet(OnlyDifferentOption);

    DriverSession session(settingsOption(parser));
    const QList<TableInfo>& tables = session.reg().openWithDescription();

    // Every file is read and checked before anything is written.
    QVector<ImportFiles::File> files = ImportFiles::load(paths, tables);

    WriteJournal journal(product::shellProgramName(), session.reg().identity());
    unsigned cellsWritten = 0;
    unsigned tablesWritten = 0;
    for (ImportFiles::File& file : files) {
        DataRows registerRows;
        // The journal keeps the cells' values before the write.
        if (onlyDifferent || !dryRun) {
            unsigned cellsRead = 0;
            registerRows = TableReader::read(file.table, cellsRead);
        }
        const TableComparison comparison(file.table, file.rows, registerRows);
        if (onlyDifferent) {
            for (const TableComparison::CellPair& cell : comparison.cells()) {
                if (!cell.differs)
                    file.rows[cell.row][cell.column].changed = false;
            }
        }

        if (dryRun) {
            unsigned cells = 0;
            for (const TableComparison::CellPair& cell : comparison.cells()) {
                if (!file.rows.at(cell.row).at(cell.column).changed)
                    continue;
                m_console.out(CsvLine::of({QString::number(file.table.id), QString::number(cell.registerRow),
                                           QString::number(cell.fieldNumber), cell.fileText}));
                ++cells;
            }
            cellsWritten += cells;
            tablesWritten += cells > 0 ? 1 : 0;
            continue;
        }

        const unsigned before = cellsWritten;
        ProgressReporter noProgress;
        try {
            journal.write(file.table, file.rows, registerRows, cellsWritten, noProgress);
        } catch (const FlowFailure& failure) {
            if (!journal.warnings().isEmpty())
                m_console.err(QStringLiteral("Предупреждение: ") + journal.warningText());
            throw FlowFailure(failure.kind(), QStringLiteral("%1: %2").arg(file.path, failure.message()));
        }
        if (cellsWritten > before)
            ++tablesWritten;
        m_console.err(QStringLiteral("%1: записано ячеек: %2").arg(file.path, QString::number(cellsWritten - before)));
    }

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
