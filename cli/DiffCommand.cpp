#include "DiffCommand.h"

#include "CellLine.h"
#include "CliFailure.h"
#include "DriverSession.h"
#include "ProgressLine.h"
#include "common/RussianPlural.h"
#include "device/ValueCheck.h"
#include "exchange/CsvExchange.h"
#include "exchange/CsvValueError.h"
#include "flows/FlowFailure.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"

#include <unistd.h>

QString DiffCommand::summary() const
{
    return QStringLiteral("Ячейки, в которых файл CSV и ККТ расходятся, по одной в строке: "
                          "\"таблица\";\"ряд\";\"поле\";\"значение в ККТ\";\"значение в файле\". "
                          "Ничего не выводится, если расхождений нет. Код выхода 0, если ККТ совпадает с файлом, "
                          "1, если они расходятся. Ячейки только для чтения (их импорт не записывает) не сравниваются.");
}

void DiffCommand::describe(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Файл CSV одной таблицы."));
    addEncodingOption(parser, QStringLiteral("Кодировка файлов: utf-8 или windows-1251. Без параметра файл, который не является "
                                     "правильным UTF-8, читается как windows-1251 (так сохраняет CSV табличный "
                                     "редактор в русской Windows)."));
    addJsonOption(parser);
}

void DiffCommand::execute(const QCommandLineParser& parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        usageError(positional.isEmpty() ? QStringLiteral("Не указан файл")
                                        : QStringLiteral("Нужен один файл, указано: %1").arg(positional.size()));
    const FileEncoding::Choice encoding = encodingOption(parser);

    DriverSession session(settingsOption(parser));
    const QList<TableInfo>& tables = session.reg().openWithDescription();

    const QString path = positional.first();
    CsvExchange exchange(session.reg().link().charsets());
    exchange.setEncoding(encoding);
    TableInfo table;
    DataRows fileRows;
    try {
        fileRows = exchange.importTable(path, tables, table);
    } catch (const CsvValueError& error) {
        throw FlowFailure(FlowFailure::Refused, error.message(),
                          {FlowFailure::Place{error.message(), path, error.row(), error.field()}});
    } catch (const RunTimeError& error) {
        throw FlowFailure(FlowFailure::Refused, error.message(), {FlowFailure::Place{error.message(), path, 0, QString()}});
    }
    if (!exchange.encodingNote().isEmpty())
        m_console.err(QStringLiteral("%1: %2").arg(path, exchange.encodingNote()));
    // A file without cells would show no differences, as if it matched the register.
    if (fileRows.isEmpty()) {
        throw CliFailure(ExitCode::Refused,
                         QStringLiteral("%1: файл не содержит ни одной ячейки таблицы \"%2\", сравнивать нечего")
                             .arg(path, table.name));
    }
    unsigned cellsRead = 0;
    DataRows registerRows;
    {
        ProgressLine progress(STDERR_FILENO, quiet());
        registerRows = TableReader::read(session.reg().link(), table, cellsRead, &progress);
    }

    const TableComparison comparison(table, fileRows, registerRows, ValueCheck(session.reg().link().charsets()));
    // A cell that an import of the file leaves unmarked is read-only, one
    // that no import writes: it is no difference.
    QVector<TableComparison::CellPair> differences;
    CellLine line;
    for (const TableComparison::CellPair& cell : comparison.differences()) {
        if (!fileRows.at(cell.row).at(cell.column).changed)
            continue;
        differences.append(cell);
        m_console.outUtf8(line.of(table.id, cell.registerRow, cell.fieldNumber, {cell.registerText, cell.fileText}));
    }
    if (JsonReport* report = jsonReport()) {
        // A diff writes nothing: "changed" stays false, "different" tells.
        report->set(QStringLiteral("different"), !differences.isEmpty());
        report->addTable(path, table, differences, true);
    }
    // Drift is what a script asks diff about: it shows in the exit status.
    if (!differences.isEmpty()) {
        m_console.err(QStringLiteral("Файл и ККТ расходятся в %1")
                          .arg(RussianPlural::count(qulonglong(differences.size()), QStringLiteral("ячейке"),
                                                    QStringLiteral("ячейках"), QStringLiteral("ячейках"))));
        m_exitStatus = Refused;
    }
}
