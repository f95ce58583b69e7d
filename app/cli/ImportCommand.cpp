#include "ImportCommand.h"

#include "CliFailure.h"
#include "CsvLine.h"
#include "DriverSession.h"
#include "TableComparison.h"
#include "TableReader.h"

#include "app/BusyIndicator.h"
#include "common/Errors.h"
#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"

namespace {

const QString DryRunOption = QStringLiteral("dry-run");
const QString OnlyDifferentOption = QStringLiteral("only-different");

struct ImportedFile
{
    QString path;
    TableInfo table;
    DataRows rows;
};

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
    const RegisterIdentification identification = session.identify();

    // Every file is read and checked before anything is written.
    QVector<ImportedFile> files;
    CsvExchange exchange;
    for (const QString& path : paths) {
        ImportedFile file;
        file.path = path;
        try {
            file.rows = exchange.importTable(path, identification.tables(), file.table);
        } catch (const RunTimeError& error) {
            throw CliFailure(Refused, QStringLiteral("%1: %2").arg(path, error.message()));
        }
        files.append(file);
    }

    KKT_Logic& logic = KKT_Logic::instance();
    unsigned cellsWritten = 0;
    unsigned tablesWritten = 0;
    for (ImportedFile& file : files) {
        DataRows registerRows;
        if (onlyDifferent) {
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
        BusyIndicator progress{QString()};
        QString errorText;
        const int result = logic.writeTableData(file.table, file.rows, cellsWritten, progress, errorText);
        if (result == -1)
            throw CliFailure(Refused, QStringLiteral("%1: %2").arg(file.path, errorText));
        if (result != 0)
            throw CliFailure(DriverFailure, QStringLiteral("%1: %2").arg(file.path, logic.lastErrorText()));
        if (cellsWritten > before)
            ++tablesWritten;
        m_console.err(QStringLiteral("%1: записано ячеек: %2").arg(file.path).arg(cellsWritten - before));
    }

    if (dryRun) {
        m_console.out(QStringLiteral("Будет записано %1 ячеек в %2 таблицах").arg(cellsWritten).arg(tablesWritten));
        return;
    }
    m_console.out(QStringLiteral("Успешно записано %1 ячеек в %2 таблицах").arg(cellsWritten).arg(tablesWritten));
}
