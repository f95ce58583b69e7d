#include "SnapshotCommand.h"

#include "CellLine.h"
#include "CliFailure.h"
#include "ReportFile.h"
#include "CountSentence.h"
#include "CsvLine.h"
#include "DriverSession.h"
#include "TableChoice.h"
#include "ProgressLine.h"
#include "ReadOnlyNote.h"

#include "common/Product.h"
#include "common/RussianPlural.h"
#include "device/KKT_Logic.h"
#include "flows/SnapshotPairComparison.h"
#include "journal/JournalFolder.h"
#include "report/ComparisonReport.h"
#include "runs/RegisterSnapshot.h"
#include "journal/JournalSession.h"
#include "snapshot/SnapshotReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

#include <unistd.h>

namespace {

const QString TablesOption = QStringLiteral("tables");
const QString DryRunOption = QStringLiteral("dry-run");
const QString OtherModelOption = QStringLiteral("other-model");
const QString OtherRegisterOption = QStringLiteral("other-register");
const QString HtmlOption = QStringLiteral("html");
const QStringList Actions = {QStringLiteral("save"), QStringLiteral("show"), QStringLiteral("diff"),
                             QStringLiteral("restore")};

// A differing cell as the JSON report lists one: "before" the first file's value, "after" the second's.
TableComparison::CellPair asPair(const SnapshotPairComparison::Cell& cell)
{
    TableComparison::CellPair pair;
    pair.registerRow = cell.registerRow;
    pair.fieldNumber = cell.fieldNumber;
    pair.fieldIndex = cell.fieldIndex;
    pair.inRegister = cell.firstRow >= 0;
    pair.differs = true;
    pair.registerText = cell.firstText;
    pair.fileText = cell.secondText;
    return pair;
}

RegisterSnapshot::Permissions permissionsOf(const QCommandLineParser& parser)
{
    return {parser.isSet(OtherModelOption), parser.isSet(OtherRegisterOption)};
}

// The numbers of the snapshot's tables that --tables chooses; empty for all.
// Listed numbers go to the restore, which refuses those the snapshot lacks;
// of a kind of tables, those the snapshot holds, and at least one.
QVector<unsigned> chosenTables(const QCommandLineParser& parser, const SnapshotReader& snapshot,
                               const QList<TableInfo>& description)
{
    if (!parser.isSet(TablesOption))
        return {};
    const TableChoice choice(parser.value(TablesOption));
    QVector<unsigned> numbers;
    for (const TableInfo& table : choice.select(description)) {
        if (choice.listsNumbers() || snapshot.manifest().table(table.id))
            numbers.append(table.id);
    }
    if (numbers.isEmpty()) {
        throw CliFailure(Refused, QStringLiteral("В снимке %1 нет ни одной из выбранных таблиц (--tables %2)")
                                      .arg(snapshot.path(), parser.value(TablesOption)));
    }
    return numbers;
}

} // namespace

QString SnapshotCommand::summary() const
{
    return QStringLiteral(
        "Снимок ККТ в одном файле (архив ZIP с файлами CSV таблиц и описанием manifest.json). "
        "save FILE — прочитать таблицы и сохранить снимок; show FILE — описание снимка; diff FILE — ячейки, в "
        "которых ККТ и снимок расходятся (\"таблица\";\"ряд\";\"поле\";\"значение в ККТ\";\"значение в снимке\", "
        "код выхода 1, если расходятся; ячейки только для чтения не сравниваются); diff A B — ячейки, в которых расходятся два снимка (\"значение в A\";"
        "\"значение в B\"); restore FILE — проверить все таблицы снимка и записать в ККТ "
        "отличающиеся ячейки (прежнее состояние ККТ сохраняется в снимок рядом с журналом изменений); ячейки только "
        "для чтения не записываются, а перечисляются: \"не записано: только для чтения\".");
}

void SnapshotCommand::describe(QCommandLineParser& parser)
{
    setActions(Actions);
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("save, show, diff или restore."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Файл снимка (для diff — один или два)."));
    addActionOption(parser,
                    {TablesOption,
                     QStringLiteral("какие таблицы: all (все, по умолчанию), commodities (база товаров), "
                                    "others (все, кроме базы товаров) или номера через запятую; restore отклоняет номер "
                                    "таблицы, которой нет в снимке."),
                     QStringLiteral("all|commodities|others|N,N..."), QStringLiteral("all")},
                    {QStringLiteral("save"), QStringLiteral("restore")});
    addActionOption(parser,
                    {DryRunOption,
                     QStringLiteral("ничего не записывать; вывести ячейки, которые были бы записаны: "
                                    "\"таблица\";\"ряд\";\"поле\";\"значение в ККТ\";\"значение в снимке\".")},
                    {QStringLiteral("restore")});
    addActionOption(parser,
                    {OtherModelOption,
                     QStringLiteral("принять снимок ККТ другой модели; переносятся только таблицы с тем же описанием.")},
                    {QStringLiteral("restore"), QStringLiteral("diff")});
    addActionOption(parser, {OtherRegisterOption, QStringLiteral("записать снимок ККТ с другим заводским номером.")},
                    {QStringLiteral("restore")});
    addActionOption(parser,
                    {HtmlOption,
                     QStringLiteral("при двух снимках (diff A B) записать также отчёт о сравнении в файл HTML (для "
                                    "печати и отправки)."),
                     QStringLiteral("FILE.html")},
                    {QStringLiteral("diff")});
    addJsonOption(parser);
}

void SnapshotCommand::execute(const QCommandLineParser& parser)
{
    const QStringList positional = parser.positionalArguments();
    const QString action = positional.at(0);
    const int most = action == QLatin1String("diff") ? 3 : 2;
    if (positional.size() < 2 || positional.size() > most)
        usageError(positional.size() < 2 ? QStringLiteral("Не указан файл снимка")
                   : most == 3           ? QStringLiteral("Нужны один или два файла снимка, указано: %1").arg(positional.size() - 1)
                                         : QStringLiteral("Нужен один файл снимка, указано: %1").arg(positional.size() - 1));
    if (parser.isSet(HtmlOption) && positional.size() != 3)
        usageError(QStringLiteral("--html пишет отчёт о сравнении двух снимков: diff A B --html FILE.html"));
    const QString path = positional.at(1);
    if (JsonReport* report = jsonReport())
        report->set(QStringLiteral("action"), action);
    if (positional.size() == 3)
        diffFiles(parser, path, positional.at(2));
    else if (action == QLatin1String("save"))
        save(parser, path);
    else if (action == QLatin1String("show"))
        show(path);
    else if (action == QLatin1String("diff"))
        diff(parser, path);
    else
        restore(parser, path);
}

void SnapshotCommand::save(const QCommandLineParser& parser, const QString& path)
{
    const TableChoice choice(parser.value(TablesOption));
    RegisterSnapshot::checkSaveTarget(path);
    DriverSession session(settingsOption(parser));
    const QList<TableInfo> selection = choice.select(session.reg().openWithDescription());
    ProgressLine progress(STDERR_FILENO, quiet());
    const SnapshotManifest manifest =
        RegisterSnapshot::save(path, session.reg(), selection, product::shellProgramName(), &progress);
    progress.clear();
    unsigned cells = 0;
    for (const SnapshotManifest::Table& table : manifest.tables)
        cells += table.cells;
    if (JsonReport* report = jsonReport())
        report->set(QStringLiteral("snapshot"), QJsonDocument::fromJson(manifest.toJson()).object());
    m_console.out(path);
    m_console.err(CountSentence::cellsInTables(QStringLiteral("Успешно"), QStringLiteral("сохранена"),
                                               QStringLiteral("сохранено"), cells, qulonglong(manifest.tables.size())));
}

void SnapshotCommand::show(const QString& path)
{
    const SnapshotReader reader(path);
    const SnapshotManifest& manifest = reader.manifest();
    if (JsonReport* report = jsonReport()) {
        report->set(QStringLiteral("snapshot"), QJsonDocument::fromJson(manifest.toJson()).object());
        return;
    }
    const RegisterIdentity& identity = manifest.identity;
    m_console.out(QStringLiteral("Снимок: %1\nСделан: %2 UTC, %3 %4\nМодель: %5 (%6)\nЗаводской номер: %7\n"
                                 "Версия ПО: %8 (конфигурация %9)")
                      .arg(path, manifest.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), manifest.program,
                           manifest.version, QString::number(identity.modelCode), identity.modelName,
                           identity.serialNumber, identity.firmware, QString::number(manifest.configuration)));
    m_console.out(CsvLine::of({QStringLiteral("таблица"), QStringLiteral("название"), QStringLiteral("рядов"),
                               QStringLiteral("ячеек"), QStringLiteral("файл"), QStringLiteral("SHA-256")}));
    for (const SnapshotManifest::Table& table : manifest.tables) {
        m_console.out(CsvLine::of({QString::number(table.number), table.name, QString::number(table.rows),
                                   QString::number(table.cells), table.file, table.sha256}));
    }
}

void SnapshotCommand::diff(const QCommandLineParser& parser, const QString& path)
{
    SnapshotReader reader(path);
    DriverSession session(settingsOption(parser));
    session.reg().openWithDescription();
    const RegisterSnapshot::Comparison comparison =
        RegisterSnapshot::compare(reader, session.reg(), permissionsOf(parser));
    for (const QString& skipped : comparison.skipped)
        m_console.err(QStringLiteral("Пропущена %1").arg(skipped));
    JsonReport* report = jsonReport();
    CellLine line;
    for (const RegisterSnapshot::TableDifferences& table : comparison.tables) {
        for (const TableComparison::CellPair& cell : table.cells) {
            m_console.outUtf8(
                line.of(table.table.id, cell.registerRow, cell.fieldNumber, {cell.registerText, cell.fileText}));
        }
        if (report)
            report->addTable(path, table.table, table.cells, true);
    }
    const int count = comparison.differenceCount();
    if (report)
        report->set(QStringLiteral("different"), count > 0);
    if (count > 0) {
        m_console.err(QStringLiteral("Снимок и ККТ расходятся в %1")
                          .arg(RussianPlural::count(qulonglong(count), QStringLiteral("ячейке"),
                                                    QStringLiteral("ячейках"), QStringLiteral("ячейках"))));
        m_exitStatus = Refused;
    }
}

void SnapshotCommand::diffFiles(const QCommandLineParser& parser, const QString& first, const QString& second)
{
    if (parser.isSet(HtmlOption))
        ReportFile::requireTarget(parser.value(HtmlOption));
    const std::unique_ptr<SnapshotReader> a = RegisterSnapshot::open(first);
    const std::unique_ptr<SnapshotReader> b = RegisterSnapshot::open(second);
    std::unique_ptr<ComparisonReport> html;
    if (parser.isSet(HtmlOption))
        html = std::make_unique<ComparisonReport>(first, a->manifest(), second, b->manifest());
    SnapshotPairComparison::TableCompared toReport;
    if (html) {
        toReport = [&html](const TableInfo& table, const DataRows& firstRows, const DataRows& secondRows,
                           const SnapshotPairComparison::TableDifferences& differences) {
            html->addTable(table, firstRows, secondRows, differences);
        };
    }
    const SnapshotPairComparison::Result result =
        SnapshotPairComparison::compare(*a, *b, KKT_Logic::charsets(), parser.isSet(OtherModelOption), toReport);
    if (html)
        ReportFile::write(parser.value(HtmlOption), html->finish(result.onlyInOne + result.skipped));
    for (const QString& skipped : result.skipped)
        m_console.err(QStringLiteral("Пропущена %1").arg(skipped));
    for (const QString& table : result.onlyInOne)
        m_console.err(QStringLiteral("Не сравнивалась %1").arg(table));
    JsonReport* report = jsonReport();
    CellLine line;
    for (const SnapshotPairComparison::TableDifferences& table : result.tables) {
        QVector<TableComparison::CellPair> pairs;
        for (const SnapshotPairComparison::Cell& cell : table.cells) {
            m_console.outUtf8(line.of(table.table.id, cell.registerRow, cell.fieldNumber, {cell.firstText, cell.secondText}));
            if (report)
                pairs.append(asPair(cell));
        }
        if (report)
            report->addTable(second, table.table, pairs, true);
    }
    const int count = result.differenceCount();
    if (report) {
        report->set(QStringLiteral("different"), !result.same());
        report->set(QStringLiteral("only_in_one"), QJsonArray::fromStringList(result.onlyInOne));
    }
    if (count > 0) {
        m_console.err(QStringLiteral("Снимки расходятся в %1")
                          .arg(RussianPlural::count(qulonglong(count), QStringLiteral("ячейке"),
                                                    QStringLiteral("ячейках"), QStringLiteral("ячейках"))));
    }
    if (!result.same())
        m_exitStatus = Refused;
}

void SnapshotCommand::restore(const QCommandLineParser& parser, const QString& path)
{
    const bool dryRun = parser.isSet(DryRunOption);
    SnapshotReader reader(path);
    DriverSession session(settingsOption(parser));
    const QList<TableInfo>& description = session.reg().openWithDescription();
    const QVector<unsigned> tables = chosenTables(parser, reader, description);
    const JournalFolder journal;
    JournalSession writeJournal(product::shellProgramName(), session.reg().identity(), journal);
    ProgressLine progress(STDERR_FILENO, quiet());
    const RegisterSnapshot::Restore result =
        RegisterSnapshot::restore(reader, session.reg(), writeJournal, permissionsOf(parser), tables, dryRun,
                                  RegisterSnapshot::undoDirectory(journal.directory()), progress);
    progress.clear();
    for (const QString& skipped : result.comparison.skipped)
        m_console.err(QStringLiteral("Пропущена %1").arg(skipped));
    JsonReport* report = jsonReport();
    CellLine line;
    for (const RegisterSnapshot::TableDifferences& table : result.comparison.tables) {
        for (const TableComparison::CellPair& cell : table.readOnly)
            m_console.err(ReadOnlyNote::notWritten(table.table, cell));
        if (dryRun) {
            for (const TableComparison::CellPair& cell : table.cells) {
                m_console.outUtf8(
                    line.of(table.table.id, cell.registerRow, cell.fieldNumber, {cell.registerText, cell.fileText}));
            }
        }
        if (report)
            report->addTable(path, table.table, table.cells, true);
    }
    if (report) {
        report->set(QStringLiteral("dry_run"), dryRun);
        report->setChanged(result.cellsWritten > 0);
        report->set(QStringLiteral("undo_snapshot"), result.undoSnapshot.isEmpty() ? QJsonValue()
                                                                                   : QJsonValue(result.undoSnapshot));
    }
    m_console.out(CountSentence::cellsInTables(dryRun ? QStringLiteral("Будет") : QStringLiteral("Успешно"),
                                               QStringLiteral("записана"), QStringLiteral("записано"),
                                               result.cellsWritten, result.tablesWritten));
    if (!result.undoSnapshot.isEmpty())
        m_console.err(QStringLiteral("ККТ до восстановления сохранена в снимке %1").arg(result.undoSnapshot));
    if (!writeJournal.warnings().isEmpty())
        m_console.err(QStringLiteral("Предупреждение: ") + writeJournal.warningText());
}
