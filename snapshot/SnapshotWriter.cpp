#include "SnapshotWriter.h"

#include "Sha256.h"
#include "ZipFileWriter.h"

#include "common/Errors.h"
#include "common/SystemErrorText.h"
#include "common/WritableTarget.h"
#include "exchange/CsvExchange.h"
#include "exchange/ExportFileName.h"
#include "model/TableInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

SnapshotWriter::SnapshotWriter(const QString& path, const SnapshotManifest& manifest)
    : m_path(path), m_partPath(partPathOf(path)), m_manifest(manifest), m_file(std::make_unique<QFile>(m_partPath))
{
    requireTarget(m_path);
    m_manifest.tables.clear();
    errno = 0;
    // Unbuffered: a write that fails says so at once, with its errno.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(systemReason());
    m_zip = std::make_unique<ZipFileWriter>(*m_file);
}

SnapshotWriter::~SnapshotWriter()
{
    if (m_finished)
        return;
    // Unfinished: the partial archive goes, a file at the path stays as it was.
    m_zip.reset();
    m_file->close();
    QFile::remove(m_partPath);
}

QString SnapshotWriter::partPathOf(const QString& path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part-")
        + QString::number(QRandomGenerator::global()->generate64(), 36);
}

void SnapshotWriter::addTable(const TableInfo& table, const DataRows& rows, unsigned cells)
{
    const QByteArray data = CsvExchange().exportBytes(table, rows);
    Sha256 digest;
    digest.addData(data.constData(), data.size());

    SnapshotManifest::Table entry;
    entry.number = table.id;
    entry.name = table.name;
    entry.file = ExportFileName::name(m_manifest.identity.serialNumber, table.id);
    entry.rows = rows.size();
    entry.cells = cells;
    entry.sha256 = digest.hex();
    entry.description = SnapshotManifest::descriptionDigest(table);
    errno = 0;
    if (!m_zip->add(entry.file, data, m_manifest.time))
        fail(QStringLiteral("таблица %1 (%2): %3").arg(QString::number(table.id), table.name, systemReason()));
    m_manifest.tables.append(entry);
}

void SnapshotWriter::finish()
{
    m_manifest.time = m_manifest.time.isValid() ? m_manifest.time.toUTC() : QDateTime::currentDateTimeUtc();
    errno = 0;
    if (!m_zip->add(SnapshotManifest::entryName(), m_manifest.toJson(), m_manifest.time) || !m_zip->finish())
        fail(systemReason());
    m_file->close();
    if (m_file->error() != QFileDevice::NoError)
        fail(systemReason());
    // Whatever took the path's place while the tables were read is kept, not replaced.
    requireTarget(m_path);
    // The whole file replaces the path at once: a crash leaves the old file or the new.
    if (std::rename(QFile::encodeName(m_partPath).constData(), QFile::encodeName(m_path).constData()) != 0)
        fail(SystemErrorText::of(errno));
    m_finished = true;
}

void SnapshotWriter::requireTarget(const QString& path)
{
    WritableTarget::require(path, failedText());
}

QString SnapshotWriter::failedText()
{
    return QStringLiteral("Не удалось записать снимок ККТ");
}

QString SnapshotWriter::systemReason() const
{
    // The file's own words are the system's in English; errno still holds
    // what the failed write met.
    return errno != 0 ? SystemErrorText::of(errno) : m_file->errorString();
}

void SnapshotWriter::fail(const QString& why) const
{
    throw FileWriteError(QStringLiteral("%1 %2: %3").arg(failedText(), m_path, why));
}
