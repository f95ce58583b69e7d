#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

class QIODevice;

// Writes a ZIP archive entry by entry into a device open for writing: each
// entry deflated whole at the fastest level (a snapshot's table of several
// megabytes is packed on every save, and a restore's undo snapshot before its
// first write), then the central directory. Entries are regular files of
// mode 0644, with sizes and checksums in their local headers, as any ZIP
// reader expects them.
class ZipFileWriter
{
public:
    explicit ZipFileWriter(QIODevice& device);

    // False when the device refuses a write or the data does not deflate.
    bool add(const QString& name, const QByteArray& data, const QDateTime& time);
    // Writes the central directory; false when the device refuses it.
    bool finish();

private:
    struct Entry
    {
        QByteArray name;
        quint32 crc = 0;
        quint32 packedSize = 0;
        quint32 size = 0;
        quint16 dosTime = 0;
        quint16 dosDate = 0;
        quint32 offset = 0;
    };
    bool write(const QByteArray& bytes);

    QIODevice& m_device;
    quint32 m_offset = 0;
    QVector<Entry> m_entries;
};
