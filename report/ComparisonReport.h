#pragma once

#include "ReportDocument.h"

#include "flows/SnapshotPairComparison.h"
#include "snapshot/SnapshotManifest.h"

#include <QString>
#include <QStringList>

// "Сравнение снимков ККТ": the two snapshots (register, time) and, per table,
// the cells in which they differ with both values as the tabs show them,
// with the count per table and in all. Each table goes into the document as
// it is compared.
class ComparisonReport
{
public:
    ComparisonReport(const QString& firstPath, const SnapshotManifest& first, const QString& secondPath,
                     const SnapshotManifest& second);

    // A table as the comparison hands it over (SnapshotPairComparison::TableCompared).
    void addTable(const TableInfo& table, const DataRows& firstRows, const DataRows& secondRows,
                  const SnapshotPairComparison::TableDifferences& differences);

    // The document with the tables not compared and the totals; call once, at the end.
    QString finish(const QStringList& notCompared);

private:
    ReportDocument m_document;
    int m_tables = 0;
    int m_cells = 0;
};
