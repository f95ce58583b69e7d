#include "ExportCommand.h"

#include "CliFailure.h"
#include "CountSentence.h"
#include "DriverSession.h"
#include "ProgressLine.h"
#include "TableChoice.h"

#include "exchange/CsvExchange.h"
#include "exchange/ExportFileName.h"
#include "flows/TableReader.h"

#include <QDir>

#include <unistd.h>

namespace {

const QString TablesOption = QStringLiteral("tables");

} // namespace

QString ExportCommand::summary() const
{
    return QStringLiteral("Прочитать таблицы из ККТ и записать каждую в файл CSV в каталоге DIR "
                          "(<заводской номер>_<номер таблицы>.csv). На стандартный вывод — имена записанных файлов.");
}

void ExportCommand::describe(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("Каталог для файлов (создается, если его нет)."));
    parser.addOption({TablesOption,
                      QStringLiteral("Какие таблицы: all (все, по умолчанию), commodities (база товаров), others (все, "
                                     "кроме базы товаров) или номера через запятую."),
                      QStringLiteral("all|commodities|others|N,N..."), QStringLiteral("all")});
    addEncodingOption(parser,
                      QStringLiteral("Кодировка файлов: utf-8 или windows-1251 (для табличного редактора в русской "
                                     "Windows; таблица со значением, которого в ней нет, не записывается). Без "
                                     "параметра — кодировка системы (UTF-8, если в ней нет нужных знаков)."));
}

void ExportCommand::execute(const QCommandLineParser& parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        usageError(positional.isEmpty() ? QStringLiteral("Не указан каталог")
                                        : QStringLiteral("Нужен один каталог, указано: %1").arg(positional.size()));
    const QString dir = QDir::cleanPath(positional.first());
    const TableChoice choice(parser.value(TablesOption));
    const FileEncoding::Choice encoding = encodingOption(parser);

    DriverSession session(settingsOption(parser));
    const QList<TableInfo> selection = choice.select(session.reg().openWithDescription());
    ExportFileName files(dir, session.reg().identity().serialNumber);
    QStringList paths;
    for (const TableInfo& table : selection) {
        paths.append(files.next(table.id));
        CsvExchange::requireExportTarget(paths.last());
    }

    // Every table is read before any file is written: a failed read leaves
    // the directory as it was.
    QList<DataRows> tablesRows;
    unsigned cellsRead = 0;
    ProgressLine progress(STDERR_FILENO, quiet());
    for (const TableInfo& table : selection) {
        tablesRows.append(TableReader::read(session.reg().link(), table, cellsRead, &progress));
        progress.clear();
        m_console.err(QStringLiteral("Прочитано таблиц: %1 из %2, ячеек: %3")
                          .arg(tablesRows.size())
                          .arg(selection.size())
                          .arg(cellsRead));
    }

    if (!QDir().mkpath(dir))
        throw CliFailure(Refused, QStringLiteral("Не удалось создать каталог %1").arg(dir));
    CsvExchange exchange;
    exchange.setEncoding(encoding);
    for (int i = 0; i < selection.size(); ++i) {
        exchange.exportTable(paths.at(i), selection.at(i), tablesRows.at(i));
        m_console.out(paths.at(i));
    }
    m_console.err(CountSentence::cellsInTables(QStringLiteral("Успешно"), QStringLiteral("прочитана"),
                                               QStringLiteral("прочитано"), cellsRead, qulonglong(selection.size())));
}
