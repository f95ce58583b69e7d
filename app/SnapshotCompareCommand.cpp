#include "SnapshotCompareCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"
#include "SnapshotChoice.h"

#include "common/Product.h"
#include "common/RussianPlural.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/SnapshotPairComparison.h"
#include "runs/RegisterSnapshot.h"
#include "snapshot/SnapshotReader.h"
#include "table/TableModel.h"

#include <QObject>

#include <memory>

void SnapshotCompareCommand::run()
{
    if (!m_host.confirmDiscardChanges())
        return;
    const QStringList paths = SnapshotChoice::filesToOpen(m_host, QObject::tr("Сравнить со снимком ККТ"));
    if (paths.size() == 1)
        compareWithRegister(paths.first());
    else if (paths.size() == 2)
        compareFiles(paths.at(0), paths.at(1));
    else if (paths.size() > 2)
        m_host.showError(QStringLiteral("Выбрано снимков: %1. Выберите один снимок, чтобы сравнить его с ККТ, или "
                                        "два, чтобы сравнить их между собой.")
                             .arg(paths.size()));
}

void SnapshotCompareCommand::compareWithRegister(const QString& path)
{
    // A comparison that fails leaves the tabs it found; one the user cuts
    // short keeps the tabs of the tables it compared.
    m_host.keepTabsAside();
    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет сравнение"));
    busy.offerCancel();
    RegisterSession session(KKT_Logic::instance());
    RegisterSnapshot::Comparison comparison;
    try {
        const std::unique_ptr<SnapshotReader> reader = RegisterSnapshot::open(path);
        m_host.setShownRegister(session.open());
        session.loadDescription();
        RegisterSnapshot::Permissions permissions;
        if (!SnapshotChoice::allowCompare(m_host, reader->manifest(), session.identity(), permissions)) {
            m_host.putBackTabs();
            m_host.setStatusText(QStringLiteral("Операция была отменена"));
            return;
        }
        // Each table gets its tab as soon as it is compared; a cut-short
        // comparison leaves the tabs of the tables compared before.
        comparison = RegisterSnapshot::compare(
            *reader, session, permissions, &busy,
            [this](const TableInfo& table, const DataRows& rows, const QVector<RegisterSnapshot::SnapshotValue>& differing) {
                m_host.addTableTab(table, rows);
                QVector<StoredCell> values;
                for (const RegisterSnapshot::SnapshotValue& value : differing)
                    values.append({value.row, value.column, value.value});
                m_host.tableModels().last()->setSnapshotValues(values);
            });
    } catch (const FlowFailure& failure) {
        keepOrPutBack(failure);
        m_host.reportFailure(failure);
        return;
    }
    m_host.dropKeptTabs();
    session.close();

    const int count = comparison.differenceCount();
    m_host.setStatusText(count == 0 ? QStringLiteral("ККТ совпадает со снимком")
                                    : QStringLiteral("Снимок и ККТ расходятся в %1")
                                          .arg(RussianPlural::count(qulonglong(count), QStringLiteral("ячейке"),
                                                                    QStringLiteral("ячейках"),
                                                                    QStringLiteral("ячейках"))));
    const RegisterIdentity shown = m_host.shownRegister();
    m_host.setInfoText(QStringLiteral("%1, %2").arg(shown.modelName, shown.serialNumber));
    if (!comparison.skipped.isEmpty()) {
        MessageBox::warning(m_host.dialogParent(), product::displayName(),
                            QStringLiteral("Не сравнивались:\n%1").arg(comparison.skipped.join(QLatin1Char('\n'))));
    }
}

void SnapshotCompareCommand::compareFiles(const QString& first, const QString& second)
{
    m_host.keepTabsAside();
    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет сравнение"));
    SnapshotPairComparison::Result result;
    RegisterIdentity shown;
    try {
        const std::unique_ptr<SnapshotReader> a = RegisterSnapshot::open(first);
        const std::unique_ptr<SnapshotReader> b = RegisterSnapshot::open(second);
        shown = a->manifest().identity;
        RegisterSnapshot::Permissions permissions;
        if (!SnapshotChoice::allowCompareFiles(m_host, a->manifest(), b->manifest(), permissions)) {
            m_host.putBackTabs();
            m_host.setStatusText(QStringLiteral("Операция была отменена"));
            return;
        }
        m_host.setShownRegister(shown);
        result = SnapshotPairComparison::compare(
            *a, *b, KKT_Logic::charsets(), permissions.otherModel,
            [this](const TableInfo& table, const DataRows& firstRows, const DataRows& secondRows,
                   const SnapshotPairComparison::TableDifferences& differences) {
                m_host.addTableTab(table, firstRows);
                QVector<StoredCell> values;
                for (const SnapshotPairComparison::Cell& cell : differences.cells) {
                    if (cell.firstRow >= 0) {
                        values.append({cell.firstRow, cell.column,
                                       cell.secondRow >= 0 ? secondRows.at(cell.secondRow).at(cell.column).value
                                                           : QByteArray()});
                    }
                }
                TableModel* model = m_host.tableModels().last();
                // The tabs hold a file's rows, as after an import: what the register holds is not known.
                model->forgetRegisterRows();
                model->setSnapshotValues(values);
            });
    } catch (const FlowFailure& failure) {
        keepOrPutBack(failure);
        m_host.reportFailure(failure);
        return;
    }
    m_host.dropKeptTabs();

    const int count = result.differenceCount();
    m_host.setStatusText(count == 0 ? QStringLiteral("Снимки совпадают")
                                    : QStringLiteral("Снимки расходятся в %1")
                                          .arg(RussianPlural::count(qulonglong(count), QStringLiteral("ячейке"),
                                                                    QStringLiteral("ячейках"),
                                                                    QStringLiteral("ячейках"))));
    m_host.setInfoText(QStringLiteral("%1 (%2, %3) и %4")
                           .arg(FileCommandTexts::fileNameOf(first), shown.modelName, shown.serialNumber,
                                FileCommandTexts::fileNameOf(second)));
    const QStringList notCompared = result.onlyInOne + result.skipped;
    if (!notCompared.isEmpty()) {
        MessageBox::warning(m_host.dialogParent(), product::displayName(),
                            QStringLiteral("Не сравнивались:\n%1").arg(notCompared.join(QLatin1Char('\n'))));
    }
}

void SnapshotCompareCommand::keepOrPutBack(const FlowFailure& failure)
{
    if (failure.kind() == FlowFailure::Cancelled)
        m_host.dropKeptTabs();
    else
        m_host.putBackTabs();
}
