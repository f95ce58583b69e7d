#include "BenchSupport.h"

#include "device/KKT_Logic.h"
#include "journal/JournalFolder.h"
#include "journal/JournalRecord.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace BenchSupport {

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void silenceLog()
{
    qInstallMessageHandler(dropMessages);
}

QString findInTree(const QString& relative)
{
    QDir dir(QCoreApplication::applicationDirPath());
    for (int i = 0; i < 6; ++i) {
        const QString candidate = dir.filePath(relative);
        if (QFile::exists(candidate))
            return candidate;
        if (!dir.cdUp())
            break;
    }
    return QString();
}

QString modelsDirectory()
{
    const QString besideProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/models");
    if (QFile::exists(besideProgram + QStringLiteral("/57.json")))
        return besideProgram;
    return QFileInfo(findInTree(QStringLiteral("models/57.json"))).path();
}

bool writeScaledImage(const QString& source, const QString& target, int rows)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    QJsonArray tables = root.value(QStringLiteral("tables")).toArray();
    for (int t = 0; t < tables.size(); ++t) {
        QJsonObject table = tables.at(t).toObject();
        if (table.value(QStringLiteral("id")).toInt() != 1)
            continue;
        const QJsonArray goods = table.value(QStringLiteral("rows")).toArray();
        if (goods.isEmpty())
            return false;
        QJsonArray scaled;
        for (int r = 0; r < rows; ++r) {
            // Codes, names, barcodes and stock differ from row to row as in a
            // real base; prices, taxes and departments repeat.
            QJsonArray row = goods.at(r % goods.size()).toArray();
            row[0] = QJsonObject{{QStringLiteral("bcd"), r + 1}};
            const QString name = row[1].toObject().value(QStringLiteral("text")).toString();
            row[1] = QJsonObject{{QStringLiteral("text"), QStringLiteral("%1 %2").arg(name, QString::number(r + 1))}};
            row[3] = QJsonObject{{QStringLiteral("bcd"), 4600000000000.0 + r}};
            row[6] = QJsonObject{{QStringLiteral("uint"), (r * 37) % 1000}};
            scaled.append(row);
        }
        table.insert(QStringLiteral("rows"), scaled);
        tables[t] = table;
    }
    root.insert(QStringLiteral("tables"), tables);
    root.insert(QStringLiteral("faults"), QJsonArray());
    QFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) > 0;
}

bool installScaledImage(const QTemporaryDir& dir, const QString& source, int rows)
{
    const QString image = dir.filePath(QStringLiteral("register-image.json"));
    if (source.isEmpty() || !writeScaledImage(source, image, rows)) {
        std::fprintf(stderr, "cannot build the register image from '%s'\n", qPrintable(source));
        return false;
    }
    qputenv("TILLO10_EMULATOR", image.toLocal8Bit());
    qunsetenv("TILLO10_TRACE");
    return true;
}

bool installScaledRegister(int argc, char** argv, int defaultRows, const QTemporaryDir& dir, ScaledRegister& scaled)
{
    scaled.rows = argc > 1 ? std::atoi(argv[1]) : defaultRows;
    const QString source = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : findInTree(QStringLiteral("driver/default-image.json"));
    return installScaledImage(dir, source, scaled.rows)
        && loadCommodityBase(modelsDirectory(), scaled.tables, scaled.commodities);
}

bool loadCommodityBase(const QString& modelsDir, QList<TableInfo>& tables, TableInfo& commodities)
{
    QString error;
    if (TableInfo::readTablesInfo(57, tables, error, modelsDir, [] { return 25; }) != 0) {
        std::fprintf(stderr, "model description: %s\n", qPrintable(error));
        return false;
    }
    for (const TableInfo& t : qAsConst(tables)) {
        if (t.id == 1)
            commodities = t;
    }
    return true;
}

bool openRegister(KKT_Logic& logic)
{
    logic.connect();
    if (logic.openAndIdentify(nullptr, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "open: %s\n", qPrintable(logic.lastErrorText()));
        return false;
    }
    return true;
}

DataRows commodityRows(const TableInfo& table, int count)
{
    DataRows rows;
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        DataRow row;
        for (const FieldInfo& field : table.fields) {
            switch (field.m_guiType) {
            case FieldInfo::List:
                row << Cell(field.m_items.empty() ? QByteArray("0") : QByteArray::number(field.m_items.begin()->first));
                break;
            case FieldInfo::String:
                row << Cell(QStringLiteral("Товар номер %1").arg(r + 1).toUtf8());
                break;
            case FieldInfo::Money:
                row << Cell(QByteArray::number(1990 + r % 5000));
                break;
            default:
                row << Cell(QByteArray::number(r + 1));
                break;
            }
        }
        row << Cell(QByteArray::number(r + 1));
        rows << row;
    }
    return rows;
}

bool writeJournal(const QString& folder, const QString& serial, qint64 bytes, int cellsPerRecord)
{
    if (!QDir().mkpath(folder))
        return false;
    QFile file(JournalFolder(folder).filePath(serial));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    JournalRecord record;
    record.program = QStringLiteral("vescor-cli");
    record.version = QStringLiteral("bench");
    record.modelCode = 57;
    record.modelName = QStringLiteral("Вескор-Эмулятор 57");
    record.serialNumber = serial;
    record.tableNumber = 1;
    record.tableName = QStringLiteral("База товаров");
    for (int i = 1; i <= cellsPerRecord; ++i)
        record.cells.append({unsigned(i), 3, QStringLiteral("Название"), "Товар " + QByteArray(120, 'a'),
                             "Товар " + QByteArray(120, 'b')});
    QByteArray chunk;
    qint64 written = 0;
    for (qint64 n = 0; written + chunk.size() < bytes; ++n) {
        record.time = QDateTime::fromSecsSinceEpoch(1700000000 + n, Qt::UTC);
        record.writeId = QStringLiteral("w%1").arg(n);
        chunk += record.toJsonLine() + '\n';
        if (chunk.size() > (4 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            written += chunk.size();
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace BenchSupport
