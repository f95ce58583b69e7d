#include "SnapshotCompareCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "SnapshotChoice.h"

#include "common/Product.h"
#include "common/RussianPlural.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "runs/RegisterSnapshot.h"
#include "snapshot/SnapshotReader.h"
#include "table/TableModel.h"

#include <QObject>

#include <memory>

void SnapshotCompareCommand::run()
{
    if (!m_host.confirmDiscardChanges())
        return;
    const QString path = SnapshotChoice::fileToOpen(m_host, QObject::tr("Сравнить со снимком ККТ"));
    if (path.isEmpty())
        return;
    m_host.clearTabs();
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
        m_host.reportFailure(failure);
        return;
    }
    session.close();

    m_host.setWriteEnabled(true);
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
