#include "JournalCommand.h"

#include "CliFailure.h"
#include "CsvLine.h"

#include "journal/JournalFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace {

const QString SerialOption = QStringLiteral("serial");
const QString JsonOption = QStringLiteral("json");

QString timeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

// An element of the listing's array, as an indented document of the whole would show it.
QByteArray indentedJson(const QJsonObject& object)
{
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented).trimmed();
    text.replace('\n', "\n    ");
    return "    " + text;
}

QString joined(const QVector<unsigned>& numbers)
{
    QStringList texts;
    for (const unsigned number : numbers)
        texts << QString::number(number);
    return texts.join(QLatin1Char(' '));
}

// A write's line of the listing, from the index.
QStringList listed(const JournalFolder::WritePlace& place)
{
    QStringList fields{place.id, timeText(place.time), place.program + QLatin1Char(' ') + place.version,
                       place.serialNumber, joined(place.listedTables()), QString::number(place.cellCount)};
    const QVector<unsigned> unconfirmed = place.unconfirmedTables();
    if (!unconfirmed.isEmpty())
        fields << JournalRecord::unconfirmedNote() + QStringLiteral(": ") + joined(unconfirmed);
    return fields;
}

// The same from the write's records, for a write whose first record in the
// journal is not the first it was made of.
QStringList listed(const RecordedWrite& write)
{
    const JournalRecord& first = write.first();
    QStringList fields{write.id(), timeText(first.time), first.program + QLatin1Char(' ') + first.version,
                       first.serialNumber, write.tableNumbers().join(QLatin1Char(' ')),
                       QString::number(write.cellCount())};
    if (!write.unconfirmed.isEmpty())
        fields << JournalRecord::unconfirmedNote() + QStringLiteral(": ") + write.unconfirmedTableNumbers().join(QLatin1Char(' '));
    return fields;
}

} // namespace

QString JournalCommand::summary() const
{
    return QStringLiteral("Журнал изменений: записи в ККТ, сначала новые: \"запись\";\"время\";\"программа\";"
                          "\"заводской номер\";\"таблицы\";\"ячеек\". С номером записи — её ячейки: "
                          "\"таблица\";\"ряд\";\"поле\";\"название поля\";\"было\";\"стало\". Таблица, "
                          "фиксация которой не подтверждена (программа прервана, исход неизвестен), отмечена "
                          "последним полем \"таблица могла быть записана\".");
}

void JournalCommand::describe(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("WRITE"), QStringLiteral("Номер записи (необязательно)."),
                                 QStringLiteral("[WRITE]"));
    parser.addOption({SerialOption, QStringLiteral("Только записи ККТ с этим заводским номером."),
                      QStringLiteral("N")});
    parser.addOption({JsonOption, QStringLiteral("Вывести в формате JSON, с ячейками каждой записи.")});
}

QJsonObject JournalCommand::toJson(const RecordedWrite& write)
{
    QJsonArray tables;
    for (const JournalRecord& record : write.records()) {
        QJsonArray cells;
        for (const JournalRecord::CellChange& cell : record.cells)
            cells.append(JournalRecord::cellToJson(cell));
        QJsonObject table{{QStringLiteral("table"), qint64(record.tableNumber)},
                          {QStringLiteral("tableName"), record.tableName},
                          {QStringLiteral("time"), timeText(record.time)},
                          {QStringLiteral("cells"), cells}};
        if (!record.confirmed) {
            table.insert(QStringLiteral("confirmed"), false);
            table.insert(QStringLiteral("note"), JournalRecord::unconfirmedNote());
        }
        tables.append(table);
    }
    const JournalRecord& first = write.first();
    return QJsonObject{{QStringLiteral("write"), write.id()},
                       {QStringLiteral("time"), timeText(first.time)},
                       {QStringLiteral("program"), first.program},
                       {QStringLiteral("version"), first.version},
                       {QStringLiteral("modelCode"), first.modelCode},
                       {QStringLiteral("modelName"), first.modelName},
                       {QStringLiteral("serialNumber"), first.serialNumber},
                       {QStringLiteral("cellCount"), write.cellCount()},
                       {QStringLiteral("tables"), tables}};
}

void JournalCommand::reportProblems(const QStringList& problems)
{
    for (const QString& problem : problems)
        m_console.err(QStringLiteral("Предупреждение: ") + problem);
}

void JournalCommand::execute(const QCommandLineParser& parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        usageError(QStringLiteral("Нужен не более чем один номер записи, указано: %1").arg(positional.size()));
    const QString serial = parser.value(SerialOption);
    const bool json = parser.isSet(JsonOption);
    const JournalFolder journal;

    if (positional.isEmpty()) {
        QStringList problems;
        if (json) {
            // One write at a time: a journal of any size is listed in the memory of its largest write.
            const QList<JournalFolder::WritePlace> places = journal.writePlaces(serial, &problems);
            reportProblems(problems);
            m_console.data("[");
            QByteArray pending; // the comma goes after an element that has a next one
            for (const JournalFolder::WritePlace& place : places) {
                const RecordedWrite write = journal.load(place);
                if (write.isEmpty())
                    continue;
                if (!pending.isEmpty())
                    m_console.data(pending + ',');
                pending = indentedJson(toJson(write));
            }
            if (!pending.isEmpty())
                m_console.data(pending);
            m_console.data("]");
            return;
        }
        // From the index: the cells are checked and counted, none kept.
        const QList<JournalFolder::WritePlace> places = journal.writePlaces(serial, &problems);
        reportProblems(problems);
        // Newest first by the time of each write's first record, as RecordedWrite::first() finds it.
        struct Line
        {
            QDateTime time;
            int order;
            QStringList fields;
        };
        QVector<Line> lines;
        for (const JournalFolder::WritePlace& place : places) {
            if (place.inOrder) {
                lines.append({place.time, place.order, listed(place)});
                continue;
            }
            const RecordedWrite write = journal.load(place);
            if (!write.isEmpty())
                lines.append({write.first().time, place.order, listed(write)});
        }
        std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
            return a.time != b.time ? a.time > b.time : a.order > b.order;
        });
        for (const Line& line : qAsConst(lines))
            m_console.out(CsvLine::of(line.fields));
        return;
    }

    const RecordedWrite write = journal.findWrite(positional.first(), serial);
    if (write.isEmpty())
        throw CliFailure(Refused, QStringLiteral("В журнале изменений нет записи %1").arg(positional.first()));
    if (json) {
        m_console.out(QString::fromUtf8(QJsonDocument(toJson(write)).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    for (const JournalRecord& record : write.records()) {
        for (const JournalRecord::CellChange& cell : record.cells) {
            QStringList fields{QString::number(record.tableNumber), QString::number(cell.row),
                               QString::number(cell.field), cell.fieldName, QString::fromUtf8(cell.before),
                               QString::fromUtf8(cell.after)};
            if (!record.confirmed)
                fields << JournalRecord::unconfirmedNote();
            m_console.out(CsvLine::of(fields));
        }
    }
}
