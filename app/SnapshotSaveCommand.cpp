#include "SnapshotSaveCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"
#include "SnapshotChoice.h"

#include "common/Product.h"
#include "device/KKT_Logic.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "runs/RegisterSnapshot.h"

void SnapshotSaveCommand::run()
{
    const QString path = SnapshotChoice::fileToSave(m_host);
    if (path.isEmpty())
        return;
    try {
        RegisterSnapshot::checkSaveTarget(path);
    } catch (const FlowFailure& failure) {
        m_host.reportFailure(failure);
        return;
    }
    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет чтение"));
    busy.offerCancel();
    RegisterSession session(KKT_Logic::instance());
    SnapshotManifest manifest;
    try {
        const QList<TableInfo>& tables = session.openWithDescription();
        manifest = RegisterSnapshot::save(path, session, tables, product::applicationName(), &busy);
    } catch (const FlowFailure& failure) {
        m_host.reportFailure(failure);
        return;
    }
    session.close();
    unsigned cells = 0;
    for (const SnapshotManifest::Table& table : manifest.tables)
        cells += table.cells;
    m_host.setStatusText(QStringLiteral("Снимок %1 сохранен: %2 ячеек в %3 таблицах")
                             .arg(FileCommandTexts::fileNameOf(path))
                             .arg(cells)
                             .arg(manifest.tables.size()));
}
