#include "ComparisonReport.h"

#include "model/ShownText.h"

namespace {

QString shownValue(const TableInfo& table, int fieldIndex, const DataRows& rows, int row, int column)
{
    if (row < 0)
        return QStringLiteral("нет");
    const QByteArray& stored = rows.at(row).at(column).value;
    if (fieldIndex < 0 || fieldIndex >= table.fields.size())
        return QString::fromUtf8(stored);
    return ShownText::of(table.fields.at(fieldIndex), stored);
}

} // namespace

ComparisonReport::ComparisonReport(const QString& firstPath, const SnapshotManifest& first, const QString& secondPath,
                                   const SnapshotManifest& second)
    : m_document(QStringLiteral("Сравнение снимков ККТ"))
{
    const SnapshotManifest* manifests[] = {&first, &second};
    const QString paths[] = {firstPath, secondPath};
    const QString captions[] = {QStringLiteral("Первый снимок"), QStringLiteral("Второй снимок")};
    for (int i = 0; i < 2; ++i) {
        m_document.addRegister(captions[i], manifests[i]->identity);
        m_document.addFacts(QStringLiteral("snapshot"),
                            {{QStringLiteral("Файл"), paths[i]},
                             {QStringLiteral("Сделан"),
                              manifests[i]->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))}},
                            {QStringLiteral("file"), QStringLiteral("time")});
    }
}

void ComparisonReport::addTable(const TableInfo& table, const DataRows& firstRows, const DataRows& secondRows,
                                const SnapshotPairComparison::TableDifferences& differences)
{
    ++m_tables;
    m_cells += differences.cells.size();
    m_document.addHeading(3, QStringLiteral("Таблица %1 «%2»").arg(table.id).arg(table.name),
                          QStringLiteral("table-title"));
    if (differences.cells.isEmpty()) {
        m_document.addParagraph(QStringLiteral("Снимки совпадают"), QStringLiteral("table-total"));
        return;
    }
    m_document.beginTable(QStringLiteral("cells"), {QStringLiteral("Ряд"), QStringLiteral("Поле"),
                                                    QStringLiteral("В первом снимке"), QStringLiteral("Во втором снимке")});
    static const QStringList Classes = {QStringLiteral("row"), QStringLiteral("field"), QStringLiteral("before"),
                                        QStringLiteral("after")};
    for (const SnapshotPairComparison::Cell& cell : differences.cells) {
        const QString caption = cell.fieldIndex >= 0 ? table.fields.at(cell.fieldIndex).m_name : QString();
        m_document.addRow(Classes,
                          {QString::number(cell.registerRow),
                           caption.isEmpty() ? QString::number(cell.fieldNumber)
                                             : QStringLiteral("%1. %2").arg(cell.fieldNumber).arg(caption),
                           shownValue(table, cell.fieldIndex, firstRows, cell.firstRow, cell.column),
                           shownValue(table, cell.fieldIndex, secondRows, cell.secondRow, cell.column)});
    }
    m_document.endTable();
    m_document.addParagraph(QStringLiteral("Отличается ячеек в таблице: %1").arg(differences.cells.size()),
                            QStringLiteral("table-total"));
}

QString ComparisonReport::finish(const QStringList& notCompared)
{
    if (!notCompared.isEmpty()) {
        m_document.addHeading(2, QStringLiteral("Не сравнивались"));
        for (const QString& table : notCompared)
            m_document.addParagraph(table, QStringLiteral("not-compared"));
    }
    m_document.addHeading(2, QStringLiteral("Итого"));
    m_document.addFacts(QStringLiteral("totals"),
                        {{QStringLiteral("Таблиц сравнено"), QString::number(m_tables)},
                         {QStringLiteral("Ячеек отличается"), QString::number(m_cells)}},
                        {QStringLiteral("total-tables"), QStringLiteral("total-cells")});
    return m_document.html();
}
