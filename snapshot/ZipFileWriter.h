#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class QIODevice;
struct zip;
struct zip_source;

// Packs a ZIP archive with libzip, entry by entry, in memory, and writes it
// whole into a device open for writing at finish(). Each entry is deflated at
// the fastest level (a snapshot's table of several megabytes is packed on
// every save, and a restore's undo snapshot before its first write) and is a
// regular file of mode 0644 dated as given.
class ZipFileWriter
{
public:
    explicit ZipFileWriter(QIODevice& device);
    ~ZipFileWriter();
    ZipFileWriter(const ZipFileWriter&) = delete;
    ZipFileWriter& operator=(const ZipFileWriter&) = delete;

    // False when libzip does not take the entry.
    bool add(const QString& name, const QByteArray& data, const QDateTime& time);
    // Packs the archive and writes it; false when libzip fails or the device
    // refuses the bytes.
    bool finish();

private:
    bool writePacked();

    QIODevice& m_device;
    zip_source* m_packed = nullptr;
    zip* m_archive = nullptr;
    // libzip reads the entries' bytes only when it packs them, at zip_close.
    QList<QByteArray> m_data;
};
