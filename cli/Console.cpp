#include "Console.h"

#include "ExitCode.h"

#include "common/PrintableText.h"
#include "common/SystemErrorText.h"

#include <QTextCodec>

#include <cerrno>
#include <cstring>

namespace {

const int Utf8Mib = 106;

} // namespace

Console::Console()
    : m_codec(QTextCodec::codecForLocale())
    , m_utf8(m_codec->mibEnum() == Utf8Mib)
{
    m_out.resize(FlushSize + 4096);
}

Console::~Console()
{
    flush();
}

void Console::out(const QString& line)
{
    const QByteArray bytes = m_codec->fromUnicode(PrintableText::of(line));
    if (m_outToErr)
        appendToErr(bytes.constData(), size_t(bytes.size()));
    else
        append(bytes.constData(), size_t(bytes.size()));
}

void Console::outUtf8(const char* line, qint64 size)
{
    if (!m_utf8 || !PrintableText::isPrintable(line, line + size)) {
        out(QString::fromUtf8(line, int(size)));
        return;
    }
    if (m_outToErr)
        appendToErr(line, size_t(size));
    else
        append(line, size_t(size));
}

void Console::outPrintableUtf8Slow(const char* line, qint64 size)
{
    if (!m_utf8)
        out(QString::fromUtf8(line, int(size)));
    else if (m_outToErr)
        appendToErr(line, size_t(size));
    else
        append(line, size_t(size));
}

void Console::appendToErr(const char* line, size_t size)
{
    m_outOnErr.append(line, int(size));
    m_outOnErr += '\n';
    if (size_t(m_outOnErr.size()) >= FlushSize)
        flush();
}

void Console::append(const char* bytes, size_t size, bool lineEnd)
{
    // One copy into the room reserved, the line end with it.
    const size_t needed = m_outSize + size + (lineEnd ? 1 : 0);
    if (needed > m_out.size())
        m_out.resize(needed);
    char* const out = m_out.data() + m_outSize;
    std::memcpy(out, bytes, size);
    if (lineEnd)
        out[size] = '\n';
    m_outSize = needed;
    if (m_outSize >= FlushSize)
        flush();
}

bool Console::write(std::FILE* stream, const char* bytes, size_t size)
{
    if (m_failedStream == stream)
        return false;
    errno = 0;
    const bool written = (size == 0 || std::fwrite(bytes, 1, size, stream) == size) && std::fflush(stream) == 0;
    if (!written && !m_failedStream) {
        m_failedStream = stream;
        m_failure = errno != 0 ? errno : EIO;
    }
    return written;
}

void Console::flush()
{
    write(stdout, m_out.data(), m_outSize);
    m_outSize = 0;
    if (!m_outOnErr.isEmpty()) {
        write(stderr, m_outOnErr);
        m_outOnErr.resize(0);
    }
}

void Console::err(const QString& line)
{
    flush();
    write(stderr, m_codec->fromUnicode(PrintableText::of(line)) + '\n');
}

void Console::keepOutputForData()
{
    m_outToErr = true;
    m_outOnErr.reserve(FlushSize + 4096);
}

void Console::data(const QByteArray& bytes)
{
    flush();
    write(stdout, bytes + '\n');
}

void Console::dataPart(const QByteArray& bytes)
{
    append(bytes.constData(), size_t(bytes.size()), false);
}

bool Console::failed()
{
    flush();
    return m_failedStream != nullptr;
}

QString Console::failureText() const
{
    if (!m_failedStream)
        return QString();
    return QStringLiteral("Не удалось записать на %1: %2")
        .arg(m_failedStream == stdout ? QStringLiteral("стандартный вывод")
                                      : QStringLiteral("стандартный вывод ошибок"),
             SystemErrorText::of(m_failure));
}

int Console::finish(int status)
{
    if (!failed())
        return status;
    if (m_failedStream == stdout)
        write(stderr, m_codec->fromUnicode(failureText()) + '\n');
    return WriteFailure;
}
