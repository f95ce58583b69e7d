#pragma once

#include "SnapshotManifest.h"

#include "device/Cell.h"

#include <QString>

#include <memory>

class QFile;
class TableInfo;
class ZipFileWriter;

// Writes a snapshot file table by table: each table goes in as the CSV file
// that the export writes, compressed, and only its digest stays in memory.
// The file appears whole at finish(); until then, and when the writer is
// dropped unfinished, a file at the path stays as it was.
class SnapshotWriter
{
public:
    // manifest: everything but the tables. Raises RunTimeError when the file
    // cannot be started.
    SnapshotWriter(const QString& path, const SnapshotManifest& manifest);
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // cells: as many as were read. Raises RunTimeError.
    void addTable(const TableInfo& table, const DataRows& rows, unsigned cells);
    // Adds the manifest and puts the file in place. Raises RunTimeError.
    void finish();

    const SnapshotManifest& manifest() const { return m_manifest; }

    // Raises FileWriteError unless a snapshot may be written at path (a
    // regular file or nothing there): for a check before any work.
    static void requireTarget(const QString& path);

private:
    [[noreturn]] void fail(const QString& why) const;
    static QString failedText();
    QString systemReason() const;
    static QString partPathOf(const QString& path);

    QString m_path;
    QString m_partPath; // the archive while it is written, beside the path
    bool m_finished = false;
    SnapshotManifest m_manifest;
    std::unique_ptr<QFile> m_file; // the archive at m_partPath
    std::unique_ptr<ZipFileWriter> m_zip;
};
