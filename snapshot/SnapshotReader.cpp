#include "SnapshotReader.h"

#include "common/Errors.h"
#include "exchange/RegularFile.h"

#include <KZip> // first: the entry headers need KArchive declared
#include <KArchiveDirectory>
#include <KArchiveFile>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

// A manifest lists tables; no honest one comes near this.
const qint64 LargestManifest = 16 * 1024 * 1024;

const KArchiveFile* fileEntry(const KZip& zip, const QString& name)
{
    const KArchiveEntry* entry = zip.directory()->entry(name);
    return entry && entry->isFile() ? static_cast<const KArchiveFile*>(entry) : nullptr;
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
    const QString manifestProblem = m_manifest.fromJson(manifestFile->data());
    if (!manifestProblem.isEmpty())
        fail(manifestProblem);

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
    if (!file)
        fail(QStringLiteral("%1: в архиве нет файла %2").arg(tableName(table), table.file));
    std::unique_ptr<QIODevice> device(file->createDevice());
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!device || !digest.addData(device.get()))
        fail(QStringLiteral("%1 повреждена: файл %2 не читается").arg(tableName(table), table.file));
    return QString::fromLatin1(digest.result().toHex());
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
    if (file && file->size() > mostBytes) {
        fail(QStringLiteral("%1: файл %2 больше, чем может занять таблица (%3 байт при наибольших %4)")
                 .arg(tableName(table), table.file, QString::number(file->size()), QString::number(mostBytes)));
    }
    if (!file || name.isEmpty() || !file->copyTo(m_work.path()))
        fail(QStringLiteral("%1: не удалось распаковать файл %2").arg(tableName(table), table.file));
    m_extracted = m_work.filePath(name);
    return m_extracted;
}

void SnapshotReader::fail(const QString& why) const
{
    throw RunTimeError(QStringLiteral("Снимок ККТ %1 отклонен: %2").arg(m_path, why));
}
