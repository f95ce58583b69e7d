#include "SnapshotReader.h"

#include "Sha256.h"

#include "common/Errors.h"
#include "exchange/ImportLimits.h"
#include "exchange/RegularFile.h"
#include "model/TableInfo.h"

#include <KZip> // first: the entry headers need KArchive declared
#include <KArchiveDirectory>
#include <KArchiveFile>

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <functional>

namespace {

// A manifest lists tables; no honest one comes near this.
const qint64 LargestManifest = 16 * 1024 * 1024;

// A table's file is checked against twice what its table can take at most
// (the model description of the snapshot's register says how many rows and
// fields); without that description, against what any table can take.
const qint64 SizeMargin = 2;

const KArchiveFile* fileEntry(const KZip& zip, const QString& name)
{
    const KArchiveEntry* entry = zip.directory()->entry(name);
    return entry && entry->isFile() ? static_cast<const KArchiveFile*>(entry) : nullptr;
}

// Reads an entry as far as the size its header declares, and one byte more:
// a stream that inflates past it is told apart without inflating the rest.
// False when the entry does not read, or not to its declared size.
bool readDeclared(const KArchiveFile& file, const std::function<void(const char*, qint64)>& take)
{
    std::unique_ptr<QIODevice> device(file.createDevice());
    if (!device)
        return false;
    const qint64 declared = file.size();
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 total = 0;
    while (total <= declared) {
        const qint64 read = device->read(buffer.data(), qMin<qint64>(buffer.size(), declared + 1 - total));
        if (read < 0)
            return false;
        if (read == 0)
            break;
        take(buffer.constData(), read);
        total += read;
    }
    return total == declared;
}

QHash<unsigned, qint64> largestFiles(const SnapshotManifest& manifest)
{
    QList<TableInfo> tables;
    QString errorText;
    QHash<unsigned, qint64> largest;
    const int configuration = manifest.configuration;
    if (manifest.identity.modelCode <= 0
        || TableInfo::readTablesInfo(uint32_t(manifest.identity.modelCode), tables, errorText,
                                     [configuration] { return configuration; })
            != 0)
        return largest;
    for (const TableInfo& table : tables) {
        if (!largest.contains(table.id))
            largest.insert(table.id, SizeMargin * ImportLimits::fileBytes(QList<TableInfo>{table}));
    }
    return largest;
}

} // namespace

SnapshotReader::SnapshotReader(const QString& path) : m_path(path), m_file(std::make_unique<QFile>())
{
    if (!QFileInfo::exists(path))
        fail(QStringLiteral("файл не найден"));
    QString why;
    if (RegularFile::open(*m_file, path, RegularFile::Read, why) != RegularFile::Opened)
        fail(why);
    m_zip = std::make_unique<KZip>(m_file.get());
    if (!m_zip->open(QIODevice::ReadOnly))
        fail(QStringLiteral("это не архив ZIP или архив поврежден (%1)").arg(m_zip->errorString()));

    const KArchiveFile* manifestFile = fileEntry(*m_zip, SnapshotManifest::entryName());
    if (!manifestFile)
        fail(QStringLiteral("это не снимок ККТ: в архиве нет %1").arg(SnapshotManifest::entryName()));
    if (manifestFile->size() > LargestManifest)
        fail(QStringLiteral("описание снимка %1 больше %2 байт").arg(SnapshotManifest::entryName()).arg(LargestManifest));
    QByteArray manifestText;
    if (!readDeclared(*manifestFile, [&manifestText](const char* data, qint64 size) { manifestText.append(data, int(size)); }))
        fail(QStringLiteral("описание снимка %1 не читается").arg(SnapshotManifest::entryName()));
    const QString manifestProblem = m_manifest.fromJson(manifestText);
    if (!manifestProblem.isEmpty())
        fail(manifestProblem);

    // Every size first: a file larger than its table can be is refused before any is inflated.
    const QHash<unsigned, qint64> largest = largestFiles(m_manifest);
    for (const SnapshotManifest::Table& table : qAsConst(m_manifest.tables)) {
        const KArchiveFile* file = fileEntry(*m_zip, table.file);
        if (!file)
            fail(QStringLiteral("%1: в архиве нет файла %2").arg(tableName(table), table.file));
        refuseLarger(table, file->size(), largest.value(table.number, ImportLimits::MostFileBytes));
    }
    for (const SnapshotManifest::Table& table : qAsConst(m_manifest.tables)) {
        if (digestOf(table) != table.sha256) {
            fail(QStringLiteral("%1 повреждена: файл %2 не совпадает с контрольной суммой SHA-256 из описания снимка")
                     .arg(tableName(table), table.file));
        }
    }
}

SnapshotReader::~SnapshotReader() = default;

QString SnapshotReader::tableName(const SnapshotManifest::Table& table)
{
    return QStringLiteral("таблица %1 (%2)").arg(QString::number(table.number), table.name);
}

QString SnapshotReader::digestOf(const SnapshotManifest::Table& table) const
{
    const KArchiveFile* file = fileEntry(*m_zip, table.file);
    Sha256 digest;
    if (!file || !readDeclared(*file, [&digest](const char* data, qint64 size) { digest.addData(data, size); }))
        fail(QStringLiteral("%1 повреждена: файл %2 не читается").arg(tableName(table), table.file));
    return digest.hex();
}

QString SnapshotReader::extract(const SnapshotManifest::Table& table, qint64 mostBytes)
{
    if (!m_extracted.isEmpty())
        QFile::remove(m_extracted);
    m_extracted.clear();
    if (!m_work.isValid())
        fail(QStringLiteral("не удалось создать временный каталог: %1").arg(m_work.errorString()));
    const KArchiveFile* file = fileEntry(*m_zip, table.file);
    // The entry's name comes from the archive: only its last part is used.
    const QString name = QFileInfo(table.file).fileName();
    if (file)
        refuseLarger(table, file->size(), mostBytes);
    if (!file || name.isEmpty() || !file->copyTo(m_work.path()))
        fail(QStringLiteral("%1: не удалось распаковать файл %2").arg(tableName(table), table.file));
    m_extracted = m_work.filePath(name);
    return m_extracted;
}

void SnapshotReader::refuseLarger(const SnapshotManifest::Table& table, qint64 size, qint64 mostBytes) const
{
    if (size > mostBytes) {
        fail(QStringLiteral("%1: файл %2 больше, чем может занять таблица (%3 байт при наибольших %4)")
                 .arg(tableName(table), table.file, QString::number(size), QString::number(mostBytes)));
    }
}

void SnapshotReader::fail(const QString& why) const
{
    throw RunTimeError(QStringLiteral("Снимок ККТ %1 отклонен: %2").arg(m_path, why));
}
