#include "ZipFileWriter.h"

#include <QIODevice>

#include <zlib.h>

namespace {

const quint16 VersionNeeded = 20; // deflate
const quint16 MadeOnUnix = (3 << 8) | VersionNeeded;
const quint16 Deflated = 8;
const quint32 RegularFile0644 = 0100644u << 16;

void put16(QByteArray& out, quint16 value)
{
    out += char(value & 0xff);
    out += char(value >> 8);
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, quint16(value & 0xffff));
    put16(out, quint16(value >> 16));
}

// Raw deflate, as a ZIP entry holds it; false on a failure.
bool deflateWhole(const QByteArray& data, QByteArray& packed)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    packed.resize(int(deflateBound(&stream, uLong(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = uInt(packed.size());
    const int result = deflate(&stream, Z_FINISH);
    packed.resize(int(stream.total_out));
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}

} // namespace

ZipFileWriter::ZipFileWriter(QIODevice& device) : m_device(device) {}

bool ZipFileWriter::add(const QString& name, const QByteArray& data, const QDateTime& time)
{
    QByteArray packed;
    if (!deflateWhole(data, packed))
        return false;
    Entry entry;
    entry.name = name.toUtf8();
    entry.crc = quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
    entry.packedSize = quint32(packed.size());
    entry.size = quint32(data.size());
    const QDateTime local = time.isValid() ? time.toLocalTime() : QDateTime::currentDateTime();
    const int year = qMax(local.date().year(), 1980);
    entry.dosTime = quint16((local.time().hour() << 11) | (local.time().minute() << 5) | (local.time().second() / 2));
    entry.dosDate = quint16(((year - 1980) << 9) | (local.date().month() << 5) | local.date().day());
    entry.offset = m_offset;

    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, VersionNeeded);
    put16(header, 0); // flags
    put16(header, Deflated);
    put16(header, entry.dosTime);
    put16(header, entry.dosDate);
    put32(header, entry.crc);
    put32(header, entry.packedSize);
    put32(header, entry.size);
    put16(header, quint16(entry.name.size()));
    put16(header, 0); // extra field
    header += entry.name;
    if (!write(header) || !write(packed))
        return false;
    m_entries.append(entry);
    return true;
}

bool ZipFileWriter::finish()
{
    const quint32 directoryOffset = m_offset;
    QByteArray directory;
    for (const Entry& entry : qAsConst(m_entries)) {
        put32(directory, 0x02014b50);
        put16(directory, MadeOnUnix);
        put16(directory, VersionNeeded);
        put16(directory, 0); // flags
        put16(directory, Deflated);
        put16(directory, entry.dosTime);
        put16(directory, entry.dosDate);
        put32(directory, entry.crc);
        put32(directory, entry.packedSize);
        put32(directory, entry.size);
        put16(directory, quint16(entry.name.size()));
        put16(directory, 0); // extra field
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, RegularFile0644);
        put32(directory, entry.offset);
        directory += entry.name;
    }
    const quint32 directorySize = quint32(directory.size());
    put32(directory, 0x06054b50);
    put16(directory, 0);
    put16(directory, 0);
    put16(directory, quint16(m_entries.size()));
    put16(directory, quint16(m_entries.size()));
    put32(directory, directorySize);
    put32(directory, directoryOffset);
    put16(directory, 0); // comment
    return write(directory);
}

bool ZipFileWriter::write(const QByteArray& bytes)
{
    if (m_device.write(bytes) != bytes.size())
        return false;
    m_offset += quint32(bytes.size());
    return true;
}
