// Writes the seeds of fuzz_snapshot_file into the folder its one argument
// names: small valid snapshots of the default model, made from the CSV
// seeds of fuzz_csv_import, so that the fuzzer starts from archives, a
// manifest and digests that are all right.
#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "model/TableInfo.h"
#include "snapshot/SnapshotWriter.h"

#include "common/Errors.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

const QString CsvSeeds = QStringLiteral(VESCOR_SOURCE_DIR "/tests/fuzz/corpus/fuzz_csv_import/");

void writeSnapshot(const QString& path, const QList<TableInfo>& tables, const QStringList& csvFiles)
{
    SnapshotManifest head;
    head.program = QStringLiteral("vescor-cli");
    head.version = QStringLiteral("1");
    head.time = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
    head.identity.modelCode = 57;
    head.identity.modelName = QStringLiteral("Вескор-Эмулятор 57");
    head.identity.serialNumber = QStringLiteral("0057000001");
    head.identity.firmware = QStringLiteral("3.0.25");
    head.configuration = 25;
    SnapshotWriter writer(path, head);
    for (const QString& csv : csvFiles) {
        TableInfo table;
        const DataRows rows = CsvExchange(KKT_Logic::charsets()).importTable(CsvSeeds + csv, tables, table);
        unsigned cells = 0;
        for (const DataRow& row : rows)
            cells += unsigned(table.type == Db ? row.size() - 1 : row.size()); // a Db row ends in its label
        writer.addTable(table, rows, cells);
    }
    writer.finish();
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropMessage); // the model loader's lines would fill the build's output
    if (argc != 2) {
        std::fprintf(stderr, "usage: snapshot_seeds FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QList<TableInfo> tables;
    QString errorText;
    if (TableInfo::readTablesInfo(57, tables, errorText, QStringLiteral(VESCOR_SOURCE_DIR "/models"), [] { return 25; })
        != 0) {
        std::fprintf(stderr, "%s\n", qPrintable(errorText));
        return 1;
    }
    try {
        QDir().mkpath(folder);
        writeSnapshot(folder + QStringLiteral("/tax-rates.zip"), tables, {QStringLiteral("tax-rates.csv")});
        writeSnapshot(folder + QStringLiteral("/three-tables.zip"), tables,
                      {QStringLiteral("tax-rates.csv"), QStringLiteral("cliche.csv"), QStringLiteral("goods.csv")});
        writeSnapshot(folder + QStringLiteral("/no-tables.zip"), tables, {});
    } catch (const RunTimeError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
