#pragma once

#include "SnapshotManifest.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

class KZip;
class QFile;

// Opens a snapshot file and checks it whole before anything of it is used:
// the manifest, every table's file by the size its archive header declares
// (against what its table can take), then against its digest (read as a
// stream, nothing kept in memory). A damaged or foreign file is refused.
class SnapshotReader
{
public:
    // Raises RunTimeError naming the file and, where one is at fault, the table.
    explicit SnapshotReader(const QString& path);
    ~SnapshotReader();
    SnapshotReader(const SnapshotReader&) = delete;
    SnapshotReader& operator=(const SnapshotReader&) = delete;

    const QString& path() const { return m_path; }
    const SnapshotManifest& manifest() const { return m_manifest; }

    // Unpacks one table's CSV file into a folder of the reader's own and
    // returns its path; the file is removed by the next call. A file larger
    // than mostBytes is refused before it is unpacked. Raises RunTimeError.
    QString extract(const SnapshotManifest::Table& table, qint64 mostBytes);

    // "таблица 6 (Налоговые ставки)" for the messages.
    static QString tableName(const SnapshotManifest::Table& table);

private:
    [[noreturn]] void fail(const QString& why) const;
    QString digestOf(const SnapshotManifest::Table& table) const;
    // Refuses a table's file of a size its table cannot reach.
    void refuseLarger(const SnapshotManifest::Table& table, qint64 size, qint64 mostBytes) const;

    QString m_path;
    SnapshotManifest m_manifest;
    std::unique_ptr<QFile> m_file; // before the archive that reads it
    std::unique_ptr<KZip> m_zip;
    QTemporaryDir m_work;
    QString m_extracted;
};
