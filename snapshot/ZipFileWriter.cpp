#include "ZipFileWriter.h"

#include <QIODevice>

#include <zip.h>

namespace {

const zip_uint32_t RegularFile0644 = 0100644u << 16;
const zip_uint32_t FastestLevel = 1;

} // namespace

ZipFileWriter::ZipFileWriter(QIODevice& device) : m_device(device)
{
    zip_error_t error;
    zip_error_init(&error);
    m_packed = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (m_packed) {
        // Kept past zip_close, which frees the sources it was opened from.
        zip_source_keep(m_packed);
        m_archive = zip_open_from_source(m_packed, ZIP_TRUNCATE, &error);
    }
    zip_error_fini(&error);
}

ZipFileWriter::~ZipFileWriter()
{
    if (m_archive)
        zip_discard(m_archive);
    if (m_packed)
        zip_source_free(m_packed);
}

bool ZipFileWriter::add(const QString& name, const QByteArray& data, const QDateTime& time)
{
    if (!m_archive)
        return false;
    m_data.append(data);
    zip_source_t* source = zip_source_buffer(m_archive, m_data.constLast().constData(), zip_uint64_t(data.size()), 0);
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(m_archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    const auto entry = zip_uint64_t(index);
    const QDateTime when = time.isValid() ? time : QDateTime::currentDateTime();
    return zip_set_file_compression(m_archive, entry, ZIP_CM_DEFLATE, FastestLevel) == 0
        && zip_file_set_mtime(m_archive, entry, time_t(when.toSecsSinceEpoch()), 0) == 0
        && zip_file_set_external_attributes(m_archive, entry, 0, ZIP_OPSYS_UNIX, RegularFile0644) == 0;
}

bool ZipFileWriter::finish()
{
    if (!m_archive)
        return false;
    if (zip_close(m_archive) != 0)
        return false;
    m_archive = nullptr;
    return writePacked();
}

bool ZipFileWriter::writePacked()
{
    if (zip_source_open(m_packed) != 0)
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    bool written = true;
    zip_int64_t read = 0;
    while (written && (read = zip_source_read(m_packed, chunk.data(), zip_uint64_t(chunk.size()))) > 0)
        written = m_device.write(chunk.constData(), read) == read;
    zip_source_close(m_packed);
    return written && read == 0;
}
