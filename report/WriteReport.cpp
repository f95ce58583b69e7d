#include "WriteReport.h"

#include "device/KKT_Logic.h"
#include "model/ShownText.h"

#include <QDebug>

namespace {

QString timeText(const QDateTime& time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
}

QString shownValue(const FieldInfo* field, const QByteArray& stored)
{
    return field ? ShownText::of(*field, stored) : QString::fromUtf8(stored);
}

} // namespace

WriteReport::WriteReport(const RegisterIdentity& identity, const QList<TableInfo>& tables)
    : m_document(QStringLiteral("Отчёт о настройке ККТ")), m_description(tables)
{
    m_document.addRegister(QStringLiteral("ККТ"), identity);
    if (tables.isEmpty()) {
        m_document.addParagraph(QStringLiteral("Описание модели ККТ не прочитано: значения показаны так, как они "
                                               "хранятся в ККТ (суммы в копейках, списки кодами)."),
                                QStringLiteral("note"));
    }
}

const TableInfo* WriteReport::described(unsigned number) const
{
    for (const TableInfo& table : m_description) {
        if (table.id == number)
            return &table;
    }
    return nullptr;
}

void WriteReport::add(const RecordedWrite& write)
{
    if (write.isEmpty())
        return;
    const JournalRecord& first = write.first();
    ++m_writes;
    m_document.beginSection(QStringLiteral("write"));
    m_document.addHeading(2, QStringLiteral("Запись %1").arg(write.id()), QStringLiteral("write-title"));
    m_document.addFacts(QStringLiteral("write"),
                        {{QStringLiteral("Время"), timeText(first.time)},
                         {QStringLiteral("Программа"), first.program + QLatin1Char(' ') + first.version},
                         {QStringLiteral("Пользователь"),
                          first.user.isEmpty() ? QStringLiteral("не записан") : first.user}},
                        {QStringLiteral("time"), QStringLiteral("program"), QStringLiteral("user")});
    int cells = 0;
    for (const JournalRecord& record : write.tables) {
        ++m_tables;
        cells += record.cells.size();
        addTable(record, QStringLiteral("Таблица %1 «%2»").arg(record.tableNumber).arg(record.tableName),
                 QStringLiteral("Изменено ячеек в таблице: %1"));
    }
    m_cells += cells;
    m_document.addParagraph(QStringLiteral("Итого по записи: таблиц %1, ячеек %2").arg(write.tables.size()).arg(cells),
                            QStringLiteral("total write-total"));
    // Tables whose commit was never confirmed are shown, not counted.
    if (!write.unconfirmed.isEmpty()) {
        int uncertain = 0;
        for (const JournalRecord& record : write.unconfirmed) {
            uncertain += record.cells.size();
            addTable(record,
                     QStringLiteral("Таблица %1 «%2»: %3").arg(record.tableNumber).arg(record.tableName, JournalRecord::unconfirmedNote()),
                     QStringLiteral("Ячеек в таблице, которая могла быть записана: %1"));
        }
        m_document.addParagraph(QStringLiteral("Могли быть записаны (фиксация не подтверждена): таблиц %1, ячеек %2")
                                    .arg(write.unconfirmed.size())
                                    .arg(uncertain),
                                QStringLiteral("write-unconfirmed"));
    }
    m_document.endSection();
}

void WriteReport::addTable(const JournalRecord& record, const QString& title, const QString& total)
{
    const TableInfo* table = described(record.tableNumber);
    m_document.addHeading(3, title, QStringLiteral("table-title"));
    m_document.beginTable(QStringLiteral("cells"),
                          {QStringLiteral("Ряд"), QStringLiteral("Поле"), QStringLiteral("Было"), QStringLiteral("Стало")});
    static const QStringList Classes = {QStringLiteral("row"), QStringLiteral("field"), QStringLiteral("before"),
                                        QStringLiteral("after")};
    for (const JournalRecord::CellChange& cell : record.cells) {
        const FieldInfo* field = table ? JournalRecord::fieldOf(*table, cell) : nullptr;
        const QString caption = !cell.fieldName.isEmpty() ? cell.fieldName : field ? field->m_name : QString();
        m_document.addRow(Classes, {QString::number(cell.row),
                                    caption.isEmpty() ? QString::number(cell.field)
                                                      : QStringLiteral("%1. %2").arg(cell.field).arg(caption),
                                    shownValue(field, cell.before), shownValue(field, cell.after)});
    }
    m_document.endTable();
    m_document.addParagraph(total.arg(record.cells.size()), QStringLiteral("table-total"));
}

QString WriteReport::finish()
{
    m_document.addHeading(2, QStringLiteral("Итого"));
    m_document.addFacts(QStringLiteral("totals"),
                        {{QStringLiteral("Записей"), QString::number(m_writes)},
                         {QStringLiteral("Таблиц"), QString::number(m_tables)},
                         {QStringLiteral("Ячеек"), QString::number(m_cells)}},
                        {QStringLiteral("total-writes"), QStringLiteral("total-tables"), QStringLiteral("total-cells")});
    return m_document.html();
}

RegisterIdentity WriteReport::identityOf(const JournalRecord& record)
{
    RegisterIdentity identity;
    identity.modelCode = record.modelCode;
    identity.modelName = record.modelName;
    identity.serialNumber = record.serialNumber;
    identity.firmware = record.firmware;
    return identity;
}

QList<TableInfo> WriteReport::descriptionOf(const JournalRecord& record)
{
    QList<TableInfo> tables;
    if (record.firmware.isEmpty())
        return tables;
    QString errorText;
    const int configuration = KKT_Logic::configurationFromVersion(record.firmware);
    if (TableInfo::readTablesInfo(uint32_t(record.modelCode), tables, errorText, [configuration] { return configuration; })
        != 0) {
        qDebug().noquote() << "WriteReport: no model description for the report:" << errorText;
        tables.clear();
    }
    return tables;
}
