#include "ReportCommand.h"

#include "CliFailure.h"
#include "ReportFile.h"

#include "journal/JournalFolder.h"
#include "report/WriteReport.h"

#include <QJsonArray>

#include <algorithm>

namespace {

const QString SinceOption = QStringLiteral("since");
const QString SerialOption = QStringLiteral("serial");
const QString OutputOption = QStringLiteral("o");

QDateTime sinceTime(const QString& text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0), Qt::LocalTime);
    return time;
}


} // namespace

QString ReportCommand::summary() const
{
    return QStringLiteral("Отчёт о настройке ККТ в файл HTML (для печати и отправки): ККТ, время, программа и "
                          "пользователь каждой записи, изменённые ячейки с значениями до и после, как их показывают "
                          "вкладки, и итоги. Записи выбираются номерами или --since.");
}

void ReportCommand::describe(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("WRITE"), QStringLiteral("Номера записей журнала изменений."),
                                 QStringLiteral("[WRITE...]"));
    parser.addOption({SinceOption,
                      QStringLiteral("Все записи начиная с этого времени (2024-05-01 или 2024-05-01T10:00:00Z)."),
                      QStringLiteral("TIME")});
    parser.addOption({SerialOption, QStringLiteral("Записи ККТ с этим заводским номером."), QStringLiteral("N")});
    parser.addOption({{OutputOption, QStringLiteral("output")}, QStringLiteral("Файл отчёта (HTML)."),
                      QStringLiteral("FILE.html")});
    addJsonOption(parser);
}

void ReportCommand::execute(const QCommandLineParser& parser)
{
    const QStringList ids = parser.positionalArguments();
    const bool since = parser.isSet(SinceOption);
    if (ids.isEmpty() && !since)
        usageError(QStringLiteral("Не указаны записи: их номера или --since"));
    if (!parser.isSet(OutputOption) || parser.value(OutputOption).isEmpty())
        usageError(QStringLiteral("Не указан файл отчёта: -o FILE.html"));
    const QDateTime from = since ? sinceTime(parser.value(SinceOption)) : QDateTime();
    if (since && !from.isValid())
        usageError(QStringLiteral("Время --since не распознано: %1").arg(parser.value(SinceOption)));
    const QString path = parser.value(OutputOption);
    ReportFile::requireTarget(path);

    // The heads only: each chosen write's cells are read once, as it goes into the report.
    const JournalFolder journal;
    QStringList problems;
    QList<JournalFolder::WritePlace> places = journal.indexWrites(parser.value(SerialOption), &problems);
    for (const QString& problem : problems)
        m_console.err(QStringLiteral("Предупреждение: ") + problem);
    QList<JournalFolder::WritePlace> chosen;
    for (const JournalFolder::WritePlace& place : places) {
        if ((since && place.time >= from) || ids.contains(place.id))
            chosen.append(place);
    }
    for (const QString& id : ids) {
        if (std::none_of(chosen.cbegin(), chosen.cend(), [&id](const JournalFolder::WritePlace& p) { return p.id == id; }))
            throw CliFailure(Refused, QStringLiteral("В журнале изменений нет записи %1").arg(id));
    }
    if (chosen.isEmpty())
        throw CliFailure(Refused, QStringLiteral("В журнале изменений нет записей с %1").arg(parser.value(SinceOption)));
    QStringList serials;
    for (const JournalFolder::WritePlace& place : chosen) {
        if (!serials.contains(place.serialNumber))
            serials << place.serialNumber;
    }
    std::sort(serials.begin(), serials.end());
    if (serials.size() > 1) {
        throw CliFailure(Refused, QStringLiteral("Записи сделаны в разных ККТ (%1): отчёт составляется об одной, "
                                                 "укажите --serial")
                                      .arg(serials.join(QStringLiteral(", "))));
    }
    std::reverse(chosen.begin(), chosen.end()); // the oldest first, as they were made

    // The register as its newest write found it.
    const RecordedWrite newest = journal.load(chosen.last());
    if (newest.isEmpty())
        throw CliFailure(Refused, QStringLiteral("Запись %1: её строки в журнале повреждены").arg(chosen.last().id));
    WriteReport report(WriteReport::identityOf(newest.first()), WriteReport::descriptionOf(newest.first()));
    QJsonArray writes;
    for (int i = 0; i < chosen.size(); ++i) {
        const RecordedWrite write = i + 1 == chosen.size() ? newest : journal.load(chosen.at(i));
        if (write.isEmpty())
            throw CliFailure(Refused, QStringLiteral("Запись %1: её строки в журнале повреждены").arg(chosen.at(i).id));
        report.add(write);
        writes.append(write.id());
    }
    ReportFile::write(path, report.finish());
    if (JsonReport* json = jsonReport()) {
        json->set(QStringLiteral("file"), path);
        json->set(QStringLiteral("writes"), writes);
        json->set(QStringLiteral("table_count"), report.tableCount());
        json->set(QStringLiteral("cell_count"), report.cellCount());
    } else {
        m_console.out(path);
    }
    m_console.err(QStringLiteral("Отчёт: записей %1, таблиц %2, ячеек %3")
                      .arg(report.writeCount())
                      .arg(report.tableCount())
                      .arg(report.cellCount()));
}
