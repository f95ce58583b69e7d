#include "SnapshotTableRows.h"

#include "FlowFailure.h"
#include "ImportFiles.h"

#include "common/Errors.h"
#include "exchange/ImportLimits.h"
#include "snapshot/SnapshotReader.h"

DataRows SnapshotTableRows::load(SnapshotReader& snapshot, const SnapshotManifest::Table& entry,
                                 const TableInfo& table, const RegisterCharsets& charsets)
{
    QString extracted;
    try {
        extracted = snapshot.extract(entry, ImportLimits::fileBytes(QList<TableInfo>{table}));
        return ImportFiles::load({extracted}, {table}, charsets).first().rows;
    } catch (const RunTimeError& error) {
        throw FlowFailure(FlowFailure::Refused, error.message());
    } catch (const FlowFailure& failure) {
        const QString inside = snapshot.path() + QLatin1Char('/') + entry.file;
        QVector<FlowFailure::Place> places = failure.places();
        for (FlowFailure::Place& place : places) {
            place.message.replace(extracted, inside);
            place.file = inside;
        }
        throw FlowFailure(failure.kind(), QString(failure.message()).replace(extracted, inside), places);
    }
}
